#include "acquisition/portcheck.h"

#include "acquisition/portlock.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Opened as the worker will open it, but without waiting for a carrier and without
// becoming our terminal; -1 with errno set where it cannot be.
int openPort(const QByteArray &name)
{
    return ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

QString inUse(const QString &path, qint64 pid)
{
    return pid > 0 ? QStringLiteral("%1 is in use by another program (PID %2)").arg(path).arg(pid)
                   : QStringLiteral("%1 is in use by another program").arg(path);
}

} // namespace

QString canonicalPort(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

QString portProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat seen = {};
    if (::stat(name.constData(), &seen) != 0) {
        return errno == ENOENT
                   ? QStringLiteral("%1 does not exist").arg(path)
                   : QStringLiteral("cannot open %1: %2").arg(path, qt_error_string(errno));
    }
    if (!S_ISCHR(seen.st_mode))
        return QStringLiteral("%1 is no serial port (not a character device)").arg(path);
    if (::faccessat(AT_FDCWD, name.constData(), R_OK, AT_EACCESS) != 0) {
        const int code = errno;
        QString problem = QStringLiteral("cannot open %1: %2").arg(path, qt_error_string(code));
        if (code == EACCES)
            problem += QStringLiteral("; ") + dialoutHint();
        return problem;
    }
    // Before the port is opened here: the lock file names its holder, where an open
    // would only fail, or, for root, succeed and split the head's bytes between two readers.
    if (const qint64 holder = portLockHolder(path))
        return inUse(path, holder);
    const int fd = openPort(name);
    if (fd < 0) {
        return errno == EBUSY
                   ? inUse(path, 0)
                   : QStringLiteral("cannot open %1: %2").arg(path, qt_error_string(errno));
    }
    const bool terminal = ::isatty(fd) != 0;
    ::close(fd);
    if (!terminal)
        return QStringLiteral("%1 is no serial port (not a terminal)").arg(path);
    return {};
}

QString portInUse(const QString &path, bool tryOpen)
{
    if (const qint64 holder = portLockHolder(path))
        return inUse(path, holder);
    if (!tryOpen)
        return {};
    const int fd = openPort(QFile::encodeName(path));
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    return errno == EBUSY ? inUse(path, 0) : QString();
}

bool lacksReadPermission(const QString &path)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), R_OK, AT_EACCESS) != 0 &&
           errno == EACCES;
}

QString dialoutHint()
{
    return QStringLiteral("serial ports belong to the group dialout: "
                          "sudo adduser \"$USER\" dialout, then log in again");
}
