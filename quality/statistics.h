#ifndef STATISTICS_H
#define STATISTICS_H

#include "quality/limits.h"

#include <QtGlobal>

#include <optional>

// The figures of a batch of readings against its tolerance, kept as each reading comes at a
// constant cost and without keeping the readings. Figures are in micrometres; each is
// nothing where it is undefined: no limit on its side, too few readings, no spread.
class RunningStatistics
{
public:
    explicit RunningStatistics(ToleranceLimits limits = ToleranceLimits());

    void add(int tenths);

    qint64 readings() const { return count; } // numeric ones, over and under range left out
    qint64 overRange() const { return over; }
    qint64 underRange() const { return under; }
    qint64 belowLower() const { return below; }
    qint64 aboveUpper() const { return above; }

    std::optional<double> mean() const;
    std::optional<double> stddev() const; // of the sample: n - 1
    std::optional<double> min() const;
    std::optional<double> max() const;
    std::optional<double> range() const;
    // The mean moving range of consecutive readings over d2, as an individuals chart has it.
    std::optional<double> sigmaWithin() const;
    std::optional<double> cp() const;
    std::optional<double> cpk() const;
    std::optional<double> pp() const;
    std::optional<double> ppk() const;

private:
    std::optional<double> widthOver(std::optional<double> sigma) const;
    std::optional<double> nearestLimitOver(std::optional<double> sigma) const;

    ToleranceLimits limits;
    qint64 count = 0;
    qint64 over = 0;
    qint64 under = 0;
    qint64 below = 0;
    qint64 above = 0;
    // Welford's running mean and sum of squared deviations, in tenths.
    double meanTenths = 0;
    double squares = 0;
    qint64 movingRanges = 0; // their sum, in tenths: exact
    int previous = 0;
    int lowest = 0;
    int highest = 0;
};

#endif
