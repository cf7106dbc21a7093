#include "publisher/tableforwarder.h"

#include "publisher/readingmessage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <utility>

namespace
{

// Enough in flight to keep a loopback broker busy; few enough that a broker that is away
// holds only these in memory, the rest waiting in the table.
constexpr size_t Window = 1000;
constexpr qint64 ReadChunk = qint64(64) * 1024;
// Kept once a second: a crash then sends again at most that much.
constexpr int KeepMs = 1000;
// New records are gathered this long and sent together: a wake-up of the session, a packet
// and an acknowledgement's round for several records rather than for each.
constexpr int GatherMs = 100;
constexpr int RetryMs = 1000;
constexpr int FinishStepMs = 20;

} // namespace

TableForwarder::TableForwarder(QString table, const BrokerAddress &broker, const QString &password,
                               const QString &caFile, QObject *parent)
    : QObject(parent), table(std::move(table)), connection(broker, password, caFile),
      prefix(broker.prefix), file(this->table)
{
    keepTimer.setSingleShot(true);
    keepTimer.setInterval(KeepMs);
    connect(&keepTimer, &QTimer::timeout, this, &TableForwarder::keepMark);
    // A publish the library refused (not connected yet, out of memory) is tried again.
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(RetryMs);
    connect(&retryTimer, &QTimer::timeout, this, &TableForwarder::readMore);
    gatherTimer.setSingleShot(true);
    gatherTimer.setInterval(GatherMs);
    connect(&gatherTimer, &QTimer::timeout, this, &TableForwarder::readMore);
    connect(&connection, &BrokerConnection::acknowledged, this, &TableForwarder::acknowledged);
    connect(&connection, &BrokerConnection::connected, this, [this] {
        online = true;
        emit connected();
        readMore();
    });
    connect(&connection, &BrokerConnection::failed, this, [this](const QString &reason) {
        online = false;
        emit problem(reason);
    });
}

bool TableForwarder::start(QString &error)
{
    mark = SentMark::load(table, startNotice);
    readOffset = mark.offset;
    readRecords = mark.records;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = QStringLiteral("cannot read %1 to send it: %2").arg(table, file.errorString());
        return false;
    }
    if (!connection.start(error))
        return false;
    readMore();
    return true;
}

void TableForwarder::tableGrew()
{
    if (!gatherTimer.isActive())
        gatherTimer.start();
}

bool TableForwarder::nextLine(QByteArray &line)
{
    int end = buffer.indexOf('\n');
    while (end < 0) {
        // Where this reader left off, whatever the file's own position: the table grows
        // through another descriptor.
        if (!file.seek(readOffset + buffer.size()))
            return false;
        const QByteArray more = file.read(ReadChunk);
        if (more.isEmpty())
            return false;
        buffer += more;
        end = buffer.indexOf('\n');
    }
    line = buffer.left(end);
    buffer.remove(0, end + 1);
    readOffset += end + 1;
    return true;
}

void TableForwarder::readMore()
{
    while (fill() && advance()) {
    }
}

bool TableForwarder::fill()
{
    // While the broker is away, the library keeps only what was in flight; the rest waits.
    if (!online)
        return false;
    QByteArray line;
    while (inFlight.size() < Window) {
        const QByteArray before = buffer;
        const qint64 beforeOffset = readOffset;
        if (!nextLine(line))
            return true;
        // The header counts as no record.
        if (beforeOffset == 0)
            continue;
        const std::optional<ReadingMessage> message =
            ReadingMessage::of(line, readRecords + 1, prefix);
        Sent sent;
        sent.records = readRecords + 1;
        sent.offset = readOffset;
        if (!message) {
            if (!noRecordSaid)
                emit problem(QStringLiteral("line %1 of %2 is no record; it is not sent")
                                 .arg(sent.records + 1)
                                 .arg(table));
            noRecordSaid = true;
            sent.acknowledged = true;
        } else if (const std::optional<int> id =
                       connection.publish(message->topic, message->payload)) {
            sent.id = *id;
        } else {
            buffer = before;
            readOffset = beforeOffset;
            retryTimer.start();
            return false;
        }
        readRecords = sent.records;
        inFlight.push_back(sent);
    }
    return true;
}

bool TableForwarder::advance()
{
    bool moved = false;
    while (!inFlight.empty() && inFlight.front().acknowledged) {
        mark.records = inFlight.front().records;
        mark.offset = inFlight.front().offset;
        inFlight.pop_front();
        moved = true;
    }
    if (moved) {
        markDirty = true;
        if (!keepTimer.isActive())
            keepTimer.start();
    }
    return moved;
}

void TableForwarder::acknowledged(int id)
{
    // Only a full window left records unread; the rest come with tableGrew().
    const bool wasFull = inFlight.size() >= Window;
    for (Sent &sent : inFlight) {
        if (sent.id == id && !sent.acknowledged) {
            sent.acknowledged = true;
            break;
        }
    }
    advance();
    if (wasFull)
        readMore();
}

void TableForwarder::keepMark()
{
    if (!markDirty)
        return;
    QString error;
    if (mark.save(table, error))
        markDirty = false;
    else
        emit problem(error);
}

bool TableForwarder::allSent()
{
    readMore();
    return inFlight.empty() && buffer.indexOf('\n') < 0 &&
           readOffset + buffer.size() >= file.size();
}

void TableForwarder::finish(int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    while (online && !allSent() && waited.elapsed() < waitMs)
        QEventLoop().processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                   FinishStepMs);
    connection.stop();
    // Acknowledgements the session told before it ended.
    QCoreApplication::sendPostedEvents(this);
    keepTimer.stop();
    keepMark();
}

qint64 TableForwarder::unsent()
{
    QFile rest(table);
    if (!rest.open(QIODevice::ReadOnly) || !rest.seek(mark.offset))
        return 0;
    qint64 lines = 0;
    for (QByteArray chunk = rest.read(ReadChunk); !chunk.isEmpty(); chunk = rest.read(ReadChunk))
        lines += chunk.count('\n');
    return mark.offset == 0 ? qMax<qint64>(0, lines - 1) : lines;
}
