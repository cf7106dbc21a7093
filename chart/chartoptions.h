#ifndef CHARTOPTIONS_H
#define CHARTOPTIONS_H

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks of the chart. Limits are in tenths of a micrometre, as the
// head counts.
struct ChartOptions {
    Q_DECLARE_TR_FUNCTIONS(ChartOptions)

public:
    std::optional<int> lower;
    std::optional<int> upper;
    std::optional<int> nominal;
    bool heldOnly = false;
    QString port;   // empty: search the machine's ports
    QString output; // empty: record nothing
    QString part;
    QString characteristic;
    QString from;       // a recorded table instead of a head
    QString exportPath; // with from: the report's file
    bool summary = false;
};

// The command line read: either options to run with, or what to print and the exit
// status (help, version, or a mistake in the command line, status 2).
struct ChartCommandLine {
    std::optional<ChartOptions> options;
    int status = 0;
    QString standardOutput;
    QString standardError;
};

ChartCommandLine parseChartCommandLine(const QStringList &arguments);

// The export's format by the file's suffix: "png", "svg" or "pdf" for the report, "dfq"
// for the readings as an AQDEF transfer file; empty for any other.
QString reportFormat(const QString &path);

#endif
