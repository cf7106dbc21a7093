#ifndef HEADFRAME_H
#define HEADFRAME_H

#include <QByteArray>

// The head's 16-byte frame from its fields as they go on the wire: "KV73", the sign or
// range byte, four digits, the mode byte and the six-byte serial, none of them checked.
QByteArray headFrame(char sign, const QByteArray &digits, char mode, const QByteArray &serial);

// The frame of a reading in tenths of a micrometre, fixed or live. Readings beyond
// +-9999, and the sentinels +-2560, go out as the over- and under-range signs; the
// serial is cut or padded with blanks to six bytes.
QByteArray headFrame(int value, bool fixed = false, const QByteArray &serial = "ABC123");

#endif
