#include "app/displayscaling.h"

#include <QCoreApplication>
#include <QGuiApplication>

void enableDisplayScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    // Fractional factors as the display gives them: rounding 1.25 down to 1 would cut the
    // texts again, rounding it up to 2 would not fit the window on the screen.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}
