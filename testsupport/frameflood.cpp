#include "testsupport/frameflood.h"

#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"
#include "testsupport/processprobe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>

#include <atomic>
#include <thread>

namespace
{

// Counts the queued calls the worker's signals make on the window.
class CallCounter : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++calls;
        return false;
    }
    long calls = 0;
};

} // namespace

int floodValue(long i)
{
    return int(i % 5000) - 2500;
}

FloodResult floodFrames(HeadSimulator &head, QWidget &window, long frames, qint64 timeLimitMs)
{
    CallCounter counter;
    window.installEventFilter(&counter);
    std::atomic<bool> writeFailed{false};
    std::thread writer([&head, &writeFailed, frames] {
        QByteArray batch;
        for (long i = 0; i < frames; ++i) {
            batch += headFrame(floodValue(i), false, "FLOOD1");
            if (batch.size() >= 4096 || i == frames - 1) {
                if (!head.write(batch, 60000)) {
                    writeFailed = true;
                    return;
                }
                batch.clear();
            }
        }
    });

    FloodResult result;
    QElapsedTimer clock;
    clock.start();
    while (counter.calls < frames && !writeFailed && clock.elapsed() < timeLimitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (result.residentKiBAtTenth < 0 && counter.calls >= frames / 10)
            result.residentKiBAtTenth = residentKiB();
    }
    writer.join();
    window.removeEventFilter(&counter);
    result.shown = counter.calls;
    result.writeFailed = writeFailed;
    result.seconds = double(clock.elapsed()) / 1000.0;
    result.residentKiBAtEnd = residentKiB();
    return result;
}
