#include "recorder/recording.h"

#include "acquisition/portcheck.h"
#include "acquisition/portlister.h"
#include "acquisition/portlock.h"
#include "acquisition/workerserialport.h"
#include "commandline/programerror.h"
#include "publisher/brokeraddress.h"
#include "publisher/tableforwarder.h"
#include "recorder/readingrecorder.h"
#include "recorder/stopsignals.h"
#include "table/csvoutput.h"
#include "table/csvrecord.h"

#include <QCoreApplication>
#include <QFile>
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
// How long a connected broker gets, at the end, for what the table still holds.
constexpr int SendingWaitMs = 10000;

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
        const QString port = canonicalPort(options.port);
        const QString problem = portProblem(port);
        if (!problem.isEmpty()) {
            printError(problem);
            return 1;
        }
        ports = QStringList{port};
    }

    // A reader that goes away shows as a failed write, which ends the recording quietly;
    // a file grown to the size limit, as a failed write that is said.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
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

    std::unique_ptr<TableForwarder> forwarder;
    if (!options.mqtt.isEmpty()) {
        QString password = qEnvironmentVariable("HEAD_READOUT_MQTT_PASSWORD");
        if (!options.mqttPasswordFile.isEmpty()) {
            QFile file(options.mqttPasswordFile);
            if (!file.open(QIODevice::ReadOnly)) {
                printError(QStringLiteral("cannot read the password file %1: %2")
                               .arg(options.mqttPasswordFile, file.errorString()));
                return 1;
            }
            QByteArray line = file.readLine();
            while (line.endsWith('\n') || line.endsWith('\r'))
                line.chop(1);
            password = QString::fromUtf8(line);
        }
        // Checked with the command line.
        const BrokerAddress broker = *BrokerAddress::parse(options.mqtt, error);
        forwarder =
            std::make_unique<TableForwarder>(options.output, broker, password, options.mqttCa);
        if (!forwarder->start(error)) {
            printError(error);
            return 1;
        }
        if (!forwarder->notice().isEmpty())
            printError(forwarder->notice());
    }

    Recording recording(options, ports, std::move(output), std::move(forwarder));
    return recording.run();
}

Recording::Recording(const RecorderOptions &options, QStringList ports,
                     std::unique_ptr<CsvOutput> output, std::unique_ptr<TableForwarder> forwarder,
                     QObject *parent)
    : QObject(parent), ports(std::move(ports)), output(std::move(output)),
      forwarder(std::move(forwarder)), table(options.output),
      showProgress(
          options.progress == RecorderOptions::Progress::Always ||
          (options.progress == RecorderOptions::Progress::WhenTerminal && ::isatty(STDERR_FILENO)))
{
    auto *worker = new WorkerSerialPort(nullptr, [locations = this->ports] { return locations; });
    auto *recorder = new ReadingRecorder(*this->output, options.heldOnly);
    workerThread = new QThread;
    worker->moveToThread(workerThread);
    recorder->moveToThread(workerThread);

    connect(workerThread, &QThread::started, worker, &WorkerSerialPort::process);
    connect(worker, &WorkerSerialPort::finished, workerThread, &QThread::quit);
    connect(worker, &WorkerSerialPort::finished, worker, &QObject::deleteLater);
    connect(worker, &WorkerSerialPort::stop, this, &Recording::searchOver);
    connect(worker, &WorkerSerialPort::signal_newLine, this,
            [this](int, const QString &serial) { headSeen(serial); });
    connect(worker, &WorkerSerialPort::signal_com, this, &Recording::portTried);
    // Both in the worker's thread: each reading is written down as it is decoded.
    connect(worker, &WorkerSerialPort::signal_newFixed, recorder, &ReadingRecorder::slot_newFixed);
    connect(worker, &WorkerSerialPort::signal_newLine, recorder, &ReadingRecorder::slot_newLine);
    connect(recorder, &ReadingRecorder::signal_recorded, this, [this] {
        ++records;
        if (this->forwarder)
            this->forwarder->tableGrew();
    });
    if (this->forwarder) {
        connect(this->forwarder.get(), &TableForwarder::problem, this, &Recording::brokerProblem);
        connect(this->forwarder.get(), &TableForwarder::connected, this, [this] {
            brokerSaid.clear();
            report(QStringLiteral("connected to %1").arg(this->forwarder->broker().host));
        });
    }
    connect(recorder, &ReadingRecorder::signal_writeFailed, this, &Recording::writeFailed);
    connect(recorder, &ReadingRecorder::signal_readerGone, this, [this] {
        stopped = true;
        end();
    });
    // Released on their own thread as it ends.
    connect(workerThread, &QThread::finished, worker, &QObject::deleteLater);
    connect(workerThread, &QThread::finished, recorder, &QObject::deleteLater);

    auto *stopSignals = new StopSignals(this);
    connect(stopSignals, &StopSignals::signal_stopRequested, this, [this] {
        stopped = true;
        end();
    });

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
        // Asleep in its pause after the last port, or blocked on a reader that stopped
        // reading: every record already went out whole, and only the port's lock file
        // would outlive us.
        removeOwnPortLocks(ports);
        finishSending();
        const int status = conclude();
        std::fflush(stderr);
        std::_Exit(status);
    }
    delete workerThread;
    // What the worker's thread did before it ended, in order: a reading recorded in the
    // last moments counts, and is said, before the outcome.
    QCoreApplication::sendPostedEvents(this);
    finishSending();
    return conclude();
}

void Recording::finishSending()
{
    if (!forwarder)
        return;
    forwarder->finish(SendingWaitMs);
    unsent = forwarder->unsent();
}

void Recording::brokerProblem(const QString &text)
{
    if (text == brokerSaid)
        return;
    brokerSaid = text;
    const BrokerAddress &broker = forwarder->broker();
    printError(QStringLiteral("broker %1:%2: %3; recording goes on, the records wait in %4")
                   .arg(broker.host)
                   .arg(broker.port)
                   .arg(text, table));
}

void Recording::portTried()
{
    reportLost();
    ++portIndex;
    report(QStringLiteral("trying %1").arg(ports.value(portIndex)));
}

void Recording::headSeen(const QString &serial)
{
    if (serial == headSerial)
        return;
    headSerial = serial;
    lastSerial = serial;
    report(QStringLiteral("head %1 found on %2").arg(visibleText(serial), ports.value(portIndex)));
}

void Recording::searchOver()
{
    reportLost();
    searched = true;
    end();
}

void Recording::writeFailed(const QString &message)
{
    if (failure.isEmpty())
        failure = message;
    end();
}

void Recording::end()
{
    if (ended)
        return;
    ended = true;
    QCoreApplication::quit();
}

int Recording::conclude()
{
    int status = 0;
    if (!failure.isEmpty()) {
        printError(failure);
        status = 1;
    } else if (!stopped && searched && records == 0) {
        printError(outcomeOfSearch());
        status = 1;
    }
    if (unsent > 0) {
        printError(QStringLiteral("%1 records not yet sent to %2; the next run with --output %3 "
                                  "sends them")
                       .arg(unsent)
                       .arg(forwarder->broker().host, table));
        status = 1;
    }
    return status;
}

void Recording::report(const QString &text) const
{
    if (showProgress)
        printError(text);
}

void Recording::reportLost()
{
    if (!headSerial.isEmpty())
        report(QStringLiteral("head %1 lost on %2")
                   .arg(visibleText(headSerial), ports.value(portIndex)));
    headSerial.clear();
}

QString Recording::outcomeOfSearch() const
{
    if (!lastSerial.isEmpty())
        return QStringLiteral("no held reading recorded: head %1 sent none")
            .arg(visibleText(lastSerial));
    const QStringList tried = ports.mid(0, portIndex + 1);
    QString outcome = QStringLiteral("no head found on %1").arg(tried.join(QStringLiteral(", ")));
    QStringList refused;
    QStringList busy;
    for (int i = 0; i < tried.size(); ++i) {
        const QString &port = tried.at(i);
        if (lacksReadPermission(port)) {
            refused.append(port);
            continue;
        }
        // The last port is still open here, by this process.
        const QString inUse = portInUse(port, i != portIndex);
        if (!inUse.isEmpty())
            busy.append(inUse);
    }
    if (!refused.isEmpty())
        outcome += QStringLiteral("; no permission to open %1: %2")
                       .arg(refused.join(QStringLiteral(", ")), dialoutHint());
    if (!busy.isEmpty())
        outcome += QStringLiteral("; ") + busy.join(QStringLiteral("; "));
    return outcome;
}
