#ifndef PORTCHECK_H
#define PORTCHECK_H

#include <QString>

// Why a port named on the command line cannot be recorded from: it does not exist, is no
// device, or may not be read by this user. Empty when nothing stands in the way.
QString portProblem(const QString &path);

// Whether this user lacks the permission to read the port: the usual first stumble.
bool lacksReadPermission(const QString &path);

// What to do about it on a Debian system.
QString dialoutHint();

#endif
