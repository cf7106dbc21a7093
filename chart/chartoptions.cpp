#include "chart/chartoptions.h"

#include "commandline/programhelp.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

#include <cmath>

namespace
{

// Far beyond any head's range, yet its tenths still fit an int.
constexpr double LargestLimitUm = 1e6;

ChartCommandLine mistake(const QString &problem)
{
    ChartCommandLine line;
    line.status = 2;
    line.standardError = QCoreApplication::applicationName() + QStringLiteral(": ") + problem +
                         QLatin1Char(' ') + ChartOptions::tr("Try --help.") + QLatin1Char('\n');
    return line;
}

// Micrometres as given, in the C locale whatever the user's: a comma would be ambiguous.
std::optional<int> tenthsOf(const QString &text)
{
    bool ok = false;
    const double um = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(um) || std::abs(um) > LargestLimitUm)
        return std::nullopt;
    return int(std::lround(um * 10));
}

} // namespace

QString reportFormat(const QString &path)
{
    QString suffix = QFileInfo(path).suffix().toLower();
    for (const char *format : {"png", "svg", "pdf", "dfq"}) {
        if (suffix == QLatin1String(format))
            return suffix;
    }
    return QString();
}

ChartCommandLine parseChartCommandLine(const QStringList &arguments)
{
    const QCommandLineOption lower(QStringLiteral("lower"),
                                   ChartOptions::tr("The lower tolerance limit in micrometres."),
                                   QStringLiteral("UM"));
    const QCommandLineOption upper(QStringLiteral("upper"),
                                   ChartOptions::tr("The upper tolerance limit in micrometres."),
                                   QStringLiteral("UM"));
    const QCommandLineOption nominal(
        QStringLiteral("nominal"),
        ChartOptions::tr(
            "The nominal size in micrometres (default: the middle of the two limits)."),
        QStringLiteral("UM"));
    const QCommandLineOption heldOnly(
        QStringLiteral("held-only"),
        ChartOptions::tr("Count only held readings (the head's hold key): one value per part."));
    const QCommandLineOption port(
        {QStringLiteral("p"), QStringLiteral("port")},
        ChartOptions::tr(
            "Use only the serial port PATH, instead of searching the machine's ports."),
        QStringLiteral("PATH"));
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        ChartOptions::tr("Append the counted readings to the table FILE."), QStringLiteral("FILE"));
    const QCommandLineOption part(
        QStringLiteral("part"),
        ChartOptions::tr("The part's name, shown in the title and the report."),
        QStringLiteral("TEXT"));
    const QCommandLineOption characteristic(
        QStringLiteral("characteristic"),
        ChartOptions::tr("The characteristic's name, shown in the title and the report."),
        QStringLiteral("TEXT"));
    const QCommandLineOption from(
        QStringLiteral("from"),
        ChartOptions::tr("Show the table FILE the recorder wrote, instead of a head."),
        QStringLiteral("FILE"));
    const QCommandLineOption exportTo(
        QStringLiteral("export"),
        ChartOptions::tr("With --from: write the report to FILE (.png, .svg or .pdf), or the "
                         "readings as an AQDEF transfer file (.dfq), and exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption summary(
        QStringLiteral("summary"),
        ChartOptions::tr("With --from: print the statistics as one JSON object and exit."));

    QCommandLineParser parser;
    parser.setApplicationDescription(ChartOptions::tr(
        "Shows the readings of a digital length-measuring head, judges them against\n"
        "tolerance limits and charts them with their statistics; records them, or\n"
        "reads a table the recorder wrote."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const QCommandLineOption &option : {lower, upper, nominal, heldOnly, port, output, part,
                                             characteristic, from, exportTo, summary})
        parser.addOption(option);

    if (!parser.parse(arguments))
        return mistake(parser.errorText());
    if (helpAsked(parser, help)) {
        ChartCommandLine line;
        line.standardOutput = programHelp(parser);
        return line;
    }
    if (parser.isSet(version)) {
        ChartCommandLine line;
        line.standardOutput = QCoreApplication::applicationName() + QLatin1Char(' ') +
                              QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return line;
    }
    if (!parser.positionalArguments().isEmpty())
        return mistake(ChartOptions::tr("Unexpected argument '%1'.")
                           .arg(parser.positionalArguments().constFirst()));
    for (const QCommandLineOption &valued :
         {lower, upper, nominal, port, output, part, characteristic, from, exportTo}) {
        const QString name = QStringLiteral("--") + valued.names().constLast();
        const QStringList values = parser.values(valued);
        if (values.size() > 1)
            return mistake(ChartOptions::tr("%1 given more than once.").arg(name));
        if (values.size() == 1 && values.constFirst().isEmpty())
            return mistake(ChartOptions::tr("%1 needs a non-empty value.").arg(name));
    }

    ChartOptions options;
    for (const auto &[option, limit] :
         {std::pair{&lower, &options.lower}, std::pair{&upper, &options.upper},
          std::pair{&nominal, &options.nominal}}) {
        if (!parser.isSet(*option))
            continue;
        *limit = tenthsOf(parser.value(*option));
        if (!*limit)
            return mistake(ChartOptions::tr("--%1 needs a number of micrometres, not '%2'.")
                               .arg(option->names().constFirst(), parser.value(*option)));
    }
    if (options.lower && options.upper && *options.lower > *options.upper)
        return mistake(ChartOptions::tr("--lower is above --upper."));
    options.heldOnly = parser.isSet(heldOnly);
    options.port = parser.value(port);
    options.output = parser.value(output);
    options.part = parser.value(part);
    options.characteristic = parser.value(characteristic);
    options.from = parser.value(from);
    options.exportPath = parser.value(exportTo);
    options.summary = parser.isSet(summary);

    if (options.from.isEmpty()) {
        if (options.summary)
            return mistake(ChartOptions::tr("--summary needs --from."));
        if (!options.exportPath.isEmpty())
            return mistake(ChartOptions::tr("--export needs --from."));
    } else {
        if (!options.port.isEmpty() || !options.output.isEmpty())
            return mistake(
                ChartOptions::tr("--from reads a table; it takes neither --port nor --output."));
        if (options.summary && !options.exportPath.isEmpty())
            return mistake(ChartOptions::tr("--summary and --export exclude each other."));
    }
    if (!options.exportPath.isEmpty() && reportFormat(options.exportPath).isEmpty())
        return mistake(
            ChartOptions::tr("--export needs a file ending in .png, .svg, .pdf or .dfq."));

    ChartCommandLine line;
    line.options = options;
    return line;
}
