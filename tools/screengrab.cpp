// Saves one window of the current X display, or the whole screen, as a PNG.

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = args.size() == 2;
    WId window = 0;
    if (args.size() == 4 && args.at(1) == QLatin1String("--window"))
        window = args.at(2).toULongLong(&ok, 0);
    if (!ok) {
        QTextStream(stderr) << "usage: screen-grab [--window ID] FILE.png\n";
        return 2;
    }
    const QString &file = args.last();
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(window).save(file, "PNG")) {
        QTextStream(stderr) << "screen-grab: could not save " << file << '\n';
        return 1;
    }
    return 0;
}
