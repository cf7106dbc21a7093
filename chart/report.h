#ifndef REPORT_H
#define REPORT_H

#include <QCoreApplication>
#include <QRectF>
#include <QString>

class Batch;
class QPainter;

// The batch on one landscape page: the title (part, characteristic, head serial, first
// and last time), the run chart, the histogram and the statistics table. Needs a
// QApplication, as the charts are graphics items.
class Report
{
    Q_DECLARE_TR_FUNCTIONS(Report)

public:
    Report(const Batch &batch, QString part, QString characteristic);

    QString title() const;
    QString subtitle() const;
    void paint(QPainter &painter) const;
    // To a PNG, SVG or PDF file by its suffix; the file is replaced only once written
    // whole. False, with the reason in error, where it could not be.
    bool save(const QString &path, QString &error) const;

    static constexpr int Width = 1600;
    static constexpr int Height = 1131; // the proportions of an ISO 216 page

private:
    void paintStatistics(QPainter &painter, const QRectF &area) const;

    const Batch &batch;
    QString part;
    QString characteristic;
};

#endif
