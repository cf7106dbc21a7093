#include "testsupport/simulatedwindow.h"

#include "acquisition/workerserialport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QThread>

SimulatedWindow::SimulatedWindow(const QStringList &terminals, int absentPorts)
    : previousDir(QDir::currentPath())
{
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path()) ||
        !QDir().mkdir(QStringLiteral("serial_number")))
        return;
    QStringList ports = terminals;
    for (int i = 0; i < absentPorts; ++i)
        ports << workDir.filePath(QStringLiteral("absent-%1").arg(i));
    widget = std::make_unique<Widget>(nullptr, [ports] { return ports; });
}

SimulatedWindow::~SimulatedWindow()
{
    widget.reset();
    QDir::setCurrent(previousDir);
}

QString SimulatedWindow::labelText(const char *name) const
{
    const auto *label = widget ? widget->findChild<QLabel *>(QLatin1String(name)) : nullptr;
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

bool SimulatedWindow::waitForLabel(const char *name, const QString &text, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (labelText(name) != text) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

bool SimulatedWindow::waitForPort(const QString &terminal, int timeoutMs)
{
    return waitForLabel(
        "label_com", QStringLiteral("порт: ") + WorkerSerialPort::portLabel(terminal), timeoutMs);
}
