#ifndef CSVOUTPUT_H
#define CSVOUTPUT_H

#include <QByteArray>
#include <QString>

#include <memory>

#include <sys/types.h>

struct stat;

// Where the recorder's table goes: a file, appended to and never truncated, or standard
// output. Each record goes out in one write, as soon as it is made, and reaches a file
// whole or not at all: a record cut short by a failed write is cut off again, back to
// the size the file had before it, so the file always ends with a whole line and
// nothing written before is ever lost.
class CsvOutput
{
public:
    enum class Outcome { Written, ReaderGone, Failed };

    // Opens FILE for appending, created if missing. A file that already holds data must
    // be a table of this recorder; it gets no second header. nullptr, and the reason in
    // error, where it cannot be used; nullptr and no reason when the reader of a pipe has
    // gone before the header.
    static std::unique_ptr<CsvOutput> openFile(const QString &path, QString &error);
    // Standard output, with the header unless it is a file that already holds data.
    static std::unique_ptr<CsvOutput> standardOutput(QString &error);

    ~CsvOutput();
    CsvOutput(const CsvOutput &) = delete;
    CsvOutput &operator=(const CsvOutput &) = delete;

    Outcome append(const QByteArray &record);
    // Why the last append failed, naming the output.
    const QString &errorText() const { return failure; }
    // What preparing the output changed or noticed, for the user; may be empty.
    const QString &notice() const { return preparation; }

private:
    CsvOutput(int fd, QString name, bool owned);
    bool prepare(bool checkTable, QString &error);
    bool checkTableOf(const struct stat &written, QString &error);
    bool repairLastLine(int reader, off_t size, QString &error);
    bool endLastLine(int reader, off_t whole, off_t size, QString &error);
    bool writeAll(const QByteArray &bytes, int &code, qint64 &done);

    int fd;
    QString name;
    bool owned;
    bool regular = false;
    QString failure;
    QString preparation;
};

#endif
