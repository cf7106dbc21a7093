#include "display/notefilesync.h"

#include "display/notefile.h"

namespace
{

constexpr int SyncEvery = 6;

} // namespace

NoteFileSync::NoteFileSync(int fieldCapacity) : fieldCapacity(fieldCapacity) {}

std::optional<QString> NoteFileSync::sync(const QString &serial, const QString &editText)
{
    const bool due = lineCounter == 0;
    lineCounter = (lineCounter + 1) % SyncEvery;
    if (!due || !isSafeSerial(serial))
        return std::nullopt;

    // Another head on the line: the field's text still belongs to the previous one.
    if (noteLoaded && serial != loadedSerial) {
        NoteFile previous(notePath(loadedSerial));
        if (previous.read() != NoteFile::Status::Unusable)
            saveIfChanged(previous, editText);
        noteLoaded = false;
        loadedSerial.clear();
        cutNoteShown.reset();
    }

    NoteFile file(notePath(serial));
    switch (file.read()) {
    case NoteFile::Status::Missing:
        file.createEmpty();
        return std::nullopt;
    case NoteFile::Status::Unusable:
        // Neither loaded nor overwritten; a later call tries again.
        return std::nullopt;
    case NoteFile::Status::Read:
        break;
    }

    if (!noteLoaded) {
        noteLoaded = true;
        loadedSerial = serial;
        const QString note = NoteFile::oneLine(file.note());
        if (note.size() > fieldCapacity)
            cutNoteShown = note.left(fieldCapacity);
        return note;
    }
    saveIfChanged(file, editText);
    return std::nullopt;
}

bool NoteFileSync::isSafeSerial(const QString &serial)
{
    if (serial.isEmpty())
        return false;
    for (const QChar c : serial) {
        const ushort code = c.unicode();
        if (code < 0x20 || code > 0x7e)
            return false;
        if (QStringLiteral("/\\:*?\"<>|.").contains(c))
            return false;
    }
    return true;
}

QString NoteFileSync::notePath(const QString &serial)
{
    return QStringLiteral("./serial_number/") + serial + QStringLiteral(".txt");
}

void NoteFileSync::saveIfChanged(NoteFile &file, const QString &editText)
{
    // Loading never writes: a note cut to fit the field stays whole in its file until
    // the field's text is changed.
    if (cutNoteShown) {
        if (editText == *cutNoteShown)
            return;
        cutNoteShown.reset();
    }
    // Both sides as one line: a file whose last line holds a stray line break gave the
    // field blanks in its place, and is not rewritten for that alone.
    const QString line = NoteFile::oneLine(editText);
    if (NoteFile::oneLine(file.note()) != line)
        file.replace(line);
}
