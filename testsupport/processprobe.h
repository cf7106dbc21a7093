#ifndef PROCESSPROBE_H
#define PROCESSPROBE_H

#include <QtGlobal>

// What /proc tells of a process, for the tests and benchmarks that watch one.

// The resident memory in KiB of this process, or of the process pid, or -1 where it
// cannot be read.
long residentKiB(qint64 pid = 0);

// User plus system processor time of a process, all its threads together, in clock ticks
// (sysconf(_SC_CLK_TCK) a second), or -1 where it cannot be read.
qint64 cpuTicks(qint64 pid);

// Whether a QThread of the process pid sleeps a fixed time (QThread::sleep), as the
// kernel tells where it waits.
bool qThreadSleeps(qint64 pid);

// This process's user plus system processor time in seconds, to the microsecond.
double ownCpuSeconds();

#endif
