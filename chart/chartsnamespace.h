#ifndef CHARTSNAMESPACE_H
#define CHARTSNAMESPACE_H

#include <QChart>

// The plotting classes are in a namespace of their own in Qt 5 and global in Qt 6.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_USE_NAMESPACE
#endif

#endif
