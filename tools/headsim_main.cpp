// Plays a measuring head for a readout started by hand: prints the pseudo-terminal to
// open, then streams a slowly moving reading until interrupted or --count frames.

#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cmath>
#include <csignal>

namespace
{

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

// A slow swing over most of the range; every 40th frame fixes the reading, and now
// and then the head reports itself out of range.
QByteArray frameAt(long n, const QByteArray &serial)
{
    if (n % 500 == 250)
        return headFrame(2560, false, serial);
    if (n % 500 == 499)
        return headFrame(-2560, false, serial);
    const int value = int(std::lround(1800.0 * std::sin(double(n) * 2.0 * M_PI / 600.0)));
    return headFrame(value, n % 40 == 39, serial);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Streams a measuring head's frames into a pseudo-terminal."));
    parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("fast"), QStringLiteral("Write as fast as read, not at line rate.")});
    parser.addOption(
        {QStringLiteral("count"), QStringLiteral("Stop after N frames."), QStringLiteral("N")});
    parser.addPositionalArgument(QStringLiteral("serial"),
                                 QStringLiteral("The head's serial (default 000123)."),
                                 QStringLiteral("[serial]"));
    parser.process(app);

    long count = -1;
    if (parser.isSet(QStringLiteral("count"))) {
        bool ok = false;
        count = parser.value(QStringLiteral("count")).toLong(&ok);
        if (!ok || count < 0) {
            QTextStream(stderr) << "head-sim: --count takes a whole number\n";
            return 2;
        }
    }
    const QStringList positional = parser.positionalArguments();
    const QByteArray serial =
        positional.isEmpty() ? QByteArray("000123") : positional.first().toLatin1();
    const bool fast = parser.isSet(QStringLiteral("fast"));

    struct sigaction action {
    };
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    HeadSimulator head;
    if (!head.isOpen()) {
        QTextStream(stderr) << "head-sim: no pseudo-terminal\n";
        return 1;
    }
    QTextStream(stdout) << head.slavePath() << Qt::endl;

    // A frame that could not go out (nobody reading for long) is dropped, as on a wire.
    for (long n = 0; !stopRequested && (count < 0 || n < count); ++n) {
        const QByteArray bytes = frameAt(n, serial);
        if (fast)
            head.write(bytes);
        else
            head.writePaced(bytes);
    }
    return 0;
}
