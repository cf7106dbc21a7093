#ifndef SENTMARK_H
#define SENTMARK_H

#include <QString>
#include <QtGlobal>

// How far into the table the broker has acknowledged every record, kept beside the table
// in TABLE.sent: the records acknowledged (counted as table lines after the header) and
// the byte where the first one not yet acknowledged starts. Replaced whole, through a
// synced temporary file and a rename, so a crash leaves the old mark or the new one.
struct SentMark {
    qint64 records = 0;
    qint64 offset = 0; // 0: nothing read yet, not even the header

    static QString pathFor(const QString &table);
    // The mark for the table; nothing sent where there is none. A mark that does not fit
    // the table (beyond its end, or not at a line's start) is no mark: notice says so,
    // and everything is sent again rather than something skipped.
    static SentMark load(const QString &table, QString &notice);
    // False, with the reason in error, where it could not be kept.
    bool save(const QString &table, QString &error) const;
};

#endif
