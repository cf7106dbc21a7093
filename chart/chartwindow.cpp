#include "chart/chartwindow.h"

#include "chart/headsearch.h"
#include "chart/histogramchart.h"
#include "chart/report.h"
#include "chart/runchart.h"
#include "chart/statisticsrows.h"
#include "commandline/programerror.h"
#include "measurement/measurement.h"
#include "table/csvoutput.h"
#include "table/csvrecord.h"

#include <QAction>
#include <QChartView>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimeZone>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace
{

// The big number follows every reading; the charts and figures follow once a second, as
// drawing them costs more than everything else the window does at line rate.
constexpr int RefreshMs = 1000;
// Enough to see a trend; drawing all the batch keeps for the report would cost more than
// the rest of the window.
constexpr int RunChartPoints = 500;
constexpr int StartWidth = 1000;
constexpr int StartHeight = 760;
constexpr int StatisticsWidth = 300;
constexpr int MinimumChartHeight = 200;

QString valueText(int tenths)
{
    if (tenths >= Measurement::OverRange)
        return ChartWindow::tr("over range");
    if (tenths <= Measurement::UnderRange)
        return ChartWindow::tr("under range");
    return ChartWindow::tr("%1 µm").arg(readingText(tenths));
}

QString verdictText(ToleranceLimits::Verdict verdict)
{
    switch (verdict) {
    case ToleranceLimits::Verdict::Inside:
        return ChartWindow::tr("inside");
    case ToleranceLimits::Verdict::Warning:
        return ChartWindow::tr("warning");
    case ToleranceLimits::Verdict::Outside:
        return ChartWindow::tr("outside");
    case ToleranceLimits::Verdict::Unjudged:
        break;
    }
    return ChartWindow::tr("no limits");
}

QColor verdictColour(ToleranceLimits::Verdict verdict)
{
    switch (verdict) {
    case ToleranceLimits::Verdict::Inside:
        return QColor(0x00, 0x80, 0x00);
    case ToleranceLimits::Verdict::Warning:
        return QColor(0xc0, 0x70, 0x00);
    case ToleranceLimits::Verdict::Outside:
        return QColor(0xd0, 0x00, 0x00);
    case ToleranceLimits::Verdict::Unjudged:
        break;
    }
    return QColor(0x30, 0x30, 0x30);
}

QLabel *labelWithPoints(const QString &name, int points, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setPointSize(points);
    label->setFont(font);
    return label;
}

// As large as the widest text the label shows, and no larger: a label of fixed size asks
// for no relayout of the window when its text changes, which at every reading would cost
// more than the reading.
void fixSize(QLabel *label, const QStringList &texts)
{
    int widest = 0;
    for (const QString &text : texts)
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(text));
    label->setFixedSize(widest, label->sizeHint().height());
}

} // namespace

ChartWindow::ChartWindow(const ChartOptions &options, Batch batch, QWidget *parent)
    : QMainWindow(parent, Qt::WindowFlags()), options(options), batch(std::move(batch))
{
    setWindowTitle(tr("%1 — head readout chart")
                       .arg(Report(this->batch, options.part, options.characteristic).title()));
    buildActions();

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    failure = new QWidget(central);
    failure->setObjectName(QStringLiteral("failure"));
    failure->setAutoFillBackground(true);
    QPalette alarm = failure->palette();
    alarm.setColor(QPalette::Window, QColor(0xff, 0xd0, 0xd0));
    failure->setPalette(alarm);
    auto *failureLayout = new QHBoxLayout(failure);
    failureText = new QLabel(failure);
    failureText->setWordWrap(true);
    auto *dismiss = new QPushButton(tr("Dismiss"), failure);
    failureLayout->addWidget(failureText, 1);
    failureLayout->addWidget(dismiss);
    connect(dismiss, &QPushButton::clicked, failure, &QWidget::hide);
    failure->hide();
    layout->addWidget(failure);
    layout->addWidget(buildReadout());

    // The charts take what room there is; the table of figures keeps the width of its text,
    // and neither chart is squeezed below a height where its axes can still be read.
    auto *body = new QSplitter(Qt::Horizontal, central);
    auto *charts = new QSplitter(Qt::Vertical, body);
    runChart = new RunChart;
    auto *runView = new QChartView(runChart, charts);
    runView->setRenderHint(QPainter::Antialiasing);
    runView->setMinimumHeight(MinimumChartHeight);
    histogramChart = new HistogramChart;
    auto *histogramView = new QChartView(histogramChart, charts);
    histogramView->setRenderHint(QPainter::Antialiasing);
    histogramView->setMinimumHeight(MinimumChartHeight);
    charts->setStretchFactor(0, 3);
    charts->setStretchFactor(1, 2);
    statistics = new QTableWidget(body);
    statistics->setObjectName(QStringLiteral("statistics"));
    statistics->setColumnCount(1);
    statistics->setHorizontalHeaderLabels({tr("Value")});
    statistics->horizontalHeader()->setStretchLastSection(true);
    statistics->setEditTriggers(QAbstractItemView::NoEditTriggers);
    body->setStretchFactor(0, 1);
    body->setStretchFactor(1, 0);
    body->setSizes({StartWidth - StatisticsWidth, StatisticsWidth});
    layout->addWidget(body, 1);
    setCentralWidget(central);

    portLabel = new QLabel(this);
    portLabel->setObjectName(QStringLiteral("port"));
    serialLabel = new QLabel(this);
    serialLabel->setObjectName(QStringLiteral("serial"));
    searchLabel = new QLabel(this);
    searchLabel->setObjectName(QStringLiteral("search"));
    recordLabel = new QLabel(this);
    recordLabel->setObjectName(QStringLiteral("recording"));
    for (QLabel *label : {portLabel, serialLabel, searchLabel})
        statusBar()->addWidget(label);
    statusBar()->addPermanentWidget(recordLabel);
    if (!options.from.isEmpty()) {
        portLabel->setText(tr("table: %1").arg(QFileInfo(options.from).fileName()));
        serialLabel->setText(this->batch.serial().isEmpty()
                                 ? QString()
                                 : tr("head: %1").arg(visibleText(this->batch.serial())));
    }

    refreshTimer = new QTimer(this);
    refreshTimer->setInterval(RefreshMs);
    connect(refreshTimer, &QTimer::timeout, this, &ChartWindow::refresh);
    refreshTimer->start();
    refresh();
    resize(StartWidth, StartHeight);
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::buildActions()
{
    auto *newBatchAction =
        new QAction(QIcon::fromTheme(QStringLiteral("document-new")), tr("&New batch"), this);
    newBatchAction->setShortcut(QKeySequence::New);
    newBatchAction->setToolTip(tr("Clear the statistics and the charts; recording goes on"));
    connect(newBatchAction, &QAction::triggered, this, &ChartWindow::newBatch);
    auto *saveAction =
        new QAction(QIcon::fromTheme(QStringLiteral("document-save")), tr("&Save report…"), this);
    saveAction->setShortcut(QKeySequence::Save);
    saveAction->setToolTip(tr("Save the report as PNG, SVG or PDF"));
    connect(saveAction, &QAction::triggered, this, &ChartWindow::saveReport);
    auto *quitAction =
        new QAction(QIcon::fromTheme(QStringLiteral("application-exit")), tr("&Quit"), this);
    quitAction->setShortcut(QKeySequence::Quit);
    connect(quitAction, &QAction::triggered, this, &QWidget::close);

    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(newBatchAction);
    file->addAction(saveAction);
    file->addSeparator();
    file->addAction(quitAction);
    QToolBar *tools = addToolBar(tr("Batch"));
    tools->setObjectName(QStringLiteral("batchTools"));
    tools->addAction(newBatchAction);
    tools->addAction(saveAction);
}

QWidget *ChartWindow::buildReadout()
{
    auto *readout = new QWidget(this);
    auto *grid = new QGridLayout(readout);
    reading = labelWithPoints(QStringLiteral("reading"), 40, readout);
    readingVerdict = labelWithPoints(QStringLiteral("readingVerdict"), 16, readout);
    held = labelWithPoints(QStringLiteral("held"), 22, readout);
    heldVerdict = labelWithPoints(QStringLiteral("heldVerdict"), 12, readout);
    auto *heldCaption = new QLabel(tr("Last held"), readout);
    grid->addWidget(reading, 0, 0, 2, 1);
    grid->addWidget(readingVerdict, 0, 1, 2, 1);
    grid->addWidget(heldCaption, 0, 2);
    grid->addWidget(held, 1, 2);
    grid->addWidget(heldVerdict, 1, 3);
    grid->setColumnStretch(4, 1);
    reading->setText(QStringLiteral("—"));
    held->setText(QStringLiteral("—"));
    const QStringList values{valueText(-2559), valueText(Measurement::OverRange),
                             valueText(Measurement::UnderRange)};
    const QStringList verdicts{verdictText(ToleranceLimits::Verdict::Inside),
                               verdictText(ToleranceLimits::Verdict::Warning),
                               verdictText(ToleranceLimits::Verdict::Outside),
                               verdictText(ToleranceLimits::Verdict::Unjudged)};
    fixSize(reading, values);
    fixSize(held, values);
    fixSize(readingVerdict, verdicts);
    fixSize(heldVerdict, verdicts);
    for (QLabel *value : {reading, held})
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel *verdict : {readingVerdict, heldVerdict})
        verdict->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return readout;
}

void ChartWindow::watch(const PortLister &listPorts, std::unique_ptr<CsvOutput> table)
{
    output = std::move(table);
    recordLabel->setText(output ? tr("recording to %1").arg(options.output) : tr("not recording"));
    auto *search = new HeadSearch(listPorts, this);
    connect(search, &HeadSearch::reading, this, &ChartWindow::take);
    connect(search, &HeadSearch::portTried, this, &ChartWindow::portTried);
    connect(search, &HeadSearch::searchingAgain, this, &ChartWindow::searchingAgain);
    search->start();
}

void ChartWindow::take(int value, const QString &headSerial, bool isHeld)
{
    showVerdict(reading, readingVerdict, value);
    if (isHeld)
        showVerdict(held, heldVerdict, value);
    if (headSerial != serial) {
        serial = headSerial;
        searchedBefore = false;
        serialLabel->setText(tr("head: %1").arg(visibleText(serial)));
        searchLabel->setText(tr("reading %1").arg(port));
    }
    if (!batch.add(value, isHeld))
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    // In UTC: a local time looked up at every reading would cost more than the reading.
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    batch.noteOrigin(headSerial, QDateTime::fromMSecsSinceEpoch(now, QTimeZone::UTC));
#else
    batch.noteOrigin(headSerial, QDateTime::fromMSecsSinceEpoch(now, Qt::UTC));
#endif
    stale = true;
    if (output && output->append(records.record({now, headSerial, value, isHeld})) !=
                      CsvOutput::Outcome::Written)
        stopRecording(output->errorText());
}

void ChartWindow::portTried(const QString &label)
{
    port = label;
    serial.clear();
    portLabel->setText(tr("port: %1").arg(label));
    serialLabel->clear();
    searchLabel->setText(searchedBefore ? tr("no head; searching again: %1…").arg(label)
                                        : tr("searching %1…").arg(label));
}

void ChartWindow::searchingAgain()
{
    searchedBefore = true;
    serial.clear();
    serialLabel->clear();
    searchLabel->setText(tr("no head; searching again"));
}

void ChartWindow::stopRecording(const QString &message)
{
    output.reset();
    failed = true;
    printError(message);
    failureText->setText(tr("Recording stopped: %1").arg(message));
    failure->show();
    recordLabel->setText(tr("recording stopped"));
}

void ChartWindow::newBatch()
{
    batch.clear();
    stale = true;
    refresh();
}

void ChartWindow::saveReport()
{
    QString selected;
    const QString png = tr("PNG image (*.png)");
    const QString svg = tr("SVG image (*.svg)");
    const QString pdf = tr("PDF document (*.pdf)");
    QString path = QFileDialog::getSaveFileName(
        this, tr("Save report"), tr("report.pdf"),
        QStringList{pdf, png, svg}.join(QStringLiteral(";;")), &selected);
    if (path.isEmpty())
        return;
    // A transfer file needs every reading of the batch, which the window does not keep.
    const QString format = reportFormat(path);
    if (format.isEmpty() || format == QLatin1String("dfq"))
        path += selected == png   ? QStringLiteral(".png")
                : selected == svg ? QStringLiteral(".svg")
                                  : QStringLiteral(".pdf");
    QString error;
    if (!Report(batch, options.part, options.characteristic).save(path, error))
        QMessageBox::warning(this, tr("Save report"), error);
}

void ChartWindow::refresh()
{
    if (!stale)
        return;
    stale = false;
    runChart->show(batch, RunChartPoints);
    histogramChart->show(batch);
    const QVector<StatisticsRows::Row> rows = StatisticsRows::of(batch);
    statistics->setRowCount(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        if (!statistics->verticalHeaderItem(i))
            statistics->setVerticalHeaderItem(i, new QTableWidgetItem);
        statistics->verticalHeaderItem(i)->setText(rows.at(i).name);
        if (!statistics->item(i, 0))
            statistics->setItem(i, 0, new QTableWidgetItem);
        statistics->item(i, 0)->setText(rows.at(i).value);
    }
}

void ChartWindow::showVerdict(QLabel *value, QLabel *verdict, int tenths)
{
    const ToleranceLimits::Verdict judged = batch.limits().judge(tenths);
    value->setText(valueText(tenths));
    verdict->setText(verdictText(judged));
    // A new palette costs a relayout: only when the verdict changes.
    const QColor colour = verdictColour(judged);
    if (value->palette().color(QPalette::WindowText) == colour)
        return;
    for (QLabel *label : {value, verdict}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
}
