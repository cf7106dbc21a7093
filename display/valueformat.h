#ifndef VALUEFORMAT_H
#define VALUEFORMAT_H

#include <QString>

// Text of a reading in tenths of a micrometre: micrometres with one decimal and an
// explicit sign, or the over-range and under-range texts beyond +-255.9.
QString formatValue(int value);

#endif
