#ifndef TABLELOAD_H
#define TABLELOAD_H

#include <QString>

class Batch;

// Counts every record of the table the recorder wrote at PATH into the batch; false, with
// the reader's reason in error, where it is no such table.
bool loadTable(const QString &path, Batch &batch, QString &error);

#endif
