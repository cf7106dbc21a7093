#ifndef READINGMESSAGE_H
#define READINGMESSAGE_H

#include <QByteArray>
#include <QString>

#include <optional>

// One record of the table as the broker gets it: on PREFIX/SERIAL/reading, a JSON object
// with the record's own time and reading text, and its number in the table (1 = the first
// record after the header), by which a subscriber drops a repeat.
struct ReadingMessage {
    QByteArray topic;
    QByteArray payload;

    // Nothing where the line (without its line end) is no whole record.
    static std::optional<ReadingMessage> of(const QByteArray &line, qint64 number,
                                            const QString &prefix);
};

// The serial as one topic level: + # / and control characters become _, so that no
// serial can reach another head's topic or a wildcard.
QString topicLevel(const QString &serial);

#endif
