#include "app/widget.h"
#include "display/valueformat.h"
#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"
#include "testsupport/simulatedwindow.h"
#include "ui_widget.h"

#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <climits>
#include <memory>

namespace
{

const QString Placeholder = QStringLiteral("   ?   ");
constexpr int AbsentPorts = 600;
const QString CourierNew = QStringLiteral("Courier New");

const char *const LabelNames[] = {"label_com", "label_i2_2", "label_i2_4", "label_i2",
                                  "label_i1",  "label_i2_3", "label_i2_5", "label_title",
                                  "label_sn",  "label_ver",  "label_i2_6", "label_sn_2"};

QStringList childNames(const QObject *parent)
{
    QStringList names;
    for (const QObject *child : parent->children())
        names << child->objectName();
    return names;
}

QMap<QString, QByteArray> filesUnder(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(dir).entryList(QDir::Files)) {
        QFile file(dir + QLatin1Char('/') + name);
        file.open(QIODevice::ReadOnly);
        files.insert(name, file.readAll());
    }
    return files;
}

} // namespace

class TestWidget : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase();

    void window();
    void formNamesOnlyAnUnnamedWindow_data();
    void formNamesOnlyAnUnnamedWindow();
    void creationOrder();
    void geometry_data();
    void geometry();
    void gridCells_data();
    void gridCells();
    void fonts_data();
    void fonts();
    void labelsCentred_data();
    void labelsCentred();
    void initialTexts_data();
    void initialTexts();
    void serialAndPortArePlainText_data();
    void serialAndPortArePlainText();
    void metaObject();
    void onlyAutomaticConnection();
    void typingChangesNothing();

    void formatValue_data();
    void formatValue();
    void newLine_data();
    void newLine();
    void newFixed_data();
    void newFixed();
    void com_data();
    void com();
    void stopQuitsTheApplication();

    void streamPortLabel();
    void streamFrames_data();
    void streamFrames();
    void screenshot();

private:
    std::unique_ptr<SimulatedWindow> idleWindow() const;
    void startStreaming();
    void writeAndWait(const QByteArray &frame, const QString &serial);

    std::unique_ptr<HeadSimulator> head;
    std::unique_ptr<SimulatedWindow> streamed;
};

void TestWidget::cleanupTestCase()
{
    streamed.reset();
    head.reset();
}

// Locations that never open, each probed for a second: a window built on them stays busy
// for the whole run and closes at once, without the worker's give-up pause.
std::unique_ptr<SimulatedWindow> TestWidget::idleWindow() const
{
    auto fixture = std::make_unique<SimulatedWindow>(QStringList(), AbsentPorts);
    if (!fixture->isReady())
        qFatal("no working folder for the window");
    return fixture;
}

void TestWidget::window()
{
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    QCOMPARE(w->objectName(), QStringLiteral("Widget"));
    QCOMPARE(w->size(), QSize(400, 300));
    QCOMPARE(w->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(w->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(w->minimumSize(), QSize(400, 300));
    QCOMPARE(w->maximumSize(), QSize(400, 300));
    QCOMPARE(w->windowTitle(), QStringLiteral("ИГЦ"));
    QCOMPARE(w->font().family(), CourierNew);
    QCOMPARE(w->font().pointSize(), 16);
    // 75 in Qt 5's scale of weights, 700 in Qt 6's.
    QCOMPARE(w->font().weight(), QFont::Bold);
    QVERIFY(w->font().bold());

    const auto *grid = w->findChild<QGridLayout *>(QStringLiteral("gridLayout"));
    QVERIFY(grid);
    QCOMPARE(grid->horizontalSpacing(), 6);
    QCOMPARE(grid->verticalSpacing(), 6);
    QCOMPARE(grid->contentsMargins(), QMargins(0, 0, 0, 0));

    const auto *edit = w->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    QVERIFY(edit);
    QVERIFY(edit->text().isEmpty());
    QVERIFY(edit->placeholderText().isEmpty());
}

void TestWidget::formNamesOnlyAnUnnamedWindow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unnamed") << QString() << QStringLiteral("Widget");
    QTest::newRow("named") << QStringLiteral("readout") << QStringLiteral("readout");
}

void TestWidget::formNamesOnlyAnUnnamedWindow()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QWidget host;
    host.setObjectName(name);
    Ui::Widget().setupUi(&host);
    QCOMPARE(host.objectName(), expected);
}

void TestWidget::creationOrder()
{
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    QCOMPARE(childNames(w), QStringList({"label_com", "layoutWidget", "label_title", "label_sn",
                                         "label_ver", "lineEdit", "label_i2_6", "label_sn_2"}));
    const auto *layoutWidget = w->findChild<QWidget *>(QStringLiteral("layoutWidget"));
    QVERIFY(layoutWidget);
    QCOMPARE(childNames(layoutWidget),
             QStringList({"gridLayout", "label_i2_2", "label_i2_4", "label_i2", "label_i1",
                          "label_i2_3", "label_i2_5"}));
    QVERIFY(qobject_cast<QGridLayout *>(layoutWidget->children().at(0)));
    QCOMPARE(layoutWidget->layout(), layoutWidget->children().at(0));
}

void TestWidget::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("label_com") << "label_com" << QByteArray("QLabel") << QRect(10, 270, 101, 21);
    QTest::newRow("layoutWidget") << "layoutWidget" << QByteArray("QWidget")
                                  << QRect(4, 110, 391, 151);
    QTest::newRow("label_title") << "label_title" << QByteArray("QLabel") << QRect(0, 10, 401, 21);
    QTest::newRow("label_sn") << "label_sn" << QByteArray("QLabel") << QRect(150, 271, 141, 20);
    QTest::newRow("label_ver") << "label_ver" << QByteArray("QLabel") << QRect(300, 271, 91, 20);
    QTest::newRow("lineEdit") << "lineEdit" << QByteArray("QLineEdit") << QRect(20, 40, 361, 41);
    QTest::newRow("label_i2_6") << "label_i2_6" << QByteArray("QLabel") << QRect(108, 91, 191, 21);
    QTest::newRow("label_sn_2") << "label_sn_2" << QByteArray("QLabel") << QRect(120, 270, 21, 21);
}

void TestWidget::geometry()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, className);
    QFETCH(QRect, rect);
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    const auto *child = w->findChild<QWidget *>(name);
    QVERIFY(child);
    QCOMPARE(QByteArray(child->metaObject()->className()), className);
    QCOMPARE(child->geometry(), rect);
}

void TestWidget::gridCells_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("current caption") << 0 << 0 << "label_i2_2"
                                     << "ТЕКУЩЕЕ";
    QTest::newRow("current value") << 0 << 1 << "label_i1" << Placeholder;
    QTest::newRow("current unit") << 0 << 2 << "label_i2_3"
                                  << "[мкм]";
    QTest::newRow("fixed caption") << 1 << 0 << "label_i2_4"
                                   << "ФИКСИРОВАННОЕ";
    QTest::newRow("fixed value") << 1 << 1 << "label_i2" << Placeholder;
    QTest::newRow("fixed unit") << 1 << 2 << "label_i2_5"
                                << "[мкм]";
}

void TestWidget::gridCells()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, name);
    QFETCH(QString, text);
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    const auto *grid = w->findChild<QGridLayout *>(QStringLiteral("gridLayout"));
    QVERIFY(grid);
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->columnCount(), 3);
    QLayoutItem *item = grid->itemAtPosition(row, column);
    QVERIFY(item);
    const auto *label = qobject_cast<QLabel *>(item->widget());
    QVERIFY(label);
    QCOMPARE(label->objectName(), name);
    QCOMPARE(label->text(), text);
}

void TestWidget::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("weight");
    QTest::addColumn<bool>("ownFamily");
    for (const char *name : {"label_com", "label_sn", "label_sn_2"})
        QTest::newRow(name) << name << 8 << int(QFont::Normal) << false;
    QTest::newRow("label_ver") << "label_ver" << 8 << int(QFont::Normal) << true;
    for (const char *name : {"label_title", "label_i2_6", "lineEdit", "label_i2_2", "label_i1",
                             "label_i2_3", "label_i2_4", "label_i2", "label_i2_5"})
        QTest::newRow(name) << name << 16 << int(QFont::Bold) << false;
}

// A child's resolved font reports the family it inherits as set, so which labels name
// their own family shows only when the window's family changes under them.
void TestWidget::fonts()
{
    QFETCH(QString, name);
    QFETCH(int, pointSize);
    QFETCH(int, weight);
    QFETCH(bool, ownFamily);
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    const auto *child = w->findChild<QWidget *>(name);
    QVERIFY(child);
    QCOMPARE(child->font().family(), CourierNew);
    QCOMPARE(child->font().pointSize(), pointSize);
    QCOMPARE(int(child->font().weight()), weight);
    QCOMPARE(child->font().bold(), weight == QFont::Bold);
    QCOMPARE(child->testAttribute(Qt::WA_SetFont), pointSize == 8);

    QFont other = w->font();
    other.setFamily(QStringLiteral("Liberation Sans"));
    w->setFont(other);
    QCOMPARE(child->font().family(), ownFamily ? CourierNew : QStringLiteral("Liberation Sans"));
    QCOMPARE(child->font().pointSize(), pointSize);
}

void TestWidget::labelsCentred_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : LabelNames)
        QTest::newRow(name) << name;
}

void TestWidget::labelsCentred()
{
    QFETCH(QString, name);
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    const auto *label = w->findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->alignment(), Qt::AlignCenter);
}

void TestWidget::initialTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("label_com") << "label_com"
                               << "Порт: COM ?";
    QTest::newRow("label_title") << "label_title"
                                 << "ИЗМЕРИТЕЛЬНАЯ ЦИФРОВАЯ ГОЛОВКА";
    QTest::newRow("label_sn") << "label_sn"
                              << "?";
    QTest::newRow("label_ver") << "label_ver"
                               << "Версия 1912";
    QTest::newRow("label_i2_6") << "label_i2_6"
                                << "ИЗМЕРЕНИЕ";
    QTest::newRow("label_sn_2") << "label_sn_2"
                                << "ID";
    QTest::newRow("label_i1") << "label_i1" << Placeholder;
    QTest::newRow("label_i2") << "label_i2" << Placeholder;
}

// Read before any event is processed: the worker's first port report is still queued.
void TestWidget::initialTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    const auto fixture = idleWindow();
    QCOMPARE(fixture->labelText(name.toLatin1().constData()), text);
}

void TestWidget::serialAndPortArePlainText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Qt::TextFormat>("format");
    QTest::newRow("label_sn") << "label_sn" << Qt::PlainText;
    QTest::newRow("label_com") << "label_com" << Qt::PlainText;
}

void TestWidget::serialAndPortArePlainText()
{
    QFETCH(QString, name);
    QFETCH(Qt::TextFormat, format);
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    const auto *label = w->findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->textFormat(), format);
}

void TestWidget::metaObject()
{
    const QMetaObject &meta = Widget::staticMetaObject;
    QCOMPARE(QByteArray(meta.className()), QByteArray("Widget"));
    QCOMPARE(meta.superClass(), &QWidget::staticMetaObject);
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());

    QList<QByteArray> own;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        QCOMPARE(meta.method(i).methodType(), QMetaMethod::Slot);
        own << meta.method(i).methodSignature();
    }
    QCOMPARE(own, QList<QByteArray>({"slot_newLine(int,QString)", "slot_newFixed(int)",
                                     "slot_com(QString)", "slot_stop()",
                                     "on_lineEdit_textEdited(QString)"}));
}

// A disconnect succeeds only where a connection was: after the one by name, nothing of
// the form reaches the window.
void TestWidget::onlyAutomaticConnection()
{
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    auto *edit = w->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    QVERIFY(edit);
    QVERIFY(QObject::disconnect(edit, SIGNAL(textEdited(QString)), w,
                                SLOT(on_lineEdit_textEdited(QString))));
    QVERIFY(!QObject::disconnect(edit, SIGNAL(textEdited(QString)), nullptr, nullptr));
    for (QObject *child : w->findChildren<QObject *>())
        QVERIFY2(!QObject::disconnect(child, nullptr, w, nullptr), qPrintable(child->objectName()));
}

void TestWidget::typingChangesNothing()
{
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    QVERIFY(QDir().mkpath(QStringLiteral("serial_number")));
    QFile note(QStringLiteral("serial_number/NOTE01.txt"));
    QVERIFY(note.open(QIODevice::WriteOnly));
    note.write("kept\n");
    note.close();
    QVERIFY(QMetaObject::invokeMethod(w, "slot_newLine", Qt::DirectConnection, Q_ARG(int, 5),
                                      Q_ARG(QString, QStringLiteral("NOTE01"))));

    // label_com follows the worker's probing, which goes on meanwhile.
    QStringList before;
    for (const char *name : LabelNames)
        if (qstrcmp(name, "label_com") != 0)
            before << fixture->labelText(name);
    const auto files = filesUnder(QStringLiteral("serial_number"));
    QVERIFY(files.contains(QStringLiteral("NOTE01.txt")));

    auto *edit = w->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    QVERIFY(edit);
    const QString previous = edit->text();
    QSignalSpy edited(edit, &QLineEdit::textEdited);
    QTest::keyClicks(edit, QStringLiteral("typed"));
    QCOMPARE(edited.count(), 5);
    QCOMPARE(edit->text(), previous + QStringLiteral("typed"));

    QStringList after;
    for (const char *name : LabelNames)
        if (qstrcmp(name, "label_com") != 0)
            after << fixture->labelText(name);
    QCOMPARE(after, before);
    QCOMPARE(filesUnder(QStringLiteral("serial_number")), files);
    QVERIFY(QDir(QStringLiteral("serial_number")).removeRecursively());
}

void TestWidget::formatValue_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << "0.0";
    QTest::newRow("tenth") << 1 << "+0.1";
    QTest::newRow("half") << 5 << "+0.5";
    QTest::newRow("negative tenths") << -7 << "-0.7";
    QTest::newRow("one") << 10 << "+1.0";
    QTest::newRow("minus one") << -10 << "-1.0";
    QTest::newRow("hundreds") << 1234 << "+123.4";
    QTest::newRow("minus hundreds") << -1234 << "-123.4";
    QTest::newRow("largest") << 2559 << "+255.9";
    QTest::newRow("over range") << 2560 << "+^^^.^";
    QTest::newRow("INT_MAX") << INT_MAX << "+^^^.^";
    QTest::newRow("smallest") << -2559 << "-255.9";
    QTest::newRow("under range") << -2560 << "-vvv.v";
    QTest::newRow("INT_MIN") << INT_MIN << "-vvv.v";
}

void TestWidget::formatValue()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(::formatValue(value), text);
}

void TestWidget::newLine_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("current");
    QTest::newRow("reading") << 1234 << "000123"
                             << "+123.4";
    QTest::newRow("zero") << 0 << "ABC123"
                          << "0.0";
    QTest::newRow("over range") << 2560 << "000123"
                                << "+^^^.^";
    QTest::newRow("under range") << -2560 << "000123"
                                 << "-vvv.v";
    QTest::newRow("markup serial") << -7 << "<b>123"
                                   << "-0.7";
    QTest::newRow("empty serial") << 5 << ""
                                  << "+0.5";
}

void TestWidget::newLine()
{
    QFETCH(int, value);
    QFETCH(QString, serial);
    QFETCH(QString, current);
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    QVERIFY(QMetaObject::invokeMethod(w, "slot_newLine", Qt::DirectConnection, Q_ARG(int, value),
                                      Q_ARG(QString, serial)));
    QCOMPARE(fixture->labelText("label_i1"), current);
    QCOMPARE(fixture->labelText("label_sn"), serial);
    QCOMPARE(fixture->labelText("label_i2"), Placeholder);
}

void TestWidget::newFixed_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("fixed");
    QTest::newRow("reading") << -1234 << "-123.4";
    QTest::newRow("zero") << 0 << "0.0";
    QTest::newRow("over range") << INT_MAX << "+^^^.^";
    QTest::newRow("under range") << -2560 << "-vvv.v";
}

void TestWidget::newFixed()
{
    QFETCH(int, value);
    QFETCH(QString, fixed);
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    QVERIFY(QMetaObject::invokeMethod(w, "slot_newFixed", Qt::DirectConnection, Q_ARG(int, value)));
    QCOMPARE(fixture->labelText("label_i2"), fixed);
    QCOMPARE(fixture->labelText("label_i1"), Placeholder);
    QCOMPARE(fixture->labelText("label_sn"), QStringLiteral("?"));
}

void TestWidget::com_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("shown");
    QTest::newRow("pty") << "/dev/pts/7"
                         << "порт: /dev/pts/7";
    QTest::newRow("name") << "COM3"
                          << "порт: COM3";
    QTest::newRow("empty") << ""
                           << "порт: ";
}

void TestWidget::com()
{
    QFETCH(QString, port);
    QFETCH(QString, shown);
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    QVERIFY(QMetaObject::invokeMethod(w, "slot_com", Qt::DirectConnection, Q_ARG(QString, port)));
    QCOMPARE(fixture->labelText("label_com"), shown);
}

// Run inside the application's own loop: a quit outside it would stop every later loop.
void TestWidget::stopQuitsTheApplication()
{
    const auto fixture = idleWindow();
    Widget *const w = &fixture->window();
    QSignalSpy aboutToQuit(qApp, &QCoreApplication::aboutToQuit);
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    guard.start(5000);
    QTimer::singleShot(0, w, [w] { QMetaObject::invokeMethod(w, "slot_stop"); });
    QCOMPARE(QCoreApplication::exec(), 0);
    guard.stop();
    QCOMPARE(aboutToQuit.count(), 1);
}

// One window for every frame-feeding test: the frame decoder's state belongs to the process.
void TestWidget::startStreaming()
{
    if (streamed)
        return;
    head = std::make_unique<HeadSimulator>();
    QVERIFY(head->isOpen());
    streamed = std::make_unique<SimulatedWindow>(QStringList{head->slavePath()}, AbsentPorts);
    QVERIFY(streamed->isReady());

    // Frames must follow within the worker's one-second probe, whatever the label says.
    QTRY_VERIFY(streamed->labelText("label_com") != QStringLiteral("Порт: COM ?"));
    // The terminal's short name: its path without the device folder.
    const QString shown = streamed->labelText("label_com");
    QVERIFY2(shown.startsWith(QStringLiteral("порт: pts/")), qPrintable(shown));
    QCOMPARE(QStringLiteral("/dev/") + shown.mid(6), head->slavePath());
}

void TestWidget::writeAndWait(const QByteArray &frame, const QString &serial)
{
    QVERIFY(head->write(frame));
    QTRY_COMPARE(streamed->labelText("label_sn"), serial);
}

void TestWidget::streamPortLabel()
{
    startStreaming();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!head->slavePath().isEmpty());
    QCOMPARE(streamed->labelText("label_i1"), Placeholder);
    QCOMPARE(streamed->labelText("label_sn"), QStringLiteral("?"));
}

void TestWidget::streamFrames_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("shownFixed");
    const QString kept = QStringLiteral("-0.1");
    QTest::newRow("current") << 1234 << false << QByteArray("000777") << "+123.4" << kept;
    QTest::newRow("negative") << -7 << false << QByteArray("000778") << "-0.7" << kept;
    QTest::newRow("zero") << 0 << false << QByteArray("000779") << "0.0" << kept;
    QTest::newRow("fixed") << -56 << true << QByteArray("000780") << "-5.6"
                           << "-5.6";
    QTest::newRow("largest") << 2559 << false << QByteArray("000781") << "+255.9" << kept;
    QTest::newRow("smallest") << -2559 << false << QByteArray("000782") << "-255.9" << kept;
    QTest::newRow("over-range sign") << 2560 << false << QByteArray("000783") << "+^^^.^" << kept;
    QTest::newRow("over-range digits") << 3000 << false << QByteArray("000784") << "+^^^.^" << kept;
    QTest::newRow("under-range sign") << -2560 << false << QByteArray("000785") << "-vvv.v" << kept;
    QTest::newRow("under-range digits")
        << -9999 << false << QByteArray("000786") << "-vvv.v" << kept;
    QTest::newRow("fixed over range") << 2560 << true << QByteArray("000787") << "+^^^.^"
                                      << "+^^^.^";
    QTest::newRow("fixed under range") << -2560 << true << QByteArray("000788") << "-vvv.v"
                                       << "-vvv.v";
    QTest::newRow("markup serial") << 5 << false << QByteArray("<b>123") << "+0.5" << kept;
    QTest::newRow("short serial") << 42 << false << QByteArray("42    ") << "+4.2" << kept;
}

// Each row starts from a known fixed reading, so that it shows whether its own frame
// moved the fixed label.
void TestWidget::streamFrames()
{
    QFETCH(int, value);
    QFETCH(bool, fixed);
    QFETCH(QByteArray, serial);
    QFETCH(QString, current);
    QFETCH(QString, shownFixed);
    startStreaming();
    if (QTest::currentTestFailed())
        return;

    writeAndWait(headFrame(-1, true, "SETUP0"), QStringLiteral("SETUP0"));
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(streamed->labelText("label_i1"), QStringLiteral("-0.1"));
    QCOMPARE(streamed->labelText("label_i2"), QStringLiteral("-0.1"));

    writeAndWait(headFrame(value, fixed, serial), QString::fromLatin1(serial));
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(streamed->labelText("label_i1"), current);
    QCOMPARE(streamed->labelText("label_i2"), shownFixed);
}

void TestWidget::screenshot()
{
    startStreaming();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(head->write(headFrame(1234, true, "000123")));
    QTRY_COMPARE(streamed->labelText("label_i2"), QStringLiteral("+123.4"));
    QVERIFY(head->write(headFrame(1250, false, "000123")));
    QTRY_COMPARE(streamed->labelText("label_i1"), QStringLiteral("+125.0"));
    QCOMPARE(streamed->labelText("label_sn"), QStringLiteral("000123"));

    streamed->window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&streamed->window()));
    const QImage shot = streamed->window().grab().toImage();
    QVERIFY(!shot.isNull());
    QCOMPARE(shot.size(), QSize(400, 300));
    const QString path = QStringLiteral(HEADREADOUT_ARTEFACT_DIR "/tst_widget.png");
    QVERIFY2(shot.save(path, "PNG"), qPrintable(path));
}

QTEST_MAIN(TestWidget)
#include "tst_widget.moc"
