#ifndef PORTLOCK_H
#define PORTLOCK_H

#include <QString>
#include <QStringList>

// The lock files Qt's serial port keeps for a port it has open, as every program built on
// it (the readout window, another recorder) leaves them: which process holds a port, and
// this process's own files to remove where it cannot close its port before it ends.

// The process, other than this one and still running, whose lock file names the port;
// 0 where there is none.
qint64 portLockHolder(const QString &location);

// Removes the lock files of these ports that name this process.
void removeOwnPortLocks(const QStringList &locations);

#endif
