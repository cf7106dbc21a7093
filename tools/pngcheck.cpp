// Tells whether a PNG shows a window: the expected size, and not one flat colour (a
// blank or black screen). Prints what is wrong and exits 1 otherwise.

#include <QCoreApplication>
#include <QHash>
#include <QImage>
#include <QTextStream>

#include <utility>

namespace
{

// A drawn form has text and frames on its background; a screen that shows nothing has
// all but a few stray pixels in one colour.
constexpr double MinOtherColourShare = 0.005;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool widthOk = false;
    bool heightOk = false;
    const int width = args.value(2).toInt(&widthOk);
    const int height = args.value(3).toInt(&heightOk);
    QTextStream err(stderr);
    if (args.size() != 4 || !widthOk || !heightOk) {
        err << "usage: png-check FILE.png WIDTH HEIGHT\n";
        return 2;
    }
    const QImage image = QImage(args.at(1)).convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        err << "png-check: " << args.at(1) << " is no readable image\n";
        return 1;
    }
    if (image.width() != width || image.height() != height) {
        err << "png-check: " << args.at(1) << " is " << image.width() << "x" << image.height()
            << ", not the window's " << width << "x" << height << '\n';
        return 1;
    }
    QHash<QRgb, qint64> count;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            ++count[line[x]];
    }
    qint64 dominant = 0;
    for (const qint64 n : std::as_const(count))
        dominant = qMax(dominant, n);
    const qint64 pixels = qint64(width) * height;
    const double otherShare = double(pixels - dominant) / double(pixels);
    if (otherShare < MinOtherColourShare) {
        err << "png-check: " << args.at(1) << " is blank: " << count.size() << " colour(s), "
            << QString::number(otherShare * 100, 'f', 2) << " % of it off the main one\n";
        return 1;
    }
    QTextStream(stdout) << args.at(1) << ": " << width << "x" << height << ", " << count.size()
                        << " colours, " << QString::number(otherShare * 100, 'f', 1)
                        << " % off the background\n";
    return 0;
}
