#ifndef FRAMEDECODER_H
#define FRAMEDECODER_H

#include "measurement/measurement.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// Assembles the head's 16-byte frames ("KV73", sign, four digits, mode, six-character
// serial) from a byte stream fed one notification at a time.
class FrameDecoder
{
public:
    static constexpr int WindowSize = 32;
    static constexpr int FrameSize = 16;

    struct Frame {
        int value = 0;
        bool fixed = false;
        QString serial;
    };

    struct Step {
        bool markerSeen = false;
        std::optional<Frame> frame;
    };

    // Takes the first byte of one read; the rest of the read is dropped.
    Step feed(const QByteArray &read);

    int writePosition() const { return writePos; }

private:
    void store(char byte);
    Frame decode() const;
    void reset();

    std::array<char, WindowSize + 1> text{}; // the last slot stays zero: it ends the search text
    std::array<char, WindowSize> raw{};
    int writePos = 0;
};

#endif
