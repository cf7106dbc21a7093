#ifndef RECORDREADER_H
#define RECORDREADER_H

#include "table/csvrecord.h"

#include <QByteArray>

#include <optional>

// One line of a table (without its line end) read back as the reading it records, or
// nothing where it is not a whole record as csvRecord writes them: four fields, quoted
// as RFC 4180 quotes, a time with its offset from UTC, a reading in tenths ("over" and
// "under" as the range limits) and a held flag of 0 or 1.
std::optional<Reading> readRecord(const QByteArray &line);

#endif
