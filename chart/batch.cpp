#include "chart/batch.h"

#include "measurement/measurement.h"

Batch::Batch(ToleranceLimits limits, bool heldOnly, int chartPoints)
    : tolerance(limits), heldOnly(heldOnly), stats(tolerance),
      capacity(size_t(qMax(1, chartPoints)))
{
    ring.reserve(capacity);
}

bool Batch::add(int tenths, bool held)
{
    if (heldOnly && !held)
        return false;
    ++total;
    stats.add(tenths);
    if (tenths <= Measurement::UnderRange || tenths >= Measurement::OverRange)
        return true;
    values.add(tenths);
    const Point point{total, tenths};
    if (ring.size() < capacity) {
        ring.push_back(point);
    } else {
        ring[next] = point;
        next = (next + 1) % capacity;
    }
    return true;
}

void Batch::noteOrigin(const QString &serial, const QDateTime &time)
{
    headSerial = serial;
    if (!first.isValid())
        first = time;
    last = time;
}

void Batch::clear()
{
    stats = RunningStatistics(tolerance);
    values = ValueHistogram();
    ring.clear();
    next = 0;
    total = 0;
    first = QDateTime();
    last = QDateTime();
}

std::vector<Batch::Point> Batch::recent() const
{
    std::vector<Point> points;
    points.reserve(ring.size());
    points.insert(points.end(), ring.begin() + std::ptrdiff_t(next), ring.end());
    points.insert(points.end(), ring.begin(), ring.begin() + std::ptrdiff_t(next));
    return points;
}
