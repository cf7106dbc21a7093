#include "chart/headsearch.h"

#include "acquisition/workerserialport.h"

#include <QThread>

#include <climits>
#include <utility>

HeadSearch::HeadSearch(PortLister listPorts, QObject *parent)
    : QObject(parent), listPorts(std::move(listPorts))
{
}

HeadSearch::~HeadSearch()
{
    // A worker may be asleep in its pause after the last port; its thread ends after it.
    const auto threads = findChildren<QThread *>(QString(), Qt::FindDirectChildrenOnly);
    for (QThread *thread : threads) {
        thread->quit();
        thread->wait(ULONG_MAX);
    }
}

void HeadSearch::start()
{
    startWorker();
}

void HeadSearch::startWorker()
{
    auto *worker = new WorkerSerialPort(nullptr, listPorts);
    auto *thread = new QThread(this);
    worker->moveToThread(thread);
    workerThread = thread;
    heldValue.reset();

    connect(thread, &QThread::started, worker, &WorkerSerialPort::process);
    connect(worker, &WorkerSerialPort::finished, thread, &QThread::quit);
    // Released on their own threads as the worker's thread ends.
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(worker, &WorkerSerialPort::signal_com, this, &HeadSearch::portTried);
    connect(worker, &WorkerSerialPort::signal_newFixed, this, &HeadSearch::takeFixed);
    connect(worker, &WorkerSerialPort::signal_newLine, this, &HeadSearch::takeLine);
    // The worker would go on giving up its last port every few seconds: it is ended, and
    // a fresh one lists the ports anew.
    connect(worker, &WorkerSerialPort::stop, this, [this, thread] {
        if (thread != workerThread)
            return;
        thread->quit();
        emit searchingAgain();
        startWorker();
    });
    thread->start(QThread::InheritPriority);
}

void HeadSearch::takeFixed(int value)
{
    heldValue = value;
}

void HeadSearch::takeLine(int value, const QString &serial)
{
    const bool held = heldValue == value;
    heldValue.reset();
    emit reading(value, serial, held);
}
