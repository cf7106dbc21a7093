#include "app/displayscaling.h"

#include <QCoreApplication>
#include <QGuiApplication>

void enableDisplayScaling()
{
    // Qt 6 always scales; in Qt 5 it is asked for.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
#endif
    // Fractional factors as the display gives them: rounding 1.25 down to 1 would cut the
    // texts again, rounding it up to 2 would not fit the window on the screen.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}
