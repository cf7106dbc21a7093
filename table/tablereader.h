#ifndef TABLEREADER_H
#define TABLEREADER_H

#include "table/recordreader.h"

#include <QString>

#include <functional>

// A table the recorder wrote, read record by record from its start. A last line without
// its line end is a record still being written, and is left out; any other line that is
// no record ends the reading with the file's name and the line's number, as soon as it is
// seen, however long the line or the file.
class TableReader
{
public:
    using Take = std::function<void(const RecordView &record)>;

    explicit TableReader(QString path);

    // Hands every record to take, in order; false, with the reason in error, where the
    // file cannot be read or holds a line that is no record.
    bool read(const Take &take, QString &error) const;

private:
    QString path;
};

#endif
