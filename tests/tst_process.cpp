// The shipped program as a whole process. It enumerates the machine's own serial
// ports, so every run happens in a private mount namespace where those ports are
// hidden or replaced by a pseudo-terminal: the real ones are never opened.
#include "headsimulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace
{

const QString ReplacedPort = QStringLiteral("/dev/ttyS0");

QStringList unshareArguments()
{
    return geteuid() == 0 ? QStringList{QStringLiteral("-m")} : QStringList{QStringLiteral("-Urm")};
}

// Inside the namespace the system lists exactly the ports named in $PORTS, each bound
// to the device in $DEVICES at the same position; with none, it lists no port at all.
const char *const NamespaceScript = R"(
set -e
mount -t tmpfs none /sys/class/tty
for port in $PORTS; do
  ln -s "$port" /sys/class/tty/
done
set -- $DEVICES
for port in $NODES; do
  mount --bind "$1" "$port"
  shift
done
exec "$BINARY"
)";

class NamespacedRun
{
public:
    NamespacedRun(const QStringList &devices, const QString &workingDir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("BINARY"),
                   QFileInfo(qEnvironmentVariable("HEAD_READOUT_BINARY")).absoluteFilePath());
        env.insert(QStringLiteral("DEVICES"), devices.join(' '));
        if (!devices.isEmpty()) {
            env.insert(QStringLiteral("PORTS"),
                       QFileInfo(QStringLiteral("/sys/class/tty/ttyS0")).canonicalFilePath());
            env.insert(QStringLiteral("NODES"), ReplacedPort);
        }
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(workingDir);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        clock.start();
        process.start(QStringLiteral("unshare"),
                      unshareArguments() + QStringList{QStringLiteral("sh"), QStringLiteral("-c"),
                                                       QString::fromLatin1(NamespaceScript)});
    }
    ~NamespacedRun()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    // Milliseconds from start to exit, or -1 if it did not end within the limit.
    qint64 waitForExit(int limitMs)
    {
        if (!process.waitForFinished(limitMs))
            return -1;
        return clock.elapsed();
    }

    QProcess process;
    QElapsedTimer clock;
};

} // namespace

class TestProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noPortExitsAfterFiveSeconds();
    void silentPortExitsAfterSixSeconds();
    void headReadAndNoteKeptUntilUnplugged();
};

void TestProcess::initTestCase()
{
    QVERIFY(QFileInfo::exists(qEnvironmentVariable("HEAD_READOUT_BINARY")));
    QProcess probe;
    probe.start(QStringLiteral("unshare"),
                unshareArguments() +
                    QStringList{QStringLiteral("sh"), QStringLiteral("-c"),
                                QStringLiteral("mount -t tmpfs none /sys/class/tty")});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        QSKIP("private mount namespaces are not permitted here, so the real program cannot be "
              "run without touching the machine's own serial ports");
}

void TestProcess::noPortExitsAfterFiveSeconds()
{
    QTemporaryDir dir;
    NamespacedRun run({}, dir.path());
    const qint64 exitedAt = run.waitForExit(15000);
    qInfo("no port: exited after %lld ms", exitedAt);
    QVERIFY(exitedAt >= 0);
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    QVERIFY2(exitedAt >= 4900 && exitedAt < 7000, qPrintable(QString::number(exitedAt)));
}

void TestProcess::silentPortExitsAfterSixSeconds()
{
    if (!QFileInfo::exists(QStringLiteral("/sys/class/tty/ttyS0")) ||
        !QFileInfo::exists(ReplacedPort))
        QSKIP("this machine has no enumerated serial port to stand a pseudo-terminal in for");
    HeadSimulator silent;
    QTemporaryDir dir;
    NamespacedRun run({silent.slavePath()}, dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(silent.slaveHeld(), 5000);
    const qint64 exitedAt = run.waitForExit(15000);
    qInfo("one silent port: exited after %lld ms", exitedAt);
    QVERIFY(exitedAt >= 0);
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    QVERIFY2(exitedAt >= 5900 && exitedAt < 8000, qPrintable(QString::number(exitedAt)));
}

void TestProcess::headReadAndNoteKeptUntilUnplugged()
{
    if (!QFileInfo::exists(QStringLiteral("/sys/class/tty/ttyS0")) ||
        !QFileInfo::exists(ReplacedPort))
        QSKIP("this machine has no enumerated serial port to stand a pseudo-terminal in for");
    HeadSimulator head;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("serial_number")));
    const QString note = dir.filePath(QStringLiteral("serial_number/HD0042.txt"));
    NamespacedRun run({head.slavePath()}, dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(head.slaveHeld(), 5000);

    // Garbage first, then frames: the head is found and its note file is created.
    QVERIFY(head.write(QByteArray(300, '\x07') + "KV7KV73-99"));
    for (int i = 0; i < 30 && !QFileInfo::exists(note); ++i) {
        QVERIFY(head.write(HeadSimulator::frame(1000 + i, i % 5 == 0, "HD0042")));
        QTest::qWait(50);
    }
    QTRY_VERIFY(QFileInfo::exists(note));
    QFile file(note);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\n"));

    // Still running well past the probe limit while frames come; then unplugged.
    QCOMPARE(run.process.state(), QProcess::Running);
    head.hangUp();
    QElapsedTimer sinceUnplug;
    sinceUnplug.start();
    QVERIFY(run.waitForExit(20000) >= 0);
    const qint64 exitedAfter = sinceUnplug.elapsed();
    qInfo("head unplugged: exited %lld ms later", exitedAfter);
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    QVERIFY2(exitedAfter >= 9000 && exitedAfter < 12000, qPrintable(QString::number(exitedAfter)));
}

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
