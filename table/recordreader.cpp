#include "table/recordreader.h"

#include "measurement/measurement.h"

#include <QDate>
#include <QTime>
#include <QTimeZone>

#include <cstring>

namespace
{

constexpr int TimeSize = 29; // 2026-12-07T14:03:12.345+01:00

bool digitsAt(const char *text, int count, int &value)
{
    value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF) and no
// control character: what the writer's serials are.
bool cleanText(const unsigned char *p, const unsigned char *end)
{
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7f)
                return false;
            ++p;
            continue;
        }
        int more = 0;
        unsigned int code = 0;
        unsigned int least = 0;
        if ((c & 0xe0) == 0xc0) {
            more = 1, code = c & 0x1f, least = 0x80;
        } else if ((c & 0xf0) == 0xe0) {
            more = 2, code = c & 0x0f, least = 0x800;
        } else if ((c & 0xf8) == 0xf0) {
            more = 3, code = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (end - p <= more)
            return false;
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3f);
        }
        if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;
        p += more + 1;
    }
    return true;
}

bool readingAt(const char *begin, const char *end, int &tenths)
{
    const auto size = end - begin;
    if (size == 4 && std::memcmp(begin, "over", 4) == 0) {
        tenths = Measurement::OverRange;
        return true;
    }
    if (size == 5 && std::memcmp(begin, "under", 5) == 0) {
        tenths = Measurement::UnderRange;
        return true;
    }
    const bool negative = size > 0 && *begin == '-';
    const char *digits = begin + (negative ? 1 : 0);
    const auto whole = end - digits - 2; // before ".d"
    int integer = 0;
    int decimal = 0;
    if (whole < 1 || whole > 3 || end[-2] != '.' || !digitsAt(digits, int(whole), integer) ||
        !digitsAt(end - 1, 1, decimal))
        return false;
    const int magnitude = integer * 10 + decimal;
    if (magnitude >= Measurement::OverRange)
        return false;
    tenths = negative ? -magnitude : magnitude;
    return true;
}

} // namespace

std::optional<RecordView> RecordView::parse(const char *begin, const char *end)
{
    RecordView record;
    int offsetHours = 0;
    int offsetMinutes = 0;
    const char *t = begin;
    if (end - begin < TimeSize + 5 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
        t[16] != ':' || t[19] != '.' || (t[23] != '+' && t[23] != '-') || t[26] != ':' ||
        t[TimeSize] != ',' || !digitsAt(t, 4, record.year) || !digitsAt(t + 5, 2, record.month) ||
        !digitsAt(t + 8, 2, record.day) || !digitsAt(t + 11, 2, record.hour) ||
        !digitsAt(t + 14, 2, record.minute) || !digitsAt(t + 17, 2, record.second) ||
        !digitsAt(t + 20, 3, record.msec) || !digitsAt(t + 24, 2, offsetHours) ||
        !digitsAt(t + 27, 2, offsetMinutes))
        return std::nullopt;
    if (!QDate::isValid(record.year, record.month, record.day) ||
        !QTime::isValid(record.hour, record.minute, record.second, record.msec) ||
        offsetMinutes > 59 || offsetHours * 60 + offsetMinutes > 14 * 60)
        return std::nullopt;
    record.offsetSeconds = (offsetHours * 60 + offsetMinutes) * 60 * (t[23] == '-' ? -1 : 1);

    // The serial: quoted with its quotes doubled, or plain up to the next comma.
    const char *p = begin + TimeSize + 1;
    if (*p == '"') {
        record.quoted = true;
        record.serialBegin = ++p;
        while (true) {
            p = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
            if (!p)
                return std::nullopt;
            if (p + 1 < end && p[1] == '"') {
                p += 2;
                continue;
            }
            break;
        }
        record.serialEnd = p++;
        if (p >= end || *p != ',')
            return std::nullopt;
    } else {
        record.serialBegin = p;
        p = static_cast<const char *>(std::memchr(p, ',', size_t(end - p)));
        if (!p || std::memchr(record.serialBegin, '"', size_t(p - record.serialBegin)))
            return std::nullopt;
        record.serialEnd = p;
    }
    if (!cleanText(reinterpret_cast<const unsigned char *>(record.serialBegin),
                   reinterpret_cast<const unsigned char *>(record.serialEnd)))
        return std::nullopt;

    // The reading and the held flag: what is left is "READING,F".
    const char *reading = p + 1;
    if (end - reading < 3 || end[-2] != ',' || (end[-1] != '0' && end[-1] != '1') ||
        !readingAt(reading, end - 2, record.tenths))
        return std::nullopt;
    record.held = end[-1] == '1';
    return record;
}

QDateTime RecordView::time() const
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec),
                     QTimeZone(offsetSeconds));
}

QString RecordView::serial() const
{
    QString text = QString::fromUtf8(serialBegin, int(serialEnd - serialBegin));
    if (quoted)
        text.replace(QLatin1String("\"\""), QLatin1String("\""));
    return text;
}

std::optional<Reading> readRecord(const QByteArray &line)
{
    const std::optional<RecordView> record =
        RecordView::parse(line.constData(), line.constData() + line.size());
    if (!record)
        return std::nullopt;
    return Reading{record->time().toMSecsSinceEpoch(), record->serial(), record->tenths,
                   record->held};
}
