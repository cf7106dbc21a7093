// The readout window fed by a simulated head, for trying the program without one. With
// --screenshot FILE it saves the window once a reading shows, and quits.

#include "app/displayscaling.h"
#include "app/widget.h"
#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QTextStream>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <thread>

namespace
{

constexpr int ScreenshotDeadlineMs = 30000;

// Runs in a thread of its own: writePaced sleeps between bytes, at the head's line rate.
void stream(HeadSimulator &head, const std::atomic_bool &running)
{
    for (long n = 0; running; ++n) {
        const int value = int(std::lround(1500.0 * std::sin(double(n) * 2.0 * M_PI / 900.0)));
        head.writePaced(headFrame(value, n % 50 == 0, "000123"));
    }
}

bool showsReading(const Widget &window)
{
    const auto *current = window.findChild<QLabel *>(QStringLiteral("label_i1"));
    const auto *serial = window.findChild<QLabel *>(QStringLiteral("label_sn"));
    return current && serial && current->text() != QLatin1String("   ?   ") &&
           serial->text() != QLatin1String("?");
}

} // namespace

int main(int argc, char *argv[])
{
    enableDisplayScaling();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The readout fed by a simulated head."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("screenshot"),
                      QStringLiteral("Save the window to FILE once it shows a reading, then quit."),
                      QStringLiteral("FILE")});
    parser.process(app);

    HeadSimulator head;
    if (!head.isOpen()) {
        QTextStream(stderr) << "head-readout-demo: no pseudo-terminal\n";
        return 1;
    }
    const QString port = head.slavePath();
    Widget window(nullptr, [port] { return QStringList{port}; });
    window.show();

    std::atomic_bool running{true};
    std::thread streamer(stream, std::ref(head), std::cref(running));

    QTimer poll;
    int status = 0;
    if (parser.isSet(QStringLiteral("screenshot"))) {
        const QString file = parser.value(QStringLiteral("screenshot"));
        QTimer::singleShot(ScreenshotDeadlineMs, &app, [&status] {
            QTextStream(stderr) << "head-readout-demo: no reading shown in time\n";
            status = 1;
            QCoreApplication::quit();
        });
        QObject::connect(&poll, &QTimer::timeout, &app, [&window, &status, file] {
            if (!showsReading(window))
                return;
            if (window.grab().save(file, "PNG")) {
                QTextStream(stdout) << "Screenshot saved to " << file << Qt::endl;
            } else {
                QTextStream(stderr) << "head-readout-demo: could not save " << file << '\n';
                status = 1;
            }
            QCoreApplication::quit();
        });
        poll.start(100);
    }

    const int result = app.exec();
    // The streamer writes into the simulator, so it ends first.
    running = false;
    streamer.join();
    return status != 0 ? status : result;
}
