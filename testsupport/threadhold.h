#ifndef THREADHOLD_H
#define THREADHOLD_H

#include <QtGlobal>

// Stops one thread of a child process while its other threads run on, as a debugger
// does, to force an order between threads that the scheduler would only make likely.
// The thread runs again when released or when the hold ends.
class ThreadHold
{
public:
    // The thread tid (the process's own id for its main thread); held() tells whether it
    // stopped.
    explicit ThreadHold(qint64 tid);
    ~ThreadHold();
    ThreadHold(const ThreadHold &) = delete;
    ThreadHold &operator=(const ThreadHold &) = delete;

    bool held() const { return stopped; }
    void release();

private:
    qint64 tid;
    bool attached = false;
    bool stopped = false;
};

#endif
