#ifndef FRAMEDECODERMODEL_H
#define FRAMEDECODERMODEL_H

#include <QByteArray>
#include <QString>

#include <string>

// The frame decoder's contract restated as plainly as possible, for the unit tests and
// the fuzz target to hold the real FrameDecoder against. It shares no code with the
// decoder: the windows are std::strings, the marker search is std::string::find.
class FrameDecoderModel
{
public:
    struct Step {
        bool markerSeen = false;
        bool hasFrame = false;
        int value = 0;
        bool fixed = false;
        QString serial;
    };

    Step feed(const QByteArray &read)
    {
        Step step;
        if (read.isEmpty())
            return step;
        const char byte = read.at(0);
        const char shown =
            (static_cast<unsigned char>(byte) >= 0x20 && static_cast<unsigned char>(byte) <= 0x7e)
                ? byte
                : '?';
        if (pos == 32) { // full: the oldest byte goes, the new one lands in slot 31
            raw.erase(0, 1);
            text.erase(0, 1);
            raw.push_back(byte);
            text.push_back(shown);
        } else {
            raw[pos] = byte;
            text[pos] = shown;
            ++pos;
        }

        const std::string searched = text.substr(0, text.find('\0'));
        const std::string::size_type at = searched.find("KV73");
        if (at == std::string::npos)
            return step;
        step.markerSeen = true;
        if (int(at) + 4 == pos) {
            pos = 4;
            raw.replace(0, 4, "KV73");
            text.replace(0, 4, "KV73");
        } else if (at == 0 && pos == 16) {
            decode(step);
            pos = 0;
            raw.replace(0, 4, "****");
            text.replace(0, 4, "****");
            raw.replace(4, 12, std::string(12, '\0'));
            text.replace(4, 12, std::string(12, '\0'));
        }
        return step;
    }

    int writePosition() const { return pos; }

private:
    void decode(Step &step) const
    {
        auto digit = [this](int slot) {
            const char c = raw[std::string::size_type(slot)];
            return c >= '0' && c <= '9' ? c - '0' : 0;
        };
        const int magnitude = digit(5) * 1000 + digit(6) * 100 + digit(7) * 10 + digit(8);
        step.hasFrame = true;
        // The range signs stand for their sentinels whatever the digits; "=" is zero,
        // "-" negative and any other byte positive.
        const char sign = raw[4];
        if (sign == '>' || sign == '<')
            step.value = sign == '>' ? 2560 : -2560;
        else
            step.value = sign == '=' ? 0 : sign == '-' ? -magnitude : magnitude;
        step.fixed = raw[9] == 'F';
        for (int slot = 10; slot < 16; ++slot) {
            const auto code = static_cast<unsigned char>(raw[std::string::size_type(slot)]);
            step.serial.append(QChar(code < 0x80 ? ushort(code) : ushort(0xff00 | code)));
        }
    }

    std::string raw = std::string(32, '\0');
    std::string text = std::string(32, '\0'); // no terminator slot needed: find stops at the end
    int pos = 0;
};

#endif
