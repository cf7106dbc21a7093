#include "commandline/programerror.h"

#include <QCoreApplication>

#include <cstdio>

void printError(const QString &text)
{
    std::fputs(qPrintable(QCoreApplication::applicationName() + QStringLiteral(": ") + text +
                          QLatin1Char('\n')),
               stderr);
    std::fflush(stderr);
}
