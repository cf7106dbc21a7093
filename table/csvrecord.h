#ifndef CSVRECORD_H
#define CSVRECORD_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <limits>

// One reading as the recorder writes it down.
struct Reading {
    qint64 msecsSinceEpoch = 0; // when the frame was decoded
    QString serial;
    int value = 0; // tenths of a micrometre
    bool held = false;
};

// The table's first line: time,serial,reading_um,held and a line end.
QByteArray csvHeader();

// Makes the table's lines, one reading each (RFC 4180 with LF line ends, UTF-8): whatever the
// serial holds, the line has four fields and no other line end. The time is local, in
// ISO 8601 with milliseconds and the offset from UTC: 2026-12-07T14:03:12.345+01:00;
// the reading is in micrometres with one decimal. The local time is looked
// up once a second rather than once a record, which an offset from UTC allows: it only
// ever changes on a whole second.
class CsvRecordMaker
{
public:
    CsvRecordMaker();
    // The bytes stay valid until the next call.
    const QByteArray &record(const Reading &reading);

private:
    void appendTime(qint64 msecsSinceEpoch);

    qint64 second = std::numeric_limits<qint64>::min();
    QByteArray secondText; // 2026-12-07T14:03:12
    QByteArray offsetText; // +01:00
    QString serial;
    QByteArray serialField;
    QByteArray line;
};

// Micrometres with one decimal as a plain number (123.4, -0.7, 0.0); "over" and
// "under" beyond the range the window shows.
QString readingText(int value);

// The text with every control, format or unassigned character as U+FFFD, so that it
// stays on its line and sends no sequence to a terminal.
QString visibleText(const QString &text);

#endif
