#ifndef PORTCHECK_H
#define PORTCHECK_H

#include <QString>

// The port by its device's own path, as a search lists it: the lock file that keeps out a
// second reader is named after the path, and a link would name another.
QString canonicalPort(const QString &path);

// Why a port named on the command line cannot be recorded from: it does not exist, is no
// terminal, may not be read by this user, or another program holds it. Empty when nothing
// stands in the way.
QString portProblem(const QString &path);

// "PATH is in use by another program (PID N)" where another program holds the port, the
// number where its lock file tells; empty where none is seen to. Without tryOpen only the
// lock files are asked: a port this process holds itself refuses a second open too.
QString portInUse(const QString &path, bool tryOpen);

// Whether this user lacks the permission to read the port: the usual first stumble.
bool lacksReadPermission(const QString &path);

// What to do about it on a Debian system.
QString dialoutHint();

#endif
