// The shipped program as a whole process. It enumerates the machine's own serial
// ports, so every run happens in a private mount namespace where the system lists only
// the test's pseudo-terminals, or no port: the real ones are never opened.
#include "testsupport/filebytes.h"
#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"
#include "testsupport/namespacedrun.h"
#include "testsupport/processprobe.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace
{

QStringList machineLockFiles()
{
    return QDir(QStringLiteral("/run/lock"))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// The window as it ships, on the given ports.
class WindowRun : public NamespacedRun
{
public:
    WindowRun(const QStringList &ports, const QString &workingDir,
              const QString &program = qEnvironmentVariable("HEAD_READOUT_BINARY"),
              const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
        : NamespacedRun(program, {}, ports, workingDir, env)
    {
    }
};

// Replaced in one step, so the test itself never leaves a partial note behind.
bool replaceFile(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() &&
           file.commit();
}

// The desktop entries of the program installed under root, wherever its prefix put them.
QStringList installedDesktopEntries(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, {QStringLiteral("head-readout.desktop")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String("/share/applications/head-readout.desktop")))
            entries.append(path);
    }
    return entries;
}

// The program an entry starts, its arguments left off.
QString desktopEntryCommand(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith('['))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5).section(' ', 0, 0);
    }
    return {};
}

} // namespace

class TestProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void noPortExitsAfterFiveSeconds();
    void silentPortExitsAfterSixSeconds();
    void headReadAndNoteKeptUntilUnplugged();
    void terminatedWhileRewritingKeepsNoteWhole();
    void desktopEntryKeepsNotesInUserDataFolder();

private:
    QStringList lockFilesAtStart;
};

void TestProcess::initTestCase()
{
    lockFilesAtStart = machineLockFiles();
    QVERIFY(QFileInfo::exists(qEnvironmentVariable("HEAD_READOUT_BINARY")));
    if (!NamespacedRun::permitted())
        QSKIP("private mount namespaces are not permitted here, so the real program cannot be "
              "run without touching the machine's own serial ports and lock files");
}

void TestProcess::cleanupTestCase()
{
    QStringList added;
    for (const QString &name : machineLockFiles()) {
        if (!lockFilesAtStart.contains(name))
            added.append(name);
    }
    QVERIFY2(added.isEmpty(), qPrintable(added.join(' ')));
}

void TestProcess::noPortExitsAfterFiveSeconds()
{
    QTemporaryDir dir;
    WindowRun run({}, dir.path());
    const qint64 exitedAt = run.waitForExit(15000);
    qInfo("no port: exited after %lld ms", exitedAt);
    QVERIFY(exitedAt >= 0);
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    QVERIFY2(exitedAt >= 4900 && exitedAt < 7000, qPrintable(QString::number(exitedAt)));
}

void TestProcess::silentPortExitsAfterSixSeconds()
{
    HeadSimulator silent;
    QTemporaryDir dir;
    WindowRun run({silent.slavePath()}, dir.path());
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
    HeadSimulator head;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("serial_number")));
    const QString note = dir.filePath(QStringLiteral("serial_number/HD0042.txt"));
    WindowRun run({head.slavePath()}, dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(head.slaveHeld(), 5000);

    // Garbage first, then frames: the head is found and its note file is created.
    QVERIFY(head.write(QByteArray(300, '\x07') + "KV7KV73-99"));
    for (int i = 0; i < 30 && !QFileInfo::exists(note); ++i) {
        QVERIFY(head.write(headFrame(1000 + i, i % 5 == 0, "HD0042")));
        QTest::qWait(50);
    }
    QTRY_VERIFY(QFileInfo::exists(note));
    QFile file(note);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\n"));

    // Still running well past the probe limit while frames come; then unplugged in the
    // middle of a frame. The hung-up line must not make it spin while it waits.
    QCOMPARE(run.process.state(), QProcess::Running);
    QVERIFY(head.write(headFrame(55, false, "HD0042").left(7)));
    QTest::qWait(100);
    const qint64 cpuAtUnplug = cpuTicks(run.process.processId());
    head.hangUp();
    QElapsedTimer sinceUnplug;
    sinceUnplug.start();
    QTest::qWait(3000);
    const qint64 cpuAfter = cpuTicks(run.process.processId());
    qInfo("CPU in the 3 s after the unplug: %lld ticks of %ld per second", cpuAfter - cpuAtUnplug,
          sysconf(_SC_CLK_TCK));
    QVERIFY(cpuAtUnplug >= 0 && cpuAfter >= 0);
    QVERIFY(cpuAfter - cpuAtUnplug < sysconf(_SC_CLK_TCK) / 5);
    QVERIFY(run.waitForExit(20000) >= 0);
    const qint64 exitedAfter = sinceUnplug.elapsed();
    qInfo("head unplugged: exited %lld ms later", exitedAfter);
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    QVERIFY2(exitedAfter >= 9000 && exitedAfter < 12000, qPrintable(QString::number(exitedAfter)));
}

void TestProcess::terminatedWhileRewritingKeepsNoteWhole()
{
    const QByteArray own("bench 7\n");
    const QByteArray other("put there by another program\n");
    int rewritesSeen = 0;
    for (int round = 0; round < 4; ++round) {
        HeadSimulator head;
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("serial_number")));
        const QString note = dir.filePath(QStringLiteral("serial_number/HD0042.txt"));
        QVERIFY(replaceFile(note, own));
        WindowRun run({head.slavePath()}, dir.path());
        QTRY_VERIFY_WITH_TIMEOUT(head.slaveHeld(), 5000);

        // Once its note is loaded, every synchronisation finds the file changed behind
        // its back and rewrites it; the signal lands at a different moment each round.
        QElapsedTimer clock;
        clock.start();
        const qint64 killAt = 1500 + round * 137;
        while (clock.elapsed() < killAt) {
            head.write(headFrame(round, false, "HD0042"), 0);
            if (clock.elapsed() > 500) {
                if (readBytes(note) == own)
                    ++rewritesSeen;
                QVERIFY(replaceFile(note, other));
            }
            QTest::qWait(3);
        }
        ::kill(pid_t(run.process.processId()), SIGTERM);
        QVERIFY(run.process.waitForFinished(5000));
        const QByteArray kept = readBytes(note);
        QVERIFY2(kept == own || kept == other, kept.constData());
    }
    qInfo("rewrites seen between the test's own replacements: %d", rewritesSeen);
    QVERIFY(rewritesSeen > 0);
}

// The desktop entry, as installed, starts the launcher: started from the menu, the
// program keeps its notes in the user's data folder, not in whatever folder it was
// started from.
void TestProcess::desktopEntryKeepsNotesInUserDataFolder()
{
    const QString root = qEnvironmentVariable("HEAD_READOUT_ROOT");
    QVERIFY2(QFileInfo(root).isDir(), "HEAD_READOUT_ROOT names no installed tree");
    const QStringList entries = installedDesktopEntries(root);
    QVERIFY2(entries.size() == 1, qPrintable(entries.join(' ')));
    const QString command = desktopEntryCommand(entries.first());
    QVERIFY2(command.startsWith('/'), qPrintable(command));
    QVERIFY2(QFileInfo(root + command).isExecutable(), qPrintable(command));

    HeadSimulator head;
    QTemporaryDir home;
    QTemporaryDir startedIn;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    WindowRun run({head.slavePath()}, startedIn.path(), root + command, env);
    QTRY_VERIFY_WITH_TIMEOUT(head.slaveHeld(), 5000);

    const QString note =
        home.filePath(QStringLiteral(".local/share/head-readout/serial_number/HD0077.txt"));
    for (int i = 0; i < 30 && !QFileInfo::exists(note); ++i) {
        QVERIFY(head.write(headFrame(i, false, "HD0077")));
        QTest::qWait(50);
    }
    QTRY_VERIFY2(QFileInfo::exists(note), qPrintable(note));
    QVERIFY(QDir(startedIn.path()).isEmpty());
}

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
