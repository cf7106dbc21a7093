// What reading a head costs in processor time: the readout window on one simulated head
// against cat on another, both streamed at line rate for the same 20 seconds. The heads
// are head-sim processes, so that neither figure includes the streaming.

#include "testsupport/processprobe.h"
#include "testsupport/simulatedwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
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

// Of a process's own /proc figures only stat sums all its threads; schedstat is its first
// thread's, which for cat is all of it. The readout's own sum comes from getrusage.
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
    QFile sched(QStringLiteral("/proc/%1/schedstat").arg(pid));
    cpu.preciseSeconds = sched.open(QIODevice::ReadOnly)
                             ? double(sched.readAll().split(' ').value(0).toLongLong()) / 1e9
                             : cpu.statSeconds;
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
    const QString readoutPort = startHead(readoutHead, QStringLiteral("000123"));
    const QString catPort = startHead(catHead, QStringLiteral("000456"));
    if (readoutPort.isEmpty() || catPort.isEmpty()) {
        err << "bench-cpu: head-sim did not start\n";
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
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(MeasureMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = double(wall.elapsed()) / 1000;
    const Cpu readoutUsed = cpuOf(self) - readoutBefore;
    const Cpu catUsed = cpuOf(catPid) - catBefore;
    const bool catLasted = cat.state() == QProcess::Running;

    readout.reset();
    for (QProcess *process : {&readoutHead, &catHead, &cat}) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    if (!catLasted) {
        err << "bench-cpu: cat ended before the measurement did\n";
        return 1;
    }

    QTextStream out(stdout);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);
    out << "bench-cpu: " << seconds << " s of frames at line rate, CPU time used\n";
    printLine(out, "readout", readoutUsed);
    printLine(out, "cat    ", catUsed);
    out.setRealNumberPrecision(2);
    out << "  ratio readout/cat: ";
    if (catUsed.preciseSeconds > 0)
        out << readoutUsed.preciseSeconds / catUsed.preciseSeconds;
    else
        out << "cat used no measurable time";
    out << '\n';
    return 0;
}
