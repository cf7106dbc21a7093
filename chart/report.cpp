#include "chart/report.h"

#include "chart/batch.h"
#include "chart/chartoptions.h"
#include "chart/histogramchart.h"
#include "chart/runchart.h"
#include "chart/statisticsrows.h"
#include "table/csvrecord.h"

#include <QGraphicsScene>
#include <QImage>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cmath>
#include <utility>

namespace
{

// Every device is drawn on as a 96 dpi screen is, so that the charts' fonts, given in
// points, keep their size beside the rest of the page in each format.
constexpr int Dpi = 96;
constexpr qreal Margin = 30;
constexpr qreal TitleHeight = 90;

QFont pixelFont(int pixels, bool bold = false)
{
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

template <typename Chart> void paintChart(QPainter &painter, const Batch &batch, const QRectF &area)
{
    QGraphicsScene scene;
    auto *chart = new Chart;
    scene.addItem(chart);
    chart->setGeometry(QRectF(QPointF(0, 0), area.size()));
    chart->show(batch);
    scene.render(&painter, area, QRectF(QPointF(0, 0), area.size()), Qt::IgnoreAspectRatio);
}

} // namespace

Report::Report(const Batch &batch, QString part, QString characteristic)
    : batch(batch), part(std::move(part)), characteristic(std::move(characteristic))
{
}

QString Report::title() const
{
    QStringList names;
    for (const QString &name : {part, characteristic}) {
        if (!name.isEmpty())
            names.append(visibleText(name));
    }
    return names.isEmpty() ? tr("Readings") : names.join(QStringLiteral(" — "));
}

QString Report::subtitle() const
{
    const QString serial =
        batch.serial().isEmpty() ? tr("no head") : tr("head %1").arg(visibleText(batch.serial()));
    if (!batch.firstTime().isValid())
        return tr("%1, no readings").arg(serial);
    // A table's times as recorded; a head's, kept in UTC while reading, in local time.
    const auto shown = [](const QDateTime &time) {
        return QLocale().toString(time.timeSpec() == Qt::UTC ? time.toLocalTime() : time,
                                  QLocale::ShortFormat);
    };
    return tr("%1, %2 to %3").arg(serial, shown(batch.firstTime()), shown(batch.lastTime()));
}

void Report::paint(QPainter &painter) const
{
    painter.fillRect(QRectF(0, 0, Width, Height), Qt::white);
    painter.setPen(Qt::black);
    painter.setFont(pixelFont(30, true));
    painter.drawText(QRectF(Margin, Margin / 2, Width - 2 * Margin, 40),
                     Qt::AlignLeft | Qt::AlignVCenter, title());
    painter.setFont(pixelFont(18));
    painter.drawText(QRectF(Margin, Margin / 2 + 40, Width - 2 * Margin, 30),
                     Qt::AlignLeft | Qt::AlignVCenter, subtitle());

    const qreal runHeight = (Height - TitleHeight - Margin) * 0.55;
    paintChart<RunChart>(painter, batch,
                         QRectF(Margin, TitleHeight, Width - 2 * Margin, runHeight));
    const qreal lowerTop = TitleHeight + runHeight;
    const qreal lowerHeight = Height - lowerTop - Margin;
    const qreal histogramWidth = (Width - 2 * Margin) * 0.6;
    paintChart<HistogramChart>(painter, batch,
                               QRectF(Margin, lowerTop, histogramWidth, lowerHeight));
    paintStatistics(painter, QRectF(Margin + histogramWidth + Margin, lowerTop,
                                    Width - 3 * Margin - histogramWidth, lowerHeight));
}

void Report::paintStatistics(QPainter &painter, const QRectF &area) const
{
    const QVector<StatisticsRows::Row> rows = StatisticsRows::of(batch);
    const qreal rowHeight = std::min<qreal>(24, area.height() / (rows.size() + 1));
    painter.setFont(pixelFont(int(rowHeight * 0.65)));
    qreal y = area.top() + rowHeight / 2;
    bool shaded = false;
    for (const StatisticsRows::Row &row : rows) {
        const QRectF line(area.left(), y, area.width(), rowHeight);
        if (shaded)
            painter.fillRect(line, QColor(0xee, 0xee, 0xee));
        shaded = !shaded;
        painter.drawText(line.adjusted(8, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter, row.name);
        painter.drawText(line.adjusted(8, 0, -8, 0), Qt::AlignRight | Qt::AlignVCenter, row.value);
        y += rowHeight;
    }
}

bool Report::save(const QString &path, QString &error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = tr("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    const QString format = reportFormat(path);
    bool painted = true;
    if (format == QLatin1String("png")) {
        QImage image(Width, Height, QImage::Format_RGB32);
        const int dotsPerMetre = int(std::lround(Dpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
        painter.end();
        painted = image.save(&file, "PNG");
    } else if (format == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(QSize(Width, Height));
        svg.setViewBox(QRect(0, 0, Width, Height));
        svg.setResolution(Dpi);
        svg.setTitle(title());
        svg.setDescription(subtitle());
        QPainter painter;
        painted = painter.begin(&svg);
        if (painted)
            paint(painter);
    } else {
        QPdfWriter pdf(&file);
        pdf.setTitle(title());
        pdf.setCreator(QCoreApplication::applicationName());
        pdf.setResolution(Dpi);
        pdf.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        painted = painter.begin(&pdf);
        if (painted) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setWindow(0, 0, Width, Height);
            paint(painter);
        }
    }
    if (!painted) {
        error = tr("cannot write %1: the report could not be drawn").arg(path);
        return false;
    }
    if (!file.commit()) {
        error = tr("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
