#include "chart/histogramchart.h"

#include "chart/axisfit.h"
#include "chart/batch.h"
#include "chart/chartline.h"

#include <QLegend>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace
{

constexpr int MostClasses = 25;

} // namespace

HistogramChart::HistogramChart(QGraphicsItem *parent) : QChart(parent, Qt::WindowFlags())
{
    setTitle(tr("Histogram"));
    axisX = new QValueAxis(this);
    axisX->setTitleText(tr("µm"));
    axisY = new QValueAxis(this);
    axisY->setTitleText(tr("Readings"));
    axisY->setLabelFormat(QStringLiteral("%d"));
    addAxis(axisX, Qt::AlignBottom);
    addAxis(axisY, Qt::AlignLeft);

    outline = new QLineSeries(this);
    base = new QLineSeries(this);
    bars = new QAreaSeries(outline, base);
    bars->setParent(this);
    bars->setName(tr("Readings"));
    bars->setColor(QColor(0x70, 0x90, 0xc0));
    bars->setBorderColor(QColor(0x30, 0x40, 0x60));
    addSeries(bars);
    bars->attachAxis(axisX);
    bars->attachAxis(axisY);
    lower = addLine(*this, axisX, axisY, tr("Limits"), QPen(Qt::red, 2));
    upper = addLine(*this, axisX, axisY, QString(), QPen(Qt::red, 2));
    nominal = addLine(*this, axisX, axisY, tr("Nominal"),
                      QPen(QColor(0x00, 0x80, 0x00), 1.5, Qt::DashLine));
    hideInLegend(*this, upper);
    legend()->setAlignment(Qt::AlignBottom);
}

void HistogramChart::show(const Batch &batch)
{
    QVector<QPointF> steps;
    double low = 0;
    double high = 0;
    bool any = false;
    qint64 tallest = 0;
    auto widen = [&](std::optional<double> x) {
        if (!x)
            return;
        low = any ? std::min(low, *x) : *x;
        high = any ? std::max(high, *x) : *x;
        any = true;
    };
    const QVector<ValueHistogram::Bin> bins = batch.histogram().bins(MostClasses);
    for (const ValueHistogram::Bin &bin : bins) {
        steps.append({bin.fromUm, 0});
        steps.append({bin.fromUm, double(bin.count)});
        steps.append({bin.toUm, double(bin.count)});
        steps.append({bin.toUm, 0});
        tallest = std::max(tallest, bin.count);
    }
    if (!bins.isEmpty()) {
        widen(bins.constFirst().fromUm);
        widen(bins.constLast().toUm);
    }
    outline->replace(steps);
    QVector<QPointF> flat;
    flat.reserve(steps.size());
    for (const QPointF &step : std::as_const(steps))
        flat.append({step.x(), 0});
    base->replace(flat);

    const double top = std::max(1.0, double(tallest) * 1.1);
    for (const auto &[series, level] :
         {std::pair{lower, batch.lowerUm()}, std::pair{upper, batch.upperUm()},
          std::pair{nominal, batch.nominalUm()}}) {
        if (level)
            series->replace(QVector<QPointF>{{*level, 0}, {*level, top}});
        else
            series->clear();
        widen(level);
    }
    const double margin = any ? std::max(0.5, (high - low) * 0.05) : 1;
    fitAxis(axisX, any ? low - margin : -1, any ? high + margin : 1);
    fitAxis(axisY, 0, top);
}
