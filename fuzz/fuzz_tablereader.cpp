// libFuzzer target: any bytes as a table file, read by the table's reader. It must hand
// over exactly the whole lines after the header, in order, each as the one record that
// line reads back as on its own, leave out a last line still being written, and refuse
// anything else with the number of the first line that is no record, having handed over
// only the records before it. Any violation aborts.
//
// The input: one byte whose low bit puts the table's header before the rest (so that the
// fuzzer reaches the records at once), then the file's bytes.

#include "table/csvrecord.h"
#include "table/recordreader.h"
#include "table/tablereader.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <sys/mman.h>
#include <unistd.h>

namespace
{

// Longer than any record: a last line without its end beyond this is no record being
// written.
constexpr int LongestLine = 256;

[[noreturn]] void violation(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz-tablereader: %s: %s\n", what, qPrintable(detail));
    std::abort();
}

struct Expected {
    QVector<Reading> records;
    int refusedLine = 0; // 0: read whole; -1: no whole line at all
};

// The table as read line by line, the reader's contract restated without its blocks.
Expected expected(const QByteArray &bytes)
{
    Expected out;
    QByteArrayList lines = bytes.split('\n');
    const QByteArray torn = lines.takeLast();
    if (lines.isEmpty()) {
        out.refusedLine = torn.size() > LongestLine ? 1 : -1;
        return out;
    }
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (i == 0) {
            if (line + '\n' != csvHeader()) {
                out.refusedLine = 1;
                return out;
            }
            continue;
        }
        const std::optional<Reading> record = readRecord(line);
        if (!record) {
            out.refusedLine = i + 1;
            return out;
        }
        out.records.append(*record);
    }
    if (torn.size() > LongestLine)
        out.refusedLine = lines.size() + 1;
    return out;
}

bool same(const Reading &a, const Reading &b)
{
    return a.msecsSinceEpoch == b.msecsSinceEpoch && a.serial == b.serial && a.value == b.value &&
           a.held == b.held;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    QByteArray bytes = (data[0] & 1) != 0 ? csvHeader() : QByteArray();
    bytes.append(reinterpret_cast<const char *>(data + 1), int(size - 1));

    // A file in memory, opened by its path as any table is.
    static const int fd = memfd_create("table", MFD_CLOEXEC);
    static const QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, bytes.constData(), size_t(bytes.size()), 0) != ssize_t(bytes.size()))
        violation("scratch file", QString::fromLocal8Bit(std::strerror(errno)));

    QVector<Reading> got;
    QString error;
    const bool read = TableReader(path).read(
        [&got](const RecordView &record) {
            got.append(
                {record.time().toMSecsSinceEpoch(), record.serial(), record.tenths, record.held});
        },
        error);
    const Expected want = expected(bytes);

    if (read != (want.refusedLine == 0))
        violation(read ? "read what is no table" : "refused a table", error);
    if (want.refusedLine > 0 &&
        !error.startsWith(path + QLatin1Char(':') + QString::number(want.refusedLine) + ": "))
        violation("refused at another line", error);
    if (got.size() != want.records.size())
        violation("records handed over", QString::number(got.size()));
    for (int i = 0; i < got.size(); ++i) {
        if (!same(got.at(i), want.records.at(i)))
            violation("record", QString::number(i));
    }
    return 0;
}
