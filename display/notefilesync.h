#ifndef NOTEFILESYNC_H
#define NOTEFILESYNC_H

#include <QString>

#include <optional>

class NoteFile;

// Keeps the note field and the connected head's note file, ./serial_number/<serial>.txt,
// in step. Called once per frame; touches the file system on every sixth call only.
class NoteFileSync
{
public:
    // What a line edit holds unless told otherwise.
    static constexpr int DefaultFieldCapacity = 32767;

    // fieldCapacity: the most characters the note field takes; a longer note is cut there.
    explicit NoteFileSync(int fieldCapacity = DefaultFieldCapacity);

    // editText is the note field's current text. Returns the note to put into the field
    // when this call loaded one from the head's file.
    std::optional<QString> sync(const QString &serial, const QString &editText);

    // A serial comes from the line: only these name a file, so no path leaves the folder.
    static bool isSafeSerial(const QString &serial);
    static QString notePath(const QString &serial);

private:
    void saveIfChanged(NoteFile &file, const QString &editText);

    int fieldCapacity;
    int lineCounter = 0;
    bool noteLoaded = false;
    QString loadedSerial; // the head whose note the field holds, once loaded
    // The field's text as the load left it, while that is a note cut to fit the field.
    std::optional<QString> cutNoteShown;
};

#endif
