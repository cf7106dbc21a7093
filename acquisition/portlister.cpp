#include "acquisition/portlister.h"

#include <QSerialPortInfo>

QStringList systemPortLocations()
{
    QStringList locations;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        locations.append(info.systemLocation());
    return locations;
}
