// libFuzzer target: arbitrary byte streams through FrameDecoder, one read per
// notification, with the decoder's invariants checked after every read and every
// result held against the plain restatement of the contract in testsupport/framedecodermodel.h.
// Any violation aborts.
//
// The input's first byte picks how the rest is read:
//   even: each byte is one read of that byte, as the serial port delivers them;
//   odd:  a little program, so that the fuzzer reaches whole frames quickly:
//     0xFA n    a read of 1 + n % 8 bytes, taken from the input that follows;
//     0xFB      an empty read;
//     0xFC s d0 d1 m   a well-formed frame, one byte per read: sign selector s,
//               digits from d0 d1, mode F if m is odd, serial from the next six bytes;
//     0xFD      the marker "KV73", one byte per read;
//     other     a read of that byte.

#include "acquisition/framedecoder.h"
#include "testsupport/framedecodermodel.h"
#include "testsupport/headframe.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void violation(const char *what, long read)
{
    std::fprintf(stderr, "fuzz-framedecoder: %s (read %ld)\n", what, read);
    std::abort();
}

class Checker
{
public:
    void feed(const QByteArray &read)
    {
        const FrameDecoder::Step got = decoder.feed(read);
        const FrameDecoderModel::Step want = model.feed(read);

        const int pos = decoder.writePosition();
        if (pos < 0 || pos > FrameDecoder::WindowSize)
            violation("write position outside 0..32", reads);
        if (got.frame) {
            if (!got.markerSeen)
                violation("frame reported without markerSeen", reads);
            if (got.frame->value < -9999 || got.frame->value > 9999)
                violation("value outside -9999..9999", reads);
            if (got.frame->serial.size() != 6)
                violation("serial not six characters", reads);
            if (pos != 0)
                violation("write position not 0 after a frame", reads);
        }
        if (read.isEmpty() && (got.markerSeen || got.frame || pos != previousPos))
            violation("empty read changed something", reads);

        if (got.markerSeen != want.markerSeen)
            violation("markerSeen differs from the contract", reads);
        if (bool(got.frame) != want.hasFrame)
            violation("frame differs from the contract", reads);
        if (pos != model.writePosition())
            violation("write position differs from the contract", reads);
        if (got.frame && (got.frame->value != want.value || got.frame->fixed != want.fixed ||
                          got.frame->serial != want.serial))
            violation("decoded frame differs from the contract", reads);

        previousPos = pos;
        ++reads;
    }

    void feedByte(uint8_t byte) { feed(QByteArray(1, char(byte))); }

private:
    FrameDecoder decoder;
    FrameDecoderModel model;
    int previousPos = 0;
    long reads = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    Checker checker;
    const bool program = data[0] & 1;
    size_t i = 1;
    auto next = [&](uint8_t fallback = 0) { return i < size ? data[i++] : fallback; };

    while (i < size) {
        const uint8_t op = data[i++];
        if (!program) {
            checker.feedByte(op);
            continue;
        }
        switch (op) {
        case 0xFA: {
            const size_t wanted = 1 + next() % 8;
            const size_t n = wanted < size - i ? wanted : size - i;
            if (n > 0)
                checker.feed(QByteArray(reinterpret_cast<const char *>(data + i), int(n)));
            i += n;
            break;
        }
        case 0xFB:
            checker.feed(QByteArray());
            break;
        case 0xFC: {
            static const char signs[] = {'+', '-', '=', '>', '<', ' '};
            const char sign = signs[next() % sizeof signs];
            const int high = next();
            const int digits = (high << 8 | next()) % 10000;
            const char mode = next() & 1 ? 'F' : ' ';
            QByteArray serial;
            for (int k = 0; k < 6; ++k)
                serial.append(char(next('0')));
            const QByteArray frame =
                headFrame(sign, QByteArray::number(digits).rightJustified(4, '0'), mode, serial);
            for (char byte : frame)
                checker.feedByte(uint8_t(byte));
            break;
        }
        case 0xFD:
            for (char byte : QByteArray("KV73"))
                checker.feedByte(uint8_t(byte));
            break;
        default:
            checker.feedByte(op);
            break;
        }
    }
    return 0;
}
