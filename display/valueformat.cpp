#include "display/valueformat.h"

#include "measurement/measurement.h"

namespace
{

QString signedText(const char *sign, int magnitude)
{
    return QLatin1String(sign) + QString::number(magnitude / 10, 10) + QLatin1Char('.') +
           QString::number(magnitude % 10, 10);
}

} // namespace

QString formatValue(int value)
{
    // Tested before any negation, so the most negative int never overflows.
    if (value >= Measurement::OverRange)
        return QStringLiteral("+^^^.^");
    if (value <= Measurement::UnderRange)
        return QStringLiteral("-vvv.v");
    if (value > 0)
        return signedText("+", value);
    if (value < 0)
        return signedText("-", -value);
    return QStringLiteral("0.0");
}
