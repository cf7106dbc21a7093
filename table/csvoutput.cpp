#include "table/csvoutput.h"

#include "table/csvrecord.h"
#include "table/recordreader.h"

#include <QFile>

#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

QString reason(int code)
{
    return qt_error_string(code);
}

} // namespace

std::unique_ptr<CsvOutput> CsvOutput::openFile(const QString &path, QString &error)
{
    // Write only: a FIFO opened for reading too would swallow the records itself.
    // O_NONBLOCK only for the open, so that a FIFO with no reader fails at once instead of
    // hanging.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        error = errno == ENXIO
                    ? QStringLiteral("cannot open %1: no process reads from it").arg(path)
                    : QStringLiteral("cannot open %1: %2").arg(path, reason(errno));
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::unique_ptr<CsvOutput> output(new CsvOutput(fd, path, true));
    if (!output->prepare(true, error))
        return nullptr;
    return output;
}

std::unique_ptr<CsvOutput> CsvOutput::standardOutput(QString &error)
{
    std::unique_ptr<CsvOutput> output(
        new CsvOutput(STDOUT_FILENO, QStringLiteral("standard output"), false));
    if (!output->prepare(false, error))
        return nullptr;
    return output;
}

CsvOutput::CsvOutput(int fd, QString name, bool owned) : fd(fd), name(std::move(name)), owned(owned)
{
}

CsvOutput::~CsvOutput()
{
    if (owned)
        ::close(fd);
}

bool CsvOutput::prepare(bool checkTable, QString &error)
{
    struct stat seen = {};
    if (::fstat(fd, &seen) != 0) {
        error = QStringLiteral("cannot use %1: %2").arg(name, reason(errno));
        return false;
    }
    regular = S_ISREG(seen.st_mode);
    if (regular) {
        // A second recorder on the same file would cut the first one's records when it
        // cuts back a failed one of its own.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            error = errno == EWOULDBLOCK
                        ? QStringLiteral("%1 is being recorded to by another run").arg(name)
                        : QStringLiteral("cannot lock %1: %2").arg(name, reason(errno));
            return false;
        }
        // The size that counts is the one under the lock: the run before may have written
        // its last record meanwhile.
        if (::fstat(fd, &seen) != 0) {
            error = QStringLiteral("cannot use %1: %2").arg(name, reason(errno));
            return false;
        }
        if (seen.st_size > 0)
            return !checkTable || checkTableOf(seen, error);
    }
    // A reader gone already leaves the error empty: nothing to report.
    if (append(csvHeader()) != Outcome::Written) {
        error = failure;
        return false;
    }
    return true;
}

// A file that holds data must be a table of this recorder: read through a descriptor of
// its own, checked to be the file that is written.
bool CsvOutput::checkTableOf(const struct stat &written, QString &error)
{
    const int reader = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat seen = {};
    if (reader < 0 || ::fstat(reader, &seen) != 0 || seen.st_dev != written.st_dev ||
        seen.st_ino != written.st_ino) {
        error = QStringLiteral("cannot read %1 to check that it is a table: %2")
                    .arg(name, reason(reader < 0 ? errno : ESTALE));
        if (reader >= 0)
            ::close(reader);
        return false;
    }
    const QByteArray header = csvHeader();
    QByteArray start(header.size(), '\0');
    bool ok =
        ::pread(reader, start.data(), size_t(start.size()), 0) == start.size() && start == header;
    if (!ok)
        error = QStringLiteral("%1 does not start with the header %2; not appending to it")
                    .arg(name, QString::fromLatin1(header.trimmed()));
    else
        ok = repairLastLine(reader, written.st_size, error);
    ::close(reader);
    return ok;
}

// A table that does not end in a line end was cut short by something else (a power cut
// on a file system that keeps no order), or saved by an editor that leaves the last line
// end out. A last line that is a whole record gets its line end; anything else there is
// no reading and is cut off, and the notice shows what went.
bool CsvOutput::repairLastLine(int reader, off_t size, QString &error)
{
    constexpr off_t Chunk = 65536;
    off_t end = size;
    QByteArray tail;
    while (end > 0) {
        const off_t from = end > Chunk ? end - Chunk : 0;
        tail.resize(int(end - from));
        if (::pread(reader, tail.data(), size_t(tail.size()), from) != tail.size()) {
            error = QStringLiteral("cannot read %1: %2").arg(name, reason(errno));
            return false;
        }
        const int lineEnd = tail.lastIndexOf('\n');
        if (lineEnd >= 0)
            return lineEnd == tail.size() - 1 ||
                   endLastLine(reader, from + lineEnd + 1, size, error);
        end = from;
    }
    return true;
}

bool CsvOutput::endLastLine(int reader, off_t whole, off_t size, QString &error)
{
    // Longer than any record: not read whole, only shown in part.
    constexpr off_t LongestRecord = 1024;
    constexpr int Shown = 60;
    QByteArray last(int(qMin(size - whole, LongestRecord + 1)), '\0');
    if (::pread(reader, last.data(), size_t(last.size()), whole) != last.size()) {
        error = QStringLiteral("cannot read %1: %2").arg(name, reason(errno));
        return false;
    }
    if (size - whole <= LongestRecord && readRecord(last)) {
        int code = 0;
        qint64 done = 0;
        if (!writeAll(QByteArrayLiteral("\n"), code, done)) {
            error = QStringLiteral("cannot end the last line of %1: %2").arg(name, reason(code));
            return false;
        }
        preparation = QStringLiteral("%1 ended without a line end after its last record; added one")
                          .arg(name);
        return true;
    }
    if (::ftruncate(fd, whole) != 0) {
        error = QStringLiteral("cannot cut the incomplete last line of %1: %2")
                    .arg(name, reason(errno));
        return false;
    }
    const QString text = visibleText(QString::fromUtf8(last.left(Shown)));
    preparation = QStringLiteral("%1 ended in an incomplete line of %2 bytes, no record: "
                                 "\"%3%4\"; cut it off")
                      .arg(name)
                      .arg(size - whole)
                      .arg(text, size - whole > Shown ? QStringLiteral("…") : QString());
    return true;
}

CsvOutput::Outcome CsvOutput::append(const QByteArray &record)
{
    // The size before this write, never the descriptor's offset: with O_APPEND that stays
    // 0 until the first write, and a cut back to it would empty the table.
    struct stat before = {};
    const bool sized = regular && ::fstat(fd, &before) == 0;
    int code = 0;
    qint64 done = 0;
    if (writeAll(record, code, done))
        return Outcome::Written;
    if (code == EPIPE)
        return Outcome::ReaderGone;
    failure = QStringLiteral("cannot write to %1: %2").arg(name, reason(code));
    if (done > 0 && (!sized || ::ftruncate(fd, before.st_size) != 0))
        failure += QStringLiteral("; its last line may be incomplete");
    return Outcome::Failed;
}

bool CsvOutput::writeAll(const QByteArray &bytes, int &code, qint64 &done)
{
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // An output left non-blocking by whoever started us: wait until it takes more.
            pollfd ready{fd, POLLOUT, 0};
            ::poll(&ready, 1, -1);
            continue;
        }
        code = n < 0 ? errno : ENOSPC;
        return false;
    }
    return true;
}
