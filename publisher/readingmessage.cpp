#include "publisher/readingmessage.h"

#include "measurement/measurement.h"
#include "table/recordreader.h"

namespace
{

void appendJsonString(QByteArray &json, const QByteArray &utf8)
{
    json += '"';
    for (const char c : utf8) {
        if (c == '"' || c == '\\')
            json += '\\';
        json += c;
    }
    json += '"';
}

} // namespace

QString topicLevel(const QString &serial)
{
    if (serial.isEmpty())
        return QStringLiteral("_");
    QString level = serial;
    for (QChar &c : level) {
        if (c == QLatin1Char('+') || c == QLatin1Char('#') || c == QLatin1Char('/') ||
            c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    return level;
}

std::optional<ReadingMessage> ReadingMessage::of(const QByteArray &line, qint64 number,
                                                 const QString &prefix)
{
    const std::optional<RecordView> record =
        RecordView::parse(line.constData(), line.constData() + line.size());
    if (!record)
        return std::nullopt;
    // A whole record: the time is its first field, unquoted; the reading the one before
    // the held flag, which is the last. Both go out as the table has them.
    const QByteArray time = line.left(line.indexOf(','));
    const int heldAt = line.lastIndexOf(',');
    const int readingAt = line.lastIndexOf(',', heldAt - 1) + 1;
    const QByteArray reading = line.mid(readingAt, heldAt - readingAt);
    const QString serial = record->serial();

    ReadingMessage message;
    message.topic =
        (prefix + QLatin1Char('/') + topicLevel(serial) + QStringLiteral("/reading")).toUtf8();
    QByteArray &json = message.payload;
    json.reserve(128);
    json += "{\"time\":";
    appendJsonString(json, time);
    json += ",\"serial\":";
    appendJsonString(json, serial.toUtf8());
    const bool over = record->tenths >= Measurement::OverRange;
    const bool under = record->tenths <= Measurement::UnderRange;
    json += ",\"reading_um\":";
    json += over || under ? QByteArray("null") : reading;
    json += ",\"range\":";
    json += over ? "\"over\"" : under ? "\"under\"" : "null";
    json += ",\"held\":";
    json += record->held ? "true" : "false";
    json += ",\"record\":";
    json += QByteArray::number(number);
    json += '}';
    return message;
}
