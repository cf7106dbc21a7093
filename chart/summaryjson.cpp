#include "chart/summaryjson.h"

#include "quality/limits.h"
#include "quality/statistics.h"

#include <QLocale>

#include <optional>
#include <utility>

namespace
{

QByteArray number(std::optional<double> value)
{
    if (!value)
        return QByteArrayLiteral("null");
    return QByteArray::number(*value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QByteArray summaryJson(const RunningStatistics &statistics, const ToleranceLimits &limits)
{
    // In the order a reader goes through them: written out, not a QJsonObject's sorted keys.
    const std::pair<const char *, QByteArray> figures[] = {
        {"readings", QByteArray::number(statistics.readings())},
        {"over_range", QByteArray::number(statistics.overRange())},
        {"under_range", QByteArray::number(statistics.underRange())},
        {"mean_um", number(statistics.mean())},
        {"stddev_um", number(statistics.stddev())},
        {"min_um", number(statistics.min())},
        {"max_um", number(statistics.max())},
        {"range_um", number(statistics.range())},
        {"sigma_within_um", number(statistics.sigmaWithin())},
        {"lower_um", number(limits.lowerUm())},
        {"upper_um", number(limits.upperUm())},
        {"nominal_um", number(limits.nominalUm())},
        {"below_lower", QByteArray::number(statistics.belowLower())},
        {"above_upper", QByteArray::number(statistics.aboveUpper())},
        {"cp", number(statistics.cp())},
        {"cpk", number(statistics.cpk())},
        {"pp", number(statistics.pp())},
        {"ppk", number(statistics.ppk())},
    };
    QByteArray json("{");
    for (const auto &[key, value] : figures) {
        if (json.size() > 1)
            json += ',';
        json += '"' + QByteArray(key) + "\":" + value;
    }
    return json + '}';
}
