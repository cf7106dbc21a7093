#ifndef READINGRECORDER_H
#define READINGRECORDER_H

#include "table/csvrecord.h"

#include <QObject>
#include <QString>

#include <optional>

class CsvOutput;

// Writes the worker's readings down as they are decoded. Lives in the worker's thread,
// so each record's time is the time its frame was decoded; reaches the rest of the
// recorder only through its signals.
class ReadingRecorder : public QObject
{
    Q_OBJECT
public:
    ReadingRecorder(CsvOutput &output, bool heldOnly, QObject *parent = nullptr);

signals:
    void signal_recorded();
    void signal_writeFailed(QString);
    void signal_readerGone();

public slots:
    void slot_newFixed(int value);
    void slot_newLine(int value, QString serial);

private:
    CsvOutput &output;
    bool heldOnly;
    CsvRecordMaker records;
    bool ended = false;
    // A held frame comes as its fixed value, then its line: one record, not two.
    std::optional<int> heldValue;
};

#endif
