#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: screen-grab FILE.png\n";
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(args.at(1), "PNG")) {
        QTextStream(stderr) << "screen-grab: could not save " << args.at(1) << '\n';
        return 1;
    }
    return 0;
}
