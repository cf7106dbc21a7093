#ifndef CHARTWINDOW_H
#define CHARTWINDOW_H

#include "acquisition/portlister.h"
#include "chart/batch.h"
#include "chart/chartoptions.h"
#include "table/csvrecord.h"

#include <QMainWindow>
#include <QString>

#include <memory>
#include <optional>

class CsvOutput;
class HeadSearch;
class HistogramChart;
class QLabel;
class QTableWidget;
class QTimer;
class QWidget;
class RunChart;

// Shows, judges and charts the head's readings as they come, and records them; or shows a
// table the recorder wrote. The charts and the statistics are redrawn a few times a
// second, not for each reading, so that a head at its line rate costs little more than in
// the readout window.
class ChartWindow : public QMainWindow
{
    Q_OBJECT
public:
    ChartWindow(const ChartOptions &options, Batch batch, QWidget *parent = nullptr);
    ~ChartWindow() override;

    // Finds the head on the ports listed, and records each counted reading to output when
    // there is one.
    void watch(const PortLister &listPorts, std::unique_ptr<CsvOutput> output);
    // 1 once a write to the table has failed.
    int exitStatus() const { return failed ? 1 : 0; }

private:
    void buildActions();
    QWidget *buildReadout();
    void take(int value, const QString &serial, bool held);
    void portTried(const QString &label);
    void searchingAgain();
    void stopRecording(const QString &message);
    void newBatch();
    void saveReport();
    void refresh();
    void showVerdict(QLabel *value, QLabel *verdict, int tenths);

    ChartOptions options;
    Batch batch;
    std::unique_ptr<CsvOutput> output;
    CsvRecordMaker records;
    bool failed = false;
    bool stale = true;
    bool searchedBefore = false; // every port given up at least once since the last head
    QString port;
    QString serial;

    QLabel *reading;
    QLabel *readingVerdict;
    QLabel *held;
    QLabel *heldVerdict;
    QLabel *portLabel;
    QLabel *serialLabel;
    QLabel *searchLabel;
    QLabel *recordLabel;
    QWidget *failure;
    QLabel *failureText;
    RunChart *runChart;
    HistogramChart *histogramChart;
    QTableWidget *statistics;
    QTimer *refreshTimer;
};

#endif
