#include "acquisition/workerserialport.h"

#include "acquisition/framedecoder.h"

#include <QThread>
#include <QTimer>

#include <utility>

#include <poll.h>

namespace
{

constexpr int TickMs = 100;
constexpr int ProbeTicks = 10;   // a port gets 1 s to show a frame marker
constexpr int SilenceTicks = 50; // a head that falls silent keeps its port 5 s
constexpr unsigned long GiveUpPauseS = 5;

} // namespace

// The port is a child so that it moves to the worker's thread together with the worker.
WorkerSerialPort::WorkerSerialPort(QObject *parent, PortLister listPorts)
    : QObject(parent), serialPort(this), listPorts(std::move(listPorts))
{
}

WorkerSerialPort::~WorkerSerialPort()
{
    serialPort.close();
    emit finished();
}

QString WorkerSerialPort::portLabel(const QString &location)
{
    // Without its folder a device path is the port's short name, as COM3 is elsewhere; it
    // is what tells two adapters apart in the narrow status label.
    const QLatin1String deviceFolder("/dev/");
    QString label =
        location.startsWith(deviceFolder) ? location.mid(deviceFolder.size()) : location;
    label.remove(QStringLiteral("\\"), Qt::CaseSensitive);
    label.remove(QStringLiteral("."), Qt::CaseSensitive);
    return label;
}

void WorkerSerialPort::process()
{
    if (listPorts().isEmpty()) {
        QThread::sleep(GiveUpPauseS);
        emit stop();
        return;
    }

    portList = listPorts();
    portIndex = 0;
    QString location;
    if (portList.isEmpty())
        emit finished();
    else
        location = portList.at(0);

    timer = new QTimer(this);
    timer->setInterval(TickMs);
    connect(timer, SIGNAL(timeout()), this, SLOT(updateTime()));
    tickCount = 0;
    timer->start();

    emit signal_com(portLabel(location));
    openPort(location);

    connect(&serialPort, &QSerialPort::errorOccurred, this, &WorkerSerialPort::handleError);
    connect(&serialPort, &QSerialPort::readyRead, this, &WorkerSerialPort::readData);
}

void WorkerSerialPort::updateTime()
{
    closeIfHungUp();
    ++tickCount;
    const int limit = portAlive ? SilenceTicks : ProbeTicks;
    if (tickCount != limit)
        return;

    tickCount = 0;
    ++portIndex;
    if (portIndex < portList.size()) {
        const QString location = portList.at(portIndex);
        if (serialPort.isOpen())
            serialPort.close();
        emit signal_com(portLabel(location));
        openPort(location);
    } else {
        QThread::sleep(GiveUpPauseS);
        emit stop();
    }
}

void WorkerSerialPort::handleError(QSerialPort::SerialPortError error)
{
    // A removed device; closing it leaves the move to the next port to the watchdog.
    if (error == QSerialPort::ResourceError && serialPort.isOpen())
        serialPort.close();
}

// A hung-up line that Qt does not report as a removed device (a ReadError on some
// versions, nothing at all on 6.8) keeps waking the port with nothing to read: the
// watchdog looks at the line itself and closes it as a removed one.
void WorkerSerialPort::closeIfHungUp()
{
    if (!serialPort.isOpen())
        return;
    pollfd line{serialPort.handle(), 0, 0};
    if (::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        serialPort.close();
}

void WorkerSerialPort::readData()
{
    static FrameDecoder decoder;

    const FrameDecoder::Step step = decoder.feed(serialPort.readAll());
    if (step.markerSeen) {
        tickCount = 0;
        portAlive = true;
    }
    if (step.frame) {
        if (step.frame->fixed)
            emit signal_newFixed(step.frame->value);
        emit signal_newLine(step.frame->value, step.frame->serial);
    }
}

void WorkerSerialPort::openPort(const QString &location)
{
    serialPort.setPortName(location);
    serialPort.setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
    serialPort.setDataBits(QSerialPort::Data8);
    serialPort.setParity(QSerialPort::NoParity);
    serialPort.setStopBits(QSerialPort::OneStop);
    serialPort.setFlowControl(QSerialPort::NoFlowControl);
    serialPort.setReadBufferSize(1);
    portAlive = false;
    serialPort.open(QIODevice::ReadOnly);
}
