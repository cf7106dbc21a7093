#include "table/csvrecord.h"

#include "measurement/measurement.h"

#include <cstdlib>
#include <ctime>

namespace
{

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
QByteArray csvField(const QString &text)
{
    QString field = visibleText(text);
    const bool quote = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
                       field.startsWith(QLatin1Char(' ')) || field.endsWith(QLatin1Char(' '));
    if (!quote)
        return field.toUtf8();
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return (QLatin1Char('"') + field + QLatin1Char('"')).toUtf8();
}

void appendDigits(QByteArray &to, int number, int digits)
{
    char text[10];
    for (int i = digits - 1; i >= 0; --i, number /= 10)
        text[i] = char('0' + number % 10);
    to.append(text, digits);
}

// Micrometres with one decimal as a plain number (123.4, -0.7, 0.0); "over" and "under"
// beyond the range the window shows, the same limits as its texts. Testing before any
// negation keeps the most negative int from overflowing.
void appendReading(QByteArray &to, int value)
{
    if (value >= Measurement::OverRange) {
        to.append("over");
        return;
    }
    if (value <= Measurement::UnderRange) {
        to.append("under");
        return;
    }
    if (value < 0)
        to.append('-');
    const int magnitude = std::abs(value);
    const int whole = magnitude / 10;
    appendDigits(to, whole, whole >= 1000 ? 4 : whole >= 100 ? 3 : whole >= 10 ? 2 : 1);
    to.append('.');
    to.append(char('0' + magnitude % 10));
}

// Rounded down, so that an instant before 1970 still gets a millisecond from 0 to 999.
qint64 secondOf(qint64 msecsSinceEpoch)
{
    return msecsSinceEpoch / 1000 - (msecsSinceEpoch % 1000 < 0 ? 1 : 0);
}

// The local date and time of that second, and its offset from UTC.
void localSecond(qint64 second, QByteArray &secondText, QByteArray &offsetText)
{
    const std::time_t time = std::time_t(second);
    std::tm local{};
    localtime_r(&time, &local);
    secondText.clear();
    appendDigits(secondText, local.tm_year + 1900, 4);
    secondText.append('-');
    appendDigits(secondText, local.tm_mon + 1, 2);
    secondText.append('-');
    appendDigits(secondText, local.tm_mday, 2);
    secondText.append('T');
    appendDigits(secondText, local.tm_hour, 2);
    secondText.append(':');
    appendDigits(secondText, local.tm_min, 2);
    secondText.append(':');
    appendDigits(secondText, local.tm_sec, 2);

    const long offsetMinutes = local.tm_gmtoff / 60;
    const int offset = int(std::labs(offsetMinutes));
    offsetText.clear();
    offsetText.append(offsetMinutes < 0 ? '-' : '+');
    appendDigits(offsetText, offset / 60, 2);
    offsetText.append(':');
    appendDigits(offsetText, offset % 60, 2);
}

} // namespace

QByteArray csvHeader()
{
    return QByteArrayLiteral("time,serial,reading_um,held\n");
}

// Reserved, so that emptying the line for the next record keeps its memory.
CsvRecordMaker::CsvRecordMaker()
{
    line.reserve(128);
}

const QByteArray &CsvRecordMaker::record(const Reading &reading)
{
    // The serial is the same from record to record as long as the head is.
    if (reading.serial != serial || serialField.isNull()) {
        serial = reading.serial;
        serialField = csvField(serial);
    }
    line.resize(0);
    appendTime(reading.msecsSinceEpoch);
    line.append(',');
    line.append(serialField);
    line.append(',');
    appendReading(line, reading.value);
    line.append(',');
    line.append(reading.held ? '1' : '0');
    line.append('\n');
    return line;
}

void CsvRecordMaker::appendTime(qint64 msecsSinceEpoch)
{
    const qint64 thisSecond = secondOf(msecsSinceEpoch);
    if (thisSecond != second) {
        localSecond(thisSecond, secondText, offsetText);
        second = thisSecond;
    }
    line.append(secondText);
    line.append('.');
    appendDigits(line, int(msecsSinceEpoch - thisSecond * 1000), 3);
    line.append(offsetText);
}

QString readingText(int value)
{
    QByteArray text;
    appendReading(text, value);
    return QString::fromLatin1(text);
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
