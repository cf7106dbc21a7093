#include "table/tablereader.h"

#include "table/csvrecord.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{

// Longer than any record the recorder writes, even with a serial of six quoted quotes
// in four bytes each.
constexpr qint64 LongestLine = 256;
constexpr qint64 Block = 1 << 20;

} // namespace

TableReader::TableReader(QString path) : path(std::move(path)) {}

bool TableReader::read(const Take &take, QString &error) const
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = QStringLiteral("cannot read %1: %2").arg(path, qt_error_string(errno));
        return false;
    }
    const QByteArray header = csvHeader().trimmed();
    std::vector<char> buffer(size_t(Block + LongestLine));
    qint64 held = 0; // bytes of a line begun in the last block
    qint64 line = 0;
    auto refuse = [&](const QString &why) {
        error = QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(why);
        ::close(fd);
        return false;
    };
    while (true) {
        const ssize_t got = ::read(fd, buffer.data() + held, size_t(Block));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = QStringLiteral("cannot read %1: %2").arg(path, qt_error_string(errno));
            ::close(fd);
            return false;
        }
        const char *p = buffer.data();
        const char *end = p + held + got;
        while (true) {
            const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            if (!lineEnd) {
                if (end - p > LongestLine) {
                    ++line;
                    return refuse(QStringLiteral("no record (a line longer than any)"));
                }
                break;
            }
            ++line;
            const char *last = lineEnd > p && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
            if (line == 1) {
                if (last - p != header.size() ||
                    std::memcmp(p, header.constData(), size_t(header.size())) != 0)
                    return refuse(QStringLiteral("no table of readings (it does not start with the "
                                                 "header %1)")
                                      .arg(QString::fromLatin1(header)));
            } else {
                const std::optional<RecordView> record = RecordView::parse(p, last);
                if (!record) {
                    if (lineEnd - p > LongestLine)
                        return refuse(QStringLiteral("no record (a line longer than any)"));
                    return refuse(QStringLiteral("no record: \"%1\"")
                                      .arg(visibleText(
                                          QString::fromUtf8(p, int(qMin<qint64>(last - p, 60))))));
                }
                take(*record);
            }
            p = lineEnd + 1;
        }
        held = end - p;
        std::memmove(buffer.data(), p, size_t(held));
        if (got == 0)
            break;
    }
    ::close(fd);
    if (line == 0) {
        error = QStringLiteral("%1: no table of readings (no whole line)").arg(path);
        return false;
    }
    return true;
}
