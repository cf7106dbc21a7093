#include "recorder/portcheck.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    return {};
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
