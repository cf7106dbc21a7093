#include "display/notefilesync.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace
{

constexpr int SyncEvery = 6;

} // namespace

std::optional<QString> NoteFileSync::sync(const QString &serial, const QString &editText)
{
    const bool due = lineCounter == 0;
    lineCounter = (lineCounter + 1) % SyncEvery;
    if (!due || !isSafeSerial(serial))
        return std::nullopt;

    // Another head on the line: the field's text still belongs to the previous one.
    if (noteLoaded && serial != loadedSerial) {
        saveIfChanged(notePath(loadedSerial), editText);
        noteLoaded = false;
        loadedSerial.clear();
    }

    const QString path = notePath(serial);
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        createEmpty(path);
        return std::nullopt;
    }

    // An unreadable note is neither loaded nor overwritten; a later call tries again.
    std::optional<QString> note = readNote(path);
    if (!note)
        return std::nullopt;

    if (!noteLoaded) {
        noteLoaded = true;
        loadedSerial = serial;
        return note;
    }
    if (*note != editText)
        writeNote(path, editText);
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

std::optional<QString> NoteFileSync::readNote(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QTextStream stream(&file);
    QString note;
    while (!stream.atEnd())
        note = stream.readLine();
    return note;
}

void NoteFileSync::saveIfChanged(const QString &path, const QString &text)
{
    if (QFileInfo::exists(path)) {
        const std::optional<QString> stored = readNote(path);
        if (!stored || *stored == text)
            return;
    }
    writeNote(path, text);
}

void NoteFileSync::writeNote(const QString &path, const QString &text)
{
    // Written aside and renamed over the note, so a failed or interrupted rewrite
    // leaves the previous note whole. A read-only note, or one in a folder that takes
    // no new file, is kept as it is.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QTextStream stream(&file);
    stream << text << '\n';
    stream.flush();
    file.commit();
}

void NoteFileSync::createEmpty(const QString &path)
{
    // NewOnly: a file that appeared meanwhile (or a dangling link) is never clobbered.
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        file.write("\n");
}
