#ifndef FRAMEFLOOD_H
#define FRAMEFLOOD_H

#include <QtGlobal>

class HeadSimulator;
class QWidget;

struct FloodResult {
    long shown = 0; // frames that reached the window
    bool writeFailed = false;
    double seconds = 0;
    long residentKiBAtTenth = -1; // once a tenth of the frames was shown
    long residentKiBAtEnd = -1;
};

// The value of the flood's frame i: the values cycle through the display range.
int floodValue(long i);

// Writes frames into the head as fast as its terminal takes them, from a thread of their
// own, while this thread runs the window's events until every frame has reached the
// window or the time is up. Each live frame reaches it as one queued call of the worker's,
// so the window must already show the head's port: no other call may be under way.
FloodResult floodFrames(HeadSimulator &head, QWidget &window, long frames, qint64 timeLimitMs);

#endif
