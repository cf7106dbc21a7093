#ifndef HISTOGRAMCHART_H
#define HISTOGRAMCHART_H

#include "chart/chartsnamespace.h"

#include <QAreaSeries>
#include <QLineSeries>
#include <QValueAxis>

class Batch;

// How the counted readings spread, in classes of equal width, beside the tolerance limits
// and the nominal.
class HistogramChart : public QChart
{
    Q_OBJECT
public:
    explicit HistogramChart(QGraphicsItem *parent = nullptr);

    void show(const Batch &batch);

private:
    QLineSeries *outline;
    QLineSeries *base;
    QAreaSeries *bars;
    QLineSeries *lower;
    QLineSeries *upper;
    QLineSeries *nominal;
    QValueAxis *axisX;
    QValueAxis *axisY;
};

#endif
