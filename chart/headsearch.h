#ifndef HEADSEARCH_H
#define HEADSEARCH_H

#include "acquisition/portlister.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QThread;

// The acquisition worker in a thread of its own, as the readout window runs it, except
// that the search never ends: once the worker has given up its last port, a new worker
// lists the ports anew, so a head plugged in later is found without a restart.
class HeadSearch : public QObject
{
    Q_OBJECT
public:
    explicit HeadSearch(PortLister listPorts, QObject *parent = nullptr);
    ~HeadSearch() override;

    void start();

signals:
    void portTried(const QString &label);
    void searchingAgain();
    void reading(int value, const QString &serial, bool held);

private:
    void startWorker();
    void takeFixed(int value);
    void takeLine(int value, const QString &serial);

    PortLister listPorts;
    QPointer<QThread> workerThread;
    // A held frame comes as its fixed value, then its line: one reading, not two.
    std::optional<int> heldValue;
};

#endif
