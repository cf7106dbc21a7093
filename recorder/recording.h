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
class TableForwarder;

// One run of the recorder: the acquisition worker in a thread of its own, as the window
// runs it, with a ReadingRecorder beside it writing the table; progress on standard error.
// Ends as the window does, when the last port has been given up, or at once on a failed
// write, a reader gone, or Ctrl+C; the outcome is decided once, at the end, from what the
// table holds.
class Recording : public QObject
{
    Q_OBJECT
public:
    // Checks the options' port and output, then records: the exit status.
    static int record(const RecorderOptions &options);

    // ports: the locations to try, in order; the worker is handed these through its seam.
    // forwarder: where the table's records also go to a broker; may be null.
    Recording(const RecorderOptions &options, QStringList ports, std::unique_ptr<CsvOutput> output,
              std::unique_ptr<TableForwarder> forwarder, QObject *parent = nullptr);
    ~Recording() override;

    // Runs the event loop until the recording ends; answers the exit status.
    int run();

private:
    void portTried();
    void headSeen(const QString &serial);
    void searchOver();
    void writeFailed(const QString &message);
    void brokerProblem(const QString &text);
    // Gives the broker its last chance at what is left in the table.
    void finishSending();
    void end();
    // Says the outcome, once: the exit status.
    int conclude();
    void report(const QString &text) const;
    void reportLost();
    QString outcomeOfSearch() const;

    QStringList ports;
    std::unique_ptr<CsvOutput> output;
    std::unique_ptr<TableForwarder> forwarder;
    QString table;
    bool showProgress;
    QPointer<QThread> workerThread;
    int portIndex = -1; // of the port the worker tries or reads
    QString headSerial; // of the head on that port, once one is found
    QString lastSerial; // of the last head found on any port
    qint64 records = 0;
    bool ended = false;
    bool stopped = false;  // by a signal, or by a reader gone: not a failure
    bool searched = false; // every port given up
    QString failure;
    QString brokerSaid; // the last broker fault said, so that a retry does not repeat it
    qint64 unsent = 0;
};

#endif
