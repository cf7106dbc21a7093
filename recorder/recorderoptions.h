#ifndef RECORDEROPTIONS_H
#define RECORDEROPTIONS_H

#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks of the recorder.
struct RecorderOptions {
    enum class Progress { WhenTerminal, Always, Never };

    bool heldOnly = false;
    QString port;   // empty: search the machine's ports
    QString output; // empty: standard output, as - on the command line
    Progress progress = Progress::WhenTerminal;
    QString mqtt;             // empty: no broker
    QString mqttCa;           // empty: the system's certificate authorities
    QString mqttPasswordFile; // empty: HEAD_READOUT_MQTT_PASSWORD, if set
};

// The command line read: either options to record with, or what to print and the exit
// status (help, version, or a mistake in the command line, status 2).
struct CommandLine {
    std::optional<RecorderOptions> options;
    int status = 0;
    QString standardOutput;
    QString standardError;
};

CommandLine parseCommandLine(const QStringList &arguments);

#endif
