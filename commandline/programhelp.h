#ifndef PROGRAMHELP_H
#define PROGRAMHELP_H

#include <QString>

class QCommandLineOption;
class QCommandLineParser;

// Whether help was asked for: --help, or --help-all, which Qt 5.15 and later add and which
// would otherwise start the program.
bool helpAsked(const QCommandLineParser &parser, const QCommandLineOption &help);

// The parser's help with the usage line naming the program as a user types it, not by the
// full path it was started from.
QString programHelp(const QCommandLineParser &parser);

#endif
