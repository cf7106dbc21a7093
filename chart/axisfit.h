#ifndef AXISFIT_H
#define AXISFIT_H

#include "chart/chartsnamespace.h"

#include <QValueAxis>

// Widens the axis, in round numbers, to hold low to high, and narrows it only once they
// fill less than half of it: a new range lays the whole chart out anew, which costs more
// than drawing it.
void fitAxis(QValueAxis *axis, double low, double high);

#endif
