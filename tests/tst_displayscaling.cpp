// The window on a real X display whose dpi is set the way desktops set it (the Xft.dpi
// resource, given here in HEAD_READOUT_DPI): it is the 96 dpi window scaled as a whole,
// every text fits its label, the title shows whole on screen, and at 96 dpi nothing changes.
#include "app/displayscaling.h"
#include "app/widget.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace
{

constexpr int BaseDpi = 96;

int displayDpi()
{
    return qEnvironmentVariableIntValue("HEAD_READOUT_DPI");
}

// No port to search: the worker only waits, so nothing but this test changes the labels.
std::unique_ptr<Widget> shownWindow(QPoint at)
{
    auto window = std::make_unique<Widget>(nullptr, [] { return QStringList(); });
    // A caret or focus frame would depend on which window the X server gave focus to.
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setFocusPolicy(Qt::NoFocus);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->move(at);
    window->show();
    // The widest texts the running program shows.
    QMetaObject::invokeMethod(window.get(), "slot_com", Q_ARG(QString, QStringLiteral("ttyUSB0")));
    QMetaObject::invokeMethod(window.get(), "slot_newFixed", Q_ARG(int, -2559));
    QMetaObject::invokeMethod(window.get(), "slot_newLine", Q_ARG(int, 2559),
                              Q_ARG(QString, QStringLiteral("ABC123")));
    return window;
}

QImage onScreen(const Widget &window)
{
    return window.screen()->grabWindow(window.winId()).toImage();
}

bool ink(QRgb pixel)
{
    return qGray(pixel) < 128;
}

// Run as a separate process: the same window without display scaling, saved to path.
int saveUnscaledWindow(int argc, char *argv[], const QString &path)
{
    QApplication app(argc, argv);
    const auto window = shownWindow(QPoint(450, 0));
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;
    QTest::qWait(200);
    return onScreen(*window).save(path, "PNG") ? 0 : 1;
}

} // namespace

class TestDisplayScaling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void scaledByTheDisplaysFactor();
    void everyTextFitsItsLabel();
    void titleWholeOnScreen();
    void unchangedAt96Dpi();

private:
    QTemporaryDir workDir;
    QString previousDir;
    std::unique_ptr<Widget> window;
};

// The note step of the readings shown works on ./serial_number/, kept out of the way here.
void TestDisplayScaling::initTestCase()
{
    QVERIFY2(displayDpi() > 0, "run by the test driver, which sets HEAD_READOUT_DPI");
    QVERIFY(workDir.isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir.path()));
    window = shownWindow(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTest::qWait(200);
}

void TestDisplayScaling::cleanupTestCase()
{
    window.reset();
    QDir::setCurrent(previousDir);
}

void TestDisplayScaling::scaledByTheDisplaysFactor()
{
    const qreal factor = qreal(displayDpi()) / BaseDpi;
    QCOMPARE(window->devicePixelRatioF(), factor);
    QCOMPARE(window->size(), QSize(400, 300));
    QCOMPARE(window->logicalDpiY(), BaseDpi);
    QCOMPARE(onScreen(*window).size(), QSize(qRound(400 * factor), qRound(300 * factor)));
}

void TestDisplayScaling::everyTextFitsItsLabel()
{
    const QList<QLabel *> labels = window->findChildren<QLabel *>();
    QCOMPARE(labels.size(), 12);
    for (const QLabel *label : labels) {
        const QFontMetrics metrics(label->font());
        const QRect room = label->contentsRect();
        const QString what =
            label->objectName() + QStringLiteral(" \"") + label->text() + QLatin1Char('"');
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= room.width(), qPrintable(what));
        QVERIFY2(metrics.tightBoundingRect(label->text()).height() <= room.height(),
                 qPrintable(what));
    }
}

// Cut text touches the edges of its label; whole, centred text leaves a margin of
// background on both sides. The screenshot is kept beside the test.
void TestDisplayScaling::titleWholeOnScreen()
{
    const QImage shot = onScreen(*window);
    QVERIFY(shot.save(
        QStringLiteral(HEADREADOUT_ARTEFACT_DIR "/display-scaling-%1dpi.png").arg(displayDpi()),
        "PNG"));
    const auto *title = window->findChild<QLabel *>(QStringLiteral("label_title"));
    QVERIFY(title);
    const qreal factor = window->devicePixelRatioF();
    const int top = qRound(title->y() * factor);
    const int bottom = qMin(shot.height(), qRound((title->y() + title->height()) * factor));
    int first = shot.width();
    int last = -1;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (ink(shot.pixel(x, y))) {
                first = qMin(first, x);
                last = qMax(last, x);
            }
        }
    }
    QVERIFY2(last > first, "no title on screen");
    const int margin = qRound(2 * factor);
    QVERIFY2(first >= margin && last < shot.width() - margin,
             qPrintable(QStringLiteral("title ink from %1 to %2 of %3")
                            .arg(first)
                            .arg(last)
                            .arg(shot.width())));
}

void TestDisplayScaling::unchangedAt96Dpi()
{
    if (displayDpi() != BaseDpi)
        QSKIP("the unscaled window is compared at 96 dpi only");
    const QString path = workDir.filePath(QStringLiteral("unscaled.png"));
    QProcess unscaled;
    unscaled.setProcessChannelMode(QProcess::ForwardedChannels);
    unscaled.start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--unscaled-window"), path});
    QVERIFY(unscaled.waitForFinished(30000));
    QCOMPARE(unscaled.exitCode(), 0);
    const QImage expected(path);
    QVERIFY(!expected.isNull());
    const QImage shot = onScreen(*window);
    QCOMPARE(shot.size(), expected.size());
    QVERIFY(shot.convertToFormat(QImage::Format_RGB32) ==
            expected.convertToFormat(QImage::Format_RGB32));
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--unscaled-window") == 0)
        return saveUnscaledWindow(1, argv, QString::fromLocal8Bit(argv[2]));
    enableDisplayScaling();
    QApplication app(argc, argv);
    TestDisplayScaling test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_displayscaling.moc"
