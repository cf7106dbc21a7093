#ifndef WORKERSERIALPORT_H
#define WORKERSERIALPORT_H

#include "acquisition/portlister.h"

#include <QObject>
#include <QSerialPort>
#include <QStringList>

class QTimer;

// Finds the port the measuring head talks on and turns its bytes into readings.
// Lives in a thread of its own; reaches the window only through its signals.
class WorkerSerialPort : public QObject
{
    Q_OBJECT
public:
    explicit WorkerSerialPort(QObject *parent = nullptr,
                              PortLister listPorts = systemPortLocations);
    ~WorkerSerialPort() override;

    static QString portLabel(const QString &location);

signals:
    void finished();
    void signal_newLine(int, QString);
    void signal_newFixed(int);
    void signal_com(QString);
    void stop();

public slots:
    void process();
    void updateTime();

private slots:
    void handleError(QSerialPort::SerialPortError error);
    void readData();

private:
    void openPort(const QString &location);
    void closeIfHungUp();

    QSerialPort serialPort;
    QStringList portList;
    int portIndex = 0;
    QTimer *timer = nullptr;
    int tickCount = 0;
    bool portAlive = false;
    PortLister listPorts;
};

#endif
