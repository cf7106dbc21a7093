#ifndef FILEBYTES_H
#define FILEBYTES_H

#include <QByteArray>
#include <QString>

// A file's bytes as the tests look at them: "<unreadable>" where it cannot be read.
QByteArray readBytes(const QString &path);

// Writes the bytes as a new file, or over an existing one; false where that fails.
bool writeBytes(const QString &path, const QByteArray &bytes);

#endif
