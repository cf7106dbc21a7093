#include "quality/limits.h"

#include "measurement/measurement.h"

#include <QtGlobal>

namespace
{

std::optional<double> micrometres(std::optional<double> tenths)
{
    if (!tenths)
        return std::nullopt;
    return *tenths / 10;
}

} // namespace

ToleranceLimits::ToleranceLimits(std::optional<int> lower, std::optional<int> upper,
                                 std::optional<int> nominal)
    : low(lower), high(upper)
{
    if (nominal)
        nominalTenths = *nominal;
    else if (lower && upper)
        nominalTenths = (double(*lower) + *upper) / 2;
}

std::optional<double> ToleranceLimits::lowerUm() const
{
    return micrometres(low);
}

std::optional<double> ToleranceLimits::upperUm() const
{
    return micrometres(high);
}

std::optional<double> ToleranceLimits::nominalUm() const
{
    return micrometres(nominalTenths);
}

ToleranceLimits::Verdict ToleranceLimits::judge(int tenths) const
{
    if (!low && !high)
        return Verdict::Unjudged;
    if (tenths >= Measurement::OverRange)
        return high ? Verdict::Outside : Verdict::Inside;
    if (tenths <= Measurement::UnderRange)
        return low ? Verdict::Outside : Verdict::Inside;
    if ((low && tenths < *low) || (high && tenths > *high))
        return Verdict::Outside;
    if (!low || !high)
        return Verdict::Inside;
    // In whole tenths, so that a reading on the band's edge is judged the same every time.
    const qint64 width = qint64(*high) - *low;
    if ((qint64(tenths) - *low) * 10 < width || (qint64(*high) - tenths) * 10 < width)
        return Verdict::Warning;
    return Verdict::Inside;
}
