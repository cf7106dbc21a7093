#include "commandline/programhelp.h"

#include <QCommandLineParser>
#include <QCoreApplication>

bool helpAsked(const QCommandLineParser &parser, const QCommandLineOption &help)
{
    return parser.isSet(help) || parser.optionNames().contains(QStringLiteral("help-all"));
}

QString programHelp(const QCommandLineParser &parser)
{
    QString help = parser.helpText();
    const QString started = QCoreApplication::arguments().value(0);
    const int at = help.indexOf(started);
    if (!started.isEmpty() && at >= 0 && at < help.indexOf(QLatin1Char('\n')))
        help.replace(at, started.size(), QCoreApplication::applicationName());
    return help;
}
