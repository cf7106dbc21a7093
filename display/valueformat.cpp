#include "display/valueformat.h"

namespace
{

constexpr int RangeLimit = 2560;

QString signedText(const char *sign, int magnitude)
{
    return QLatin1String(sign) + QString::number(magnitude / 10, 10) + QLatin1Char('.') +
           QString::number(magnitude % 10, 10);
}

} // namespace

QString formatValue(int value)
{
    // Tested before any negation, so the most negative int never overflows.
    if (value >= RangeLimit)
        return QStringLiteral("+^^^.^");
    if (value <= -RangeLimit)
        return QStringLiteral("-vvv.v");
    if (value > 0)
        return signedText("+", value);
    if (value < 0)
        return signedText("-", -value);
    return QStringLiteral("0.0");
}
