#ifndef RECORDING_H
#define RECORDING_H

#include "recorder/recorderoptions.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class CsvOutput;
class QThread;

// One run of the recorder: the acquisition worker in a thread of its own, as the window
// runs it, with a ReadingRecorder beside it writing the table; progress and the outcome
// on standard error. Ends as the window does, when the last port has been given up, or
// at once on a failed write, a reader gone, or Ctrl+C.
class Recording : public QObject
{
    Q_OBJECT
public:
    // Checks the options' port and output, then records: the exit status.
    static int record(const RecorderOptions &options);

    // ports: the locations to try, in order; the worker is handed these through its seam.
    Recording(const RecorderOptions &options, QStringList ports, std::unique_ptr<CsvOutput> output,
              QObject *parent = nullptr);
    ~Recording() override;

    // Runs the event loop until the recording ends; answers the exit status.
    int run();

private slots:
    void slot_com(QString);
    void slot_newLine(int, QString serial);
    void slot_stop();
    void slot_recorded();
    void slot_writeFailed(QString message);
    void slot_readerGone();
    void slot_stopRequested();

private:
    void finish(int status, const QString &message = QString());
    void report(const QString &text) const;
    QString outcomeOfSearch() const;

    QStringList ports;
    std::unique_ptr<CsvOutput> output;
    bool heldOnly;
    bool showProgress;
    QPointer<QThread> workerThread;
    int portIndex = -1; // of the port the worker tries or reads
    QString headSerial; // of the head on that port, once one is found
    QString lastSerial; // of the last head found on any port
    qint64 records = 0;
    bool finished = false;
    int status = 0;
};

#endif
