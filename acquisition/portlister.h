#ifndef PORTLISTER_H
#define PORTLISTER_H

#include <QStringList>

#include <functional>

// Answers the system locations of the serial ports to try, in order. The program
// asks the system; tests and the demo hand in their own pseudo-terminals.
using PortLister = std::function<QStringList()>;

QStringList systemPortLocations();

#endif
