// The chart: in-process on a simulated head, judging and recording what it sends; and as a
// whole process on recorded tables, writing reports and summaries without a display.
#include "chart/batch.h"
#include "chart/chartoptions.h"
#include "chart/chartwindow.h"
#include "chart/translations.h"
#include "quality/statistics.h"
#include "table/csvoutput.h"
#include "table/csvrecord.h"
#include "table/tablereader.h"
#include "testsupport/filebytes.h"
#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"
#include "testsupport/namespacedrun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

#include <atomic>
#include <csignal>
#include <map>
#include <optional>
#include <utility>

#include <sys/resource.h>

namespace
{

QString chartProgram()
{
    return qEnvironmentVariable("HEAD_READOUT_CHART");
}

// A table as the recorder writes it, of readings in tenths a second apart.
QByteArray tableOf(const QVector<int> &tenths, bool held = false)
{
    QByteArray table = csvHeader();
    const qint64 start = QDateTime(QDate(2026, 12, 7), QTime(14, 3, 12, 345)).toMSecsSinceEpoch();
    CsvRecordMaker records;
    for (int i = 0; i < tenths.size(); ++i)
        table += records.record(
            {start + qint64(i) * 1000, QStringLiteral("HD0042"), tenths.at(i), held});
    return table;
}

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The program on a table needs no port, so it is run as it is, in the environment given.
Run runOnTable(const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(chartProgram(), arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// What the program itself said on standard error, without what Qt says of the environment.
QByteArrayList saidByProgram(const QByteArray &errors)
{
    QByteArrayList lines;
    const QByteArrayList all = errors.split('\n');
    for (const QByteArray &line : all) {
        if (line.startsWith("head-readout-chart: "))
            lines.append(line);
    }
    return lines;
}

QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// What a report file of each format must be to open in a viewer.
bool wellFormed(const QString &format, const QByteArray &bytes)
{
    if (format == QLatin1String("png")) {
        // The signature, then the header chunk with the page's width and height.
        const QByteArray size = QByteArray::fromHex("0000064000000"
                                                    "46b");
        return bytes.startsWith("\x89PNG\r\n\x1a\n") && bytes.mid(12, 4) == "IHDR" &&
               bytes.mid(16, 8) == size;
    }
    if (format == QLatin1String("svg")) {
        QXmlStreamReader xml(bytes);
        bool svgFound = false;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && !svgFound)
                svgFound = xml.name() == QLatin1String("svg");
        }
        return svgFound && !xml.hasError();
    }
    return bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF");
}

// A transfer file read as the format's readers read it: Latin-1 lines, each ended by CR LF,
// a K-field and its value after the first blank; the fields before the first value, then
// one set of fields for each value, begun by its K0001. Nothing where a line is not so.
struct Transfer {
    QMap<QString, QString> header;
    QVector<QMap<QString, QString>> values;
};

std::optional<Transfer> readTransfer(const QByteArray &bytes)
{
    QByteArrayList lines = bytes.split('\n');
    if (!lines.takeLast().isEmpty())
        return std::nullopt;
    Transfer transfer;
    for (const QByteArray &line : lines) {
        if (!line.endsWith('\r') || line.count('\r') != 1)
            return std::nullopt;
        const QString text = QString::fromLatin1(line.chopped(1));
        const int blank = text.indexOf(QLatin1Char(' '));
        const QString key = text.left(blank);
        const QString value = blank < 0 ? QString() : text.mid(blank + 1);
        if (key == QLatin1String("K0001/1"))
            transfer.values.append(QMap<QString, QString>());
        QMap<QString, QString> &fields =
            key.startsWith(QLatin1String("K00")) && !transfer.values.isEmpty()
                ? transfer.values.last()
                : transfer.header;
        if (fields.contains(key) || (&fields == &transfer.header && !transfer.values.isEmpty()))
            return std::nullopt;
        fields.insert(key, value);
    }
    return transfer;
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowJudgesAndRecordsWhatTheHeadSends();
    void failedWriteStopsOnlyTheRecording();
    void refusedBeforeTheWindow_data();
    void refusedBeforeTheWindow();
    void reportInEachFormat_data();
    void reportInEachFormat();
    void summaryAndReportWithoutDisplay();
    void transferFileOfEveryCountedReading_data();
    void transferFileOfEveryCountedReading();
    void unusableTableOrReportFile_data();
    void unusableTableOrReportFile();
    void badCommandLine_data();
    void badCommandLine();
    void russianForARussianLocale();

private:
    QTemporaryDir folder;
};

void TestChart::initTestCase()
{
    QVERIFY(QFileInfo(chartProgram()).isExecutable());
    QVERIFY(folder.isValid());
}

// The window on a head at the line rate: each reading judged as it comes, held ones beside
// it, every counted one recorded; once the head is unplugged, the ports are listed anew and
// a head plugged in later is found.
void TestChart::windowJudgesAndRecordsWhatTheHeadSends()
{
    HeadSimulator head;
    HeadSimulator laterHead;
    std::atomic<bool> pluggedLater{false};
    const QString table = folder.filePath(QStringLiteral("window.csv"));
    ChartOptions options;
    options.lower = -100;
    options.upper = 100;
    options.output = table;
    QString error;
    std::unique_ptr<CsvOutput> output = CsvOutput::openFile(table, error);
    QVERIFY2(output, qPrintable(error));
    ChartWindow window(options, Batch(ToleranceLimits(options.lower, options.upper), false));
    // Asked from the worker's thread: the port list of the moment.
    window.watch(
        [&pluggedLater, first = head.slavePath(), later = laterHead.slavePath()] {
            return QStringList{pluggedLater ? later : first};
        },
        std::move(output));
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(head.slaveHeld(), 5000);

    auto *reading = window.findChild<QLabel *>(QStringLiteral("reading"));
    auto *verdict = window.findChild<QLabel *>(QStringLiteral("readingVerdict"));
    auto *held = window.findChild<QLabel *>(QStringLiteral("held"));
    auto *heldVerdict = window.findChild<QLabel *>(QStringLiteral("heldVerdict"));
    QVERIFY(reading && verdict && held && heldVerdict);
    const struct {
        int tenths;
        bool fixed;
        const char *text;
        const char *verdict;
        QColor colour;
    } frames[] = {
        {5, false, "0.5 µm", "inside", QColor(0x00, 0x80, 0x00)},
        {95, true, "9.5 µm", "warning", QColor(0xc0, 0x70, 0x00)},
        {-101, false, "-10.1 µm", "outside", QColor(0xd0, 0x00, 0x00)},
        {2560, false, "over range", "outside", QColor(0xd0, 0x00, 0x00)},
    };
    for (const auto &frame : frames) {
        QVERIFY(head.write(headFrame(frame.tenths, frame.fixed, "HD0042") + "\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(reading->text(), QString::fromUtf8(frame.text), 5000);
        QCOMPARE(verdict->text(), QString::fromUtf8(frame.verdict));
        QCOMPARE(reading->palette().color(QPalette::WindowText), frame.colour);
    }
    QCOMPARE(held->text(), QStringLiteral("9.5 µm"));
    QCOMPARE(heldVerdict->text(), QStringLiteral("warning"));

    QVector<int> recorded;
    QVector<bool> heldFlags;
    QVERIFY2(TableReader(table).read(
                 [&](const RecordView &record) {
                     recorded.append(record.tenths);
                     heldFlags.append(record.held);
                 },
                 error),
             qPrintable(error));
    QCOMPARE(recorded, (QVector<int>{5, 95, -101, 2560}));
    QCOMPARE(heldFlags, (QVector<bool>{false, true, false, false}));

    head.hangUp();
    pluggedLater = true;
    auto *search = window.findChild<QLabel *>(QStringLiteral("search"));
    QTRY_VERIFY_WITH_TIMEOUT(search->text().startsWith(QStringLiteral("no head; searching again")),
                             20000);
    QTRY_VERIFY_WITH_TIMEOUT(laterHead.slaveHeld(), 5000);
    QVERIFY(laterHead.write(headFrame(-99, false, "HD0043") + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(reading->text(), QStringLiteral("-9.9 µm"), 5000);
    QCOMPARE(window.exitStatus(), 0);
}

// A file grown to the size limit: the record that did not fit is cut back, the failure
// stays on screen, the readout goes on, and the run ends with status 1.
void TestChart::failedWriteStopsOnlyTheRecording()
{
    HeadSimulator head;
    const QString table = folder.filePath(QStringLiteral("full.csv"));
    QString error;
    std::unique_ptr<CsvOutput> output = CsvOutput::openFile(table, error);
    QVERIFY2(output, qPrintable(error));
    ChartOptions options;
    options.output = table;
    ChartWindow window(options, Batch(ToleranceLimits(), false));
    window.watch([port = head.slavePath()] { return QStringList{port}; }, std::move(output));
    QTRY_VERIFY_WITH_TIMEOUT(head.slaveHeld(), 5000);
    auto *reading = window.findChild<QLabel *>(QStringLiteral("reading"));
    auto *failure = window.findChild<QWidget *>(QStringLiteral("failure"));
    window.show();
    QVERIFY(head.write(headFrame(1) + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(reading->text(), QStringLiteral("0.1 µm"), 5000);
    const QByteArray recorded = readBytes(table);

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit unlimited = {};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
    rlimit full = unlimited;
    full.rlim_cur = rlim_t(recorded.size()) + 10;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &full) == 0);
    auto restore = qScopeGuard([&unlimited] { ::setrlimit(RLIMIT_FSIZE, &unlimited); });
    QVERIFY(head.write(headFrame(2) + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(reading->text(), QStringLiteral("0.2 µm"), 5000);
    restore.dismiss();
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &unlimited) == 0);

    QVERIFY(failure->isVisible());
    QCOMPARE(window.exitStatus(), 1);
    QVERIFY(head.write(headFrame(3) + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(reading->text(), QStringLiteral("0.3 µm"), 5000);
    QCOMPARE(readBytes(table), recorded);
}

// The table and the port are checked before the window shows: a file that is no table is
// left alone, a port that is no terminal is said at once.
void TestChart::refusedBeforeTheWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("foreign table")
        << QStringList{QStringLiteral("-o"), QStringLiteral("foreign.csv")}
        << QByteArray("does not start with the header");
    QTest::newRow("port no terminal")
        << QStringList{QStringLiteral("-p"), QStringLiteral("/dev/null")}
        << QByteArray("/dev/null is no serial port (not a terminal)");
}

void TestChart::refusedBeforeTheWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, said);
    if (!NamespacedRun::permitted())
        QSKIP("private mount namespaces are not permitted here");
    const QByteArray foreign("name,size\nbolt,12\n");
    const QString path = folder.filePath(QStringLiteral("foreign.csv"));
    QVERIFY(writeBytes(path, foreign));
    NamespacedRun run(chartProgram(), arguments, {}, folder.path());
    QVERIFY(run.waitForExit(10000) >= 0);
    QCOMPARE(run.process.exitCode(), 1);
    const QByteArrayList lines = saidByProgram(run.process.readAllStandardError());
    QVERIFY2(lines.size() == 1 && lines.constFirst().contains(said), lines.join('|').constData());
    QCOMPARE(readBytes(path), foreign);
}

void TestChart::reportInEachFormat_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("png") << "png";
    QTest::newRow("svg") << "svg";
    QTest::newRow("pdf") << "pdf";
}

void TestChart::reportInEachFormat()
{
    QFETCH(QString, format);
    const QString table = folder.filePath(QStringLiteral("report.csv"));
    QVERIFY(writeBytes(table, tableOf({12, 15, -3, 40, 9, 2560, 22, -2560, 17})));
    const QString report = folder.filePath(QStringLiteral("report.") + format);
    const Run run = runOnTable({QStringLiteral("--from"), table, QStringLiteral("--export"), report,
                                QStringLiteral("--lower=-1"), QStringLiteral("--upper=3.5"),
                                QStringLiteral("--part"), QStringLiteral("Shaft 7")},
                               QProcessEnvironment::systemEnvironment());
    QCOMPARE(run.status, 0);
    QCOMPARE(saidByProgram(run.err), QByteArrayList());
    QVERIFY(wellFormed(format, readBytes(report)));
}

// From cron or CI: no X, no Wayland, no platform named. The summary holds every figure
// exactly as the statistics have it, and null where one is undefined.
void TestChart::summaryAndReportWithoutDisplay()
{
    const QString table = folder.filePath(QStringLiteral("summary.csv"));
    // NIST StRD NumAcc2 in tenths: 1.2, then 500 pairs of 1.1 and 1.3; one over range.
    QVector<int> tenths{12};
    for (int i = 0; i < 500; ++i)
        tenths << 11 << 13;
    tenths << 2560;
    QVERIFY(writeBytes(table, tableOf(tenths)));
    const Run summary = runOnTable({QStringLiteral("--from"), table, QStringLiteral("--summary"),
                                    QStringLiteral("--upper=1.8")},
                                   withoutDisplay());
    QCOMPARE(summary.status, 0);
    QVERIFY2(summary.out.endsWith("}\n") && summary.out.count('\n') == 1, summary.out.constData());
    // The shortest text that reads back as the same double.
    QVERIFY2(summary.out.contains("\"mean_um\":1.2,\"stddev_um\":0.1,"), summary.out.constData());

    RunningStatistics expected(ToleranceLimits(std::nullopt, 18));
    for (int reading : std::as_const(tenths))
        expected.add(reading);
    const std::optional<double> none;
    const std::map<QString, std::optional<double>> figures{
        {"readings", double(expected.readings())},
        {"over_range", double(expected.overRange())},
        {"under_range", double(expected.underRange())},
        {"mean_um", expected.mean()},
        {"stddev_um", expected.stddev()},
        {"min_um", expected.min()},
        {"max_um", expected.max()},
        {"range_um", expected.range()},
        {"sigma_within_um", expected.sigmaWithin()},
        {"lower_um", none},
        {"upper_um", 1.8},
        {"nominal_um", none},
        {"below_lower", double(expected.belowLower())},
        {"above_upper", double(expected.aboveUpper())},
        {"cp", expected.cp()},
        {"cpk", expected.cpk()},
        {"pp", expected.pp()},
        {"ppk", expected.ppk()},
    };
    const QJsonObject got = QJsonDocument::fromJson(summary.out).object();
    QCOMPARE(got.size(), int(figures.size()));
    for (const auto &[key, value] : figures) {
        QVERIFY2(got.contains(key), qPrintable(key));
        QVERIFY2(value ? got.value(key).toDouble() == *value : got.value(key).isNull(),
                 qPrintable(key));
    }
    QCOMPARE(got.value(QStringLiteral("above_upper")).toInt(), 1);
    QVERIFY(got.value(QStringLiteral("cp")).isNull() && !got.value(QStringLiteral("cpk")).isNull());

    const QString report = folder.filePath(QStringLiteral("headless.png"));
    const Run exported = runOnTable(
        {QStringLiteral("--from"), table, QStringLiteral("--export"), report}, withoutDisplay());
    QCOMPARE(exported.status, 0);
    QVERIFY(wellFormed(QStringLiteral("png"), readBytes(report)));
}

void TestChart::transferFileOfEveryCountedReading_data()
{
    QTest::addColumn<QStringList>("limits");
    QTest::addColumn<bool>("heldOnly");
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("nominal");
    const QStringList both{QStringLiteral("--lower=-1"), QStringLiteral("--upper=3.5")};
    QTest::newRow("both limits") << both << false << "-1"
                                 << "3.5"
                                 << "1.25";
    QTest::newRow("held only") << both << true << "-1"
                               << "3.5"
                               << "1.25";
    QTest::newRow("upper only") << QStringList{QStringLiteral("--upper=3.5")} << false << ""
                                << "3.5"
                                << "";
}

// Every counted reading in the table's order, its time as recorded whatever the zone the
// program runs in, over and under range marked invalid rather than given a number; names
// that Latin-1 cannot hold whole, or that hold line ends, still one field each.
void TestChart::transferFileOfEveryCountedReading()
{
    QFETCH(QStringList, limits);
    QFETCH(bool, heldOnly);
    QFETCH(QString, lower);
    QFETCH(QString, upper);
    QFETCH(QString, nominal);
    const struct {
        const char *reading;
        bool held;
    } records[] = {{"1.2", true}, {"over", false}, {"-0.3", true}, {"under", true}, {"4.0", false}};
    QByteArray table = csvHeader();
    for (int i = 0; i < 5; ++i)
        table += QStringLiteral("2026-12-07T14:03:%1.345+05:30,KÄ-7,%2,%3\n")
                     .arg(10 + i)
                     .arg(QLatin1String(records[i].reading))
                     .arg(records[i].held ? 1 : 0)
                     .toUtf8();
    const QString tablePath = folder.filePath(QStringLiteral("transfer.csv"));
    QVERIFY(writeBytes(tablePath, table));
    const QString path = folder.filePath(QStringLiteral("transfer.dfq"));
    QStringList arguments{
        QStringLiteral("--from"),           tablePath,
        QStringLiteral("--export"),         path,
        QStringLiteral("--part"),           QStringLiteral("Welle Ø7"),
        QStringLiteral("--characteristic"), QStringLiteral("Ø ≤ 7\r\nK0001/1 9.9")};
    arguments += limits;
    if (heldOnly)
        arguments.append(QStringLiteral("--held-only"));
    QProcessEnvironment env = withoutDisplay();
    env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    const Run run = runOnTable(arguments, env);
    QCOMPARE(run.status, 0);
    QCOMPARE(saidByProgram(run.err), QByteArrayList());

    const std::optional<Transfer> transfer = readTransfer(readBytes(path));
    QVERIFY(transfer);
    const QMap<QString, QString> &header = transfer->header;
    QCOMPARE(header.value(QStringLiteral("K0100")), QStringLiteral("1"));
    for (const char *key : {"K1001", "K1002"})
        QCOMPARE(header.value(QLatin1String(key)), QStringLiteral("Welle Ø7"));
    for (const char *key : {"K2001/1", "K2002/1"})
        QCOMPARE(header.value(QLatin1String(key)), QStringLiteral("Ø ? 7  K0001/1 9.9"));
    QCOMPARE(header.value(QStringLiteral("K2142/1")), QStringLiteral("µm"));
    for (const auto &[key, expected] : {std::pair{"K2110/1", lower}, std::pair{"K2111/1", upper},
                                        std::pair{"K2101/1", nominal}}) {
        QCOMPARE(header.contains(QLatin1String(key)), !expected.isEmpty());
        if (expected.isEmpty())
            continue;
        bool number = false;
        QCOMPARE(QLocale::c().toDouble(header.value(QLatin1String(key)), &number),
                 expected.toDouble());
        QVERIFY2(number, key);
    }

    int i = 0;
    for (const QMap<QString, QString> &value : transfer->values) {
        while (i < 5 && heldOnly && !records[i].held)
            ++i;
        QVERIFY(i < 5);
        const QString reading = QLatin1String(records[i].reading);
        QCOMPARE(value.value(QStringLiteral("K0004/1")),
                 QStringLiteral("07.12.2026/14:03:%1").arg(10 + i));
        QCOMPARE(value.value(QStringLiteral("K0012/1")), QStringLiteral("KÄ-7"));
        if (reading == QLatin1String("over") || reading == QLatin1String("under")) {
            QCOMPARE(value.value(QStringLiteral("K0002/1")), QStringLiteral("129"));
            bool number = true;
            QLocale::c().toDouble(value.value(QStringLiteral("K0001/1")), &number);
            QVERIFY(!number);
        } else {
            QCOMPARE(value.value(QStringLiteral("K0002/1"), QStringLiteral("0")),
                     QStringLiteral("0"));
            QCOMPARE(value.value(QStringLiteral("K0001/1")), reading);
        }
        ++i;
    }
    QCOMPARE(transfer->values.size(), heldOnly ? 3 : 5);
}

void TestChart::unusableTableOrReportFile_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QByteArray>("error");

    const QByteArray good = tableOf({1, 2, 3});
    QTest::newRow("line no record") << good + "2026-12-07,HD0042,1.0,0\n" + good.mid(28)
                                    << "out.svg" << QByteArray(":5: no record");
    QTest::newRow("transfer file of a broken table")
        << good + "2026-12-07,HD0042,1.0,0\n" + good.mid(28) << "out.dfq"
        << QByteArray(":5: no record");
    QTest::newRow("no table") << QByteArray("a,b\n1,2\n") << "out.svg"
                              << QByteArray(":1: no table of readings");
    QTest::newRow("report folder missing")
        << good << "missing/out.pdf" << QByteArray("cannot write");
    QTest::newRow("report over a folder") << good << "." << QByteArray("cannot write");
}

// Refused with the reason, status 1, and no report left behind as if it were whole.
void TestChart::unusableTableOrReportFile()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, report);
    QFETCH(QByteArray, error);
    QTemporaryDir scratch;
    const QString tablePath = scratch.filePath(QStringLiteral("table.csv"));
    QVERIFY(writeBytes(tablePath, table));
    const QString reportPath = report == QLatin1String(".")
                                   ? scratch.filePath(QStringLiteral("busy.pdf"))
                                   : scratch.filePath(report);
    if (report == QLatin1String("."))
        QVERIFY(QDir().mkdir(reportPath));
    for (const QString &mode : {QStringLiteral("--export"), QStringLiteral("--summary")}) {
        QStringList arguments{QStringLiteral("--from"), tablePath, mode};
        if (mode == QLatin1String("--export"))
            arguments.append(reportPath);
        else if (error == "cannot write")
            continue;
        const Run run = runOnTable(arguments, withoutDisplay());
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QByteArray());
        const QByteArrayList said = saidByProgram(run.err);
        QVERIFY2(said.size() == 1 && said.constFirst().contains(error), run.err.constData());
    }
    QCOMPARE(QDir(scratch.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("table.csv")});
}

void TestChart::badCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    const QString from = QStringLiteral("--from=t.csv");
    QTest::newRow("limit no number") << QStringList{QStringLiteral("--lower"), QStringLiteral("x")};
    QTest::newRow("limit not finite") << QStringList{QStringLiteral("--upper=inf")};
    QTest::newRow("lower above upper")
        << QStringList{QStringLiteral("--lower=5"), QStringLiteral("--upper=4.9")};
    QTest::newRow("summary without table") << QStringList{QStringLiteral("--summary")};
    QTest::newRow("export without table") << QStringList{QStringLiteral("--export=r.png")};
    QTest::newRow("export of no format") << QStringList{from, QStringLiteral("--export=r.txt")};
    QTest::newRow("summary and export")
        << QStringList{from, QStringLiteral("--summary"), QStringLiteral("--export=r.pdf")};
    QTest::newRow("table and port") << QStringList{from, QStringLiteral("-p"), QStringLiteral("x")};
    QTest::newRow("empty output") << QStringList{QStringLiteral("-o"), QString()};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--tolerance=3")};
    QTest::newRow("argument") << QStringList{QStringLiteral("t.csv")};
}

// One line, status 2, before any port or display is touched: in a namespace with no port.
void TestChart::badCommandLine()
{
    QFETCH(QStringList, arguments);
    if (!NamespacedRun::permitted())
        QSKIP("private mount namespaces are not permitted here");
    NamespacedRun run(chartProgram(), arguments, {}, folder.path(), withoutDisplay());
    QVERIFY(run.waitForExit(10000) >= 0);
    QCOMPARE(run.process.exitCode(), 2);
    QCOMPARE(run.process.readAllStandardOutput(), QByteArray());
    const QByteArray error = run.process.readAllStandardError();
    QVERIFY2(error.startsWith("head-readout-chart: ") && error.endsWith(" Try --help.\n") &&
                 error.count('\n') == 1,
             error.constData());
}

// The window's texts in-process, and the program's own choice by the locale it is started in.
void TestChart::russianForARussianLocale()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    installTranslations(*QCoreApplication::instance());
    auto english = qScopeGuard([] {
        QLocale::setDefault(QLocale::system());
        qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator *>());
    });
    ChartWindow window(ChartOptions(), Batch(ToleranceLimits(), false));
    QCOMPARE(window.menuBar()->actions().constFirst()->text(), QStringLiteral("&Файл"));
    QVERIFY2(window.windowTitle().endsWith(QStringLiteral(" — графики показаний головки")),
             qPrintable(window.windowTitle()));

    QProcessEnvironment russian = withoutDisplay();
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        russian.remove(QString::fromLatin1(name));
    russian.insert(QStringLiteral("LANG"), QStringLiteral("ru_RU.UTF-8"));
    const Run help = runOnTable({QStringLiteral("--help")}, russian);
    QCOMPARE(help.status, 0);
    QVERIFY2(QString::fromUtf8(help.out).contains(QStringLiteral("Нижняя граница допуска")),
             help.out.constData());
}

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
