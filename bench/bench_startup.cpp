// Start-up and port search, each next to a reference measured in the same run:
//  - start to window painted, for the readout and for a bare QWidget program (child
//    processes of this one), and their resident memory once shown;
//  - time until a head on the third of three ports delivers its first reading.
#include "acquisition/workerserialport.h"
#include "app/displayscaling.h"
#include "app/widget.h"
#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"
#include "testsupport/processprobe.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>

namespace
{

// Reports on stdout once the window has been painted, then quits.
class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            QTimer::singleShot(0, [] {
                std::printf("shown %ld\n", residentKiB());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }
    bool seen = false;
};

int runChild(int argc, char *argv[], bool readout)
{
    if (readout)
        enableDisplayScaling();
    QApplication app(argc, argv);
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());
    HeadSimulator silent;
    const QString port = silent.slavePath();
    QScopedPointer<QWidget> window(
        readout ? new Widget(nullptr, [port] { return QStringList{port}; }) : new QWidget);
    if (!readout)
        window->resize(400, 300);
    FirstPaint paint;
    window->installEventFilter(&paint);
    window->show();
    return QApplication::exec();
}

struct Shown {
    double ms = -1;
    long rssKiB = -1;
};

Shown timeChild(const QString &mode)
{
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode});
    Shown shown;
    if (child.waitForReadyRead(20000)) {
        shown.ms = double(clock.nsecsElapsed()) / 1e6;
        const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
        if (words.size() == 2)
            shown.rssKiB = words.at(1).toLong();
    }
    child.waitForFinished(20000);
    return shown;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

double headOnThirdPortSeconds()
{
    HeadSimulator first, second, head;
    QTimer stream;
    QObject::connect(&stream, &QTimer::timeout, [&head] { head.write(headFrame(42), 0); });
    stream.start(20);

    QStringList ports{first.slavePath(), second.slavePath(), head.slavePath()};
    auto *worker = new WorkerSerialPort(nullptr, [ports] { return ports; });
    QThread thread;
    worker->moveToThread(&thread);
    QObject::connect(&thread, SIGNAL(started()), worker, SLOT(process()));
    QObject::connect(&thread, SIGNAL(finished()), worker, SLOT(deleteLater()));
    double foundAfter = -1;
    QElapsedTimer clock;
    QObject receiver;
    QObject::connect(worker, &WorkerSerialPort::signal_newLine, &receiver, [&] {
        if (foundAfter < 0)
            foundAfter = double(clock.elapsed()) / 1000.0;
    });
    clock.start();
    thread.start();
    while (foundAfter < 0 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    thread.quit();
    thread.wait();
    return foundAfter;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::string(argv[1]) == "--child")
        return runChild(argc, argv, std::string(argv[2]) == "readout");

    QCoreApplication app(argc, argv);
    constexpr int Runs = 5;
    QList<double> readoutMs, bareMs;
    long readoutKiB = -1, bareKiB = -1;
    for (int i = 0; i < Runs; ++i) {
        const Shown readout = timeChild(QStringLiteral("readout"));
        const Shown bare = timeChild(QStringLiteral("bare"));
        readoutMs << readout.ms;
        bareMs << bare.ms;
        readoutKiB = readout.rssKiB;
        bareKiB = bare.rssKiB;
    }
    std::printf("bench-startup: start to window painted, median of %d runs\n", Runs);
    std::printf("  readout %.1f ms, bare QWidget %.1f ms, ratio %.2f\n", median(readoutMs),
                median(bareMs), median(readoutMs) / median(bareMs));
    std::printf("  resident once shown: readout %ld KiB, bare QWidget %ld KiB\n", readoutKiB,
                bareKiB);
    std::printf("bench-startup: head on the third port delivered its first reading after %.2f s\n",
                headOnThirdPortSeconds());
    return 0;
}
