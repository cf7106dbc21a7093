// The table reader against good, torn and hostile tables.
#include "table/tablereader.h"
#include "testsupport/filebytes.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

namespace
{

const QByteArray Header("time,serial,reading_um,held\n");
const QByteArray First("2026-12-07T14:03:12.345+01:00,ABC123,123.4,0\n");
const QByteArray Quoted("2026-12-07T14:03:12.400-03:30,\"A\"\"B,1 \",over,1\n");
const QByteArray Last("2026-12-08T00:00:00.000+00:00,\xef\xbf\xbd"
                      "BC123,-0.7,1\n");

} // namespace

class TestTable : public QObject
{
    Q_OBJECT

private slots:
    void readsWholeRecordsOrSaysWhere_data();
    void readsWholeRecordsOrSaysWhere();
};

void TestTable::readsWholeRecordsOrSaysWhere_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("records"); // serial reading held, each
    QTest::addColumn<QString>("error");       // after the file's name

    const QStringList all{QStringLiteral("ABC123 1234 0"), QStringLiteral("A\"B,1  2560 1"),
                          QStringLiteral("\uFFFDBC123 -7 1")};
    const QByteArray table = Header + First + Quoted + Last;
    QTest::newRow("good") << table << all << QString();
    QByteArray crlf = table;
    crlf.replace("\n", "\r\n");
    QTest::newRow("CR LF line ends") << crlf << all << QString();
    QTest::newRow("header only") << Header << QStringList() << QString();
    QTest::newRow("a record being written") << table + First.left(40) << all << QString();
    QTest::newRow("empty") << QByteArray() << QStringList()
                           << ": no table of readings (no whole line)";
    QTest::newRow("no header") << First + Last << QStringList() << ":1: no table of readings";
    QTest::newRow("a line that is no record")
        << Header + First + "2026-12-07T14:03:12.345+01:00,ABC123,12.34,0\n" + Last << QStringList()
        << ":3: no record: \"2026-12-07T14:03:12.345+01:00,ABC123,12.34,0\"";
    QTest::newRow("no such day") << Header + "2026-02-30T14:03:12.345+01:00,ABC123,1.0,0\n"
                                 << QStringList() << ":2: no record";
    QTest::newRow("serial not UTF-8") << Header + "2026-12-07T14:03:12.345+01:00,AB\xc3(C12,1.0,0\n"
                                      << QStringList() << ":2: no record";
    QTest::newRow("control character in the serial")
        << Header + "2026-12-07T14:03:12.345+01:00,AB\x1b"
                    "C12,1.0,0\n"
        << QStringList() << ":2: no record";
    QTest::newRow("an open quote") << Header + "2026-12-07T14:03:12.345+01:00,\"ABC12,1.0,0\n"
                                   << QStringList() << ":2: no record";
    QTest::newRow("binary garbage") << Header + QByteArray(5000, '\xff') + "\n" + First
                                    << QStringList() << ":2: no record (a line longer than any)";
    QTest::newRow("a 10 MB line") << Header + First + QByteArray(10 << 20, 'x') << QStringList()
                                  << ":3: no record (a line longer than any)";
}

void TestTable::readsWholeRecordsOrSaysWhere()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, records);
    QFETCH(QString, error);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("t.csv"));
    QVERIFY(writeBytes(path, bytes));

    QStringList seen;
    QString said;
    QElapsedTimer clock;
    clock.start();
    const bool read = TableReader(path).read(
        [&seen](const RecordView &record) {
            seen.append(QStringLiteral("%1 %2 %3")
                            .arg(record.serial())
                            .arg(record.tenths)
                            .arg(int(record.held)));
        },
        said);
    QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(read, error.isEmpty());
    if (!read) {
        QVERIFY2(said.startsWith(path + error), qPrintable(said));
        return;
    }
    QCOMPARE(seen, records);
}

QTEST_GUILESS_MAIN(TestTable)
#include "tst_table.moc"
