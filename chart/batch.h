#ifndef BATCH_H
#define BATCH_H

#include "quality/histogram.h"
#include "quality/limits.h"
#include "quality/statistics.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// What a report shows of the readings counted since the batch began: their statistics and
// histogram over every reading, and the last few thousand of them for the run chart, so
// that memory stays flat however long the run.
class Batch
{
public:
    struct Point {
        qint64 number = 0; // of the reading in the batch, from 1
        int tenths = 0;
    };

    static constexpr int ChartPoints = 2000;

    Batch(ToleranceLimits limits, bool heldOnly, int chartPoints = ChartPoints);

    // Counts the reading unless only held ones count and it is not: whether it counted.
    bool add(int tenths, bool held);
    // Where and when a counted reading was taken, for the report's title.
    void noteOrigin(const QString &serial, const QDateTime &time);
    // A new batch: nothing counted, the limits kept.
    void clear();

    const ToleranceLimits &limits() const { return tolerance; }
    std::optional<double> lowerUm() const { return tolerance.lowerUm(); }
    std::optional<double> upperUm() const { return tolerance.upperUm(); }
    std::optional<double> nominalUm() const { return tolerance.nominalUm(); }
    const RunningStatistics &statistics() const { return stats; }
    const ValueHistogram &histogram() const { return values; }
    qint64 counted() const { return total; }
    // The last counted readings in range, oldest first.
    std::vector<Point> recent() const;
    const QString &serial() const { return headSerial; }
    const QDateTime &firstTime() const { return first; }
    const QDateTime &lastTime() const { return last; }

private:
    ToleranceLimits tolerance;
    bool heldOnly;
    RunningStatistics stats;
    ValueHistogram values;
    std::vector<Point> ring;
    size_t capacity;
    size_t next = 0; // where the next point goes once the ring is full
    qint64 total = 0;
    QString headSerial;
    QDateTime first;
    QDateTime last;
};

#endif
