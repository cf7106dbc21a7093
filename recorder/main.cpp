#include "recorder/recorderoptions.h"
#include "recorder/recording.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("head-readout-log"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HEADREADOUT_VERSION));

    const CommandLine command = parseCommandLine(QCoreApplication::arguments());
    std::fputs(qPrintable(command.standardOutput), stdout);
    std::fputs(qPrintable(command.standardError), stderr);
    if (!command.options)
        return command.status;
    return Recording::record(*command.options);
}
