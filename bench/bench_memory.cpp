// Resident memory of the readout after a long run: frames as fast as the pseudo-terminal
// takes them, through the real worker thread and window.
//
// usage: bench-memory [frames]   (default 1000000)

#include "testsupport/frameflood.h"
#include "testsupport/headsimulator.h"
#include "testsupport/simulatedwindow.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long frames = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (frames <= 0) {
        std::fprintf(stderr, "usage: bench-memory [frames]\n");
        return 2;
    }

    HeadSimulator head;
    SimulatedWindow readout({head.slavePath()});
    if (!head.isOpen() || !readout.isReady()) {
        std::fprintf(stderr, "bench-memory: no pseudo-terminal or working folder\n");
        return 1;
    }
    if (!readout.waitForPort(head.slavePath())) {
        std::fprintf(stderr, "bench-memory: the readout never opened the terminal\n");
        return 1;
    }

    const FloodResult flood = floodFrames(head, readout.window(), frames, 20LL * 60 * 1000);
    if (flood.writeFailed || flood.shown != frames) {
        std::fprintf(stderr, "bench-memory: %ld of %ld frames shown\n", flood.shown, frames);
        return 1;
    }
    std::printf("bench-memory: %ld frames in %.1f s, resident %ld KiB after %ld, %ld KiB at the "
                "end\n",
                flood.shown, flood.seconds, flood.residentKiBAtTenth, frames / 10,
                flood.residentKiBAtEnd);
    return 0;
}
