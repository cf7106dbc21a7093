#include "recorder/recording.h"

#include "acquisition/portlister.h"
#include "acquisition/workerserialport.h"
#include "recorder/csvoutput.h"
#include "recorder/csvrecord.h"
#include "recorder/portcheck.h"
#include "recorder/readingrecorder.h"
#include "recorder/stopsignals.h"

#include <QCoreApplication>
#include <QThread>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include <unistd.h>

namespace
{

// Long enough for the worker's thread to end on its own; it does not end sooner only
// while it sleeps through its pause after the last port, or blocks writing to a reader
// that has stopped reading.
constexpr unsigned long ShutDownWaitMs = 300;

void printError(const QString &text)
{
    std::fputs(qPrintable(QCoreApplication::applicationName() + QStringLiteral(": ") + text +
                          QLatin1Char('\n')),
               stderr);
    std::fflush(stderr);
}

} // namespace

int Recording::record(const RecorderOptions &options)
{
    QStringList ports;
    if (options.port.isEmpty()) {
        ports = systemPortLocations();
        if (ports.isEmpty()) {
            printError(QStringLiteral("no serial port found"));
            return 1;
        }
    } else {
        const QString problem = portProblem(options.port);
        if (!problem.isEmpty()) {
            printError(problem);
            return 1;
        }
        ports = QStringList{options.port};
    }

    // A reader that goes away shows as a failed write, which ends the recording quietly.
    std::signal(SIGPIPE, SIG_IGN);
    QString error;
    std::unique_ptr<CsvOutput> output = options.output.isEmpty()
                                            ? CsvOutput::standardOutput(error)
                                            : CsvOutput::openFile(options.output, error);
    if (!output) {
        if (error.isEmpty())
            return 0;
        printError(error);
        return 1;
    }
    if (!output->notice().isEmpty())
        printError(output->notice());

    Recording recording(options, ports, std::move(output));
    return recording.run();
}

Recording::Recording(const RecorderOptions &options, QStringList ports,
                     std::unique_ptr<CsvOutput> output, QObject *parent)
    : QObject(parent), ports(std::move(ports)), output(std::move(output)),
      showProgress(
          options.progress == RecorderOptions::Progress::Always ||
          (options.progress == RecorderOptions::Progress::WhenTerminal && ::isatty(STDERR_FILENO)))
{
    auto *worker = new WorkerSerialPort(nullptr, [locations = this->ports] { return locations; });
    auto *recorder = new ReadingRecorder(*this->output, options.heldOnly);
    workerThread = new QThread;
    worker->moveToThread(workerThread);
    recorder->moveToThread(workerThread);

    // The worker is wired as the window wires it.
    connect(workerThread, SIGNAL(started()), worker, SLOT(process()));
    connect(worker, SIGNAL(finished()), workerThread, SLOT(quit()));
    connect(worker, SIGNAL(finished()), worker, SLOT(deleteLater()));
    connect(worker, SIGNAL(stop()), this, SLOT(slot_stop()));
    connect(worker, SIGNAL(signal_newLine(int, QString)), this, SLOT(slot_newLine(int, QString)));
    connect(worker, SIGNAL(signal_com(QString)), this, SLOT(slot_com(QString)));
    // Both in the worker's thread: each reading is written down as it is decoded.
    connect(worker, SIGNAL(signal_newFixed(int)), recorder, SLOT(slot_newFixed(int)));
    connect(worker, SIGNAL(signal_newLine(int, QString)), recorder,
            SLOT(slot_newLine(int, QString)));
    connect(recorder, SIGNAL(signal_recorded()), this, SLOT(slot_recorded()));
    connect(recorder, SIGNAL(signal_writeFailed(QString)), this, SLOT(slot_writeFailed(QString)));
    connect(recorder, SIGNAL(signal_readerGone()), this, SLOT(slot_readerGone()));
    // Released on their own thread as it ends.
    connect(workerThread, SIGNAL(finished()), worker, SLOT(deleteLater()));
    connect(workerThread, SIGNAL(finished()), recorder, SLOT(deleteLater()));

    auto *stopSignals = new StopSignals(this);
    connect(stopSignals, SIGNAL(signal_stopRequested()), this, SLOT(slot_stopRequested()));

    workerThread->start(QThread::InheritPriority);
}

Recording::~Recording()
{
    if (workerThread) {
        workerThread->quit();
        workerThread->wait(ULONG_MAX);
        delete workerThread;
    }
}

int Recording::run()
{
    QCoreApplication::exec();
    workerThread->quit();
    if (!workerThread->wait(ShutDownWaitMs)) {
        // Nothing is lost by not waiting: every record went out whole when it was made.
        std::fflush(stderr);
        std::_Exit(status);
    }
    delete workerThread;
    return status;
}

void Recording::slot_com(QString)
{
    if (!headSerial.isEmpty())
        report(QStringLiteral("head %1 lost on %2")
                   .arg(visibleText(headSerial), ports.value(portIndex)));
    headSerial.clear();
    ++portIndex;
    report(QStringLiteral("trying %1").arg(ports.value(portIndex)));
}

void Recording::slot_newLine(int, QString serial)
{
    if (serial == headSerial)
        return;
    headSerial = serial;
    lastSerial = serial;
    report(QStringLiteral("head %1 found on %2").arg(visibleText(serial), ports.value(portIndex)));
}

void Recording::slot_stop()
{
    if (!headSerial.isEmpty())
        report(QStringLiteral("head %1 lost on %2")
                   .arg(visibleText(headSerial), ports.value(portIndex)));
    headSerial.clear();
    if (records > 0)
        finish(0);
    else
        finish(1, outcomeOfSearch());
}

void Recording::slot_recorded()
{
    ++records;
}

void Recording::slot_writeFailed(QString message)
{
    finish(1, message);
}

void Recording::slot_readerGone()
{
    finish(0);
}

void Recording::slot_stopRequested()
{
    finish(0);
}

void Recording::finish(int exitStatus, const QString &message)
{
    if (finished)
        return;
    finished = true;
    status = exitStatus;
    if (!message.isEmpty())
        printError(message);
    QCoreApplication::quit();
}

void Recording::report(const QString &text) const
{
    if (showProgress)
        printError(text);
}

QString Recording::outcomeOfSearch() const
{
    if (!lastSerial.isEmpty())
        return QStringLiteral("no held reading recorded: head %1 sent none")
            .arg(visibleText(lastSerial));
    const QStringList tried = ports.mid(0, portIndex + 1);
    QString outcome = QStringLiteral("no head found on %1").arg(tried.join(QStringLiteral(", ")));
    QStringList refused;
    for (const QString &port : tried) {
        if (lacksReadPermission(port))
            refused.append(port);
    }
    if (!refused.isEmpty())
        outcome += QStringLiteral("; no permission to open %1: %2")
                       .arg(refused.join(QStringLiteral(", ")), dialoutHint());
    return outcome;
}
