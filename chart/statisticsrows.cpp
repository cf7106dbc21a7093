#include "chart/statisticsrows.h"

#include "chart/batch.h"

#include <QLocale>

#include <optional>

namespace
{

// An undefined figure (no limit, too few readings, no spread) is shown as such, not as 0.
QString figure(std::optional<double> value, int decimals)
{
    if (!value)
        return QStringLiteral("—");
    return QLocale().toString(*value, 'f', decimals);
}

QString micrometres(std::optional<double> value)
{
    if (!value)
        return figure(value, 0);
    return StatisticsRows::tr("%1 µm").arg(figure(value, 3));
}

QString count(qint64 number)
{
    return QLocale().toString(number);
}

} // namespace

QVector<StatisticsRows::Row> StatisticsRows::of(const Batch &batch)
{
    const RunningStatistics &stats = batch.statistics();
    return {
        {tr("Readings"), count(stats.readings())},
        {tr("Over range"), count(stats.overRange())},
        {tr("Under range"), count(stats.underRange())},
        {tr("Mean"), micrometres(stats.mean())},
        {tr("Standard deviation"), micrometres(stats.stddev())},
        {tr("Minimum"), micrometres(stats.min())},
        {tr("Maximum"), micrometres(stats.max())},
        {tr("Range"), micrometres(stats.range())},
        {tr("σ within"), micrometres(stats.sigmaWithin())},
        {tr("Lower limit"), micrometres(batch.lowerUm())},
        {tr("Upper limit"), micrometres(batch.upperUm())},
        {tr("Nominal"), micrometres(batch.nominalUm())},
        {tr("Below the lower limit"), count(stats.belowLower())},
        {tr("Above the upper limit"), count(stats.aboveUpper())},
        {tr("Cp"), figure(stats.cp(), 3)},
        {tr("Cpk"), figure(stats.cpk(), 3)},
        {tr("Pp"), figure(stats.pp(), 3)},
        {tr("Ppk"), figure(stats.ppk(), 3)},
    };
}
