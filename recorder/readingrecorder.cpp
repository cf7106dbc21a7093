#include "recorder/readingrecorder.h"

#include "table/csvoutput.h"

#include <QDateTime>

ReadingRecorder::ReadingRecorder(CsvOutput &output, bool heldOnly, QObject *parent)
    : QObject(parent), output(output), heldOnly(heldOnly)
{
}

void ReadingRecorder::slot_newFixed(int value)
{
    heldValue = value;
}

void ReadingRecorder::slot_newLine(int value, QString serial)
{
    const qint64 decodedAt = QDateTime::currentMSecsSinceEpoch();
    const bool held = heldValue == value;
    heldValue.reset();
    if (ended || (heldOnly && !held))
        return;

    switch (output.append(records.record({decodedAt, serial, value, held}))) {
    case CsvOutput::Outcome::Written:
        emit signal_recorded();
        break;
    case CsvOutput::Outcome::ReaderGone:
        ended = true;
        emit signal_readerGone();
        break;
    case CsvOutput::Outcome::Failed:
        ended = true;
        emit signal_writeFailed(output.errorText());
        break;
    }
}
