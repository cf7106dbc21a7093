#ifndef CHARTLINE_H
#define CHARTLINE_H

#include "chart/chartsnamespace.h"

#include <QChart>
#include <QLineSeries>
#include <QPen>
#include <QString>

// A line on the chart's two axes, named in its legend.
QLineSeries *addLine(QChart &chart, QAbstractAxis *x, QAbstractAxis *y, const QString &name,
                     const QPen &pen);
// Left out of the legend: the second line of a pair that has one entry.
void hideInLegend(QChart &chart, QAbstractSeries *series);

#endif
