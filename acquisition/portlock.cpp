#include "acquisition/portlock.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace
{

// Where Qt's serial port may put them, in the order it looks.
const char *const LockFolders[] = {"/var/lock",         "/etc/locks", "/var/spool/locks",
                                   "/var/spool/uucp",   "/tmp",       "/var/tmp",
                                   "/var/lock/lockdev", "/run/lock"};

// Named after the location as given, without its /dev/ folder and with every further
// slash as an underscore: LCK..ttyUSB0, LCK..pts_3.
QString lockName(const QString &location)
{
    const QLatin1String deviceFolder("/dev/");
    QString name = location.startsWith(deviceFolder) ? location.mid(deviceFolder.size()) : location;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("/LCK..") + name;
}

// The first line of a lock file is its process's number.
qint64 lockOwner(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    bool number = false;
    const qint64 pid = file.readLine(32).trimmed().toLongLong(&number);
    return number && pid > 0 ? pid : 0;
}

bool running(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

qint64 portLockHolder(const QString &location)
{
    const qint64 self = QCoreApplication::applicationPid();
    for (const char *folder : LockFolders) {
        const qint64 pid = lockOwner(QLatin1String(folder) + lockName(location));
        if (pid > 0 && pid != self && running(pid))
            return pid;
    }
    return 0;
}

void removeOwnPortLocks(const QStringList &locations)
{
    const qint64 self = QCoreApplication::applicationPid();
    for (const QString &location : locations) {
        for (const char *folder : LockFolders) {
            const QString path = QLatin1String(folder) + lockName(location);
            if (lockOwner(path) == self)
                QFile::remove(path);
        }
    }
}
