#include "chart/tableload.h"

#include "chart/batch.h"
#include "table/tablereader.h"

#include <optional>

bool loadTable(const QString &path, Batch &batch, QString &error)
{
    // Times and serials cost more to convert than the rest of a record to read: only the
    // first and last counted records are converted.
    std::optional<RecordView> lastCounted;
    const bool read = TableReader(path).read(
        [&](const RecordView &record) {
            if (!batch.add(record.tenths, record.held))
                return;
            if (!lastCounted)
                batch.noteOrigin(record.serial(), record.time());
            lastCounted = record;
        },
        error);
    if (read && lastCounted)
        batch.noteOrigin(batch.serial(), lastCounted->time());
    return read;
}
