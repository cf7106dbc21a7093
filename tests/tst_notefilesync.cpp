#include "display/notefile.h"
#include "display/notefilesync.h"
#include "testsupport/filebytes.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include <memory>
#include <optional>

#include <cerrno>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

using Note = std::optional<QString>;

const QString Serial = QStringLiteral("ABC123");
const QString NotePath = QStringLiteral("serial_number/ABC123.txt");

// Calls between two synchronisations: none may hand back a note.
bool quietCalls(NoteFileSync &notes, int count, const QString &serial, const QString &editText)
{
    for (int i = 0; i < count; ++i) {
        if (notes.sync(serial, editText))
            return false;
    }
    return true;
}

// Every entry under root with its content, so that a comparison shows anything created,
// changed or removed anywhere in it. Links show their target and are not followed; FIFOs,
// sockets and devices are named, never opened.
QStringList tree(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = QDir(root).relativeFilePath(path);
        if (info.isSymLink())
            entries.append(name + QStringLiteral(" -> ") + info.symLinkTarget());
        else if (info.isDir())
            entries.append(name + QLatin1Char('/'));
        else if (info.isFile())
            entries.append(name + QStringLiteral(" = ") +
                           QString::fromLatin1(readBytes(path).toPercentEncoding()));
        else
            entries.append(name + QStringLiteral(" (special)"));
    }
    entries.sort();
    return entries;
}

// A rewrite always puts a new file in the note's place, so an unchanged inode shows the
// note was not rewritten.
ino_t inodeOf(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

QString longNote(int length)
{
    QString note;
    for (int i = 0; note.size() < length; ++i)
        note += QStringLiteral("%1 ").arg(i);
    return note.left(length);
}

QStringList folderEntries()
{
    return QDir(QStringLiteral("serial_number"))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

constexpr uid_t Nobody = 65534;

// Root reads and writes whatever the permission bits say, so the cases about unreadable
// and read-only notes run as an ordinary user. The real ids change too, since access()
// answers for them; the saved ones stay, which lets the guard come back.
class OrdinaryUser
{
public:
    OrdinaryUser()
    {
        if (geteuid() != 0 || getresuid(&uids[0], &uids[1], &uids[2]) != 0 ||
            getresgid(&gids[0], &gids[1], &gids[2]) != 0)
            return;
        if (setresgid(Nobody, Nobody, gids[2]) != 0)
            return;
        dropped = true;
        if (setresuid(Nobody, Nobody, uids[2]) != 0)
            restore();
    }
    ~OrdinaryUser() { restore(); }
    OrdinaryUser(const OrdinaryUser &) = delete;
    OrdinaryUser &operator=(const OrdinaryUser &) = delete;

    // Also false where the temporary directory lies out of an ordinary user's reach.
    bool ready() const
    {
        return geteuid() != 0 && QFileInfo(QDir::currentPath() + QStringLiteral("/.")).isDir();
    }

    // Files set up by root before the switch, handed to the user the test runs as.
    static bool handOver(const QStringList &paths)
    {
        if (geteuid() != 0)
            return true;
        for (const QString &path : paths) {
            if (chown(QFile::encodeName(path).constData(), Nobody, Nobody) != 0)
                return false;
        }
        return true;
    }

private:
    void restore()
    {
        if (!dropped)
            return;
        dropped = false;
        if (setresuid(uids[0], uids[1], uids[2]) != 0 || setresgid(gids[0], gids[1], gids[2]) != 0)
            qFatal("cannot return to the test's own user");
    }

    uid_t uids[3] = {};
    gid_t gids[3] = {};
    bool dropped = false;
};

} // namespace

namespace QTest
{
template <> char *toString(const std::optional<QString> &note)
{
    return note ? toString(QLatin1Char('"') + *note + QLatin1Char('"')) : qstrdup("no note");
}
} // namespace QTest

class TestNoteFileSync : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void onlyEverySixthCallTouchesFiles();

    void firstSyncLoadsLastLine_data();
    void firstSyncLoadsLastLine();

    void editRewrittenWholeAndLoadedNextRun_data();
    void editRewrittenWholeAndLoadedNextRun();

    void missingNoteCreatedEmptyAndLoadedLater();

    void localeEncodingRoundTrip_data();
    void localeEncodingRoundTrip();

    void missingFolderCreatesNothing();
    void unusableNoteNeitherOpenedNorReplaced_data();
    void unusableNoteNeitherOpenedNorReplaced();
    void noteCutByTheFieldKeptUntilEdited();
    void fullDiskNeverCutsTheNote_data();
    void fullDiskNeverCutsTheNote();

    void hostileSerialTouchesNoFile_data();
    void hostileSerialTouchesNoFile();
    void hostileSerialLeavesLoadedNoteAlone();
    void ordinarySerialNamesItsFile_data();
    void ordinarySerialNamesItsFile();

    void noteFollowsItsHead();
    void newHeadWithoutNoteGetsNoForeignNote();

    void unreadableNoteNotLoadedUntilReadable();
    void noteTurnedUnreadableIsNotOverwritten();
    void readOnlyNoteLoadsAndIsKept_data();
    void readOnlyNoteLoadsAndIsKept();
    void rewriteKeepsModeAndOwner_data();
    void rewriteKeepsModeAndOwner();
    void noteInReadOnlyFolderNeverRewrittenInPlace();

private:
    void makeNoteFolder();

    QString startDir;
    std::unique_ptr<QTemporaryDir> tempDir;
};

// QTextStream's default encoding is the locale's; it is pinned to UTF-8 here so that
// the run does not depend on the environment's LANG.
void TestNoteFileSync::initTestCase()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    startDir = QDir::currentPath();
}

// The working directory sits two levels down in the temporary directory, so a note
// written anywhere near it, above it included, shows up in tree(tempDir->path()).
void TestNoteFileSync::init()
{
    tempDir = std::make_unique<QTemporaryDir>();
    QVERIFY(tempDir->isValid());
    // An ordinary user must be able to reach the working directory by its full path.
    QVERIFY(QFile::setPermissions(tempDir->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner | QFile::ExeGroup |
                                                       QFile::ExeOther));
    const QString work = tempDir->path() + QStringLiteral("/up/work");
    QVERIFY(QDir().mkpath(work));
    QVERIFY(QDir::setCurrent(work));
}

void TestNoteFileSync::cleanup()
{
    QDir::setCurrent(startDir);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    tempDir.reset();
}

void TestNoteFileSync::makeNoteFolder()
{
    QVERIFY(QDir().mkdir(QStringLiteral("serial_number")));
}

void TestNoteFileSync::onlyEverySixthCallTouchesFiles()
{
    makeNoteFolder();
    QVERIFY(writeBytes(NotePath, "abc\n"));
    NoteFileSync notes;
    QCOMPARE(notes.sync(Serial, QString()), Note("abc"));

    // Changed behind its back, the note is neither reloaded nor overwritten, whichever
    // serial the calls carry.
    QVERIFY(writeBytes(NotePath, "other\n"));
    for (int call = 2; call <= 6; ++call) {
        const QString serial = call % 2 ? QStringLiteral("XYZ789") : Serial;
        QVERIFY2(!notes.sync(serial, QStringLiteral("abc")), qPrintable(QString::number(call)));
    }
    QCOMPARE(readBytes(NotePath), QByteArray("other\n"));
    QVERIFY(!QFile::exists(QStringLiteral("serial_number/XYZ789.txt")));

    QVERIFY(!notes.sync(Serial, QStringLiteral("abc")));
    QCOMPARE(readBytes(NotePath), QByteArray("abc\n"));

    QVERIFY(QFile::remove(NotePath));
    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("abc")));
    QVERIFY(!QFile::exists(NotePath));

    QVERIFY(!notes.sync(Serial, QStringLiteral("abc")));
    QCOMPARE(readBytes(NotePath), QByteArray("\n"));
}

void TestNoteFileSync::firstSyncLoadsLastLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("note");

    const auto kept = [](const char *name, const QByteArray &content, const QString &note) {
        QTest::newRow(name) << content << note;
    };
    kept("one line", "abc\n", "abc");
    kept("several lines", "first\nsecond\nbench 4\n", "bench 4");
    kept("empty last line", "first\n\n", "");
    kept("only a line end", "\n", "");
    kept("zero length", QByteArray(), "");
    kept("crlf", "first\r\nbench 4\r\n", "bench 4");
    kept("crlf, empty last line", "first\r\n\r\n", "");
    kept("no final line end", "first\nbench 4", "bench 4");
    kept("crlf, no final line end", "first\r\nbench 4", "bench 4");
    kept("inner blanks kept", " a  b \n", " a  b ");
    kept("exactly the size bound", QByteArray(int(NoteFile::MaxSize) - 8, 'x') + "\nbench 4",
         "bench 4");

    // Line breaks left in the last line reach the field as blanks; the file is not
    // rewritten for that alone, only once the field's text is edited.
    kept("cr cr lf", "abc\r\r\n", "abc ");
    kept("cr inside", "a\rb\n", "a b");
    kept("line separator", "a\u2028b\n", "a b");
    kept("paragraph separator, no final line end", "a\u2029b", "a b");
}

// The loaded note replaces whatever was typed before, and neither the load nor the
// synchronisations after it change the file while the field's text stays as loaded.
void TestNoteFileSync::firstSyncLoadsLastLine()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, note);

    makeNoteFolder();
    QVERIFY(writeBytes(NotePath, content));
    const ino_t inode = inodeOf(NotePath);
    NoteFileSync notes;
    QCOMPARE(notes.sync(Serial, QStringLiteral("typed before")), Note(note));
    QCOMPARE(readBytes(NotePath), content);

    for (int round = 0; round < 3; ++round) {
        QVERIFY(quietCalls(notes, 5, Serial, note));
        QVERIFY(!notes.sync(Serial, note));
    }
    QCOMPARE(inodeOf(NotePath), inode);
    QCOMPARE(readBytes(NotePath), content);
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("ABC123.txt")});
}

void TestNoteFileSync::editRewrittenWholeAndLoadedNextRun_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("line"); // the note as its file holds it

    QTest::newRow("shortened") << QByteArray("bench 4, left drawer\n") << "bench 4"
                               << "bench 4";
    QTest::newRow("lengthened") << QByteArray("b\n") << "bench 4, left drawer"
                                << "bench 4, left drawer";
    QTest::newRow("older lines dropped") << QByteArray("old\r\nolder\r\n") << "new"
                                         << "new";
    QTest::newRow("cleared") << QByteArray("abc\n") << ""
                             << "";
    QTest::newRow("pasted lines, lf") << QByteArray("b\n") << "bench 4\nleft drawer"
                                      << "bench 4 left drawer";
    QTest::newRow("pasted lines, crlf") << QByteArray("b\n") << "bench 4\r\nleft drawer\r\n"
                                        << "bench 4 left drawer ";
    QTest::newRow("pasted lines, cr") << QByteArray("b\n") << "\rbench 4\r\rleft"
                                      << " bench 4  left";
    QTest::newRow("pasted separators") << QByteArray("b\n")
                                       << QString(QStringLiteral("bench 4") + QChar(0x2028) +
                                                  QStringLiteral("left") + QChar(0x2029))
                                       << "bench 4 left ";
}

// The rewrite goes to a new file renamed over the note: a reader that had the old one
// open still sees it whole, so it was never truncated or written in place. The note saved
// is not saved again while the field keeps its text.
void TestNoteFileSync::editRewrittenWholeAndLoadedNextRun()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, edit);
    QFETCH(QString, line);

    makeNoteFolder();
    QVERIFY(writeBytes(NotePath, content));
    {
        NoteFileSync notes;
        QVERIFY(notes.sync(Serial, QString()));
        QFile before(NotePath);
        QVERIFY(before.open(QIODevice::ReadOnly));
        QVERIFY(quietCalls(notes, 5, Serial, edit));
        QCOMPARE(readBytes(NotePath), content);

        QVERIFY(!notes.sync(Serial, edit));
        QCOMPARE(readBytes(NotePath), line.toUtf8() + '\n');
        QCOMPARE(before.readAll(), content);
        QCOMPARE(folderEntries(), QStringList{QStringLiteral("ABC123.txt")});

        const ino_t saved = inodeOf(NotePath);
        QVERIFY(quietCalls(notes, 5, Serial, edit));
        QVERIFY(!notes.sync(Serial, edit));
        QCOMPARE(inodeOf(NotePath), saved);
    }

    NoteFileSync nextRun;
    QCOMPARE(nextRun.sync(Serial, QString()), Note(line));
}

void TestNoteFileSync::missingNoteCreatedEmptyAndLoadedLater()
{
    makeNoteFolder();
    NoteFileSync notes;
    QVERIFY(!notes.sync(Serial, QStringLiteral("typed")));
    QCOMPARE(readBytes(NotePath), QByteArray("\n"));

    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("typed")));
    QCOMPARE(notes.sync(Serial, QStringLiteral("typed meanwhile")), Note(QString()));
    QCOMPARE(readBytes(NotePath), QByteArray("\n"));

    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("bench 4")));
    QVERIFY(!notes.sync(Serial, QStringLiteral("bench 4")));
    QCOMPARE(readBytes(NotePath), QByteArray("bench 4\n"));
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("ABC123.txt")});
}

void TestNoteFileSync::localeEncodingRoundTrip_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("edit");

    QTest::newRow("utf-8, cyrillic")
        << QByteArray("UTF-8") << QStringLiteral("стенд 4") << QStringLiteral("стенд 5, ящик");
    QTest::newRow("koi8-r, cyrillic")
        << QByteArray("KOI8-R") << QStringLiteral("стенд 4") << QStringLiteral("Щуп Ё");
    QTest::newRow("latin-1") << QByteArray("ISO-8859-1") << QStringLiteral("Messplatz ä")
                             << QStringLiteral("Prüfstand é");
}

// Read and written in the locale's encoding: a note saved by this program, or by an
// editor in the same locale, comes back unchanged.
void TestNoteFileSync::localeEncodingRoundTrip()
{
    QFETCH(QByteArray, codec);
    QFETCH(QString, stored);
    QFETCH(QString, edit);

    QTextCodec *locale = QTextCodec::codecForName(codec);
    QVERIFY(locale);
    QTextCodec::setCodecForLocale(locale);

    makeNoteFolder();
    QVERIFY(writeBytes(NotePath, locale->fromUnicode(stored) + '\n'));
    {
        NoteFileSync notes;
        QCOMPARE(notes.sync(Serial, QString()), Note(stored));
        QVERIFY(quietCalls(notes, 5, Serial, edit));
        QVERIFY(!notes.sync(Serial, edit));
        QCOMPARE(readBytes(NotePath), locale->fromUnicode(edit) + '\n');
    }
    NoteFileSync nextRun;
    QCOMPARE(nextRun.sync(Serial, QString()), Note(edit));
}

void TestNoteFileSync::missingFolderCreatesNothing()
{
    const QStringList before = tree(tempDir->path());
    NoteFileSync notes;
    for (int call = 1; call <= 13; ++call) {
        QVERIFY2(!notes.sync(Serial, QStringLiteral("typed %1").arg(call)),
                 qPrintable(QString::number(call)));
    }
    QCOMPARE(tree(tempDir->path()), before);
}

void TestNoteFileSync::unusableNoteNeitherOpenedNorReplaced_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("when");

    const QStringList kinds{
        "folder",           "fifo",     "socket", "link to a file outside", "dangling link",
        "link to a device", "oversized"};
    for (const QString &kind : kinds) {
        for (const char *when : {"first load", "later sync", "change of head"}) {
            QTest::addRow("%s, %s", qPrintable(kind), when) << kind << QString::fromLatin1(when);
        }
    }
}

// Whatever stands in the note's place other than a regular file of sane size is never
// opened, read, followed or replaced, whichever path reaches it, and no call waits on it.
void TestNoteFileSync::unusableNoteNeitherOpenedNorReplaced()
{
    QFETCH(QString, kind);
    QFETCH(QString, when);

    makeNoteFolder();
    const QString outside = tempDir->path() + QStringLiteral("/outside");
    QVERIFY(QDir().mkpath(outside));
    NoteFileSync notes;
    if (when != QLatin1String("first load")) {
        QVERIFY(writeBytes(NotePath, "bench 4\n"));
        QCOMPARE(notes.sync(Serial, QString()), Note("bench 4"));
        QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("bench 4")));
        QVERIFY(QFile::remove(NotePath));
    }

    const QByteArray name = QFile::encodeName(NotePath);
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(NotePath));
        QVERIFY(writeBytes(NotePath + QStringLiteral("/inside.txt"), "abc\n"));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(name.constData(), 0666), 0);
    } else if (kind == QLatin1String("socket")) {
        const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(listening >= 0);
        const auto closeSocket = qScopeGuard([listening] { ::close(listening); });
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, name.constData(), sizeof address.sun_path);
        QCOMPARE(::bind(listening, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    } else if (kind == QLatin1String("link to a file outside")) {
        QVERIFY(writeBytes(outside + QStringLiteral("/kept.txt"), "outside\n"));
        QVERIFY(QFile::link(outside + QStringLiteral("/kept.txt"), NotePath));
    } else if (kind == QLatin1String("dangling link")) {
        QVERIFY(QFile::link(outside + QStringLiteral("/nothing.txt"), NotePath));
    } else if (kind == QLatin1String("link to a device")) {
        const QByteArray device = QFile::encodeName(outside + QStringLiteral("/null"));
        if (::mknod(device.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("only root makes a device node");
        QVERIFY(QFile::link(outside + QStringLiteral("/null"), NotePath));
    } else {
        QVERIFY(writeBytes(NotePath, QByteArray(int(NoteFile::MaxSize), '\n') + "bench 5\n"));
    }

    QStringList expected = tree(tempDir->path());
    QElapsedTimer clock;
    clock.start();
    if (when == QLatin1String("change of head")) {
        QVERIFY(!notes.sync(QStringLiteral("BBB222"), QStringLiteral("edited")));
        expected.append(QStringLiteral("up/work/serial_number/BBB222.txt = %0A"));
        expected.sort();
    } else {
        for (int call = 1; call <= 13; ++call) {
            QVERIFY2(!notes.sync(Serial, QStringLiteral("typed %1").arg(call)),
                     qPrintable(QString::number(call)));
        }
    }
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(tree(tempDir->path()), expected);
}

// The field holds 32767 characters; a longer note is shown cut, and the cut text must not
// replace the stored one, at a later synchronisation or at a change of head.
void TestNoteFileSync::noteCutByTheFieldKeptUntilEdited()
{
    makeNoteFolder();
    const QString note = longNote(40000);
    const QByteArray stored = note.toUtf8() + '\n';
    QVERIFY(writeBytes(NotePath, stored));
    const QString shown = note.left(NoteFileSync::DefaultFieldCapacity);
    {
        NoteFileSync notes;
        QCOMPARE(notes.sync(Serial, QString()), Note(note));
        QVERIFY(quietCalls(notes, 5, Serial, shown));
        QVERIFY(!notes.sync(Serial, shown));
        QVERIFY(quietCalls(notes, 5, Serial, shown));
        QVERIFY(!notes.sync(QStringLiteral("BBB222"), shown));
        QCOMPARE(readBytes(NotePath), stored);
    }

    // Once the field's text is changed, it is the note.
    NoteFileSync nextRun;
    QCOMPARE(nextRun.sync(Serial, QString()), Note(note));
    QVERIFY(quietCalls(nextRun, 5, Serial, shown));
    const QString edited = shown.left(100) + QStringLiteral(" and more");
    QVERIFY(!nextRun.sync(Serial, edited));
    QCOMPARE(readBytes(NotePath), edited.toUtf8() + '\n');
}

void TestNoteFileSync::fullDiskNeverCutsTheNote_data()
{
    QTest::addColumn<int>("pagesFree");
    QTest::addColumn<QString>("edit");

    QTest::newRow("no room at all") << 0 << "bench 5";
    QTest::newRow("room for part of the note") << 2 << longNote(30000);
}

// On a file system that is really full, the save fails part-way: the note stays whole, and
// is saved at the first synchronisation after space is freed.
void TestNoteFileSync::fullDiskNeverCutsTheNote()
{
    QFETCH(int, pagesFree);
    QFETCH(QString, edit);

    // The mount must stay private to this process, and the process keeps its namespace.
    static const bool ownMounts = ::unshare(CLONE_NEWNS) == 0 &&
                                  ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (!ownMounts)
        QSKIP("private mount namespaces are not permitted here, and the test fills a file system");

    makeNoteFolder();
    QCOMPARE(::mount("none", "serial_number", "tmpfs", 0, "size=64k,mode=0755"), 0);
    const auto unmount = qScopeGuard([] { ::umount2("serial_number", MNT_DETACH); });

    const QByteArray stored("bench 4, left drawer\n");
    QVERIFY(writeBytes(NotePath, stored));
    NoteFileSync notes;
    QCOMPARE(notes.sync(Serial, QString()), Note("bench 4, left drawer"));

    const QString fillerPath = QStringLiteral("serial_number/filler");
    {
        QFile filler(fillerPath);
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray page(4096, 'f');
        while (filler.write(page) == page.size()) {
        }
        QVERIFY(filler.resize(qMax<qint64>(0, filler.size() - qint64(pagesFree) * 4096)));
    }

    for (int round = 0; round < 2; ++round) {
        QVERIFY(quietCalls(notes, 5, Serial, edit));
        QVERIFY(!notes.sync(Serial, edit));
        QCOMPARE(readBytes(NotePath), stored);
        QCOMPARE(folderEntries(),
                 (QStringList{QStringLiteral("ABC123.txt"), QStringLiteral("filler")}));
    }

    QVERIFY(QFile::remove(fillerPath));
    QVERIFY(quietCalls(notes, 5, Serial, edit));
    QVERIFY(!notes.sync(Serial, edit));
    QCOMPARE(readBytes(NotePath), edit.toUtf8() + '\n');
}

void TestNoteFileSync::hostileSerialTouchesNoFile_data()
{
    QTest::addColumn<QString>("serial");
    // What a serial used as it stands would reach, set up so that it would be found:
    // folders end in '/', files hold a note.
    QTest::addColumn<QStringList>("bait");

    QTest::newRow("climbs out") << QStringLiteral("../x..") << QStringList{"x...txt"};
    QTest::newRow("backslashes") << QStringLiteral("..\\..") << QStringList{};
    QTest::newRow("absolute") << QStringLiteral("/etc/") << QStringList{"serial_number/etc/"};
    QTest::newRow("subfolder") << QStringLiteral("ab/cd") << QStringList{"serial_number/ab/cd.txt"};
    QTest::newRow("colon") << QStringLiteral("a:b") << QStringList{"serial_number/a:b.txt"};
    QTest::newRow("dots only") << QStringLiteral("......") << QStringList{};
    QTest::newRow("dot inside") << QStringLiteral("AB.123") << QStringList{};
    QTest::newRow("line feed") << QStringLiteral("AB\n123") << QStringList{};
    QTest::newRow("tab") << QStringLiteral("AB\t123") << QStringList{};
    QTest::newRow("nul") << QString(QStringLiteral("AB") + QChar(0) + QStringLiteral("123"))
                         << QStringList{"serial_number/AB"};
    QTest::newRow("delete") << QString(QStringLiteral("AB") + QChar(0x7f)) << QStringList{};
    QTest::newRow("widened high byte")
        << QString(QChar(0xff80) + QStringLiteral("12345")) << QStringList{};
    QTest::newRow("latin-1 letter")
        << QString(QChar(0xe9) + QStringLiteral("12345")) << QStringList{};
    QTest::newRow("star") << QStringLiteral("*") << QStringList{"serial_number/*.txt"};
    QTest::newRow("question mark") << QStringLiteral("?") << QStringList{};
    QTest::newRow("markup") << QStringLiteral("<b>12") << QStringList{};
    QTest::newRow("pipe") << QStringLiteral("a|b") << QStringList{};
    QTest::newRow("quotes") << QStringLiteral("\"q\"") << QStringList{};
    QTest::newRow("empty") << QString() << QStringList{"serial_number/.txt"};
}

// Nothing is read, created or written for such a serial, yet the call still counts:
// the next file access comes six calls after it.
void TestNoteFileSync::hostileSerialTouchesNoFile()
{
    QFETCH(QString, serial);
    QFETCH(QStringList, bait);

    makeNoteFolder();
    for (const QString &path : bait) {
        if (path.endsWith(QLatin1Char('/')))
            QVERIFY(QDir().mkpath(path));
        else
            QVERIFY(QDir().mkpath(QFileInfo(path).path()) && writeBytes(path, "bait\n"));
    }
    const QStringList before = tree(tempDir->path());

    NoteFileSync notes;
    QVERIFY(!notes.sync(serial, QStringLiteral("typed")));
    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("typed")));
    QCOMPARE(tree(tempDir->path()), before);

    QVERIFY(!notes.sync(Serial, QStringLiteral("typed")));
    QStringList after = before;
    after.append(QStringLiteral("up/work/serial_number/ABC123.txt = %0A"));
    after.sort();
    QCOMPARE(tree(tempDir->path()), after);
}

// A garbled frame between two of the head's own does not count as another head: the
// field's text stays with the loaded note and is not saved at that call.
void TestNoteFileSync::hostileSerialLeavesLoadedNoteAlone()
{
    makeNoteFolder();
    QVERIFY(writeBytes(NotePath, "bench 4\n"));
    NoteFileSync notes;
    QCOMPARE(notes.sync(Serial, QString()), Note("bench 4"));
    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("bench 5")));

    QVERIFY(!notes.sync(QStringLiteral("\x1b[2J"), QStringLiteral("bench 5")));
    QCOMPARE(readBytes(NotePath), QByteArray("bench 4\n"));

    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("bench 5")));
    QVERIFY(!notes.sync(Serial, QStringLiteral("bench 5")));
    QCOMPARE(readBytes(NotePath), QByteArray("bench 5\n"));
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("ABC123.txt")});
}

void TestNoteFileSync::ordinarySerialNamesItsFile_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("letters and digits") << QStringLiteral("ABC123") << "ABC123.txt";
    QTest::newRow("inner space") << QStringLiteral("12 345") << "12 345.txt";
    QTest::newRow("edge characters") << QStringLiteral(" ~!#$%") << " ~!#$%.txt";
    QTest::newRow("short") << QStringLiteral("7") << "7.txt";
}

void TestNoteFileSync::ordinarySerialNamesItsFile()
{
    QFETCH(QString, serial);
    QFETCH(QString, fileName);

    makeNoteFolder();
    {
        NoteFileSync notes;
        QVERIFY(!notes.sync(serial, QString()));
        QCOMPARE(folderEntries(), QStringList{fileName});
    }
    QVERIFY(writeBytes(QStringLiteral("serial_number/") + fileName, "bench 4\n"));
    NoteFileSync nextRun;
    QCOMPARE(nextRun.sync(serial, QString()), Note("bench 4"));
}

// A -> B -> A: at each change the field's text goes to the head it belongs to, and the
// new head's note is loaded.
void TestNoteFileSync::noteFollowsItsHead()
{
    makeNoteFolder();
    const QString pathA = QStringLiteral("serial_number/AAA111.txt");
    const QString pathB = QStringLiteral("serial_number/BBB222.txt");
    QVERIFY(writeBytes(pathA, "note A\n"));
    QVERIFY(writeBytes(pathB, "old\r\nnote B\r\n"));

    NoteFileSync notes;
    QCOMPARE(notes.sync(QStringLiteral("AAA111"), QString()), Note("note A"));
    QVERIFY(quietCalls(notes, 5, QStringLiteral("AAA111"), QStringLiteral("note A2")));

    QCOMPARE(notes.sync(QStringLiteral("BBB222"), QStringLiteral("note A2")), Note("note B"));
    QCOMPARE(readBytes(pathA), QByteArray("note A2\n"));
    QCOMPARE(readBytes(pathB), QByteArray("old\r\nnote B\r\n"));

    // Back to A with B's note unchanged: B's file is left exactly as it was.
    QVERIFY(quietCalls(notes, 5, QStringLiteral("BBB222"), QStringLiteral("note B")));
    QCOMPARE(notes.sync(QStringLiteral("AAA111"), QStringLiteral("note B")), Note("note A2"));
    QCOMPARE(readBytes(pathA), QByteArray("note A2\n"));
    QCOMPARE(readBytes(pathB), QByteArray("old\r\nnote B\r\n"));

    QVERIFY(quietCalls(notes, 5, QStringLiteral("AAA111"), QStringLiteral("note A3")));
    QVERIFY(!notes.sync(QStringLiteral("AAA111"), QStringLiteral("note A3")));
    QVERIFY(quietCalls(notes, 5, QStringLiteral("AAA111"), QStringLiteral("note A3")));
    QCOMPARE(notes.sync(QStringLiteral("BBB222"), QStringLiteral("note A3")), Note("note B"));
    QCOMPARE(readBytes(pathA), QByteArray("note A3\n"));
    QCOMPARE(readBytes(pathB), QByteArray("old\r\nnote B\r\n"));
    QCOMPARE(folderEntries(),
             (QStringList{QStringLiteral("AAA111.txt"), QStringLiteral("BBB222.txt")}));
}

// A head met for the first time gets an empty note file; the field still holds the
// previous head's text then, which must not end up in the new head's file.
void TestNoteFileSync::newHeadWithoutNoteGetsNoForeignNote()
{
    makeNoteFolder();
    const QString pathA = QStringLiteral("serial_number/AAA111.txt");
    const QString pathB = QStringLiteral("serial_number/BBB222.txt");
    QVERIFY(writeBytes(pathA, "note A\n"));

    NoteFileSync notes;
    QCOMPARE(notes.sync(QStringLiteral("AAA111"), QString()), Note("note A"));
    QVERIFY(quietCalls(notes, 5, QStringLiteral("AAA111"), QStringLiteral("note A2")));
    QVERIFY(!notes.sync(QStringLiteral("BBB222"), QStringLiteral("note A2")));
    QCOMPARE(readBytes(pathA), QByteArray("note A2\n"));
    QCOMPARE(readBytes(pathB), QByteArray("\n"));

    QVERIFY(quietCalls(notes, 5, QStringLiteral("BBB222"), QStringLiteral("note A2")));
    QCOMPARE(notes.sync(QStringLiteral("BBB222"), QStringLiteral("note A2")), Note(QString()));
    QCOMPARE(readBytes(pathA), QByteArray("note A2\n"));
    QCOMPARE(readBytes(pathB), QByteArray("\n"));

    QVERIFY(quietCalls(notes, 5, QStringLiteral("BBB222"), QStringLiteral("note B")));
    QVERIFY(!notes.sync(QStringLiteral("BBB222"), QStringLiteral("note B")));
    QCOMPARE(readBytes(pathA), QByteArray("note A2\n"));
    QCOMPARE(readBytes(pathB), QByteArray("note B\n"));
}

void TestNoteFileSync::unreadableNoteNotLoadedUntilReadable()
{
    makeNoteFolder();
    QVERIFY(writeBytes(NotePath, "secret\n"));
    QVERIFY(OrdinaryUser::handOver({QStringLiteral("serial_number"), NotePath}));
    OrdinaryUser user;
    if (!user.ready())
        QSKIP("cannot leave root here, and root reads any note");
    // Writable but not readable: only a note that was read may be replaced.
    QVERIFY(QFile::setPermissions(NotePath, QFile::WriteOwner));
    if (QFile(NotePath).open(QIODevice::ReadOnly))
        QSKIP("permission bits are not enforced here");

    NoteFileSync notes;
    QVERIFY(!notes.sync(Serial, QStringLiteral("typed")));
    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("typed")));
    QVERIFY(!notes.sync(Serial, QStringLiteral("typed")));
    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("typed")));

    QVERIFY(QFile::setPermissions(NotePath, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(readBytes(NotePath), QByteArray("secret\n"));
    QCOMPARE(notes.sync(Serial, QStringLiteral("typed")), Note("secret"));
    QCOMPARE(readBytes(NotePath), QByteArray("secret\n"));

    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("edited")));
    QVERIFY(!notes.sync(Serial, QStringLiteral("edited")));
    QCOMPARE(readBytes(NotePath), QByteArray("edited\n"));
}

void TestNoteFileSync::noteTurnedUnreadableIsNotOverwritten()
{
    makeNoteFolder();
    QVERIFY(writeBytes(NotePath, "secret\n"));
    QVERIFY(OrdinaryUser::handOver({QStringLiteral("serial_number"), NotePath}));
    OrdinaryUser user;
    if (!user.ready())
        QSKIP("cannot leave root here, and root reads any note");

    NoteFileSync notes;
    QCOMPARE(notes.sync(Serial, QString()), Note("secret"));
    QVERIFY(QFile::setPermissions(NotePath, QFile::WriteOwner));
    if (QFile(NotePath).open(QIODevice::ReadOnly))
        QSKIP("permission bits are not enforced here");

    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("edited")));
    QVERIFY(!notes.sync(Serial, QStringLiteral("edited")));
    QVERIFY(QFile::setPermissions(NotePath, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(readBytes(NotePath), QByteArray("secret\n"));

    // Readable again, it takes the field's text at the next synchronisation.
    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("edited")));
    QVERIFY(!notes.sync(Serial, QStringLiteral("edited")));
    QCOMPARE(readBytes(NotePath), QByteArray("edited\n"));
}

void TestNoteFileSync::readOnlyNoteLoadsAndIsKept_data()
{
    QTest::addColumn<bool>("asOrdinaryUser");
    QTest::newRow("as the test's own user") << false;
    QTest::newRow("as an ordinary user") << true;
}

// A note whose owner may not write it is loaded and kept, even by root, who could; the
// folder, writable as it is, shows the note is not replaced behind its protection either.
void TestNoteFileSync::readOnlyNoteLoadsAndIsKept()
{
    QFETCH(bool, asOrdinaryUser);

    makeNoteFolder();
    QVERIFY(writeBytes(NotePath, "bench 4\n"));
    if (asOrdinaryUser)
        QVERIFY(OrdinaryUser::handOver({QStringLiteral("serial_number"), NotePath}));
    QVERIFY(
        QFile::setPermissions(NotePath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    std::optional<OrdinaryUser> user;
    if (asOrdinaryUser) {
        user.emplace();
        if (!user->ready())
            QSKIP("cannot leave root here");
    }

    NoteFileSync notes;
    QCOMPARE(notes.sync(Serial, QString()), Note("bench 4"));
    for (int round = 0; round < 2; ++round) {
        QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("edited")));
        QVERIFY(!notes.sync(Serial, QStringLiteral("edited")));
        QCOMPARE(readBytes(NotePath), QByteArray("bench 4\n"));
    }
    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("edited")));
    QVERIFY(!notes.sync(QStringLiteral("BBB222"), QStringLiteral("edited")));
    QCOMPARE(readBytes(NotePath), QByteArray("bench 4\n"));
    struct stat kept = {};
    QCOMPARE(::stat(QFile::encodeName(NotePath).constData(), &kept), 0);
    QCOMPARE(kept.st_mode & 07777, mode_t(0444));
    QCOMPARE(folderEntries(),
             (QStringList{QStringLiteral("ABC123.txt"), QStringLiteral("BBB222.txt")}));
}

void TestNoteFileSync::rewriteKeepsModeAndOwner_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("0600") << 0600;
    QTest::newRow("0640") << 0640;
    QTest::newRow("0644") << 0644;
    QTest::newRow("0664") << 0664;
}

// The rewrite is a new file: it must still be the note its owner set up, with the same
// permissions, whoever saves it. Run as root, the note belongs to another user.
void TestNoteFileSync::rewriteKeepsModeAndOwner()
{
    QFETCH(int, mode);

    makeNoteFolder();
    QVERIFY(writeBytes(NotePath, "bench 4\n"));
    const QByteArray name = QFile::encodeName(NotePath);
    if (geteuid() == 0)
        QCOMPARE(::chown(name.constData(), Nobody, Nobody), 0);
    QCOMPARE(::chmod(name.constData(), mode_t(mode)), 0);
    struct stat before = {};
    QCOMPARE(::stat(name.constData(), &before), 0);

    NoteFileSync notes;
    QCOMPARE(notes.sync(Serial, QString()), Note("bench 4"));
    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("bench 5")));
    QVERIFY(!notes.sync(Serial, QStringLiteral("bench 5")));
    QCOMPARE(readBytes(NotePath), QByteArray("bench 5\n"));

    struct stat after = {};
    QCOMPARE(::stat(name.constData(), &after), 0);
    QVERIFY(after.st_ino != before.st_ino);
    QCOMPARE(after.st_mode & 07777, mode_t(mode));
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
}

// Without a writable folder there is nowhere to write the new note aside; writing over
// the note itself would leave it empty, or half written if the write fails.
void TestNoteFileSync::noteInReadOnlyFolderNeverRewrittenInPlace()
{
    makeNoteFolder();
    QVERIFY(writeBytes(NotePath, "bench 4, left drawer\n"));
    QVERIFY(OrdinaryUser::handOver({QStringLiteral("serial_number"), NotePath}));
    OrdinaryUser user;
    if (!user.ready())
        QSKIP("cannot leave root here, and root writes into any folder");
    QVERIFY(QFile::setPermissions(QStringLiteral("serial_number"),
                                  QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    if (QFile(QStringLiteral("serial_number/probe")).open(QIODevice::WriteOnly))
        QSKIP("the folder's write protection does not hold here");

    NoteFileSync notes;
    QCOMPARE(notes.sync(Serial, QString()), Note("bench 4, left drawer"));
    QFile before(NotePath);
    QVERIFY(before.open(QIODevice::ReadOnly));
    QVERIFY(quietCalls(notes, 5, Serial, QStringLiteral("bench 4")));
    QVERIFY(!notes.sync(Serial, QStringLiteral("bench 4")));
    QCOMPARE(before.readAll(), QByteArray("bench 4, left drawer\n"));
    QCOMPARE(readBytes(NotePath), QByteArray("bench 4, left drawer\n"));
}

QTEST_GUILESS_MAIN(TestNoteFileSync)

#include "tst_notefilesync.moc"
