#ifndef AQDEFEXPORT_H
#define AQDEFEXPORT_H

#include <QCoreApplication>
#include <QString>

struct ChartOptions;

// Every counted reading of the recorded table, read anew rather than taken from a batch
// that keeps only the last few thousand, as an AQDEF transfer file (DFQ) with the limits
// and names of the command line: one characteristic, in micrometres. Latin-1 with CR LF
// line ends, as the format's readers expect; over and under range are marked invalid.
// Qt Core only: no display is needed.
class AqdefExport
{
    Q_DECLARE_TR_FUNCTIONS(AqdefExport)

public:
    explicit AqdefExport(const ChartOptions &options);

    // The table options.from to the file options.exportPath, replaced only once written
    // whole. False, with the reason in error, where the table cannot be read or the file
    // cannot be written.
    bool save(QString &error) const;

private:
    const ChartOptions &options;
};

#endif
