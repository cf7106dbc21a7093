// How long a frame takes from the wire to the window: each frame is written whole into
// the simulator's terminal, and the clock runs from the write of its last byte until the
// current-reading label shows its value.

#include "display/valueformat.h"
#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"
#include "testsupport/simulatedwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{

constexpr int Frames = 1000;
constexpr int WarmUpFrames = 20;
constexpr qint64 FrameDeadlineNs = 2'000'000'000;

// Waits with the event loop spinning, as the window's own loop would run.
bool waitForText(const QLabel &label, const QString &text, qint64 deadlineNs,
                 const QElapsedTimer &clock)
{
    while (label.text() != text) {
        if (clock.nsecsElapsed() > deadlineNs)
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

double percentile(const std::vector<qint64> &sortedNs, double fraction)
{
    const auto rank = size_t(std::ceil(fraction * double(sortedNs.size())));
    return double(sortedNs[std::max<size_t>(rank, 1) - 1]) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    HeadSimulator head;
    if (!head.isOpen()) {
        QTextStream(stderr) << "bench-latency: no pseudo-terminal\n";
        return 1;
    }
    SimulatedWindow readout({head.slavePath()});
    if (!readout.isReady()) {
        QTextStream(stderr) << "bench-latency: no working folder\n";
        return 1;
    }
    readout.window().show();
    const auto *current = readout.window().findChild<QLabel *>(QStringLiteral("label_i1"));
    if (!readout.waitForPort(head.slavePath())) {
        QTextStream(stderr) << "bench-latency: the readout never opened the terminal\n";
        return 1;
    }

    QElapsedTimer clock;
    clock.start();

    std::vector<qint64> latencies;
    latencies.reserve(Frames);
    for (int i = 0; i < WarmUpFrames + Frames; ++i) {
        // Neighbouring frames differ, so each one changes the label.
        const int value = (i % 2 == 0 ? 1 : -1) * (1 + i % 2500);
        if (!head.write(headFrame(value))) {
            QTextStream(stderr) << "bench-latency: frame " << i << " not taken\n";
            return 1;
        }
        const qint64 written = clock.nsecsElapsed();
        if (!waitForText(*current, formatValue(value), written + FrameDeadlineNs, clock)) {
            QTextStream(stderr) << "bench-latency: frame " << i << " never shown\n";
            return 1;
        }
        if (i >= WarmUpFrames)
            latencies.push_back(clock.nsecsElapsed() - written);
    }

    std::sort(latencies.begin(), latencies.end());
    QTextStream out(stdout);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(3);
    out << "bench-latency: " << Frames << " frames, write of last byte to label shown\n"
        << "  p50 " << percentile(latencies, 0.50) << " ms\n"
        << "  p99 " << percentile(latencies, 0.99) << " ms\n"
        << "  max " << double(latencies.back()) / 1e6 << " ms\n";
    return 0;
}
