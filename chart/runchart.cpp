#include "chart/runchart.h"

#include "chart/axisfit.h"
#include "chart/batch.h"
#include "chart/chartline.h"

#include <QLegend>
#include <QPen>

#include <algorithm>
#include <optional>

namespace
{

void drawAcross(QLineSeries *series, std::optional<double> level, double fromX, double toX)
{
    if (level)
        series->replace(QVector<QPointF>{{fromX, *level}, {toX, *level}});
    else
        series->clear();
}

} // namespace

RunChart::RunChart(QGraphicsItem *parent) : QChart(parent, Qt::WindowFlags())
{
    setTitle(tr("Run chart"));
    axisX = new QValueAxis(this);
    axisX->setTitleText(tr("Reading"));
    axisX->setLabelFormat(QStringLiteral("%d"));
    axisY = new QValueAxis(this);
    axisY->setTitleText(tr("µm"));
    addAxis(axisX, Qt::AlignBottom);
    addAxis(axisY, Qt::AlignLeft);

    // One device pixel wide however the view scales: the cheapest line to draw.
    QPen readingPen(QColor(0x30, 0x30, 0x30), 1);
    readingPen.setCosmetic(true);
    readings = addLine(*this, axisX, axisY, tr("Readings"), readingPen);
    outside = new QScatterSeries(this);
    outside->setName(tr("Outside the limits"));
    outside->setColor(Qt::red);
    outside->setBorderColor(Qt::red);
    outside->setMarkerSize(7);
    addSeries(outside);
    outside->attachAxis(axisX);
    outside->attachAxis(axisY);
    lower = addLine(*this, axisX, axisY, tr("Limits"), QPen(Qt::red, 2));
    upper = addLine(*this, axisX, axisY, QString(), QPen(Qt::red, 2));
    nominal = addLine(*this, axisX, axisY, tr("Nominal"),
                      QPen(QColor(0x00, 0x80, 0x00), 1.5, Qt::DashLine));
    naturalLower = addLine(*this, axisX, axisY, tr("Mean ± 3 σ within"),
                           QPen(QColor(0x20, 0x60, 0xd0), 1.5, Qt::DotLine));
    naturalUpper =
        addLine(*this, axisX, axisY, QString(), QPen(QColor(0x20, 0x60, 0xd0), 1.5, Qt::DotLine));
    // Each pair of lines is one entry in the legend.
    for (QLineSeries *second : {upper, naturalUpper})
        hideInLegend(*this, second);
    legend()->setAlignment(Qt::AlignBottom);
}

void RunChart::show(const Batch &batch, int most)
{
    std::vector<Batch::Point> points = batch.recent();
    if (points.size() > size_t(most))
        points.erase(points.begin(), points.end() - most);
    const ToleranceLimits &limits = batch.limits();
    QVector<QPointF> line;
    QVector<QPointF> marked;
    line.reserve(int(points.size()));
    double low = 0;
    double high = 0;
    bool any = false;
    auto widen = [&](std::optional<double> y) {
        if (!y)
            return;
        low = any ? std::min(low, *y) : *y;
        high = any ? std::max(high, *y) : *y;
        any = true;
    };
    for (const Batch::Point &point : points) {
        const QPointF at(double(point.number), point.tenths / 10.0);
        line.append(at);
        if (limits.judge(point.tenths) == ToleranceLimits::Verdict::Outside)
            marked.append(at);
        widen(at.y());
    }
    readings->replace(line);
    outside->replace(marked);

    // The axis moves on in steps of an eighth of what it shows, not at each reading.
    const qint64 first = points.empty() ? 1 : points.front().number;
    const qint64 last = points.empty() ? 1 : points.back().number;
    const qint64 step = std::max<qint64>(1, (last - first + 1) / 8);
    // Whole steps: the readings' numbers rounded down to one.
    const qint64 firstStep = first / step;
    const qint64 lastStep = last / step;
    const double toX = double((lastStep + 1) * step);
    const double fromX = double(std::max<qint64>(0, firstStep * step));
    const std::optional<double> mean = batch.statistics().mean();
    const std::optional<double> sigma = batch.statistics().sigmaWithin();
    std::optional<double> naturalLow;
    std::optional<double> naturalHigh;
    if (mean && sigma) {
        naturalLow = *mean - 3 * *sigma;
        naturalHigh = *mean + 3 * *sigma;
    }
    const std::optional<double> lowerUm = batch.lowerUm();
    const std::optional<double> upperUm = batch.upperUm();
    const std::optional<double> nominalUm = batch.nominalUm();
    drawAcross(lower, lowerUm, fromX, toX);
    drawAcross(upper, upperUm, fromX, toX);
    drawAcross(nominal, nominalUm, fromX, toX);
    drawAcross(naturalLower, naturalLow, fromX, toX);
    drawAcross(naturalUpper, naturalHigh, fromX, toX);
    for (const std::optional<double> &level :
         {lowerUm, upperUm, nominalUm, naturalLow, naturalHigh})
        widen(level);

    const double margin = any ? std::max(0.5, (high - low) * 0.05) : 1;
    axisX->setRange(fromX, toX);
    fitAxis(axisY, any ? low - margin : -1, any ? high + margin : 1);
}
