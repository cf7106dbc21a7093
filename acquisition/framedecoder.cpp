#include "acquisition/framedecoder.h"

#include <QLatin1String>
#include <QRegExp>

#include <cstring>

namespace
{

const char Marker[] = "KV73";
constexpr int MarkerSize = 4;

char printable(char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    return code >= 0x20 && code <= 0x7e ? byte : '?';
}

int digitValue(char byte)
{
    return byte >= '0' && byte <= '9' ? byte - '0' : 0;
}

} // namespace

FrameDecoder::Step FrameDecoder::feed(const QByteArray &read)
{
    Step step;
    if (read.isEmpty())
        return step;

    store(read.at(0));

    const QString searchText = QString::fromLatin1(text.data());
    QRegExp marker(QLatin1String(Marker), Qt::CaseSensitive, QRegExp::RegExp);
    const int at = marker.indexIn(searchText, 0);
    if (at < 0)
        return step;

    step.markerSeen = true;
    if (at + MarkerSize == writePos) {
        writePos = MarkerSize;
        std::memcpy(text.data(), Marker, MarkerSize);
        std::memcpy(raw.data(), Marker, MarkerSize);
    } else if (at == 0 && writePos == FrameSize) {
        step.frame = decode();
        reset();
    }
    return step;
}

void FrameDecoder::store(char byte)
{
    // A full window slides by one byte, so that a marker completing after a run of
    // foreign bytes still ends at the write position and realigns the window.
    if (writePos == WindowSize) {
        std::memmove(text.data(), text.data() + 1, WindowSize - 1);
        std::memmove(raw.data(), raw.data() + 1, WindowSize - 1);
        --writePos;
    }
    raw[writePos] = byte;
    text[writePos] = printable(byte);
    ++writePos;
}

FrameDecoder::Frame FrameDecoder::decode() const
{
    const int magnitude = digitValue(raw[5]) * 1000 + digitValue(raw[6]) * 100 +
                          digitValue(raw[7]) * 10 + digitValue(raw[8]);
    Frame frame;
    switch (raw[4]) {
    case '=':
        frame.value = 0;
        break;
    case '-':
        frame.value = -magnitude;
        break;
    case '>':
        frame.value = Measurement::OverRange;
        break;
    case '<':
        frame.value = Measurement::UnderRange;
        break;
    default:
        frame.value = magnitude;
        break;
    }
    frame.fixed = raw[9] == 'F';
    frame.serial.reserve(6);
    for (int slot = 10; slot < FrameSize; ++slot) {
        // Bytes from 0x80 up are widened as signed, as the head's serial has always been read.
        const auto code =
            static_cast<char16_t>(static_cast<qint16>(static_cast<signed char>(raw[slot])));
        frame.serial.append(QChar(code));
    }
    return frame;
}

void FrameDecoder::reset()
{
    writePos = 0;
    std::memset(text.data(), '*', MarkerSize);
    std::memset(raw.data(), '*', MarkerSize);
    std::memset(text.data() + MarkerSize, 0, FrameSize - MarkerSize);
    std::memset(raw.data() + MarkerSize, 0, FrameSize - MarkerSize);
}
