#ifndef CSVRECORD_H
#define CSVRECORD_H

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One reading as the recorder writes it down.
struct Reading {
    QDateTime time; // local time, when the frame was decoded
    QString serial;
    int value = 0; // tenths of a micrometre
    bool held = false;
};

// The table's first line: time,serial,reading_um,held and a line end.
QByteArray csvHeader();

// One reading as one line of the table (RFC 4180 with LF line ends, UTF-8): whatever the
// serial holds, the line has four fields and no other line end.
QByteArray csvRecord(const Reading &reading);

// ISO 8601 with milliseconds and the offset from UTC: 2026-12-07T14:03:12.345+01:00.
QString csvTime(const QDateTime &time);

// Micrometres with one decimal as a plain number (123.4, -0.7, 0.0); "over" and
// "under" beyond the range the window shows.
QString readingText(int value);

// The text with every control, format or unassigned character as U+FFFD, so that it
// stays on its line and sends no sequence to a terminal.
QString visibleText(const QString &text);

#endif
