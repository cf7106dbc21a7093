#ifndef TABLEFORWARDER_H
#define TABLEFORWARDER_H

#include "publisher/brokerconnection.h"
#include "publisher/sentmark.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>

// Sends the table's records to the broker, in table order, each only once it is in the
// table: the table is the journal, and TABLE.sent says how far the broker has acknowledged
// it. A run starts where the last one's acknowledgements end, so a backlog goes first, and
// what a crash loses is only the knowledge of a few acknowledgements: those records are
// sent again, never skipped.
class TableForwarder : public QObject
{
    Q_OBJECT
public:
    TableForwarder(QString table, const BrokerAddress &broker, const QString &password,
                   const QString &caFile, QObject *parent = nullptr);

    // Opens the table for reading and starts the connection; false, with the reason in
    // error, where either cannot be. notice() then says what was found amiss, if anything.
    bool start(QString &error);
    const QString &notice() const { return startNotice; }
    // The table has grown: records may wait to be sent.
    void tableGrew();
    // Gives the broker at most waitMs to take what is left, where it is connected; then
    // says offline, disconnects and keeps the mark.
    void finish(int waitMs);
    // Records in the table the broker has not acknowledged.
    qint64 unsent();
    const BrokerAddress &broker() const { return connection.address(); }

signals:
    // A fault worth a line on standard error: the connection's, or the mark's.
    void problem(const QString &text);
    void connected();

private:
    struct Sent {
        int id = -1; // -1: a line that is no record, passed over
        qint64 records = 0;
        qint64 offset = 0;
        bool acknowledged = false;
    };

    void readMore();
    // Publishes what the window has room for: false where the library refused one.
    bool fill();
    // Moves the mark over the acknowledged front: whether it moved.
    bool advance();
    bool nextLine(QByteArray &line);
    void acknowledged(int id);
    void keepMark();
    bool allSent();

    QString table;
    BrokerConnection connection;
    QString prefix;
    QFile file;
    QByteArray buffer; // what was read from the file beyond readOffset
    qint64 readOffset = 0;
    qint64 readRecords = 0;
    SentMark mark;
    bool markDirty = false;
    bool online = false;
    std::deque<Sent> inFlight;
    QTimer keepTimer;
    QTimer retryTimer;
    QTimer gatherTimer;
    QString startNotice;
    bool noRecordSaid = false;
};

#endif
