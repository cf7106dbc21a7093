#ifndef NOTEFILESYNC_H
#define NOTEFILESYNC_H

#include <QString>

#include <optional>

// Keeps the note field and the connected head's note file, ./serial_number/<serial>.txt,
// in step. Called once per frame; touches the file system on every sixth call only.
class NoteFileSync
{
public:
    // editText is the note field's current text. Returns the note to put into the field
    // when this call loaded one from the head's file.
    std::optional<QString> sync(const QString &serial, const QString &editText);

    // A serial comes from the line: only these name a file, so no path leaves the folder.
    static bool isSafeSerial(const QString &serial);
    static QString notePath(const QString &serial);

private:
    static std::optional<QString> readNote(const QString &path);
    static void saveIfChanged(const QString &path, const QString &text);
    static void writeNote(const QString &path, const QString &text);
    static void createEmpty(const QString &path);

    int lineCounter = 0;
    bool noteLoaded = false;
    QString loadedSerial; // the head whose note the field holds, once loaded
};

#endif
