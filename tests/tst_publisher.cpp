// The recorder sending its table to a real broker, Debian's mosquitto started by the test
// on a free loopback port: every record arrives, in table order, through a broker restart
// and a killed recorder; a broker that refuses or cannot be reached is said once, and the
// records it did not get are counted and wait in the table.
#include "testsupport/filebytes.h"
#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"
#include "testsupport/headstreamer.h"
#include "testsupport/loopbackaddress.h"
#include "testsupport/mosquittobroker.h"
#include "testsupport/namespacedrun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

const QString Table = QStringLiteral("table.csv");
const QByteArray Serial("A/B+#1");
const QString Topic = QStringLiteral("plant/A_B__1/reading");
const QString Password = QStringLiteral("s3cret pass");

enum class Disruption { None, BrokerRestart, RecorderKilled };
// Stopped: nothing listens on its port; silent: something takes the connection and never
// answers.
enum class BrokerState { Running, Stopped, Silent };

// The records the table holds, one line each, without the header.
QList<QByteArray> records(const QString &path)
{
    QList<QByteArray> lines = readBytes(path).split('\n');
    if (!lines.isEmpty())
        lines.removeFirst();
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

qint64 recordNumber(const QByteArray &payload)
{
    return qint64(
        QJsonDocument::fromJson(payload).object().value(QStringLiteral("record")).toDouble(-1));
}

// mosquitto_sub on the readings, in a session the broker keeps while it is away, so that
// what was published before a restart is still delivered after it.
class Subscriber
{
public:
    Subscriber(const MosquittoBroker &broker, const QString &topic)
    {
        process.start(QStringLiteral("mosquitto_sub"),
                      broker.clientArguments() +
                          QStringList{QStringLiteral("-q"), QStringLiteral("1"),
                                      QStringLiteral("-c"), QStringLiteral("-i"),
                                      QStringLiteral("checker"), QStringLiteral("-t"), topic,
                                      QStringLiteral("-F"), QStringLiteral("%t\t%p")});
    }
    ~Subscriber()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    Subscriber(const Subscriber &) = delete;
    Subscriber &operator=(const Subscriber &) = delete;

    int distinctRecords()
    {
        QSet<qint64> numbers;
        for (const QByteArray &line : lines())
            numbers.insert(recordNumber(line.mid(line.indexOf('\t') + 1)));
        return numbers.size();
    }

    qint64 highestRecord()
    {
        qint64 highest = 0;
        for (const QByteArray &line : lines())
            highest = std::max(highest, recordNumber(line.mid(line.indexOf('\t') + 1)));
        return highest;
    }

    QList<QByteArray> lines()
    {
        seen += process.readAllStandardOutput();
        QList<QByteArray> all = seen.split('\n');
        all.removeLast();
        return all;
    }

    QProcess process;
    QByteArray seen;
};

// The recorder on the head, to the table, sending as the broker's user: over TLS, trusting
// caFile, where one is given.
QStringList recorderArguments(const HeadSimulator &head, const QString &table,
                              const MosquittoBroker &broker, const QString &caFile)
{
    QStringList arguments{
        QStringLiteral("-p"),
        head.slavePath(),
        QStringLiteral("-o"),
        table,
        QStringLiteral("--mqtt"),
        QStringLiteral("%1://bench@127.0.0.1:%2/plant")
            .arg(caFile.isEmpty() ? QStringLiteral("mqtt") : QStringLiteral("mqtts"))
            .arg(broker.port())};
    if (!caFile.isEmpty())
        arguments << QStringLiteral("--mqtt-ca") << caFile;
    return arguments;
}

// Takes connections on a loopback port (the kernel does, from its backlog) and never says a
// word on them.
class SilentListener
{
public:
    SilentListener() = default;
    ~SilentListener()
    {
        if (fd >= 0)
            ::close(fd);
    }
    SilentListener(const SilentListener &) = delete;
    SilentListener &operator=(const SilentListener &) = delete;

    bool listen(int port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        const sockaddr_in address = loopbackAddress(port);
        return fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
               ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
               ::listen(fd, 8) == 0;
    }

private:
    int fd = -1;
};

class RecorderRun : public NamespacedRun
{
public:
    // Only to a recorder still running: a pid of 0 would signal the test's own group.
    void signal(int number)
    {
        if (process.state() == QProcess::Running && process.processId() > 0)
            ::kill(pid_t(process.processId()), number);
    }
    RecorderRun(const QString &folder, const QStringList &arguments, const QString &password)
        : NamespacedRun(qEnvironmentVariable("HEAD_READOUT_LOG"), arguments, {}, folder,
                        environment(password))
    {
    }
    static QProcessEnvironment environment(const QString &password)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HEAD_READOUT_MQTT_PASSWORD"), password);
        return env;
    }
    QByteArray errors()
    {
        err += process.readAllStandardError();
        return err;
    }
    QByteArray err;
};

} // namespace

Q_DECLARE_METATYPE(BrokerState)

class TestPublisher : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void everyRecordArrivesInTableOrder_data();
    void everyRecordArrivesInTableOrder();
    void brokerFaultSaidOnceRecordsKept_data();
    void brokerFaultSaidOnceRecordsKept();

private:
    std::optional<QTemporaryDir> folder;
};

void TestPublisher::init()
{
    if (!MosquittoBroker::available())
        QSKIP("Debian's mosquitto, mosquitto-clients and openssl are not installed");
    if (!NamespacedRun::permitted())
        QSKIP("private mount namespaces are not permitted here");
    folder.emplace();
}

void TestPublisher::everyRecordArrivesInTableOrder_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<int>("disruption");
    QTest::newRow("plain") << false << int(Disruption::None);
    QTest::newRow("TLS and a password") << true << int(Disruption::None);
    QTest::newRow("broker away for 10 s") << false << int(Disruption::BrokerRestart);
    QTest::newRow("recorder killed and started again") << false << int(Disruption::RecorderKilled);
}

// Each record once at least, equal to its table line, the first copies in table order.
void TestPublisher::everyRecordArrivesInTableOrder()
{
    QFETCH(bool, tls);
    QFETCH(int, disruption);
    MosquittoBroker broker(folder->path(), {QStringLiteral("bench"), Password, tls});
    QString error;
    QVERIFY2(broker.start(error), qPrintable(error));
    Subscriber subscriber(broker, QStringLiteral("plant/#"));
    QVERIFY(subscriber.process.waitForStarted(5000));
    QTest::qWait(300);

    HeadSimulator head;
    HeadStreamer stream(head, Serial);
    const QString table = folder->filePath(Table);
    const QStringList arguments =
        recorderArguments(head, table, broker, tls ? broker.caFile() : QString());
    auto run = std::make_unique<RecorderRun>(folder->path(), arguments, Password);
    QTRY_VERIFY_WITH_TIMEOUT(records(table).size() > 20, 10000);
    // A held reading, and both ends of the range, among the counting ones.
    QVERIFY(head.write(headFrame(-7, true, Serial) + headFrame(2560, false, Serial) +
                       headFrame(-2560, true, Serial)));

    if (disruption == int(Disruption::BrokerRestart)) {
        broker.stop();
        QTest::qWait(10000);
        const int beforeRestart = records(table).size();
        QVERIFY2(broker.start(error), qPrintable(error));
        // Retried after a pause that grew while the broker was away.
        QTRY_VERIFY_WITH_TIMEOUT(subscriber.highestRecord() > beforeRestart, 40000);
    } else if (disruption == int(Disruption::RecorderKilled)) {
        run->signal(SIGKILL);
        QVERIFY(run->waitForExit(5000) >= 0);
        QTest::qWait(1000);
        run = std::make_unique<RecorderRun>(folder->path(), arguments, Password);
    }
    QTest::qWait(2000);
    stream.timer.stop();
    run->signal(SIGINT);
    QVERIFY(run->waitForExit(20000) >= 0);
    QVERIFY2(run->process.exitCode() == 0, run->errors().constData());

    const QList<QByteArray> lines = records(table);
    QVERIFY(lines.size() > 100);
    QList<qint64> firstSeen;
    // The records, and the status topic's online and offline.
    QTRY_VERIFY_WITH_TIMEOUT(subscriber.distinctRecords() >= lines.size() + 1, 15000);
    bool online = false;
    for (const QByteArray &line : subscriber.lines()) {
        const int tab = line.indexOf('\t');
        const QString topic = QString::fromUtf8(line.left(tab));
        const QByteArray payload = line.mid(tab + 1);
        if (topic == QLatin1String("plant/status")) {
            online = online || payload == "online";
            continue;
        }
        QCOMPARE(topic, Topic);
        const QJsonObject json = QJsonDocument::fromJson(payload).object();
        const qint64 number = recordNumber(payload);
        QVERIFY2(number >= 1 && number <= lines.size(), payload.constData());
        const QList<QByteArray> fields = lines.at(int(number) - 1).split(',');
        QCOMPARE(json.value(QStringLiteral("time")).toString().toUtf8(), fields.at(0));
        QCOMPARE(json.value(QStringLiteral("serial")).toString().toUtf8(), fields.at(1));
        const QByteArray &reading = fields.at(2);
        if (reading == "over" || reading == "under") {
            QVERIFY(json.value(QStringLiteral("reading_um")).isNull());
            QCOMPARE(json.value(QStringLiteral("range")).toString().toUtf8(), reading);
        } else {
            QCOMPARE(json.value(QStringLiteral("reading_um")).toDouble(), reading.toDouble());
            QVERIFY(json.value(QStringLiteral("range")).isNull());
        }
        QCOMPARE(json.value(QStringLiteral("held")).toBool(), fields.at(3) == "1");
        if (!firstSeen.contains(number))
            firstSeen.append(number);
    }
    QVERIFY(online);
    QCOMPARE(firstSeen.size(), lines.size());
    const auto overtaken = std::is_sorted_until(firstSeen.cbegin(), firstSeen.cend());
    QVERIFY2(overtaken == firstSeen.cend(),
             qPrintable(QStringLiteral("record %1 arrived before record %2")
                            .arg(overtaken == firstSeen.cend() ? 0 : *(overtaken - 1))
                            .arg(overtaken == firstSeen.cend() ? 0 : *overtaken)));

    // Said by the recorder when it ended, and kept for whoever subscribes later.
    QProcess status;
    status.start(QStringLiteral("mosquitto_sub"),
                 broker.clientArguments() + QStringList{QStringLiteral("-C"), QStringLiteral("1"),
                                                        QStringLiteral("-t"),
                                                        QStringLiteral("plant/status")});
    QVERIFY(status.waitForFinished(5000));
    QCOMPARE(status.readAllStandardOutput(), QByteArray("offline\n"));
}

void TestPublisher::brokerFaultSaidOnceRecordsKept_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QString>("password");
    QTest::addColumn<BrokerState>("state");
    QTest::addColumn<bool>("strangerCa");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password")
        << false << "guess" << BrokerState::Running << false << "not authorised";
    QTest::newRow("CA that did not sign the broker")
        << true << Password << BrokerState::Running << true << "certificate verify failed";
    QTest::newRow("no broker") << false << Password << BrokerState::Stopped << false
                               << "Connection refused";
    QTest::newRow("broker that never answers")
        << false << Password << BrokerState::Silent << false << "no answer within 15 s";
}

void TestPublisher::brokerFaultSaidOnceRecordsKept()
{
    QFETCH(bool, tls);
    QFETCH(QString, password);
    QFETCH(BrokerState, state);
    QFETCH(bool, strangerCa);
    QFETCH(QString, reason);
    MosquittoBroker broker(folder->path(), {QStringLiteral("bench"), Password, tls});
    QString error;
    QVERIFY2(broker.start(error), qPrintable(error));
    if (state != BrokerState::Running)
        broker.stop();
    SilentListener silent;
    if (state == BrokerState::Silent)
        QVERIFY(silent.listen(broker.port()));

    HeadSimulator head;
    HeadStreamer stream(head, Serial);
    const QString table = folder->filePath(Table);
    const QStringList arguments = recorderArguments(head, table, broker,
                                                    !tls         ? QString()
                                                    : strangerCa ? broker.strangerCaFile()
                                                                 : broker.caFile());
    RecorderRun run(folder->path(), arguments, password);
    // Long enough for a few attempts, or for the wait on a silent one: each is said once.
    QTest::qWait(state == BrokerState::Silent ? 19000 : 4000);
    stream.timer.stop();
    QTest::qWait(300);
    run.signal(SIGINT);
    QVERIFY(run.waitForExit(20000) >= 0);
    QCOMPARE(run.process.exitCode(), 1);

    const QList<QByteArray> lines = records(table);
    QVERIFY(lines.size() > 50);
    QCOMPARE(lines.constLast().split(',').at(2), QByteArray::number(stream.count / 10.0, 'f', 1));
    const QStringList said = QString::fromLocal8Bit(run.errors()).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(said.size() == 2, qPrintable(said.join('|')));
    const QString where =
        QStringLiteral("head-readout-log: broker 127.0.0.1:%1: ").arg(broker.port());
    QVERIFY2(said.at(0).startsWith(where) && said.at(0).contains(reason, Qt::CaseInsensitive),
             qPrintable(said.at(0)));
    QCOMPARE(said.at(1), QStringLiteral("head-readout-log: %1 records not yet sent to 127.0.0.1; "
                                        "the next run with --output %2 sends them")
                             .arg(lines.size())
                             .arg(table));
}

QTEST_GUILESS_MAIN(TestPublisher)
#include "tst_publisher.moc"
