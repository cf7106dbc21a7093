#include "quality/statistics.h"

#include "measurement/measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace
{

// The expected range of two readings of a normal distribution, in its sigmas.
constexpr double D2 = 1.128;

std::optional<double> micrometres(std::optional<double> tenths)
{
    if (!tenths)
        return std::nullopt;
    return *tenths / 10;
}

} // namespace

RunningStatistics::RunningStatistics(ToleranceLimits limits) : limits(limits) {}

void RunningStatistics::add(int tenths)
{
    const std::optional<int> lower = limits.lower();
    const std::optional<int> upper = limits.upper();
    if (tenths >= Measurement::OverRange) {
        ++over;
        above += upper ? 1 : 0;
        return;
    }
    if (tenths <= Measurement::UnderRange) {
        ++under;
        below += lower ? 1 : 0;
        return;
    }
    above += upper && tenths > *upper ? 1 : 0;
    below += lower && tenths < *lower ? 1 : 0;

    ++count;
    const double delta = tenths - meanTenths;
    meanTenths += delta / double(count);
    squares += delta * (tenths - meanTenths);
    if (count == 1) {
        lowest = highest = tenths;
    } else {
        movingRanges += std::abs(tenths - previous);
        lowest = std::min(lowest, tenths);
        highest = std::max(highest, tenths);
    }
    previous = tenths;
}

std::optional<double> RunningStatistics::mean() const
{
    return count > 0 ? micrometres(meanTenths) : std::nullopt;
}

std::optional<double> RunningStatistics::stddev() const
{
    if (count < 2)
        return std::nullopt;
    return micrometres(std::sqrt(squares / double(count - 1)));
}

std::optional<double> RunningStatistics::min() const
{
    return count > 0 ? micrometres(lowest) : std::nullopt;
}

std::optional<double> RunningStatistics::max() const
{
    return count > 0 ? micrometres(highest) : std::nullopt;
}

std::optional<double> RunningStatistics::range() const
{
    return count > 0 ? micrometres(highest - lowest) : std::nullopt;
}

std::optional<double> RunningStatistics::sigmaWithin() const
{
    if (count < 2)
        return std::nullopt;
    return micrometres(double(movingRanges) / double(count - 1) / D2);
}

std::optional<double> RunningStatistics::widthOver(std::optional<double> sigma) const
{
    const std::optional<double> lower = limits.lowerUm();
    const std::optional<double> upper = limits.upperUm();
    if (!sigma || *sigma == 0 || !lower || !upper)
        return std::nullopt;
    return (*upper - *lower) / (6 * *sigma);
}

// With one limit, the side that exists.
std::optional<double> RunningStatistics::nearestLimitOver(std::optional<double> sigma) const
{
    const std::optional<double> lower = limits.lowerUm();
    const std::optional<double> upper = limits.upperUm();
    const std::optional<double> centre = mean();
    if (!sigma || *sigma == 0 || (!lower && !upper))
        return std::nullopt;
    std::optional<double> nearest;
    if (upper)
        nearest = *upper - *centre;
    if (lower)
        nearest = std::min(nearest.value_or(*centre - *lower), *centre - *lower);
    return *nearest / (3 * *sigma);
}

std::optional<double> RunningStatistics::cp() const
{
    return widthOver(sigmaWithin());
}

std::optional<double> RunningStatistics::cpk() const
{
    return nearestLimitOver(sigmaWithin());
}

std::optional<double> RunningStatistics::pp() const
{
    return widthOver(stddev());
}

std::optional<double> RunningStatistics::ppk() const
{
    return nearestLimitOver(stddev());
}
