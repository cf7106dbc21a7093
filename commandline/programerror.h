#ifndef PROGRAMERROR_H
#define PROGRAMERROR_H

#include <QString>

// One line on standard error, named by the program as every program of the suite says
// what went wrong, and flushed at once: a run that ends next must not lose it.
void printError(const QString &text);

#endif
