// One million frames, as fast as the pseudo-terminal takes them, through the real
// worker thread and window: none may be lost, and memory must not creep.
#include "app/widget.h"
#include "headsimulator.h"
#include "residentmemory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

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

class SoakFrames : public QObject
{
    Q_OBJECT

private slots:
    void millionFramesAllShownWithoutGrowth();
};

void SoakFrames::millionFramesAllShownWithoutGrowth()
{
    const long frames = qEnvironmentVariableIntValue("SOAK_FRAMES") > 0
                            ? qEnvironmentVariableIntValue("SOAK_FRAMES")
                            : 1000000;
    const long sample = frames / 10;

    QTemporaryDir workDir;
    QVERIFY(QDir::setCurrent(workDir.path()));
    HeadSimulator head;
    const QString port = head.slavePath();
    Widget window(nullptr, [port] { return QStringList{port}; });
    CallCounter counter;
    window.installEventFilter(&counter);
    auto *current = window.findChild<QLabel *>(QStringLiteral("label_i1"));
    QVERIFY(current);
    QTRY_VERIFY(head.slaveHeld());
    QTRY_COMPARE(counter.calls, 1L); // the port's label

    // Values cycle through the display range; the last frame's text is known.
    std::atomic<bool> writeFailed{false};
    std::thread writer([&] {
        QByteArray batch;
        for (long i = 0; i < frames; ++i) {
            batch += HeadSimulator::frame(int(i % 5000) - 2500, false, "SOAK01");
            if (batch.size() >= 4096 || i == frames - 1) {
                if (!head.write(batch, 60000)) {
                    writeFailed = true;
                    return;
                }
                batch.clear();
            }
        }
    });

    constexpr qint64 TimeLimitMs = 20LL * 60 * 1000;
    QElapsedTimer clock;
    clock.start();
    long rssAtFirstSample = -1;
    while (counter.calls - 1 < frames && !writeFailed && clock.elapsed() < TimeLimitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (rssAtFirstSample < 0 && counter.calls - 1 >= sample)
            rssAtFirstSample = residentKiB();
    }
    writer.join();
    const long rssAtEnd = residentKiB();
    const double seconds = double(clock.elapsed()) / 1000.0;
    qInfo("%ld frames shown in %.1f s (%.0f frames/s); resident %ld KiB after %ld frames, "
          "%ld KiB at the end",
          counter.calls - 1, seconds, double(counter.calls - 1) / seconds, rssAtFirstSample, sample,
          rssAtEnd);

    QVERIFY(!writeFailed);
    QCOMPARE(counter.calls - 1, frames);
    const int last = int((frames - 1) % 5000) - 2500;
    QCOMPARE(current->text(), QStringLiteral("%1%2.%3")
                                  .arg(last < 0   ? "-"
                                       : last > 0 ? "+"
                                                  : "")
                                  .arg(std::abs(last) / 10)
                                  .arg(std::abs(last) % 10));
    QVERIFY2(rssAtEnd - rssAtFirstSample <= 1024,
             qPrintable(QStringLiteral("grew by %1 KiB").arg(rssAtEnd - rssAtFirstSample)));
}

QTEST_MAIN(SoakFrames)
#include "soak_frames.moc"
