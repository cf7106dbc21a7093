#ifndef RECORDREADER_H
#define RECORDREADER_H

#include "table/csvrecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// One line of a table (without its line end) as the recorder writes them: four fields,
// quoted as RFC 4180 quotes, a valid local time with milliseconds and its offset from
// UTC, a serial in UTF-8 without control characters, a reading in micrometres with one
// decimal ("over" and "under" beyond the range) and a held flag of 0 or 1. Every field is
// checked; the time and serial are only converted when asked for, so that reading a
// long table costs little more than finding its lines.
class RecordView
{
public:
    // Nothing where the line is no whole record. The view points into the line.
    static std::optional<RecordView> parse(const char *begin, const char *end);

    int tenths = 0; // with the range's sentinels for over and under
    bool held = false;

    QDateTime time() const;
    QString serial() const;

private:
    RecordView() = default;

    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    int offsetSeconds = 0;
    const char *serialBegin = nullptr;
    const char *serialEnd = nullptr;
    bool quoted = false;
};

// The line read back as the reading it records, or nothing where it is no whole record.
std::optional<Reading> readRecord(const QByteArray &line);

#endif
