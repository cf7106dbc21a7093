#include "recorder/recorderoptions.h"

#include "commandline/programhelp.h"
#include "publisher/brokeraddress.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace
{

CommandLine mistake(const QString &problem)
{
    CommandLine line;
    line.status = 2;
    line.standardError = QCoreApplication::applicationName() + QStringLiteral(": ") + problem +
                         QStringLiteral(" Try --help.\n");
    return line;
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    const QCommandLineOption heldOnly(
        QStringLiteral("held-only"),
        QStringLiteral("Record only held readings (the head's hold key): one value per part."));
    const QCommandLineOption port(
        {QStringLiteral("p"), QStringLiteral("port")},
        QStringLiteral("Use only the serial port PATH, instead of searching the machine's ports."),
        QStringLiteral("PATH"));
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Append the records to FILE instead of writing them to standard output "
                       "(- is standard output)."),
        QStringLiteral("FILE"));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Report the search on standard error even when it is no terminal."));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Report nothing but errors."));
    const QCommandLineOption mqtt(
        QStringLiteral("mqtt"),
        QStringLiteral("Also send each record to the MQTT broker at URL, "
                       "mqtt://[USER@]HOST[:PORT]/TOPIC-PREFIX or mqtts://... (TLS); needs "
                       "--output, where records wait until the broker has them."),
        QStringLiteral("URL"));
    const QCommandLineOption mqttCa(
        QStringLiteral("mqtt-ca"),
        QStringLiteral("Trust the certificate authority in FILE for mqtts:// instead of the "
                       "system's."),
        QStringLiteral("FILE"));
    const QCommandLineOption mqttPasswordFile(
        QStringLiteral("mqtt-password-file"),
        QStringLiteral("Read the broker's password from the first line of FILE (else from "
                       "HEAD_READOUT_MQTT_PASSWORD)."),
        QStringLiteral("FILE"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Records the readings of a digital length-measuring head as CSV\n"
        "(time,serial,reading_um,held), one line per frame, as each frame is decoded.\n"
        "Finds the head's port as the readout window does, and ends when the last port\n"
        "has been given up: status 0 when a reading was recorded, 1 when none was, or on\n"
        "an error."));
    for (const QCommandLineOption &option :
         {heldOnly, port, output, verbose, quiet, mqtt, mqttCa, mqttPasswordFile})
        parser.addOption(option);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(arguments))
        return mistake(parser.errorText());
    if (helpAsked(parser, help)) {
        CommandLine line;
        line.standardOutput = programHelp(parser);
        return line;
    }
    if (parser.isSet(version)) {
        CommandLine line;
        line.standardOutput = QCoreApplication::applicationName() + QLatin1Char(' ') +
                              QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return line;
    }
    if (!parser.positionalArguments().isEmpty())
        return mistake(QStringLiteral("Unexpected argument '%1'.")
                           .arg(parser.positionalArguments().constFirst()));
    for (const QCommandLineOption &valued : {port, output, mqtt, mqttCa, mqttPasswordFile}) {
        const QString name = QStringLiteral("--") + valued.names().constLast();
        const QStringList values = parser.values(valued);
        if (values.size() > 1)
            return mistake(QStringLiteral("%1 given more than once.").arg(name));
        if (values.size() == 1 && values.constFirst().isEmpty())
            return mistake(QStringLiteral("%1 needs a non-empty value.").arg(name));
    }
    if (parser.isSet(verbose) && parser.isSet(quiet))
        return mistake(QStringLiteral("--verbose and --quiet exclude each other."));

    if (!parser.isSet(mqtt) && (parser.isSet(mqttCa) || parser.isSet(mqttPasswordFile)))
        return mistake(QStringLiteral("--mqtt-ca and --mqtt-password-file need --mqtt."));
    if (parser.isSet(mqtt)) {
        if (!parser.isSet(output) || parser.value(output) == QLatin1String("-"))
            return mistake(QStringLiteral("--mqtt needs --output FILE: the table is where the "
                                          "records wait until the broker has them."));
        QString error;
        const std::optional<BrokerAddress> broker = BrokerAddress::parse(parser.value(mqtt), error);
        if (!broker)
            return mistake(error + QLatin1Char('.'));
        if (parser.isSet(mqttCa) && !broker->tls)
            return mistake(QStringLiteral("--mqtt-ca is for an mqtts:// broker."));
        if (broker->user.isEmpty() && parser.isSet(mqttPasswordFile))
            return mistake(QStringLiteral("--mqtt-password-file needs a user in the broker "
                                          "address: mqtt://USER@HOST/..."));
    }

    RecorderOptions options;
    options.mqtt = parser.value(mqtt);
    options.mqttCa = parser.value(mqttCa);
    options.mqttPasswordFile = parser.value(mqttPasswordFile);
    options.heldOnly = parser.isSet(heldOnly);
    options.port = parser.value(port);
    if (parser.value(output) != QLatin1String("-"))
        options.output = parser.value(output);
    if (parser.isSet(verbose))
        options.progress = RecorderOptions::Progress::Always;
    else if (parser.isSet(quiet))
        options.progress = RecorderOptions::Progress::Never;
    CommandLine line;
    line.options = options;
    return line;
}
