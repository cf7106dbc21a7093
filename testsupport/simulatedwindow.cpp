#include "testsupport/simulatedwindow.h"

#include <QDir>
#include <QLabel>

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
