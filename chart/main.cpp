#include "acquisition/portcheck.h"
#include "chart/aqdefexport.h"
#include "chart/batch.h"
#include "chart/chartoptions.h"
#include "chart/chartwindow.h"
#include "chart/report.h"
#include "chart/summaryjson.h"
#include "chart/tableload.h"
#include "chart/translations.h"
#include "commandline/programerror.h"
#include "table/csvoutput.h"

#include <QApplication>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <memory>

namespace
{

void name()
{
    QCoreApplication::setApplicationName(QStringLiteral("head-readout-chart"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HEADREADOUT_VERSION));
}

std::optional<Batch> tableBatch(const ChartOptions &options)
{
    Batch batch(ToleranceLimits(options.lower, options.upper, options.nominal), options.heldOnly);
    QString error;
    if (!loadTable(options.from, batch, error)) {
        printError(error);
        return std::nullopt;
    }
    return batch;
}

// No display is needed for a report: it is drawn off screen unless told otherwise.
int exportReport(int argc, char *argv[], const ChartOptions &options, const Batch &batch)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    name();
    installTranslations(app);
    QString error;
    if (!Report(batch, options.part, options.characteristic).save(options.exportPath, error)) {
        printError(error);
        return 1;
    }
    return 0;
}

int showWindow(int argc, char *argv[], const ChartOptions &options)
{
    // The window's fonts are in points and its charts lay themselves out: it scales by the
    // display's own factor, fractional ones included.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
#endif
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    name();
    installTranslations(app);
    std::optional<Batch> batch;
    std::unique_ptr<CsvOutput> output;
    QString port;
    if (options.from.isEmpty() && !options.port.isEmpty()) {
        port = canonicalPort(options.port);
        const QString problem = portProblem(port);
        if (!problem.isEmpty()) {
            printError(problem);
            return 1;
        }
    }
    if (options.from.isEmpty()) {
        batch.emplace(ToleranceLimits(options.lower, options.upper, options.nominal),
                      options.heldOnly);
        if (!options.output.isEmpty()) {
            // A file grown to the size limit shows as a failed write, which is said.
            std::signal(SIGXFSZ, SIG_IGN);
            QString error;
            output = CsvOutput::openFile(options.output, error);
            if (!output) {
                printError(error);
                return 1;
            }
            if (!output->notice().isEmpty())
                printError(output->notice());
        }
    } else {
        batch = tableBatch(options);
        if (!batch)
            return 1;
    }

    ChartWindow window(options, std::move(*batch));
    if (options.from.isEmpty()) {
        window.watch(port.isEmpty() ? PortLister(systemPortLocations)
                                    : PortLister([port] { return QStringList{port}; }),
                     std::move(output));
    }
    window.show();
    const int status = QApplication::exec();
    return status != 0 ? status : window.exitStatus();
}

} // namespace

int main(int argc, char *argv[])
{
    ChartCommandLine command;
    std::optional<Batch> table;
    {
        // Read before the application it asks for is made: help, a mistake, a summary, a
        // transfer file and a table that is none need no display.
        QCoreApplication reader(argc, argv);
        name();
        installTranslations(reader);
        command = parseChartCommandLine(QCoreApplication::arguments());
        std::fputs(qPrintable(command.standardOutput), stdout);
        std::fputs(qPrintable(command.standardError), stderr);
        if (!command.options)
            return command.status;
        // The transfer file reads the table itself, every reading of it, and draws nothing.
        if (reportFormat(command.options->exportPath) == QLatin1String("dfq")) {
            QString error;
            if (!AqdefExport(*command.options).save(error)) {
                printError(error);
                return 1;
            }
            return 0;
        }
        if (command.options->summary || !command.options->exportPath.isEmpty()) {
            table = tableBatch(*command.options);
            if (!table)
                return 1;
        }
        if (command.options->summary) {
            std::fputs(summaryJson(table->statistics(), table->limits()).constData(), stdout);
            std::fputc('\n', stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    if (table)
        return exportReport(argc, argv, *command.options, *table);
    return showWindow(argc, argv, *command.options);
}
