// Resident memory of the recorder after a long run: frames as fast as the pseudo-terminal
// takes them, through the real program, whose records are read back as they come. The
// recorder lists ports, so it runs where the machine's own cannot be reached.
//
// usage: bench-recorder-memory [frames]   (default 1000000)

#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"
#include "testsupport/namespacedrun.h"
#include "testsupport/processprobe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace
{

// Frames sent before their records are read back; the pseudo-terminal holds about 4 KiB.
constexpr long InFlight = 200;
constexpr long Batch = 50;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const long frames = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (frames <= 0) {
        std::fprintf(stderr, "usage: bench-recorder-memory [frames]\n");
        return 2;
    }
    if (!NamespacedRun::permitted()) {
        std::fprintf(stderr, "bench-recorder-memory: private mount namespaces are not permitted\n");
        return 1;
    }

    HeadSimulator head;
    QTemporaryDir folder;
    NamespacedRun recorder(QStringLiteral(HEAD_READOUT_LOG_PROGRAM),
                           {QStringLiteral("--port"), head.slavePath(), QStringLiteral("--quiet")},
                           {}, folder.path());
    if (!head.isOpen() || !recorder.process.waitForStarted(5000)) {
        std::fprintf(stderr, "bench-recorder-memory: no pseudo-terminal or recorder\n");
        return 1;
    }
    const qint64 pid = recorder.process.processId();

    QElapsedTimer clock;
    clock.start();
    long sent = 0;
    long recorded = -1; // the header is no record
    long kibAtTenth = -1;
    while (recorded < frames) {
        if (sent < frames && sent - recorded < InFlight) {
            QByteArray batch;
            for (long i = 0; i < Batch && sent < frames; ++i, ++sent)
                batch += headFrame(int(sent % 5000) - 2500, sent % 40 == 0, "000123");
            if (!head.write(batch, 60000)) {
                std::fprintf(stderr, "bench-recorder-memory: the recorder stopped reading\n");
                return 1;
            }
            continue;
        }
        if (!recorder.process.waitForReadyRead(60000)) {
            std::fprintf(stderr, "bench-recorder-memory: %ld of %ld frames recorded\n", recorded,
                         frames);
            return 1;
        }
        recorded += recorder.process.readAllStandardOutput().count('\n');
        if (kibAtTenth < 0 && recorded >= frames / 10)
            kibAtTenth = residentKiB(pid);
    }
    const long kibAtEnd = residentKiB(pid);
    const double seconds = double(clock.elapsed()) / 1000.0;
    recorder.process.terminate();
    recorder.process.waitForFinished(5000);
    std::printf("bench-recorder-memory: %ld frames in %.1f s, resident %ld KiB after %ld, %ld KiB "
                "at the end\n",
                recorded, seconds, kibAtTenth, frames / 10, kibAtEnd);
    return 0;
}
