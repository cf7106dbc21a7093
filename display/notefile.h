#ifndef NOTEFILE_H
#define NOTEFILE_H

#include <QString>

#include <sys/types.h>

// One head's note file on disk. It is only ever a regular file reached without following
// a link, of bounded size, and it is replaced whole or not at all: a link, FIFO, socket,
// device or folder in its place, or an oversized file, is neither read nor replaced.
class NoteFile
{
public:
    // Larger files are not notes this program wrote; reading them would stall the window.
    static constexpr qint64 MaxSize = qint64(1) << 20;

    enum class Status { Missing, Unusable, Read };

    explicit NoteFile(QString path);

    // Reads the note: the last line of the file, in the encoding of a default text stream.
    Status read();
    Status status() const { return state; }
    const QString &note() const { return lastLine; }

    // Replaces the note read, or creates a missing one, with text as its one line. Refused
    // for an unusable path, and for a note whose owner may not write it. Keeps the file's
    // owner and permission bits where the file system allows.
    bool replace(const QString &text);

    // A missing note becomes a file holding an empty line; anything already at the path,
    // a dangling link included, is left alone.
    bool createEmpty();

    // The note as its one line holds it: every line break becomes a single space.
    static QString oneLine(const QString &text);

private:
    Status inspect();
    bool stillTheFileRead() const;
    bool keepOwnerAndMode(int handle) const;

    QString path;
    Status state = Status::Unusable;
    QString lastLine;
    dev_t device = 0;
    ino_t inode = 0;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

#endif
