#include "testsupport/processprobe.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <fstream>
#include <string>

#include <sys/resource.h>

long residentKiB(qint64 pid)
{
    std::ifstream status(pid > 0 ? "/proc/" + std::to_string(pid) + "/status"
                                 : std::string("/proc/self/status"));
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The command name may hold spaces; the fields after it do not. utime and stime are
    // the 12th and 13th of those.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : -1;
}

double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool qThreadSleeps(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &thread : threads) {
        const QString task = tasks + QLatin1Char('/') + thread;
        QFile name(task + QStringLiteral("/comm"));
        QFile wchan(task + QStringLiteral("/wchan"));
        // Only Qt's own threads: a sanitizer's helper thread sleeps all the time.
        if (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "QThread" &&
            wchan.open(QIODevice::ReadOnly) && wchan.readAll().contains("nanosleep"))
            return true;
    }
    return false;
}
