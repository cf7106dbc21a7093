#ifndef RUNCHART_H
#define RUNCHART_H

#include "chart/batch.h"
#include "chart/chartsnamespace.h"

#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

// The counted readings in order, with the tolerance limits, the nominal, and the natural
// process limits (mean +- 3 sigma within) each drawn in a way of its own, and the
// readings outside the limits marked.
class RunChart : public QChart
{
    Q_OBJECT
public:
    explicit RunChart(QGraphicsItem *parent = nullptr);

    // The last few readings of the batch, at most the given number.
    void show(const Batch &batch, int most = Batch::ChartPoints);

private:
    QLineSeries *readings;
    QScatterSeries *outside;
    QLineSeries *lower;
    QLineSeries *upper;
    QLineSeries *nominal;
    QLineSeries *naturalLower;
    QLineSeries *naturalUpper;
    QValueAxis *axisX;
    QValueAxis *axisY;
};

#endif
