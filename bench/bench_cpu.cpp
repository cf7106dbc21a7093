// What reading a head costs in processor time: the readout window on one simulated head
// against cat on another and the recorder on a third, all streamed at line rate for the
// same 20 seconds. The heads are head-sim processes, so that no figure includes the
// streaming. The recorder, a program that lists ports, runs where the machine's own
// cannot be reached.

#include "testsupport/namespacedrun.h"
#include "testsupport/processprobe.h"
#include "testsupport/simulatedwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <memory>

#include <unistd.h>

namespace
{

constexpr int MeasureMs = 20000;
// The heads stop by themselves some time after the measurement, should this bench not
// get to stop them.
constexpr int HeadFrames = 60 * 45;

struct Cpu {
    double statSeconds = -1;    // user + system from /proc/<pid>/stat, in clock ticks
    double preciseSeconds = -1; // the same to the microsecond or better
};

// Of a process's own /proc figures stat sums all its threads in clock ticks; each
// thread's schedstat has its own to the nanosecond. The readout's own sum comes from
// getrusage.
Cpu cpuOf(qint64 pid)
{
    Cpu cpu;
    const qint64 ticks = cpuTicks(pid);
    if (ticks >= 0)
        cpu.statSeconds = double(ticks) / double(sysconf(_SC_CLK_TCK));
    if (pid == QCoreApplication::applicationPid()) {
        cpu.preciseSeconds = ownCpuSeconds();
        return cpu;
    }
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    qint64 nanoseconds = 0;
    for (const QString &thread : threads) {
        QFile sched(tasks + QLatin1Char('/') + thread + QStringLiteral("/schedstat"));
        if (!sched.open(QIODevice::ReadOnly))
            return cpu;
        nanoseconds += sched.readAll().split(' ').value(0).toLongLong();
    }
    cpu.preciseSeconds = threads.isEmpty() ? cpu.statSeconds : double(nanoseconds) / 1e9;
    return cpu;
}

Cpu operator-(const Cpu &after, const Cpu &before)
{
    return {after.statSeconds - before.statSeconds, after.preciseSeconds - before.preciseSeconds};
}

// A head-sim process; answers the terminal it plays on, or an empty string.
QString startHead(QProcess &head, const QString &serial)
{
    head.setProgram(QStringLiteral(HEAD_SIM_PROGRAM));
    head.setArguments({QStringLiteral("--count"), QString::number(HeadFrames), serial});
    head.start();
    if (!head.waitForStarted(5000))
        return QString();
    while (!head.canReadLine())
        if (!head.waitForReadyRead(5000))
            return QString();
    return QString::fromLocal8Bit(head.readLine()).trimmed();
}

void printLine(QTextStream &out, const char *what, const Cpu &cpu)
{
    out << "  " << what << ": " << cpu.preciseSeconds * 1000 << " ms (" << cpu.statSeconds * 1000
        << " ms in clock ticks)";
    out << '\n';
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream err(stderr);

    QProcess readoutHead;
    QProcess catHead;
    QProcess recorderHead;
    const QString readoutPort = startHead(readoutHead, QStringLiteral("000123"));
    const QString catPort = startHead(catHead, QStringLiteral("000456"));
    const QString recorderPort = startHead(recorderHead, QStringLiteral("000789"));
    if (readoutPort.isEmpty() || catPort.isEmpty() || recorderPort.isEmpty()) {
        err << "bench-cpu: head-sim did not start\n";
        return 1;
    }
    if (!NamespacedRun::permitted()) {
        err << "bench-cpu: private mount namespaces are not permitted here\n";
        return 1;
    }

    QProcess cat;
    cat.setStandardOutputFile(QProcess::nullDevice());
    cat.start(QStringLiteral("cat"), {catPort});
    if (!cat.waitForStarted(5000)) {
        err << "bench-cpu: cat did not start\n";
        return 1;
    }
    const qint64 catPid = cat.processId();

    QTemporaryDir recorderFolder;
    NamespacedRun recorder(QStringLiteral(HEAD_READOUT_LOG_PROGRAM),
                           {QStringLiteral("--port"), recorderPort, QStringLiteral("--output"),
                            QStringLiteral("records.csv"), QStringLiteral("--quiet")},
                           {}, recorderFolder.path());
    if (!recorder.process.waitForStarted(5000)) {
        err << "bench-cpu: the recorder did not start\n";
        return 1;
    }
    const qint64 recorderPid = recorder.process.processId();

    auto readout = std::make_unique<SimulatedWindow>(QStringList{readoutPort});
    if (!readout->isReady()) {
        err << "bench-cpu: no working folder\n";
        return 1;
    }
    readout->window().show();
    if (!readout->waitForLabel("label_sn", QStringLiteral("000123"), 10000)) {
        err << "bench-cpu: the readout shows no frame\n";
        return 1;
    }

    const qint64 self = QCoreApplication::applicationPid();
    const Cpu readoutBefore = cpuOf(self);
    const Cpu catBefore = cpuOf(catPid);
    const Cpu recorderBefore = cpuOf(recorderPid);
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(MeasureMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = double(wall.elapsed()) / 1000;
    const Cpu readoutUsed = cpuOf(self) - readoutBefore;
    const Cpu catUsed = cpuOf(catPid) - catBefore;
    const Cpu recorderUsed = cpuOf(recorderPid) - recorderBefore;
    const bool catLasted = cat.state() == QProcess::Running;
    const bool recorderLasted = recorder.process.state() == QProcess::Running;

    readout.reset();
    for (QProcess *process : {&readoutHead, &catHead, &recorderHead, &cat, &recorder.process}) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    if (!catLasted || !recorderLasted) {
        err << "bench-cpu: cat or the recorder ended before the measurement did\n";
        return 1;
    }
    QFile records(recorderFolder.filePath(QStringLiteral("records.csv")));
    const qint64 recorded =
        records.open(QIODevice::ReadOnly) ? records.readAll().count('\n') - 1 : 0;
    if (recorded < qint64(MeasureMs) / 1000 * 50) {
        err << "bench-cpu: the recorder wrote down only " << recorded << " readings\n";
        return 1;
    }

    QTextStream out(stdout);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);
    out << "bench-cpu: " << seconds << " s of frames at line rate, CPU time used\n";
    printLine(out, "readout", readoutUsed);
    printLine(out, "cat    ", catUsed);
    printLine(out, "recorder", recorderUsed);
    out.setRealNumberPrecision(2);
    out << "  ratio readout/cat: ";
    if (catUsed.preciseSeconds > 0)
        out << readoutUsed.preciseSeconds / catUsed.preciseSeconds;
    else
        out << "cat used no measurable time";
    out << '\n';
    out << "  ratio recorder/readout: " << recorderUsed.preciseSeconds / readoutUsed.preciseSeconds
        << '\n';
    return 0;
}
