#include "table/csvrecord.h"

#include "measurement/measurement.h"

#include <QLocale>

#include <cstdlib>

namespace
{

QString twoDigits(int number)
{
    return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

bool invisible(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_NotAssigned:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// Quoted where a CSV reader would otherwise split it, or might trim its blanks.
QString csvField(const QString &text)
{
    QString field = visibleText(text);
    const bool quote = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
                       field.startsWith(QLatin1Char(' ')) || field.endsWith(QLatin1Char(' '));
    if (!quote)
        return field;
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

} // namespace

QByteArray csvHeader()
{
    return QByteArrayLiteral("time,serial,reading_um,held\n");
}

QByteArray csvRecord(const Reading &reading)
{
    const QString line = csvTime(reading.time) + QLatin1Char(',') + csvField(reading.serial) +
                         QLatin1Char(',') + readingText(reading.value) + QLatin1Char(',') +
                         QLatin1Char(reading.held ? '1' : '0') + QLatin1Char('\n');
    return line.toUtf8();
}

QString csvTime(const QDateTime &time)
{
    const int offsetMinutes = time.offsetFromUtc() / 60;
    const int offset = std::abs(offsetMinutes);
    return QLocale::c().toString(time, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) +
           QLatin1Char(offsetMinutes < 0 ? '-' : '+') + twoDigits(offset / 60) + QLatin1Char(':') +
           twoDigits(offset % 60);
}

QString readingText(int value)
{
    // The same limits as the window's over- and under-range texts; testing before any
    // negation keeps the most negative int from overflowing.
    if (value >= Measurement::OverRange)
        return QStringLiteral("over");
    if (value <= Measurement::UnderRange)
        return QStringLiteral("under");
    const int magnitude = std::abs(value);
    return (value < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 10) +
           QLatin1Char('.') + QString::number(magnitude % 10);
}

QString visibleText(const QString &text)
{
    QString visible = text;
    for (QChar &c : visible) {
        if (invisible(c))
            c = QChar(QChar::ReplacementCharacter);
    }
    return visible;
}
