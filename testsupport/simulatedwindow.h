#ifndef SIMULATEDWINDOW_H
#define SIMULATEDWINDOW_H

#include "app/widget.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// The readout window as the program builds it, on ports handed in through the seam: the
// given terminals, then locations that never open. Those keep the worker probing, one a
// second, so that closing the window never waits out the worker's give-up pause. The
// window works in a temporary folder of its own holding serial_number/, so that its note
// step does its real work; the previous working folder comes back when the fixture goes.
class SimulatedWindow
{
public:
    explicit SimulatedWindow(const QStringList &terminals = {}, int absentPorts = 100);
    ~SimulatedWindow();
    SimulatedWindow(const SimulatedWindow &) = delete;
    SimulatedWindow &operator=(const SimulatedWindow &) = delete;

    // False when the working folder could not be made; there is no window then.
    bool isReady() const { return bool(widget); }
    Widget &window() { return *widget; }
    QString folder() const { return workDir.path(); }
    // The text of the form's label of that name.
    QString labelText(const char *name) const;
    // Runs the event loop until that label shows text; false if it did not in time.
    bool waitForLabel(const char *name, const QString &text, int timeoutMs);
    // ... until the window shows the terminal as the port it opened.
    bool waitForPort(const QString &terminal, int timeoutMs = 5000);

private:
    QTemporaryDir workDir;
    QString previousDir;
    std::unique_ptr<Widget> widget;
};

#endif
