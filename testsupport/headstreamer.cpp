#include "testsupport/headstreamer.h"

#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"

#include <utility>

HeadStreamer::HeadStreamer(HeadSimulator &head, QByteArray serial)
{
    QObject::connect(&timer, &QTimer::timeout, [&head, serial = std::move(serial), this] {
        head.write(headFrame(++count, false, serial), 0);
    });
    timer.start(20);
}
