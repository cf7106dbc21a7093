#include "testsupport/headframe.h"

#include <cstdlib>

QByteArray headFrame(char sign, const QByteArray &digits, char mode, const QByteArray &serial)
{
    QByteArray bytes("KV73");
    bytes.append(sign);
    bytes.append(digits);
    bytes.append(mode);
    bytes.append(serial);
    return bytes;
}

QByteArray headFrame(int value, bool fixed, const QByteArray &serial)
{
    char sign = value == 0 ? '=' : value < 0 ? '-' : '+';
    int magnitude = std::abs(value);
    if (value == 2560 || value > 9999) {
        sign = '>';
        magnitude = 0;
    } else if (value == -2560 || value < -9999) {
        sign = '<';
        magnitude = 0;
    }
    return headFrame(sign, QByteArray::number(magnitude).rightJustified(4, '0'), fixed ? 'F' : ' ',
                     serial.leftJustified(6, ' ', true));
}
