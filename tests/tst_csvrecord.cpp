// The recorder's lines: the local time and its offset from UTC, which the maker looks up
// only once a second, in the zones the recorder's own test uses and across both of a
// daylight-saving year's changes; the reading; the serial quoted only where it must be.

#include "table/csvrecord.h"

#include <QtTest>

#include <ctime>

namespace
{

// 1 January 2027 00:00:00 UTC.
constexpr qint64 NewYear2027 = Q_INT64_C(1798761600000);
// Central Europe's changes of 2026: to summer time on 29 March at 01:00 UTC, back on
// 25 October at 01:00 UTC.
constexpr qint64 SummerTime2026 = Q_INT64_C(1774746000000);
constexpr qint64 WinterTime2026 = Q_INT64_C(1792890000000);

} // namespace

class TestCsvRecord : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void time_data();
    void time();
    void fields_data();
    void fields();

private:
    QByteArray savedZone = qgetenv("TZ");
};

void TestCsvRecord::cleanup()
{
    qputenv("TZ", savedZone);
    tzset();
}

void TestCsvRecord::time_data()
{
    QTest::addColumn<QByteArray>("zone");
    // Recorded one after the other by one maker, as the recorder does.
    QTest::addColumn<QList<qint64>>("instants");
    QTest::addColumn<QStringList>("times");

    QTest::newRow("UTC") << QByteArray("UTC0")
                         << QList<qint64>{NewYear2027 - 1, NewYear2027, NewYear2027 + 1500}
                         << QStringList{"2026-12-31T23:59:59.999+00:00",
                                        "2027-01-01T00:00:00.000+00:00",
                                        "2027-01-01T00:00:01.500+00:00"};
    QTest::newRow("5:30 east") << QByteArray("IST-5:30") << QList<qint64>{NewYear2027 + 7}
                               << QStringList{"2027-01-01T05:30:00.007+05:30"};
    QTest::newRow("3:30 west") << QByteArray("NST3:30") << QList<qint64>{NewYear2027 + 45}
                               << QStringList{"2026-12-31T20:30:00.045-03:30"};
    QTest::newRow("before 1970") << QByteArray("UTC0") << QList<qint64>{-1}
                                 << QStringList{"1969-12-31T23:59:59.999+00:00"};
    const QByteArray europe("CET-1CEST,M3.5.0,M10.5.0/3");
    QTest::newRow("to summer time")
        << europe << QList<qint64>{SummerTime2026 - 1, SummerTime2026}
        << QStringList{"2026-03-29T01:59:59.999+01:00", "2026-03-29T03:00:00.000+02:00"};
    QTest::newRow("back to winter time")
        << europe << QList<qint64>{WinterTime2026 - 1, WinterTime2026, WinterTime2026 + 1}
        << QStringList{"2026-10-25T02:59:59.999+02:00", "2026-10-25T02:00:00.000+01:00",
                       "2026-10-25T02:00:00.001+01:00"};
}

void TestCsvRecord::time()
{
    QFETCH(QByteArray, zone);
    QFETCH(QList<qint64>, instants);
    QFETCH(QStringList, times);

    qputenv("TZ", zone);
    tzset();
    CsvRecordMaker maker;
    for (int i = 0; i < instants.size(); ++i) {
        const QByteArray line = maker.record({instants.at(i), QStringLiteral("HD1"), 5, false});
        QCOMPARE(QString::fromUtf8(line), times.at(i) + QStringLiteral(",HD1,0.5,0\n"));
    }
}

void TestCsvRecord::fields_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("held");
    QTest::addColumn<QByteArray>("fields");

    QTest::newRow("plain") << "000123" << 1234 << true << QByteArray("000123,123.4,1");
    QTest::newRow("small negative") << "000123" << -7 << false << QByteArray("000123,-0.7,0");
    QTest::newRow("zero") << "000123" << 0 << false << QByteArray("000123,0.0,0");
    QTest::newRow("largest shown") << "000123" << 2559 << false << QByteArray("000123,255.9,0");
    QTest::newRow("over") << "000123" << 2560 << false << QByteArray("000123,over,0");
    QTest::newRow("under") << "000123" << -2560 << false << QByteArray("000123,under,0");
    QTest::newRow("most negative")
        << "000123" << std::numeric_limits<int>::min() << false << QByteArray("000123,under,0");
    QTest::newRow("comma and quote")
        << "A,\"B\"" << 10 << false << QByteArray("\"A,\"\"B\"\"\",1.0,0");
    QTest::newRow("blank at the end") << "AB " << 10 << false << QByteArray("\"AB \",1.0,0");
    QTest::newRow("line break, not ASCII") << QStringLiteral("Ä\nB") << 10 << false
                                           << QByteArray("\xc3\x84\xef\xbf\xbd"
                                                         "B,1.0,0");
}

void TestCsvRecord::fields()
{
    QFETCH(QString, serial);
    QFETCH(int, value);
    QFETCH(bool, held);
    QFETCH(QByteArray, fields);

    qputenv("TZ", "UTC0");
    tzset();
    CsvRecordMaker maker;
    // A different head before, so that the serial is not the one the maker has ready.
    maker.record({NewYear2027, QStringLiteral("other"), 0, false});
    QCOMPARE(maker.record({NewYear2027, serial, value, held}),
             QByteArray("2027-01-01T00:00:00.000+00:00,") + fields + '\n');
}

QTEST_GUILESS_MAIN(TestCsvRecord)
#include "tst_csvrecord.moc"
