#ifndef SUMMARYJSON_H
#define SUMMARYJSON_H

#include <QByteArray>

class RunningStatistics;
class ToleranceLimits;

// The statistics as one JSON object on one line, for scripts: each figure at full double
// precision, in the shortest text that reads back as the same double, and null where
// it is undefined.
QByteArray summaryJson(const RunningStatistics &statistics, const ToleranceLimits &limits);

#endif
