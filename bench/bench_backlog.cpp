// How fast a backlog reaches the broker: a table of 100,000 records that no broker has
// seen, sent by the recorder that ships to Debian's mosquitto on the loopback, timed from
// the recorder's start until what the broker acknowledged, kept beside the table, covers
// every record. The recorder is given a port with no head, so nothing is added meanwhile.
//
// usage: bench-backlog [records]   (default 100000)

#include "table/csvrecord.h"
#include "testsupport/headsimulator.h"
#include "testsupport/mosquittobroker.h"
#include "testsupport/namespacedrun.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace
{

constexpr int LimitMs = 120000;

qint64 acknowledged(const QString &mark)
{
    QFile file(mark);
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toLongLong() : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const long count = argc > 1 ? QByteArray(argv[1]).toLong() : 100000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: bench-backlog [records]\n");
        return 2;
    }
    if (!NamespacedRun::permitted() || !MosquittoBroker::available()) {
        std::fprintf(stderr, "bench-backlog: needs private mount namespaces and mosquitto\n");
        return 1;
    }
    QTemporaryDir folder;
    MosquittoBroker broker(folder.path(), {});
    QString error;
    if (!broker.start(error)) {
        std::fprintf(stderr, "bench-backlog: %s\n", qPrintable(error));
        return 1;
    }
    const QString table = folder.filePath(QStringLiteral("backlog.csv"));
    QFile file(table);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(csvHeader());
    CsvRecordMaker records;
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    for (long i = 0; i < count; ++i)
        file.write(records.record(
            {start + i * 17, QStringLiteral("000123"), int(i % 3001) - 1500, i % 40 == 39}));
    file.close();

    HeadSimulator silent;
    QElapsedTimer clock;
    clock.start();
    NamespacedRun recorder(QStringLiteral(HEAD_READOUT_LOG_PROGRAM),
                           {QStringLiteral("-p"), silent.slavePath(), QStringLiteral("-o"), table,
                            QStringLiteral("--quiet"), QStringLiteral("--mqtt"),
                            QStringLiteral("mqtt://127.0.0.1:%1/bench").arg(broker.port())},
                           {}, folder.path());
    const QString mark = table + QStringLiteral(".sent");
    while (acknowledged(mark) < count) {
        if (clock.elapsed() > LimitMs) {
            std::fprintf(stderr, "bench-backlog: %lld of %ld records acknowledged\n",
                         acknowledged(mark), count);
            return 1;
        }
        QThread::msleep(5);
    }
    const double seconds = double(clock.elapsed()) / 1000.0;
    recorder.process.terminate();
    recorder.process.waitForFinished(20000);
    std::printf("bench-backlog: %ld records acknowledged in %.2f s, %.0f records/s\n", count,
                seconds, double(count) / seconds);
    return 0;
}
