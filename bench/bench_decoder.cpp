// Decoder throughput: a long stream of frames fed one byte per read, as the serial port
// delivers them, through the same FrameDecoder the readout ships, against the head's line
// rate of 960 bytes/s (9600 baud, ten bits a byte).
//
// usage: bench-decoder [frames]   (default 300000; stops early after 8 s of feeding)

#include "acquisition/framedecoder.h"
#include "testsupport/headframe.h"
#include "testsupport/headsimulator.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

namespace
{

constexpr qint64 TimeBudgetMs = 8000;

} // namespace

int main(int argc, char *argv[])
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 300000;
    if (frames <= 0) {
        std::fprintf(stderr, "usage: bench-decoder [frames]\n");
        return 2;
    }

    QByteArray stream;
    stream.reserve(frames * FrameDecoder::FrameSize);
    qint64 expectedSum = 0;
    for (int i = 0; i < frames; ++i) {
        const int value = (i * 7919) % 19999 - 9999;
        stream +=
            headFrame(value, i % 3 == 0, QByteArray::number(i % 1000000).rightJustified(6, '0'));
        expectedSum += value;
    }

    FrameDecoder decoder;
    qint64 decoded = 0;
    qint64 sum = 0;
    qint64 fed = 0;
    const char *const bytes = stream.constData();
    QElapsedTimer clock;
    clock.start();
    for (int start = 0; start < stream.size(); start += 4096) {
        const int end = qMin(start + 4096, stream.size());
        for (int i = start; i < end; ++i) {
            // One read of one byte; fromRawData wraps it without copying.
            const FrameDecoder::Step step = decoder.feed(QByteArray::fromRawData(bytes + i, 1));
            if (step.frame) {
                ++decoded;
                sum += step.frame->value;
            }
        }
        fed = end;
        if (clock.elapsed() > TimeBudgetMs)
            break;
    }
    const qint64 ns = qMax<qint64>(clock.nsecsElapsed(), 1);

    const qint64 fedFrames = fed / FrameDecoder::FrameSize;
    if (decoded != fedFrames || (fed == stream.size() && sum != expectedSum)) {
        std::fprintf(stderr, "bench-decoder: decoded %lld of %lld frames wrongly\n",
                     static_cast<long long>(decoded), static_cast<long long>(fedFrames));
        return 1;
    }

    const double seconds = double(ns) / 1e9;
    const double rate = double(fed) / seconds;
    std::printf("bench-decoder: %lld bytes (%lld frames) one byte per read in %.3f s: "
                "%.0f bytes/s, %.0f ns per byte\n",
                static_cast<long long>(fed), static_cast<long long>(decoded), seconds, rate,
                double(ns) / double(fed));
    std::printf("bench-decoder: %.0fx the line rate of %.0f bytes/s\n",
                rate / HeadSimulator::LineRateBytesPerSecond,
                double(HeadSimulator::LineRateBytesPerSecond));
    return 0;
}
