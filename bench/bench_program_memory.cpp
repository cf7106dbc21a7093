// Resident memory of a program that records the head after a long run (the recorder, or
// the chart with its charts drawn): frames as fast as the pseudo-terminal takes them,
// through the real program, whose table is read back as it grows. The program lists
// ports, so it runs where the machine's own cannot be reached.
//
// usage: bench-program-memory PROGRAM [frames] [ARGUMENTS...]   (default 1000000 frames)

#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"
#include "testsupport/namespacedrun.h"
#include "testsupport/processprobe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace
{

// Frames sent before their records are read back; the pseudo-terminal holds about 4 KiB.
constexpr long InFlight = 200;
constexpr long Batch = 50;
constexpr int StalledMs = 60000;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = true;
    const long frames = args.size() > 2 ? args.at(2).toLong(&ok) : 1000000;
    if (args.size() < 2 || !ok || frames <= 0) {
        std::fprintf(stderr, "usage: bench-program-memory PROGRAM [frames] [ARGUMENTS...]\n");
        return 2;
    }
    const QString name = QFileInfo(args.at(1)).fileName();
    if (!NamespacedRun::permitted()) {
        std::fprintf(stderr, "bench-program-memory: private mount namespaces are not permitted\n");
        return 1;
    }

    HeadSimulator head;
    QTemporaryDir folder;
    const QString tablePath = folder.filePath(QStringLiteral("records.csv"));
    NamespacedRun program(
        args.at(1),
        QStringList{QStringLiteral("--port"), head.slavePath(), QStringLiteral("-o"), tablePath} +
            args.mid(3),
        {}, folder.path());
    if (!head.isOpen() || !program.process.waitForStarted(5000)) {
        std::fprintf(stderr, "bench-program-memory: no pseudo-terminal or no %s\n",
                     qPrintable(name));
        return 1;
    }
    const qint64 pid = program.process.processId();
    QFile table(tablePath);
    QByteArray said;

    QElapsedTimer clock;
    clock.start();
    QElapsedTimer stalled;
    stalled.start();
    long sent = 0;
    long recorded = -1; // the header is no record
    long kibAtTenth = -1;
    while (recorded < frames) {
        if (sent < frames && sent - recorded < InFlight) {
            QByteArray batch;
            for (long i = 0; i < Batch && sent < frames; ++i, ++sent)
                batch += headFrame(int(sent % 5000) - 2500, sent % 40 == 0, "000123");
            if (!head.write(batch, StalledMs)) {
                std::fprintf(stderr, "bench-program-memory: %s stopped reading\n",
                             qPrintable(name));
                return 1;
            }
            continue;
        }
        // What it says goes unread in a pipe that, once full, would stop it.
        said = (said + program.process.readAllStandardError()).right(4096);
        if (!table.isOpen() && !table.open(QIODevice::ReadOnly)) {
            QThread::msleep(10);
            continue;
        }
        const long more = table.readAll().count('\n');
        if (more > 0) {
            recorded += more;
            stalled.restart();
        } else if (stalled.elapsed() > StalledMs || program.process.state() != QProcess::Running) {
            std::fprintf(stderr,
                         "bench-program-memory: %ld of %ld frames recorded by %s, which is %s; "
                         "it said: %s\n",
                         recorded, frames, qPrintable(name),
                         program.process.state() == QProcess::Running ? "running" : "gone",
                         said.constData());
            return 1;
        } else {
            QThread::msleep(2);
        }
        if (kibAtTenth < 0 && recorded >= frames / 10)
            kibAtTenth = residentKiB(pid);
    }
    const long kibAtEnd = residentKiB(pid);
    const double seconds = double(clock.elapsed()) / 1000.0;
    program.process.terminate();
    program.process.waitForFinished(5000);
    std::printf("bench-program-memory: %s, %ld frames in %.1f s, resident %ld KiB after %ld, "
                "%ld KiB at the end\n",
                qPrintable(name), recorded, seconds, kibAtTenth, frames / 10, kibAtEnd);
    return 0;
}
