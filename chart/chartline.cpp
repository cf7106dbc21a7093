#include "chart/chartline.h"

#include <QLegend>
#include <QLegendMarker>

QLineSeries *addLine(QChart &chart, QAbstractAxis *x, QAbstractAxis *y, const QString &name,
                     const QPen &pen)
{
    auto *series = new QLineSeries(&chart);
    series->setName(name);
    series->setPen(pen);
    chart.addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    return series;
}

void hideInLegend(QChart &chart, QAbstractSeries *series)
{
    const auto markers = chart.legend()->markers(series);
    for (auto *marker : markers)
        marker->setVisible(false);
}
