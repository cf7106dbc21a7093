#ifndef HEADSTREAMER_H
#define HEADSTREAMER_H

#include <QByteArray>
#include <QTimer>

class HeadSimulator;

// A head that keeps talking: one whole frame every 20 ms, its reading counting up from 1,
// whether or not anybody reads it yet.
class HeadStreamer
{
public:
    explicit HeadStreamer(HeadSimulator &head, QByteArray serial = QByteArrayLiteral("HD0042"));

    QTimer timer;
    int count = 0;
};

#endif
