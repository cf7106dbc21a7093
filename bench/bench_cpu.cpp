// What reading a head costs in processor time once running: the readout window, the
// recorder, the recorder sending to a loopback broker, and the chart (with limits, its
// charts drawn), each the program that ships, on
// a head-sim head streaming at line rate, and cat on a head of its own beside the window
// as the reference. They take turns in rounds, the order rotating, so that none
// always finds the machine as another left it. A program is timed only after it has held its port
// for a warm-up second: its start-up, and the backlog the head left in the terminal before it was
// opened, are not counted. Both run where the system lists only their head as a port; the window in
// a folder holding serial_number/, so that its note step does its real work, the recorder and the
// chart appending to a file.

#include "testsupport/mosquittobroker.h"
#include "testsupport/namespacedrun.h"
#include "testsupport/processprobe.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <functional>
#include <initializer_list>
#include <vector>

#include <unistd.h>

namespace
{

constexpr int Rounds = 3;
constexpr int WarmUpMs = 1000;
constexpr int MeasureMs = 10000;
constexpr int OpenLimitMs = 10000;
// A head stops by itself some time after its turn, should this bench not get to stop it.
constexpr int HeadFrames = 60 * 30;

struct Cpu {
    double statSeconds = 0;    // user + system from /proc/<pid>/stat, in clock ticks
    double preciseSeconds = 0; // the same to the microsecond or better
};

Cpu operator-(const Cpu &after, const Cpu &before)
{
    return {after.statSeconds - before.statSeconds, after.preciseSeconds - before.preciseSeconds};
}

Cpu &operator+=(Cpu &sum, const Cpu &more)
{
    sum.statSeconds += more.statSeconds;
    sum.preciseSeconds += more.preciseSeconds;
    return sum;
}

// Of a process's own /proc figures stat sums all its threads in clock ticks; each
// thread's schedstat has its own to the nanosecond.
Cpu cpuOf(qint64 pid)
{
    Cpu cpu;
    cpu.statSeconds = double(cpuTicks(pid)) / double(sysconf(_SC_CLK_TCK));
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    qint64 nanoseconds = 0;
    for (const QString &thread : threads) {
        QFile sched(tasks + QLatin1Char('/') + thread + QStringLiteral("/schedstat"));
        if (sched.open(QIODevice::ReadOnly))
            nanoseconds += sched.readAll().split(' ').value(0).toLongLong();
    }
    cpu.preciseSeconds = double(nanoseconds) / 1e9;
    return cpu;
}

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// A head-sim process and the terminal it plays on; an empty port if it did not start.
struct Head {
    explicit Head(const QString &serial)
    {
        process.start(QStringLiteral(HEAD_SIM_PROGRAM),
                      {QStringLiteral("--count"), QString::number(HeadFrames), serial});
        if (!process.waitForStarted(5000))
            return;
        while (!process.canReadLine())
            if (!process.waitForReadyRead(5000))
                return;
        port = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~Head() { stop(process); }
    Head(const Head &) = delete;
    Head &operator=(const Head &) = delete;

    QProcess process;
    QString port;
};

struct Subject {
    QProcess &process;
    QString port;
    Cpu used;
};

bool holdsPort(qint64 pid, const QString &port)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    const QStringList entries =
        fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &fd : entries)
        if (QFile::symLinkTarget(fds.filePath(fd)) == port)
            return true;
    return false;
}

// Times the subjects together over MeasureMs, once each holds its port and has had the
// warm-up; false, and why on err, if one never opens its port or ends before the time.
bool measure(std::initializer_list<Subject *> subjects, QTextStream &err)
{
    QElapsedTimer opening;
    opening.start();
    for (Subject *subject : subjects) {
        while (!holdsPort(subject->process.processId(), subject->port)) {
            if (opening.elapsed() > OpenLimitMs || subject->process.state() != QProcess::Running) {
                err << "bench-cpu: " << subject->process.program() << " never opened "
                    << subject->port << '\n';
                return false;
            }
            pause(20);
        }
    }
    pause(WarmUpMs);
    std::vector<Cpu> before;
    for (Subject *subject : subjects)
        before.push_back(cpuOf(subject->process.processId()));
    pause(MeasureMs);
    auto was = before.cbegin();
    for (Subject *subject : subjects) {
        subject->used = cpuOf(subject->process.processId()) - *was++;
        if (subject->process.state() != QProcess::Running) {
            err << "bench-cpu: " << subject->process.program() << " ended during its turn\n";
            return false;
        }
    }
    return true;
}

QProcessEnvironment environmentIn(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    return env;
}

bool runWindow(Cpu &window, Cpu &cat, QTextStream &err)
{
    Head windowHead(QStringLiteral("000123"));
    Head catHead(QStringLiteral("000456"));
    QTemporaryDir folder;
    if (windowHead.port.isEmpty() || catHead.port.isEmpty() || !folder.isValid() ||
        !QDir(folder.path()).mkdir(QStringLiteral("serial_number"))) {
        err << "bench-cpu: no head or no working folder for the window\n";
        return false;
    }
    NamespacedRun readout(QStringLiteral(HEAD_READOUT_PROGRAM), {}, {windowHead.port},
                          folder.path(), environmentIn(folder.path()));
    QProcess catProcess;
    catProcess.setStandardOutputFile(QProcess::nullDevice());
    catProcess.start(QStringLiteral("cat"), {catHead.port});
    Subject readoutSubject{readout.process, windowHead.port, {}};
    Subject catSubject{catProcess, catHead.port, {}};
    const bool measured = readout.process.waitForStarted(5000) && catProcess.waitForStarted(5000) &&
                          measure({&readoutSubject, &catSubject}, err);
    stop(readout.process);
    stop(catProcess);
    window = readoutSubject.used;
    cat = catSubject.used;
    return measured;
}

// A program that appends each reading to a table: the table must show that it kept up.
bool runTableWriter(const QString &program, const QStringList &arguments, Cpu &used,
                    QTextStream &err)
{
    Head head(QStringLiteral("000789"));
    QTemporaryDir folder;
    if (head.port.isEmpty() || !folder.isValid()) {
        err << "bench-cpu: no head or no folder for " << program << '\n';
        return false;
    }
    const QString table = folder.filePath(QStringLiteral("records.csv"));
    NamespacedRun run(
        program,
        QStringList{QStringLiteral("--port"), head.port, QStringLiteral("-o"), table} + arguments,
        {}, folder.path(), environmentIn(folder.path()));
    Subject subject{run.process, head.port, {}};
    const bool measured = run.process.waitForStarted(5000) && measure({&subject}, err);
    stop(run.process);
    used = subject.used;
    QFile records(table);
    const qint64 recorded =
        records.open(QIODevice::ReadOnly) ? records.readAll().count('\n') - 1 : 0;
    if (measured && recorded < qint64(MeasureMs) / 1000 * 50) {
        err << "bench-cpu: " << program << " wrote down only " << recorded << " readings\n";
        return false;
    }
    return measured;
}

bool runRecorder(Cpu &recorder, QTextStream &err)
{
    return runTableWriter(QStringLiteral(HEAD_READOUT_LOG_PROGRAM), {QStringLiteral("--quiet")},
                          recorder, err);
}

// Sending each record on to a broker of its own on the loopback, whose time is not counted.
bool runSendingRecorder(Cpu &recorder, QTextStream &err)
{
    QTemporaryDir folder;
    MosquittoBroker broker(folder.path(), {});
    QString error;
    if (!folder.isValid() || !broker.start(error)) {
        err << "bench-cpu: no broker: " << error << '\n';
        return false;
    }
    return runTableWriter(QStringLiteral(HEAD_READOUT_LOG_PROGRAM),
                          {QStringLiteral("--quiet"), QStringLiteral("--mqtt"),
                           QStringLiteral("mqtt://127.0.0.1:%1/bench").arg(broker.port())},
                          recorder, err);
}

bool runChart(Cpu &chart, QTextStream &err)
{
    return runTableWriter(QStringLiteral(HEAD_READOUT_CHART_PROGRAM),
                          {QStringLiteral("--lower=-150"), QStringLiteral("--upper=150")}, chart,
                          err);
}

void printLine(QTextStream &out, const char *what, const Cpu &cpu)
{
    out << "  " << what << ": " << cpu.preciseSeconds * 1000 << " ms (" << cpu.statSeconds * 1000
        << " ms in clock ticks)\n";
}

void printRatio(QTextStream &out, const char *what, const Cpu &cpu, const Cpu &reference,
                const std::vector<double> &rounds)
{
    out << "  ratio " << what << ": " << cpu.preciseSeconds / reference.preciseSeconds
        << " (rounds:";
    for (double ratio : rounds)
        out << ' ' << ratio;
    out << ")\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (!NamespacedRun::permitted()) {
        err << "bench-cpu: private mount namespaces are not permitted here\n";
        return 1;
    }

    Cpu readout;
    Cpu cat;
    Cpu recorder;
    Cpu chart;
    Cpu sending;
    std::vector<double> recorderRatios;
    std::vector<double> chartRatios;
    std::vector<double> sendingRatios;
    for (int round = 0; round < Rounds; ++round) {
        Cpu roundReadout;
        Cpu roundCat;
        Cpu roundRecorder;
        Cpu roundChart;
        Cpu roundSending;
        const std::vector<std::function<bool()>> turns = {
            [&] { return runWindow(roundReadout, roundCat, err); },
            [&] { return runRecorder(roundRecorder, err); },
            [&] { return runChart(roundChart, err); },
            [&] { return runSendingRecorder(roundSending, err); }};
        for (size_t turn = 0; turn < turns.size(); ++turn) {
            if (!turns[(size_t(round) + turn) % turns.size()]())
                return 1;
        }
        readout += roundReadout;
        cat += roundCat;
        recorder += roundRecorder;
        chart += roundChart;
        sending += roundSending;
        recorderRatios.push_back(roundRecorder.preciseSeconds / roundReadout.preciseSeconds);
        chartRatios.push_back(roundChart.preciseSeconds / roundReadout.preciseSeconds);
        sendingRatios.push_back(roundSending.preciseSeconds / roundRecorder.preciseSeconds);
    }

    QTextStream out(stdout);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);
    out << "bench-cpu: " << double(Rounds * MeasureMs) / 1000
        << " s of frames at line rate each, in " << Rounds << " rotating rounds of "
        << double(MeasureMs) / 1000 << " s after a warm-up of " << double(WarmUpMs) / 1000
        << " s; CPU time used\n";
    printLine(out, "readout", readout);
    printLine(out, "cat    ", cat);
    printLine(out, "recorder", recorder);
    printLine(out, "chart  ", chart);
    printLine(out, "recorder with --mqtt", sending);
    out.setRealNumberPrecision(2);
    out << "  ratio readout/cat: ";
    if (cat.preciseSeconds > 0)
        out << readout.preciseSeconds / cat.preciseSeconds;
    else
        out << "cat used no measurable time";
    out << '\n';
    printRatio(out, "recorder/readout", recorder, readout, recorderRatios);
    printRatio(out, "chart/readout", chart, readout, chartRatios);
    printRatio(out, "mqtt/recorder", sending, recorder, sendingRatios);
    return 0;
}
