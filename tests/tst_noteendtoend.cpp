#include "app/widget.h"
#include "testsupport/filebytes.h"
#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace
{

// Streams the head's frames until done() holds. The worker opens the terminal a while
// after the window is built, so the first frames may go unread.
bool feedUntil(HeadSimulator &head, const std::function<bool()> &done, int value = 1234,
               int timeoutMs = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.hasExpired(timeoutMs))
            return false;
        head.write(headFrame(value, false, "ABC123"), 100);
        QTest::qWait(20);
    }
    return true;
}

} // namespace

// The window, its worker and a head on a pseudo-terminal: the note in the head's file
// reaches the field, and what is typed there reaches the file.
class TestNoteEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void noteLoadedEditSavedAndFolderLossSurvived();
};

void TestNoteEndToEnd::noteLoadedEditSavedAndFolderLossSurvived()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString startDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const auto restoreDir = qScopeGuard([&startDir] { QDir::setCurrent(startDir); });

    const QString notePath = QStringLiteral("serial_number/ABC123.txt");
    QVERIFY(QDir().mkdir(QStringLiteral("serial_number")));
    {
        QFile note(notePath);
        QVERIFY(note.open(QIODevice::WriteOnly));
        QCOMPARE(note.write("bench 4\n"), qint64(8));
    }

    HeadSimulator head;
    QVERIFY(head.isOpen());
    const QString port = head.slavePath();
    Widget w(nullptr, [port] { return QStringList{port}; });
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    auto *edit = w.findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    auto *com = w.findChild<QLabel *>(QStringLiteral("label_com"));
    auto *serial = w.findChild<QLabel *>(QStringLiteral("label_sn"));
    QVERIFY(edit && com && serial);
    QTRY_VERIFY(com->text().startsWith(QStringLiteral("порт: ")));

    QVERIFY(feedUntil(head, [edit] { return edit->text() == QLatin1String("bench 4"); }));
    QCOMPARE(edit->text(), QStringLiteral("bench 4"));
    QCOMPARE(serial->text(), QStringLiteral("ABC123"));
    QCOMPARE(readBytes(notePath), QByteArray("bench 4\n"));

    QTest::keyClicks(edit, QStringLiteral(", left drawer"));
    QCOMPARE(edit->text(), QStringLiteral("bench 4, left drawer"));
    QVERIFY(feedUntil(
        head, [&notePath] { return readBytes(notePath) == QByteArray("bench 4, left drawer\n"); }));
    QCOMPARE(readBytes(notePath), QByteArray("bench 4, left drawer\n"));

    // The folder taken away while the head streams: readings go on, nothing is written
    // and nothing is created.
    QVERIFY(QDir(QStringLiteral("serial_number")).removeRecursively());
    auto *current = w.findChild<QLabel *>(QStringLiteral("label_i1"));
    QVERIFY(current);
    QVERIFY(feedUntil(
        head, [current] { return current->text() == QLatin1String("+77.7"); }, 777));
    int frames = 0;
    QVERIFY(feedUntil(
        head, [&frames] { return ++frames > 13; }, 778));
    QTRY_COMPARE(current->text(), QStringLiteral("+77.8"));
    QVERIFY(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    QCOMPARE(edit->text(), QStringLiteral("bench 4, left drawer"));

    // Put back, empty: the note in the field is written again.
    QVERIFY(QDir().mkdir(QStringLiteral("serial_number")));
    QVERIFY(feedUntil(
        head, [&notePath] { return readBytes(notePath) == QByteArray("bench 4, left drawer\n"); }));
}

QTEST_MAIN(TestNoteEndToEnd)

#include "tst_noteendtoend.moc"
