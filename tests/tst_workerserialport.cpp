#include "acquisition/workerserialport.h"
#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"
#include "testsupport/headstreamer.h"
#include "testsupport/processprobe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <fcntl.h>

namespace
{

PortLister portsOf(const QStringList &locations)
{
    return [locations] { return locations; };
}

// A worker started on the test's own thread with its watchdog stopped, so that the test
// drives it tick by tick.
class DrivenWorker
{
public:
    explicit DrivenWorker(const QStringList &ports)
        : worker(nullptr, portsOf(ports)), com(&worker, &WorkerSerialPort::signal_com),
          lines(&worker, &WorkerSerialPort::signal_newLine)
    {
        QObject::connect(&worker, &WorkerSerialPort::signal_newFixed, [this](int value) {
            readings.append(QStringLiteral("fixed %1").arg(value));
        });
        QObject::connect(&worker, &WorkerSerialPort::signal_newLine,
                         [this](int value, const QString &serial) {
                             readings.append(QStringLiteral("line %1 %2").arg(value).arg(serial));
                         });
        worker.process();
        watchdog = worker.findChild<QTimer *>();
        if (watchdog)
            watchdog->stop();
    }

    void tick(int times)
    {
        for (int i = 0; i < times; ++i)
            worker.updateTime();
    }

    WorkerSerialPort worker;
    QSignalSpy com;
    QSignalSpy lines;
    QStringList readings; // both reading signals, in the order they came
    QTimer *watchdog = nullptr;
};

// The access modes (O_RDONLY, O_WRONLY, O_RDWR) of this process's descriptors open on path.
QList<int> accessModesOn(const QString &path)
{
    QList<int> modes;
    const QStringList descriptors = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files);
    for (const QString &fd : descriptors) {
        if (QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + fd) != path)
            continue;
        QFile info(QStringLiteral("/proc/self/fdinfo/") + fd);
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : info.readAll().split('\n')) {
            if (line.startsWith("flags:"))
                modes.append(int(line.mid(6).trimmed().toUInt(nullptr, 8)) & O_ACCMODE);
        }
    }
    return modes;
}

QMutex warningsLock;
QStringList crossThreadWarnings;

void recordCrossThreadWarnings(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtDebugMsg || !text.contains(QLatin1String("thread"), Qt::CaseInsensitive))
        return;
    QMutexLocker lock(&warningsLock);
    crossThreadWarnings.append(text);
}

// A worker in its own thread, wired as the window wires it and released as the thread
// ends. What it reports is recorded on the test's thread, through queued calls.
class ThreadedWorker : public QObject
{
public:
    explicit ThreadedWorker(PortLister ports)
        : worker(new WorkerSerialPort(nullptr, std::move(ports)))
    {
        worker->moveToThread(&thread);
        connect(&thread, SIGNAL(started()), worker, SLOT(process()));
        connect(&thread, SIGNAL(finished()), worker, SLOT(deleteLater()));
        connect(worker, &WorkerSerialPort::signal_com, this,
                [this](const QString &label) { com.append(label); });
        connect(worker, &WorkerSerialPort::signal_newLine, this, [this] { ++lines; });
        connect(worker, &WorkerSerialPort::stop, this, [this] {
            if (stopAt < 0)
                stopAt = clock.elapsed();
        });
        clock.start();
        thread.start();
    }
    ~ThreadedWorker() override
    {
        thread.quit();
        thread.wait();
    }

    QThread thread;
    QPointer<WorkerSerialPort> worker;
    QElapsedTimer clock;
    QStringList com;
    int lines = 0;
    qint64 stopAt = -1;
};

} // namespace

class TestWorkerSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void portLabel_data();
    void portLabel();

    void probeLimitIsTenTicks();
    void heldFrameReportsFixedBeforeLine();
    void silenceLimitIsFiftyTicksAfterLastMarker();
    void unopenableLocationGivenUpLikeSilentPort();
    void vanishedPortsEndTheWorkerButStillReport();
    void headFoundAfterAPortThatSpewsGarbage();

    void noPortsStopsAfterFiveSeconds();
    void lastSilentPortStopsFiveSecondsAfterGivingUp();
    void headOnThirdPortIsFoundAndKept();
    void silentHeadLosesPortAfterFiveSeconds();

    void unplugClosesPortWithoutSpinning();
    void workerAndPortReleasedWhenThreadEnds();
};

void TestWorkerSerialPort::initTestCase()
{
    qInstallMessageHandler(recordCrossThreadWarnings);
}

void TestWorkerSerialPort::cleanup()
{
    QVERIFY2(crossThreadWarnings.isEmpty(), qPrintable(crossThreadWarnings.join('\n')));
}

void TestWorkerSerialPort::portLabel_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("label");
    QTest::newRow("windows device path")
        << QStringLiteral("\\\\.\\COM12") << QStringLiteral("COM12");
    QTest::newRow("plain com name") << QStringLiteral("COM3") << QStringLiteral("COM3");
    QTest::newRow("unix device node")
        << QStringLiteral("/dev/ttyUSB0") << QStringLiteral("ttyUSB0");
    QTest::newRow("pseudo-terminal") << QStringLiteral("/dev/pts/3") << QStringLiteral("pts/3");
    QTest::newRow("full stops elsewhere")
        << QStringLiteral("/dev/tty.usb.serial-1") << QStringLiteral("ttyusbserial-1");
    QTest::newRow("device folder only at the start")
        << QStringLiteral("/tmp/dev/ttyS1") << QStringLiteral("/tmp/dev/ttyS1");
    QTest::newRow("a longer folder name")
        << QStringLiteral("/devices/ttyS1") << QStringLiteral("/devices/ttyS1");
    QTest::newRow("empty") << QString() << QString();
}

void TestWorkerSerialPort::portLabel()
{
    QFETCH(QString, location);
    QFETCH(QString, label);
    QCOMPARE(WorkerSerialPort::portLabel(location), label);
}

void TestWorkerSerialPort::probeLimitIsTenTicks()
{
    HeadSimulator first, second;
    DrivenWorker run({first.slavePath(), second.slavePath()});
    QVERIFY(run.watchdog);
    QCOMPARE(run.watchdog->interval(), 100);
    QCOMPARE(run.com.count(), 1);
    // The label names the terminal the worker opens by its full path.
    const QString firstLabel = run.com.at(0).at(0).toString();
    QVERIFY2(firstLabel.startsWith(QLatin1String("pts/")), qPrintable(firstLabel));
    QCOMPARE(QStringLiteral("/dev/") + firstLabel, first.slavePath());
    QTRY_VERIFY(first.slaveHeld());
    // Nothing is ever sent to the head: the port is open for reading only.
    QCOMPARE(accessModesOn(first.slavePath()), QList<int>{O_RDONLY});

    run.tick(9);
    QCOMPARE(run.com.count(), 1);
    run.tick(1);
    QCOMPARE(run.com.count(), 2);
    QCOMPARE(run.com.at(1).at(0).toString(), WorkerSerialPort::portLabel(second.slavePath()));
    QTRY_VERIFY(!first.slaveHeld());
    QTRY_VERIFY(second.slaveHeld());
}

void TestWorkerSerialPort::heldFrameReportsFixedBeforeLine()
{
    HeadSimulator head;
    DrivenWorker run({head.slavePath()});
    QTRY_VERIFY(head.slaveHeld());
    QVERIFY(head.write(headFrame(-456, true, "ABC123") + headFrame(7, false, "ABC123")));
    QTRY_COMPARE(run.readings.size(), 3);
    QCOMPARE(run.readings,
             QStringList({QStringLiteral("fixed -456"), QStringLiteral("line -456 ABC123"),
                          QStringLiteral("line 7 ABC123")}));
}

void TestWorkerSerialPort::silenceLimitIsFiftyTicksAfterLastMarker()
{
    HeadSimulator head, spare;
    DrivenWorker run({head.slavePath(), spare.slavePath()});
    QTRY_VERIFY(head.slaveHeld());

    QVERIFY(head.write(headFrame(1)));
    QTRY_COMPARE(run.lines.count(), 1);
    // Past the probe limit: a port that carried a marker is held longer.
    run.tick(30);
    QCOMPARE(run.com.count(), 1);

    // A marker restarts the count.
    QVERIFY(head.write(headFrame(2)));
    QTRY_COMPARE(run.lines.count(), 2);
    run.tick(49);
    QCOMPARE(run.com.count(), 1);

    // A head that keeps talking keeps its port for ever.
    for (int frame = 3; frame < 6; ++frame) {
        QVERIFY(head.write(headFrame(frame)));
        QTRY_COMPARE(run.lines.count(), frame);
        run.tick(49);
    }
    QCOMPARE(run.com.count(), 1);
    run.tick(1);
    QCOMPARE(run.com.count(), 2);
    QCOMPARE(run.com.at(1).at(0).toString(), WorkerSerialPort::portLabel(spare.slavePath()));

    // The next port is probed afresh, with the short limit.
    run.tick(9);
    QCOMPARE(run.com.count(), 2);
}

void TestWorkerSerialPort::unopenableLocationGivenUpLikeSilentPort()
{
    HeadSimulator head;
    DrivenWorker run({QStringLiteral("/nonexistent/ttyHEAD"), head.slavePath()});
    QCOMPARE(run.com.count(), 1);
    QCOMPARE(run.com.at(0).at(0).toString(), QStringLiteral("/nonexistent/ttyHEAD"));
    run.tick(10);
    QCOMPARE(run.com.count(), 2);
    QTRY_VERIFY(head.slaveHeld());
}

void TestWorkerSerialPort::vanishedPortsEndTheWorkerButStillReport()
{
    HeadSimulator head;
    int calls = 0;
    const QString location = head.slavePath();
    WorkerSerialPort worker(nullptr, [&calls, location] {
        return ++calls == 1 ? QStringList{location} : QStringList{};
    });
    QSignalSpy finished(&worker, &WorkerSerialPort::finished);
    QSignalSpy com(&worker, &WorkerSerialPort::signal_com);
    worker.process();
    QCOMPARE(calls, 2);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(com.count(), 1);
    QCOMPARE(com.at(0).at(0).toString(), QString());
    QVERIFY(!head.slaveHeld());
}

void TestWorkerSerialPort::headFoundAfterAPortThatSpewsGarbage()
{
    HeadSimulator noisy, head;
    DrivenWorker run({noisy.slavePath(), head.slavePath()});
    QTRY_VERIFY(noisy.slaveHeld());

    // Another device's output fills the decoder's window; none of it holds a whole marker.
    QRandomGenerator random(7);
    QByteArray garbage;
    for (int i = 0; i < 2000; ++i) {
        const char byte = char(random.bounded(256));
        garbage.append(byte == 'K' ? 'k' : byte);
    }
    QVERIFY(noisy.write(garbage + "KV7"));
    QTest::qWait(300);
    run.tick(10);
    QCOMPARE(run.com.count(), 2);
    QCOMPARE(run.lines.count(), 0);

    QTRY_VERIFY(head.slaveHeld());
    QVERIFY(head.write(headFrame(-321, false, "NOISE1")));
    QTRY_COMPARE(run.lines.count(), 1);
    QCOMPARE(run.lines.at(0).at(0).toInt(), -321);
    QCOMPARE(run.lines.at(0).at(1).toString(), QStringLiteral("NOISE1"));
}

void TestWorkerSerialPort::noPortsStopsAfterFiveSeconds()
{
    ThreadedWorker run(portsOf({}));
    QTRY_VERIFY_WITH_TIMEOUT(run.stopAt >= 0, 8000);
    QVERIFY2(run.stopAt >= 4900 && run.stopAt < 6500, qPrintable(QString::number(run.stopAt)));
    QVERIFY(run.com.isEmpty());
}

void TestWorkerSerialPort::lastSilentPortStopsFiveSecondsAfterGivingUp()
{
    HeadSimulator silent;
    ThreadedWorker run(portsOf({silent.slavePath()}));
    QTRY_COMPARE(run.com, QStringList{WorkerSerialPort::portLabel(silent.slavePath())});
    QTRY_VERIFY_WITH_TIMEOUT(run.stopAt >= 0, 9000);
    QVERIFY2(run.stopAt >= 5900 && run.stopAt < 7500, qPrintable(QString::number(run.stopAt)));
    QCOMPARE(run.com.size(), 1);
}

void TestWorkerSerialPort::headOnThirdPortIsFoundAndKept()
{
    HeadSimulator first, second, head;
    HeadStreamer stream(head);
    ThreadedWorker run(portsOf({first.slavePath(), second.slavePath(), head.slavePath()}));
    QTRY_COMPARE_WITH_TIMEOUT(run.com.size(), 3, 4000);
    const qint64 foundAt = run.clock.elapsed();
    QVERIFY2(foundAt >= 1800 && foundAt < 3000, qPrintable(QString::number(foundAt)));
    QCOMPARE(run.com.at(2), WorkerSerialPort::portLabel(head.slavePath()));
    QTRY_VERIFY(run.lines > 0);
    QCOMPARE(run.stopAt, -1);
}

void TestWorkerSerialPort::silentHeadLosesPortAfterFiveSeconds()
{
    HeadSimulator head, spare;
    ThreadedWorker run(portsOf({head.slavePath(), spare.slavePath()}));
    QTRY_VERIFY(head.slaveHeld());
    for (int i = 0; i < 20; ++i) {
        QVERIFY(head.write(headFrame(i)));
        QTest::qWait(30);
    }
    QTRY_COMPARE(run.lines, 20);
    QElapsedTimer sinceLastMarker;
    sinceLastMarker.start();

    QTRY_COMPARE_WITH_TIMEOUT(run.com.size(), 2, 7000);
    const qint64 lostAfter = sinceLastMarker.elapsed();
    // Not before its time; the tick-driven test pins the tick, where a sanitizer's slower
    // thread would only blur the upper end here.
    QVERIFY2(lostAfter >= 4800 && lostAfter <= 6500, qPrintable(QString::number(lostAfter)));
    QCOMPARE(run.com.at(1), WorkerSerialPort::portLabel(spare.slavePath()));
}

void TestWorkerSerialPort::unplugClosesPortWithoutSpinning()
{
    HeadSimulator head, spare;
    DrivenWorker run({head.slavePath(), spare.slavePath()});
    QTRY_VERIFY(head.slaveHeld());
    QVERIFY(head.write(headFrame(7) + headFrame(8).left(9)));
    QTRY_COMPARE(run.lines.count(), 1);

    // Hung up in the middle of a frame; the watchdog's next tick comes within 100 ms.
    head.hangUp();
    run.tick(1);
    const double cpuBefore = ownCpuSeconds();
    QTest::qWait(1000);
    const double cpuUsed = ownCpuSeconds() - cpuBefore;
    QVERIFY2(cpuUsed < 0.3, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpuUsed)));

    // The search goes on as for a head that fell silent.
    run.tick(48);
    QCOMPARE(run.com.count(), 1);
    run.tick(1);
    QCOMPARE(run.com.count(), 2);
    QTRY_VERIFY(spare.slaveHeld());
}

void TestWorkerSerialPort::workerAndPortReleasedWhenThreadEnds()
{
    HeadSimulator head;
    QPointer<WorkerSerialPort> worker;
    {
        ThreadedWorker run(portsOf({head.slavePath()}));
        worker = run.worker;
        QTRY_VERIFY(head.slaveHeld());
    }
    QVERIFY(worker.isNull());
    QVERIFY(!head.slaveHeld());
}

QTEST_GUILESS_MAIN(TestWorkerSerialPort)
#include "tst_workerserialport.moc"
