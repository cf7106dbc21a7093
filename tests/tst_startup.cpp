// The window's life with its worker thread: start, stop, shut-down and release.
#include "app/widget.h"
#include "testsupport/headsimulator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

namespace
{

// Hands the window its ports and tells the test which thread asked for them. The
// report is a queued signal: its argument is copied by Qt, so no object built on the
// worker's thread is read on the test's.
class PortsSeam : public QObject
{
    Q_OBJECT

public:
    explicit PortsSeam(QStringList first, QStringList later = {})
        : first(std::move(first)), later(std::move(later))
    {
        connect(this, &PortsSeam::askedFrom, this, [this](QThread *asking) {
            workerThread = asking;
            asked = true;
        });
    }

    PortLister lister()
    {
        return [this] {
            emit askedFrom(QThread::currentThread());
            return calls++ == 0 ? first : later;
        };
    }

    QPointer<QThread> workerThread;
    bool asked = false;

signals:
    void askedFrom(QThread *asking);

private:
    QStringList first;
    QStringList later;
    std::atomic<int> calls{0};
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void workerRunsOnItsOwnThread();
    void shutDownReleasesThreadWorkerAndPort();
    void windowOutlivesAThreadReleasedEarly();
    void noPortQuitsTheEventLoopWithCodeZero();
    void closingDuringThePauseWaitsForIt();

private:
    std::unique_ptr<QTemporaryDir> workDir;
};

void TestStartup::init()
{
    // Frames may reach the note step, which works relative to the working directory.
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TestStartup::workerRunsOnItsOwnThread()
{
    HeadSimulator head;
    PortsSeam seam({head.slavePath()}, {head.slavePath()});
    Widget window(nullptr, seam.lister());
    QTRY_VERIFY(seam.workerThread);
    QVERIFY(seam.workerThread != QThread::currentThread());
    QVERIFY(seam.workerThread->isRunning());
    QCOMPARE(seam.workerThread->priority(), QThread::currentThread()->priority());
    QTRY_VERIFY(head.slaveHeld());
}

void TestStartup::shutDownReleasesThreadWorkerAndPort()
{
    HeadSimulator head;
    PortsSeam seam({head.slavePath()}, {head.slavePath()});
    auto window = std::make_unique<Widget>(nullptr, seam.lister());
    QTRY_VERIFY(seam.workerThread);
    QTRY_VERIFY(head.slaveHeld());

    window.reset();
    QVERIFY(seam.workerThread.isNull());
    QVERIFY(!head.slaveHeld());
}

void TestStartup::windowOutlivesAThreadReleasedEarly()
{
    // The ports vanish between the two enumerations: the worker reports that it is
    // done, and its thread is released while the window still stands.
    PortsSeam seam({QStringLiteral("/nonexistent/ttyGONE")}, {});
    auto window = std::make_unique<Widget>(nullptr, seam.lister());
    QTRY_VERIFY(seam.asked && seam.workerThread.isNull());

    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY(clock.elapsed() < 1000);
}

void TestStartup::noPortQuitsTheEventLoopWithCodeZero()
{
    PortsSeam seam({});
    Widget window(nullptr, seam.lister());
    window.show();
    QTimer safety;
    safety.setSingleShot(true);
    connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    safety.start(12000);
    QElapsedTimer clock;
    clock.start();
    const int code = QCoreApplication::exec();
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(code, 0);
    QVERIFY2(elapsed >= 4800 && elapsed < 7000, qPrintable(QString::number(elapsed)));
}

void TestStartup::closingDuringThePauseWaitsForIt()
{
    PortsSeam seam({});
    QElapsedTimer clock;
    clock.start();
    auto window = std::make_unique<Widget>(nullptr, seam.lister());
    QTRY_VERIFY(seam.workerThread);
    QTest::qWait(1000);

    window.reset();
    const qint64 gone = clock.elapsed();
    QVERIFY(seam.workerThread.isNull());
    QVERIFY2(gone >= 4800 && gone < 6500, qPrintable(QString::number(gone)));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
