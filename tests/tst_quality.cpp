// Tolerance and statistics: certified values, capability worked out by hand, one-sided
// limits, readings beyond the head's range, and figures that are undefined.
#include "measurement/measurement.h"
#include "quality/histogram.h"
#include "quality/limits.h"
#include "quality/statistics.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <optional>

namespace
{

constexpr int Over = Measurement::OverRange;
constexpr int Under = Measurement::UnderRange;

std::optional<int> tenthsOrNone(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toInt();
}

RunningStatistics statisticsOf(const QVector<int> &readings, const QVariant &lower = QVariant(),
                               const QVariant &upper = QVariant())
{
    RunningStatistics statistics(ToleranceLimits(tenthsOrNone(lower), tenthsOrNone(upper)));
    for (int tenths : readings)
        statistics.add(tenths);
    return statistics;
}

// NIST StRD NumAcc2: the first value, then 500 pairs of the next two.
QVector<int> numAcc2(int first, int low, int high)
{
    QVector<int> readings{first};
    for (int i = 0; i < 500; ++i)
        readings << low << high;
    return readings;
}

bool near(std::optional<double> got, double expected)
{
    return got && std::abs(*got - expected) <= 1e-12 * std::max(1.0, std::abs(expected));
}

// A figure expected as a number, or a null QVariant where it must be undefined.
bool matches(std::optional<double> got, const QVariant &expected)
{
    if (expected.isNull())
        return !got;
    return near(got, expected.toDouble());
}

} // namespace

Q_DECLARE_METATYPE(ToleranceLimits::Verdict)

class TestQuality : public QObject
{
    Q_OBJECT

private slots:
    void certified_data();
    void certified();
    void capability_data();
    void capability();
    void outOfRange_data();
    void outOfRange();
    void undefined_data();
    void undefined();
    void verdict_data();
    void verdict();
    void bins_data();
    void bins();
};

void TestQuality::certified_data()
{
    QTest::addColumn<QVector<int>>("readings");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("stddev");
    QTest::newRow("NumAcc2") << numAcc2(12, 11, 13) << 1.2 << 0.1;
    // The same spread far from zero, where a sum of squares would lose it.
    QTest::newRow("NumAcc2 at 201 um") << numAcc2(2012, 2011, 2013) << 201.2 << 0.1;
}

// Certified to fifteen digits: fourteen are asked of a running algorithm.
void TestQuality::certified()
{
    QFETCH(QVector<int>, readings);
    QFETCH(double, mean);
    QFETCH(double, stddev);
    const RunningStatistics statistics = statisticsOf(readings);
    QCOMPARE(statistics.readings(), qint64(1001));
    QVERIFY2(std::abs(*statistics.mean() - mean) <= 1e-14 * mean,
             qPrintable(QString::number(*statistics.mean(), 'g', 17)));
    QVERIFY2(std::abs(*statistics.stddev() - stddev) <= 1e-14 * stddev,
             qPrintable(QString::number(*statistics.stddev(), 'g', 17)));
    QVERIFY(near(statistics.range(), 0.2));
}

void TestQuality::capability_data()
{
    QTest::addColumn<QVariant>("lower");
    QTest::addColumn<QVariant>("upper");
    QTest::addColumn<QVariant>("cp");
    QTest::addColumn<QVariant>("cpk");
    QTest::addColumn<QVariant>("pp");
    QTest::addColumn<QVariant>("ppk");
    // Readings 0, 2 and 4 um: mean 2; s^2 = (4 + 0 + 4) / 2, s = 2; moving ranges 2 and 2,
    // sigma within = 2 / 1.128. With L = -1, U = 11:
    //   Cp  = (U - L) / (6 * 2 / 1.128)          = 12 * 1.128 / 12 = 1.128
    //   Cpk = min(U - 2, 2 - L) / (3 * 2 / 1.128) = 3 * 1.128 / 6  = 0.564
    //   Pp  = 12 / (6 * 2) = 1,  Ppk = 3 / (3 * 2) = 0.5
    // U = 11 alone: Cpk = 9 * 1.128 / 6 = 1.692, Ppk = 9 / 6 = 1.5.
    // L = 3, U = 15, the mean below L: Cpk = -1 * 1.128 / 6 = -0.188, Ppk = -1 / 6.
    const QVariant none;
    QTest::newRow("off centre") << QVariant(-10) << QVariant(110) << QVariant(1.128)
                                << QVariant(0.564) << QVariant(1.0) << QVariant(0.5);
    QTest::newRow("upper only") << none << QVariant(110) << none << QVariant(1.692) << none
                                << QVariant(1.5);
    QTest::newRow("lower only") << QVariant(-10) << none << none << QVariant(0.564) << none
                                << QVariant(0.5);
    QTest::newRow("mean below lower") << QVariant(30) << QVariant(150) << QVariant(1.128)
                                      << QVariant(-0.188) << QVariant(1.0) << QVariant(-1.0 / 6);
    QTest::newRow("no limits") << none << none << none << none << none << none;
}

void TestQuality::capability()
{
    QFETCH(QVariant, lower);
    QFETCH(QVariant, upper);
    QFETCH(QVariant, cp);
    QFETCH(QVariant, cpk);
    QFETCH(QVariant, pp);
    QFETCH(QVariant, ppk);
    const RunningStatistics statistics = statisticsOf({0, 20, 40}, lower, upper);
    QVERIFY(near(statistics.sigmaWithin(), 2 / 1.128));
    QVERIFY(matches(statistics.cp(), cp));
    QVERIFY(matches(statistics.cpk(), cpk));
    QVERIFY(matches(statistics.pp(), pp));
    QVERIFY(matches(statistics.ppk(), ppk));
}

void TestQuality::outOfRange_data()
{
    QTest::addColumn<QVariant>("lower");
    QTest::addColumn<QVariant>("upper");
    QTest::addColumn<qint64>("over");
    QTest::addColumn<qint64>("under");
    QTest::addColumn<qint64>("below");
    QTest::addColumn<qint64>("above");
    const QVariant none;
    QTest::newRow("no limits") << none << none << qint64(2) << qint64(1) << qint64(0) << qint64(0);
    QTest::newRow("both limits") << QVariant(0) << QVariant(20) << qint64(2) << qint64(1)
                                 << qint64(2) << qint64(3);
    QTest::newRow("upper only") << none << QVariant(20) << qint64(2) << qint64(1) << qint64(0)
                                << qint64(3);
    QTest::newRow("lower only") << QVariant(0) << none << qint64(2) << qint64(1) << qint64(2)
                                << qint64(0);
}

// Counted apart, never averaged, and not a step in the moving range: the numeric readings
// 1, 3 and -1 um have the mean 1 and the moving ranges 2 and 4 between them.
void TestQuality::outOfRange()
{
    QFETCH(QVariant, lower);
    QFETCH(QVariant, upper);
    QFETCH(qint64, over);
    QFETCH(qint64, under);
    QFETCH(qint64, below);
    QFETCH(qint64, above);
    const RunningStatistics statistics =
        statisticsOf({Over, 10, Under, Over, 30, -10}, lower, upper);
    QCOMPARE(statistics.readings(), qint64(3));
    QCOMPARE(statistics.overRange(), over);
    QCOMPARE(statistics.underRange(), under);
    QCOMPARE(statistics.belowLower(), below);
    QCOMPARE(statistics.aboveUpper(), above);
    QVERIFY(near(statistics.mean(), 1.0));
    QVERIFY(near(statistics.sigmaWithin(), 3 / 1.128));
    QVERIFY(near(statistics.min(), -1.0) && near(statistics.max(), 3.0));
}

void TestQuality::undefined_data()
{
    QTest::addColumn<QVector<int>>("readings");
    QTest::addColumn<QStringList>("defined");
    const QStringList location{"mean", "min", "max", "range"};
    const QStringList spread{"stddev", "sigma within"};
    QTest::newRow("none") << QVector<int>{} << QStringList{};
    QTest::newRow("over and under only") << QVector<int>{Over, Under} << QStringList{};
    QTest::newRow("one") << QVector<int>{5, Over} << location;
    QTest::newRow("no spread") << QVector<int>{5, 5, 5} << location + spread;
    QTest::newRow("two") << QVector<int>{5, 6}
                         << location + spread + QStringList{"cp", "cpk", "pp", "ppk"};
}

// With both limits set, every figure the readings allow is defined, and no other.
void TestQuality::undefined()
{
    QFETCH(QVector<int>, readings);
    QFETCH(QStringList, defined);
    const RunningStatistics statistics = statisticsOf(readings, 0, 100);
    const std::map<QString, std::function<std::optional<double>()>> figures{
        {"mean", [&] { return statistics.mean(); }},
        {"min", [&] { return statistics.min(); }},
        {"max", [&] { return statistics.max(); }},
        {"range", [&] { return statistics.range(); }},
        {"stddev", [&] { return statistics.stddev(); }},
        {"sigma within", [&] { return statistics.sigmaWithin(); }},
        {"cp", [&] { return statistics.cp(); }},
        {"cpk", [&] { return statistics.cpk(); }},
        {"pp", [&] { return statistics.pp(); }},
        {"ppk", [&] { return statistics.ppk(); }},
    };
    for (const auto &[name, figure] : figures)
        QVERIFY2(figure().has_value() == defined.contains(name), qPrintable(name));
}

void TestQuality::verdict_data()
{
    QTest::addColumn<QVariant>("lower");
    QTest::addColumn<QVariant>("upper");
    QTest::addColumn<int>("tenths");
    QTest::addColumn<ToleranceLimits::Verdict>("verdict");
    using V = ToleranceLimits::Verdict;
    // -10 to +10 um: the warning bands are the outer 2 um on each side.
    const QVariant low(-100);
    const QVariant high(100);
    QTest::newRow("middle") << low << high << 0 << V::Inside;
    QTest::newRow("band's inner edge") << low << high << 80 << V::Inside;
    QTest::newRow("in the upper band") << low << high << 81 << V::Warning;
    QTest::newRow("on the upper limit") << low << high << 100 << V::Warning;
    QTest::newRow("above") << low << high << 101 << V::Outside;
    QTest::newRow("lower band's edge") << low << high << -80 << V::Inside;
    QTest::newRow("in the lower band") << low << high << -81 << V::Warning;
    QTest::newRow("below") << low << high << -101 << V::Outside;
    QTest::newRow("over range") << low << high << Over << V::Outside;
    QTest::newRow("under range") << low << high << Under << V::Outside;
    QTest::newRow("upper only, no band") << QVariant() << high << 99 << V::Inside;
    QTest::newRow("upper only, under range") << QVariant() << high << Under << V::Inside;
    QTest::newRow("lower only, under range") << low << QVariant() << Under << V::Outside;
    QTest::newRow("no limits") << QVariant() << QVariant() << 0 << V::Unjudged;
}

void TestQuality::verdict()
{
    QFETCH(QVariant, lower);
    QFETCH(QVariant, upper);
    QFETCH(int, tenths);
    QFETCH(ToleranceLimits::Verdict, verdict);
    QCOMPARE(ToleranceLimits(tenthsOrNone(lower), tenthsOrNone(upper)).judge(tenths), verdict);
}

void TestQuality::bins_data()
{
    QTest::addColumn<QVector<int>>("readings");
    QTest::addColumn<int>("mostClasses");
    QTest::addColumn<QVector<double>>("edges");
    QTest::addColumn<QVector<qint64>>("counts");
    QTest::newRow("one reading") << QVector<int>{15, Over, Under} << 25
                                 << QVector<double>{1.45, 1.55} << QVector<qint64>{1};
    QTest::newRow("three of three tenths")
        << QVector<int>{0, 0, 1, 4, 8, 8, 8, 5, 2} << 25 << QVector<double>{-0.05, 0.25, 0.55, 0.85}
        << QVector<qint64>{4, 2, 3};
    QVector<int> wide;
    for (int tenths = -50; tenths < 50; ++tenths)
        wide << tenths;
    QTest::newRow("no more than asked")
        << wide << 4 << QVector<double>{-5.05, -2.55, -0.05, 2.45, 4.95}
        << QVector<qint64>{25, 25, 25, 25};
    // Ten classes would be asked of a hundred readings, but the head sends only two values.
    QTest::newRow("no narrower than a tenth")
        << QVector<int>(50, 7) + QVector<int>(50, 8) << 25 << QVector<double>{0.65, 0.75, 0.85}
        << QVector<qint64>{50, 50};
}

void TestQuality::bins()
{
    QFETCH(QVector<int>, readings);
    QFETCH(int, mostClasses);
    QFETCH(QVector<double>, edges);
    QFETCH(QVector<qint64>, counts);
    ValueHistogram histogram;
    for (int tenths : readings)
        histogram.add(tenths);
    const QVector<ValueHistogram::Bin> bins = histogram.bins(mostClasses);
    QVector<double> gotEdges;
    QVector<qint64> gotCounts;
    for (const ValueHistogram::Bin &bin : bins) {
        if (gotEdges.isEmpty())
            gotEdges << bin.fromUm;
        QVERIFY(qFuzzyCompare(bin.fromUm, gotEdges.constLast()));
        gotEdges << bin.toUm;
        gotCounts << bin.count;
    }
    QCOMPARE(gotCounts, counts);
    QCOMPARE(gotEdges.size(), edges.size());
    for (int i = 0; i < edges.size(); ++i)
        QVERIFY2(std::abs(gotEdges.at(i) - edges.at(i)) < 1e-9, qPrintable(QString::number(i)));
}

QTEST_GUILESS_MAIN(TestQuality)
#include "tst_quality.moc"
