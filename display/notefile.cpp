#include "display/notefile.h"

#include <QFile>
#include <QSaveFile>
#include <QTextCodec>

#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// As a default Qt 5 text stream reads it: the locale's encoding unless a byte-order mark
// names another, lines ending in LF or CR LF, the last one possibly without a line end.
QString lastLineOf(const QByteArray &bytes)
{
    QString text =
        QTextCodec::codecForUtfText(bytes, QTextCodec::codecForLocale())->toUnicode(bytes);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    QString line = text.mid(text.lastIndexOf(QLatin1Char('\n')) + 1);
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

} // namespace

NoteFile::NoteFile(QString path) : path(std::move(path)) {}

NoteFile::Status NoteFile::read()
{
    lastLine.clear();
    state = inspect();
    return state;
}

NoteFile::Status NoteFile::inspect()
{
    const QByteArray name = QFile::encodeName(path);
    struct stat seen = {};
    if (::lstat(name.constData(), &seen) != 0)
        return errno == ENOENT ? Status::Missing : Status::Unusable;
    if (!S_ISREG(seen.st_mode) || seen.st_size > MaxSize)
        return Status::Unusable;

    // The path may have been swapped since it was looked at: the open neither follows a
    // link nor waits for a FIFO's writer, and what it opened is checked again.
    const int handle =
        ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (handle < 0)
        return Status::Unusable;
    QFile file;
    if (!file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return Status::Unusable;
    }
    struct stat opened = {};
    if (::fstat(handle, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != seen.st_dev ||
        opened.st_ino != seen.st_ino)
        return Status::Unusable;

    const QByteArray bytes = file.read(MaxSize + 1);
    if (bytes.size() > MaxSize || file.error() != QFileDevice::NoError)
        return Status::Unusable;

    lastLine = lastLineOf(bytes);
    device = opened.st_dev;
    inode = opened.st_ino;
    mode = opened.st_mode;
    owner = opened.st_uid;
    group = opened.st_gid;
    return Status::Read;
}

bool NoteFile::replace(const QString &text)
{
    if (state == Status::Unusable)
        return false;
    // Read-only means read-only for every user: root would be let through otherwise.
    if (state == Status::Read && (mode & S_IWUSR) == 0)
        return false;

    // Written aside and renamed over the note, so a failed or interrupted rewrite leaves
    // the previous note whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile writes through a link on purpose; one put in place since the read is refused.
    if (!stillTheFileRead()) {
        file.cancelWriting();
        return false;
    }
    if (state == Status::Read)
        keepOwnerAndMode(file.handle()); // best effort, see there

    // In the locale's encoding without a byte-order mark, as a default Qt 5 text stream
    // writes; Qt 6's would write UTF-8 whatever the locale.
    const QByteArray line = QTextCodec::codecForLocale()->fromUnicode(oneLine(text) + '\n');
    // commit() would rename even after a failed final flush, putting an empty or cut file
    // in the note's place, so every step is checked first.
    if (file.write(line) != line.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool NoteFile::createEmpty()
{
    // NewOnly: whatever appeared at the path meanwhile, a dangling link included, is
    // never clobbered or followed.
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && file.write("\n") == 1 &&
           file.flush();
}

QString NoteFile::oneLine(const QString &text)
{
    QString line(text.size(), Qt::Uninitialized);
    QChar *out = line.data();
    for (int i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            continue; // the LF that follows stands for the pair
        const bool lineBreak = c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
        *out++ = lineBreak ? QChar(u' ') : QChar(c);
    }
    line.truncate(int(out - line.constData()));
    return line;
}

bool NoteFile::stillTheFileRead() const
{
    struct stat now = {};
    if (::lstat(QFile::encodeName(path).constData(), &now) != 0)
        return errno == ENOENT && state == Status::Missing;
    return state == Status::Read && S_ISREG(now.st_mode) && now.st_dev == device &&
           now.st_ino == inode;
}

// A file system without owners or permission bits still takes the note, and a user who
// may not hand the file to its owner still saves it as their own: neither failure stops
// the save.
bool NoteFile::keepOwnerAndMode(int handle) const
{
    const bool ownerKept = ::fchown(handle, owner, group) == 0;
    const bool modeKept = ::fchmod(handle, mode & 0777) == 0;
    return ownerKept && modeKept;
}
