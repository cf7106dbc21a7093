// Unit tests of FrameDecoder against its contract: one byte taken from each read, a
// 32-byte window that slides when full, realignment on the leftmost "KV73" that ends at
// the byte just stored, and a decode when that marker sits at slot 0 and 16 bytes are in.
// Every test feeds a fresh decoder.

#include "acquisition/framedecoder.h"
#include "testsupport/framedecodermodel.h"
#include "testsupport/headframe.h"

#include <QtTest>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <random>

namespace
{

QByteArray byteList(std::initializer_list<int> codes)
{
    QByteArray bytes;
    for (int code : codes)
        bytes.append(char(code));
    return bytes;
}

QString charList(std::initializer_list<int> codes)
{
    QString text;
    for (int code : codes)
        text.append(QChar(ushort(code)));
    return text;
}

// A frame the decoder reported, with the index of the read that brought it.
struct Emitted {
    int index = 0;
    int value = 0;
    bool fixed = false;
    QString serial;
};

struct Trace {
    QVector<int> markerAt;   // indices of the reads that reported markerSeen
    QVector<int> writePos;   // write position after each read
    QVector<Emitted> frames; // in order
    bool frameWithoutMarker = false;
};

Trace feedReads(FrameDecoder &decoder, const QByteArrayList &reads)
{
    Trace trace;
    for (int i = 0; i < reads.size(); ++i) {
        const FrameDecoder::Step step = decoder.feed(reads.at(i));
        if (step.markerSeen)
            trace.markerAt.append(i);
        if (step.frame) {
            trace.frames.append({i, step.frame->value, step.frame->fixed, step.frame->serial});
            if (!step.markerSeen)
                trace.frameWithoutMarker = true;
        }
        trace.writePos.append(decoder.writePosition());
    }
    return trace;
}

QByteArrayList oneBytePerRead(const QByteArray &stream)
{
    QByteArrayList reads;
    reads.reserve(stream.size());
    for (char byte : stream)
        reads.append(QByteArray(1, byte));
    return reads;
}

Trace feedBytes(FrameDecoder &decoder, const QByteArray &stream)
{
    return feedReads(decoder, oneBytePerRead(stream));
}

QString describeSerial(const QString &serial)
{
    QString text;
    for (QChar c : serial) {
        if (c.unicode() >= 0x20 && c.unicode() <= 0x7e && c != QLatin1Char('\\'))
            text.append(c);
        else
            text.append(QStringLiteral("\\x{%1}").arg(c.unicode(), 4, 16, QLatin1Char('0')));
    }
    return text;
}

// "@15 -456 F ABC123; @31 +0 . ABC123": read index, value, fixed (F) or not (.), serial.
QString describeFrames(const QVector<Emitted> &frames)
{
    QStringList parts;
    for (const Emitted &f : frames)
        parts.append(QStringLiteral("@%1 %2%3 %4 %5")
                         .arg(f.index)
                         .arg(f.value < 0 ? QStringLiteral("-") : QStringLiteral("+"))
                         .arg(qAbs(f.value))
                         .arg(f.fixed ? QStringLiteral("F") : QStringLiteral("."))
                         .arg(describeSerial(f.serial)));
    return parts.join(QStringLiteral("; "));
}

// Sorted indices as ranges: "3-15,19-31".
QString describeIndices(const QVector<int> &indices)
{
    QStringList parts;
    for (int i = 0; i < indices.size();) {
        int j = i;
        while (j + 1 < indices.size() && indices.at(j + 1) == indices.at(j) + 1)
            ++j;
        parts.append(i == j ? QString::number(indices.at(i))
                            : QStringLiteral("%1-%2").arg(indices.at(i)).arg(indices.at(j)));
        i = j + 1;
    }
    return parts.join(QLatin1Char(','));
}

QVector<int> range(int first, int last)
{
    QVector<int> indices;
    for (int i = first; i <= last; ++i)
        indices.append(i);
    return indices;
}

// The reads that report markerSeen for whole frames starting at these stream offsets:
// the byte completing the marker and the twelve after it.
QVector<int> frameMarkerBytes(const QVector<int> &frameStarts)
{
    QVector<int> indices;
    for (int start : frameStarts)
        indices += range(start + 3, start + 15);
    return indices;
}

QVector<int> sorted(QVector<int> indices)
{
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

// Bytes that can never form, nor help form, a marker.
QByteArray noise(int size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes;
    while (bytes.size() < size) {
        const char byte = char(random() & 0xff);
        if (byte != 'K')
            bytes.append(byte);
    }
    return bytes;
}

// Random bytes (any value) with partial markers mixed in, but no whole "KV73".
QByteArray garbage(int size, unsigned seed, bool partialMarkers)
{
    static const char *const partials[] = {"KV7", "KKV7", "KV", "K", "V73", "KV7K", "73", "KKV"};
    std::mt19937 random(seed);
    QByteArray bytes;
    while (bytes.size() < size) {
        if (partialMarkers && random() % 4 == 0)
            bytes.append(partials[random() % (sizeof partials / sizeof *partials)]);
        else
            bytes.append(char(random() & 0xff));
        int at;
        while ((at = bytes.indexOf("KV73")) >= 0)
            bytes[at + 3] = 'x';
    }
    return bytes.left(size);
}

QByteArray repeated(const QByteArray &pattern, int size)
{
    QByteArray bytes;
    while (bytes.size() < size)
        bytes.append(pattern);
    return bytes.left(size);
}

const QByteArray FrameA = headFrame('-', "0456", 'F', "ABC123");
const QByteArray FrameB = headFrame('+', "1111", ' ', "BBBBBB");
const QByteArray FrameC = headFrame('+', "2222", 'F', "CCCCCC");
const QByteArray FrameD = headFrame('-', "3333", ' ', "DDDDDD");

} // namespace

class TestFrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void decodesOneFrame_data();
    void decodesOneFrame();
    void simulatorFramesRoundTrip_data();
    void simulatorFramesRoundTrip();
    void steadyStream_data();
    void steadyStream();
    void bytesBeforeFirstMarker_data();
    void bytesBeforeFirstMarker();
    void bytesBetweenFrames_data();
    void bytesBetweenFrames();
    void streamStartingMidFrame_data();
    void streamStartingMidFrame();
    void lostOrExtraByte_data();
    void lostOrExtraByte();
    void multiByteReads_data();
    void multiByteReads();
    void emptyReads_data();
    void emptyReads();
    void garbageThenFrames_data();
    void garbageThenFrames();
    void writePosition_data();
    void writePosition();
    void markerSeen_data();
    void markerSeen();
    void matchesContractModel_data();
    void matchesContractModel();
};

// ---------------------------------------------------------------------------------------
// One frame on a fresh decoder: every decoding rule, one row per case.

void TestFrameDecoder::decodesOneFrame_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<QString>("serial");

    const QString abc = QStringLiteral("ABC123");

    QTest::newRow("-0456 F ABC123") << FrameA << -456 << true << abc;

    // The mode slot: upper-case 'F' only.
    QTest::newRow("mode space") << headFrame('-', "0456", ' ', "ABC123") << -456 << false << abc;
    QTest::newRow("mode f") << headFrame('-', "0456", 'f', "ABC123") << -456 << false << abc;
    QTest::newRow("mode X") << headFrame('-', "0456", 'X', "ABC123") << -456 << false << abc;
    QTest::newRow("mode NUL") << headFrame('-', "0456", '\0', "ABC123") << -456 << false << abc;
    QTest::newRow("mode 0xC6") << headFrame('-', "0456", '\xc6', "ABC123") << -456 << false << abc;
    QTest::newRow("mode 0x46|0x80")
        << headFrame('+', "0456", char('F' | 0x80), "ABC123") << 456 << false << abc;

    // The sign slot.
    QTest::newRow("= 1234") << headFrame('=', "1234", ' ', "ABC123") << 0 << false << abc;
    QTest::newRow("= 0000") << headFrame('=', "0000", ' ', "ABC123") << 0 << false << abc;
    QTest::newRow("= 9999 F") << headFrame('=', "9999", 'F', "ABC123") << 0 << true << abc;
    QTest::newRow("- 0000") << headFrame('-', "0000", ' ', "ABC123") << 0 << false << abc;
    QTest::newRow("- 0001") << headFrame('-', "0001", ' ', "ABC123") << -1 << false << abc;
    QTest::newRow("- 9999") << headFrame('-', "9999", ' ', "ABC123") << -9999 << false << abc;
    QTest::newRow("+ 0123") << headFrame('+', "0123", ' ', "ABC123") << 123 << false << abc;
    QTest::newRow("space 0123") << headFrame(' ', "0123", ' ', "ABC123") << 123 << false << abc;
    QTest::newRow("+ 0000") << headFrame('+', "0000", ' ', "ABC123") << 0 << false << abc;
    QTest::newRow("+ 9999") << headFrame('+', "9999", 'F', "ABC123") << 9999 << true << abc;
    QTest::newRow("> 0000") << headFrame('>', "0000", ' ', "ABC123") << 2560 << false << abc;
    QTest::newRow("> 1234") << headFrame('>', "1234", ' ', "ABC123") << 2560 << false << abc;
    QTest::newRow("> 9999 F") << headFrame('>', "9999", 'F', "ABC123") << 2560 << true << abc;
    QTest::newRow("< 0000") << headFrame('<', "0000", ' ', "ABC123") << -2560 << false << abc;
    QTest::newRow("< 9876") << headFrame('<', "9876", ' ', "ABC123") << -2560 << false << abc;
    QTest::newRow("sign x 0042") << headFrame('x', "0042", ' ', "ABC123") << 42 << false << abc;
    QTest::newRow("sign 7 0042") << headFrame('7', "0042", ' ', "ABC123") << 42 << false << abc;
    QTest::newRow("sign NUL 0042") << headFrame('\0', "0042", ' ', "ABC123") << 42 << false << abc;
    QTest::newRow("sign 0xAD 0042")
        << headFrame('\xad', "0042", ' ', "ABC123") << 42 << false << abc;
    QTest::newRow("sign 0x80 0042")
        << headFrame('\x80', "0042", ' ', "ABC123") << 42 << false << abc;

    // The digit slots: anything but '0'..'9' counts 0.
    QTest::newRow("digits ' 12 '") << headFrame('+', " 12 ", ' ', "ABC123") << 120 << false << abc;
    QTest::newRow("digits '-5-5'") << headFrame('-', "-5-5", ' ', "ABC123") << -505 << false << abc;
    QTest::newRow("digits '1a2b'") << headFrame('+', "1a2b", ' ', "ABC123") << 1020 << false << abc;
    QTest::newRow("digits blank") << headFrame('+', "    ", ' ', "ABC123") << 0 << false << abc;
    QTest::newRow("digits NUL 9 NUL 9")
        << headFrame('+', byteList({0, '9', 0, '9'}), ' ', "ABC123") << 909 << false << abc;
    QTest::newRow("digits 0xB9 0xB2 0xB3 0xB0")
        << headFrame('-', byteList({0xb9, 0xb2, 0xb3, 0xb0}), ' ', "ABC123") << 0 << false << abc;
    QTest::newRow("digits ':' and '/'")
        << headFrame('+', ":9/9", ' ', "ABC123") << 909 << false << abc;

    // The serial: six characters always, control characters kept, bytes from 0x80 up
    // widened as signed.
    QTest::newRow("serial control bytes")
        << headFrame('+', "0001", ' ', byteList({0x00, 0x01, '\t', '\r', '\n', 0x1b})) << 1 << false
        << charList({0x00, 0x01, 0x09, 0x0d, 0x0a, 0x1b});
    QTest::newRow("serial all NUL")
        << headFrame('+', "0001", ' ', QByteArray(6, '\0')) << 1 << false << QString(6, QChar(0));
    QTest::newRow("serial DEL and spaces")
        << headFrame('+', "0001", ' ', byteList({0x7f, ' ', ' ', 'A', ' ', 0x7f})) << 1 << false
        << charList({0x7f, 0x20, 0x20, 0x41, 0x20, 0x7f});
    QTest::newRow("serial bytes >= 0x80")
        << headFrame('+', "0001", 'F', byteList({0x80, 0xff, 0xa9, 0xe4, 0x7f, 'A'})) << 1 << true
        << charList({0xff80, 0xffff, 0xffa9, 0xffe4, 0x7f, 0x41});
    QTest::newRow("serial all 0xFF") << headFrame('+', "0001", ' ', QByteArray(6, '\xff')) << 1
                                     << false << QString(6, QChar(0xffff));
    QTest::newRow("serial blank") << headFrame('+', "0001", ' ', "      ") << 1 << false
                                  << QStringLiteral("      ");

    // A marker inside the payload does not realign: the one at slot 0 is leftmost.
    QTest::newRow("marker in serial at 10")
        << headFrame('+', "0007", 'F', "KV73AB") << 7 << true << QStringLiteral("KV73AB");
    QTest::newRow("marker in serial at 11")
        << headFrame('+', "0007", 'F', "1KV73A") << 7 << true << QStringLiteral("1KV73A");
    QTest::newRow("marker ending the frame")
        << headFrame('+', "0007", 'F', "12KV73") << 7 << true << QStringLiteral("12KV73");
    QTest::newRow("marker in digits")
        << headFrame('+', "KV73", ' ', "ABC123") << 73 << false << abc;
    QTest::newRow("marker in sign and digits")
        << QByteArray("KV73KV731FABC123") << 731 << true << QStringLiteral("ABC123");
    QTest::newRow("four markers") << QByteArray("KV73KV73KV73KV73") << 730 << false
                                  << QStringLiteral("73KV73");
}

void TestFrameDecoder::decodesOneFrame()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, value);
    QFETCH(bool, fixed);
    QFETCH(QString, serial);
    QCOMPARE(frame.size(), 16);

    FrameDecoder decoder;
    const Trace trace = feedBytes(decoder, frame);

    QCOMPARE(trace.frames.size(), 1);
    const Emitted &got = trace.frames.first();
    QCOMPARE(got.index, 15);
    QCOMPARE(got.value, value);
    QCOMPARE(got.fixed, fixed);
    QCOMPARE(got.serial.size(), 6);
    QCOMPARE(describeSerial(got.serial), describeSerial(serial));
    QCOMPARE(got.serial, serial);
    QCOMPARE(describeIndices(trace.markerAt), QStringLiteral("3-15"));
    QCOMPARE(decoder.writePosition(), 0);
}

// ---------------------------------------------------------------------------------------
// The simulator's frames, which the other tests send through pseudo-terminals.

void TestFrameDecoder::simulatorFramesRoundTrip_data()
{
    QTest::addColumn<int>("sent");
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<int>("value");

    for (int v : {0, 1, -1, 7, -456, 1234, -1234, 9999, -9999, 2559, -2561})
        QTest::addRow("%d", v) << v << (v % 2 == 0) << v;
    QTest::newRow("2560 is over range") << 2560 << false << 2560;
    QTest::newRow("-2560 is under range") << -2560 << true << -2560;
    QTest::newRow("10000 is over range") << 10000 << false << 2560;
    QTest::newRow("-10000 is under range") << -10000 << false << -2560;
}

void TestFrameDecoder::simulatorFramesRoundTrip()
{
    QFETCH(int, sent);
    QFETCH(bool, fixed);
    QFETCH(int, value);

    FrameDecoder decoder;
    const Trace trace = feedBytes(decoder, headFrame(sent, fixed, "SN0042"));
    QCOMPARE(trace.frames.size(), 1);
    QCOMPARE(trace.frames.first().value, value);
    QCOMPARE(trace.frames.first().fixed, fixed);
    QCOMPARE(trace.frames.first().serial, QStringLiteral("SN0042"));
}

// ---------------------------------------------------------------------------------------
// Back-to-back frames: one frame per 16 bytes, on the 16th; 13 of 16 bytes see the marker.

void TestFrameDecoder::steadyStream_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<unsigned>("seed");
    for (int n : {1, 2, 3, 16, 100, 2000})
        QTest::addRow("%d frames", n) << n << unsigned(n * 7 + 1);
}

void TestFrameDecoder::steadyStream()
{
    QFETCH(int, frames);
    QFETCH(unsigned, seed);

    std::mt19937 random(seed);
    QByteArray stream;
    QVector<int> values;
    QVector<bool> fixedFlags;
    for (int i = 0; i < frames; ++i) {
        const int value = int(random() % 19999) - 9999;
        const bool fixed = random() % 2;
        values.append(value);
        fixedFlags.append(fixed);
        stream += headFrame(value, fixed, QByteArray::number(100000 + i));
    }

    FrameDecoder decoder;
    const Trace trace = feedBytes(decoder, stream);

    QCOMPARE(trace.frames.size(), frames);
    for (int i = 0; i < frames; ++i) {
        const Emitted &got = trace.frames.at(i);
        QCOMPARE(got.index, 16 * i + 15);
        QCOMPARE(got.value, values.at(i));
        QCOMPARE(got.fixed, fixedFlags.at(i));
        QCOMPARE(got.serial, QString::number(100000 + i));
    }
    QCOMPARE(trace.markerAt.size(), 13 * frames);
    QVector<bool> seen(stream.size(), false);
    for (int i : trace.markerAt)
        seen[i] = true;
    for (int i = 0; i < stream.size(); ++i) {
        if (seen.at(i) != (i % 16 >= 3))
            QFAIL(qPrintable(QStringLiteral("markerSeen wrong at byte %1").arg(i)));
        QVERIFY(trace.writePos.at(i) >= 0 && trace.writePos.at(i) <= 16);
    }
    QVERIFY(!trace.frameWithoutMarker);
}

// ---------------------------------------------------------------------------------------
// Bytes before the first marker after process start.

void TestFrameDecoder::bytesBeforeFirstMarker_data()
{
    QTest::addColumn<QByteArray>("before");
    for (int n = 0; n <= 33; ++n)
        QTest::addRow("%d noise bytes", n) << noise(n, unsigned(n));
    for (int n : {12, 13, 27, 28, 29, 31, 32, 33, 50})
        QTest::addRow("%d CRLF bytes", n) << repeated("\r\n", n);
    QTest::newRow("100 noise bytes") << noise(100, 100);
    QTest::newRow("'KV7' before the marker") << QByteArray("KV7");
    QTest::newRow("'KKV7' before the marker") << QByteArray("KKV7");
    QTest::newRow("29 bytes ending 'KV7'") << noise(26, 3) + "KV7";
}

void TestFrameDecoder::bytesBeforeFirstMarker()
{
    QFETCH(QByteArray, before);
    const int n = before.size();

    FrameDecoder decoder;
    const Trace trace = feedBytes(decoder, before + FrameA + FrameB);

    QCOMPARE(describeFrames(trace.frames),
             QStringLiteral("@%1 -456 F ABC123; @%2 +1111 . BBBBBB").arg(n + 15).arg(n + 31));
    QCOMPARE(describeIndices(trace.markerAt), describeIndices(frameMarkerBytes({n, n + 16})));
    for (int pos : trace.writePos)
        QVERIFY(pos >= 0 && pos <= 32);
}

// ---------------------------------------------------------------------------------------
// Bytes between frames, e.g. the "\r\n" some heads send after each frame.
//
// markerSeen in the gaps: after a decode the window is reset but slots 16..31 keep their
// content, and once the write position reaches 16 the search text runs on into them. A
// frame whose marker realigned from slot s >= 16 (a gap of s = n bytes, or s = 28 for
// n >= 28 once the window slides) leaves that marker there, so in the next gap every
// read whose write position ends in 16..s+3 (16..28 when sliding) sees it: the contract's
// own consequence, asserted here so that any change to it shows.

void TestFrameDecoder::bytesBetweenFrames_data()
{
    QTest::addColumn<QByteArray>("gap");
    for (int n = 0; n <= 28; ++n)
        QTest::addRow("%d CRLF bytes", n) << repeated("\r\n", n);
    for (int n = 0; n <= 28; ++n)
        QTest::addRow("%d noise bytes", n) << noise(n, unsigned(1000 + n));
    for (int n : {29, 30, 31, 32, 33, 45, 60, 100, 1000}) {
        QTest::addRow("%d CRLF bytes", n) << repeated("\r\n", n);
        QTest::addRow("%d noise bytes", n) << noise(n, unsigned(1000 + n));
    }
}

void TestFrameDecoder::bytesBetweenFrames()
{
    QFETCH(QByteArray, gap);
    const int n = gap.size();
    const QByteArray stream = FrameA + gap + FrameB + gap + FrameC + gap + FrameD;

    FrameDecoder decoder;
    const Trace trace = feedBytes(decoder, stream);

    const int step = 16 + n;
    QCOMPARE(describeFrames(trace.frames), QStringLiteral("@%1 -456 F ABC123; @%2 +1111 . BBBBBB; "
                                                          "@%3 +2222 F CCCCCC; @%4 -3333 . DDDDDD")
                                               .arg(15)
                                               .arg(step + 15)
                                               .arg(2 * step + 15)
                                               .arg(3 * step + 15));

    QVector<int> expected = frameMarkerBytes({0, step, 2 * step, 3 * step});
    const int staleSlot = qMin(n, 28);                        // where B's and C's markers were
    const int lastSeen = n <= 28 ? staleSlot + 3 : staleSlot; // last write position seeing it
    for (int frame : {1, 2}) {                                // the gaps after B and C
        const int decodedAt = frame * step + 15;
        for (int pos = 16; pos <= lastSeen; ++pos)
            expected.append(decodedAt + pos);
    }
    QCOMPARE(describeIndices(trace.markerAt), describeIndices(sorted(expected)));
    QVERIFY(!trace.frameWithoutMarker);
    for (int pos : trace.writePos)
        QVERIFY(pos >= 0 && pos <= 32);
}

// ---------------------------------------------------------------------------------------
// A stream that starts inside a frame: the partial frame is dropped.

void TestFrameDecoder::streamStartingMidFrame_data()
{
    QTest::addColumn<int>("skipped");
    for (int k = 1; k <= 15; ++k)
        QTest::addRow("first %d bytes missed", k) << k;
}

void TestFrameDecoder::streamStartingMidFrame()
{
    QFETCH(int, skipped);
    const QByteArray partial = FrameD.mid(skipped);
    const int n = partial.size();

    FrameDecoder decoder;
    const Trace trace = feedBytes(decoder, partial + FrameA + FrameB + FrameC);

    QCOMPARE(trace.writePos.at(n - 1), n);
    QCOMPARE(describeFrames(trace.frames), QStringLiteral("@%1 -456 F ABC123; @%2 +1111 . BBBBBB; "
                                                          "@%3 +2222 F CCCCCC")
                                               .arg(n + 15)
                                               .arg(n + 31)
                                               .arg(n + 47));
    QCOMPARE(describeIndices(trace.markerAt),
             describeIndices(frameMarkerBytes({n, n + 16, n + 32})));
}

// ---------------------------------------------------------------------------------------
// A frame that lost a byte is decoded shifted, with the next frame's 'K' as its last
// byte; the rest of that next frame is skipped and the one after it decodes. A frame
// that lost a marker byte is skipped whole. An extra byte shifts the frame the other way.

void TestFrameDecoder::lostOrExtraByte_data()
{
    QTest::addColumn<QByteArray>("damaged");
    QTest::addColumn<QString>("frames");

    auto lose = [](const QByteArray &frame, int at) { return frame.left(at) + frame.mid(at + 1); };
    // A shifted frame is reported on B's first byte (read 15); B is skipped, C and D decode.
    const QString shiftedThenCD = QStringLiteral("@15 %1; @46 +2222 F CCCCCC; @62 -3333 . DDDDDD");
    const QString skippedThenBCD =
        QStringLiteral("@30 +1111 . BBBBBB; @46 +2222 F CCCCCC; @62 -3333 . DDDDDD");

    QTest::newRow("lost K") << lose(FrameA, 0) << skippedThenBCD;
    QTest::newRow("lost V") << lose(FrameA, 1) << skippedThenBCD;
    QTest::newRow("lost 7") << lose(FrameA, 2) << skippedThenBCD;
    QTest::newRow("lost 3") << lose(FrameA, 3) << skippedThenBCD;
    QTest::newRow("lost sign") << lose(FrameA, 4) << shiftedThenCD.arg("+4560 . BC123K");
    QTest::newRow("lost digit 1") << lose(FrameA, 5) << shiftedThenCD.arg("-4560 . BC123K");
    QTest::newRow("lost digit 2") << lose(FrameA, 6) << shiftedThenCD.arg("-560 . BC123K");
    QTest::newRow("lost digit 3") << lose(FrameA, 7) << shiftedThenCD.arg("-460 . BC123K");
    QTest::newRow("lost digit 4") << lose(FrameA, 8) << shiftedThenCD.arg("-450 . BC123K");
    QTest::newRow("lost mode") << lose(FrameA, 9) << shiftedThenCD.arg("-456 . BC123K");
    QTest::newRow("lost serial 1") << lose(FrameA, 10) << shiftedThenCD.arg("-456 F BC123K");
    QTest::newRow("lost serial 6") << lose(FrameA, 15) << shiftedThenCD.arg("-456 F ABC12K");
    QTest::newRow("lost digit shifts serial F into mode")
        << lose(headFrame('-', "0456", ' ', "FBC123"), 6) << shiftedThenCD.arg("-560 F BC123K");
    // One byte too many: the first 16 bytes decode, the 17th is a byte between frames.
    QTest::newRow("doubled digit")
        << QByteArray("KV73-04456FABC123")
        << QStringLiteral("@15 -445 . FABC12; @32 +1111 . BBBBBB; @48 +2222 F CCCCCC; "
                          "@64 -3333 . DDDDDD");
}

void TestFrameDecoder::lostOrExtraByte()
{
    QFETCH(QByteArray, damaged);
    QFETCH(QString, frames);

    FrameDecoder decoder;
    const Trace trace = feedBytes(decoder, damaged + FrameB + FrameC + FrameD);
    QCOMPARE(describeFrames(trace.frames), frames);
    QVERIFY(!trace.frameWithoutMarker);
    for (const Emitted &f : trace.frames)
        QCOMPARE(f.serial.size(), 6);
}

// ---------------------------------------------------------------------------------------
// A read of several bytes contributes its first byte only.

void TestFrameDecoder::multiByteReads_data()
{
    QTest::addColumn<QByteArrayList>("reads");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<QString>("markerSeen");

    QByteArrayList withJunk;
    for (char byte : FrameA + FrameB)
        withJunk.append(QByteArray(1, byte) + "KV73+9999F");
    QTest::newRow("each byte followed by junk")
        << withJunk << QStringLiteral("@15 -456 F ABC123; @31 +1111 . BBBBBB")
        << QStringLiteral("3-15,19-31");

    QTest::newRow("whole frames in one read each")
        << QByteArrayList{FrameA, FrameB, FrameC, FrameD} << QString() << QString();

    QByteArrayList pairs;
    const QByteArray twoFrames = FrameA + FrameA;
    for (int i = 0; i < twoFrames.size(); i += 2)
        pairs.append(twoFrames.mid(i, 2));
    QTest::newRow("two bytes a read") << pairs << QString() << QString();

    // "KV7" then a read "x3": the '3' that would complete the marker is dropped.
    QTest::newRow("marker completed by a second byte only")
        << QByteArrayList{"K", "V", "7", "x3"} + oneBytePerRead(FrameA)
        << QStringLiteral("@19 -456 F ABC123") << QStringLiteral("7-19");

    QByteArrayList mixed = oneBytePerRead(FrameA);
    mixed[4] = "-KV73";
    mixed[9] = QByteArray("F\0\0", 3);
    mixed[15] = "3KV73-0456FABC123";
    QTest::newRow("frame with some multi-byte reads")
        << mixed << QStringLiteral("@15 -456 F ABC123") << QStringLiteral("3-15");
}

void TestFrameDecoder::multiByteReads()
{
    QFETCH(QByteArrayList, reads);
    QFETCH(QString, frames);
    QFETCH(QString, markerSeen);

    FrameDecoder decoder;
    const Trace trace = feedReads(decoder, reads);
    QCOMPARE(describeFrames(trace.frames), frames);
    QCOMPARE(describeIndices(trace.markerAt), markerSeen);

    // Exactly what the first bytes alone give.
    QByteArray firstBytes;
    for (const QByteArray &read : reads)
        firstBytes.append(read.at(0));
    FrameDecoder reference;
    const Trace single = feedBytes(reference, firstBytes);
    QCOMPARE(describeFrames(trace.frames), describeFrames(single.frames));
    QCOMPARE(trace.markerAt, single.markerAt);
    QCOMPARE(trace.writePos, single.writePos);
}

// ---------------------------------------------------------------------------------------
// An empty read changes nothing and reports nothing.

void TestFrameDecoder::emptyReads_data()
{
    QTest::addColumn<QByteArrayList>("reads");

    QTest::newRow("empty read on a fresh decoder") << QByteArrayList{QByteArray()};
    QByteArrayList empties;
    for (int i = 0; i < 100; ++i)
        empties.append(QByteArray());
    QTest::newRow("100 empty reads") << empties;

    auto withEmptyAt = [](const QByteArray &stream, std::initializer_list<int> positions) {
        QByteArrayList reads = oneBytePerRead(stream);
        QVector<int> at(positions);
        std::sort(at.begin(), at.end(), std::greater<>());
        for (int p : at)
            reads.insert(p, QByteArray());
        return reads;
    };
    QTest::newRow("empty read after the marker") << withEmptyAt(FrameA + FrameB, {4});
    QTest::newRow("empty read before the 16th byte") << withEmptyAt(FrameA + FrameB, {15});
    QTest::newRow("empty read after the 16th byte") << withEmptyAt(FrameA + FrameB, {16});
    QTest::newRow("empty read inside the marker") << withEmptyAt(FrameA, {1, 2, 3});
    QByteArrayList everyOther;
    for (char byte : FrameA + FrameB + FrameC) {
        everyOther.append(QByteArray());
        everyOther.append(QByteArray(1, byte));
    }
    QTest::newRow("empty read before every byte") << everyOther;
    QTest::newRow("empty reads in a full window")
        << withEmptyAt(noise(40, 5) + FrameA, {10, 32, 33, 38, 41});
}

void TestFrameDecoder::emptyReads()
{
    QFETCH(QByteArrayList, reads);

    FrameDecoder decoder;
    int previous = decoder.writePosition();
    QByteArray nonEmpty;
    for (const QByteArray &read : reads) {
        const FrameDecoder::Step step = decoder.feed(read);
        if (read.isEmpty()) {
            QVERIFY(!step.markerSeen);
            QVERIFY(!step.frame);
            QCOMPARE(decoder.writePosition(), previous);
        } else {
            nonEmpty.append(read.at(0));
        }
        previous = decoder.writePosition();
    }

    // The non-empty reads alone give the same frames and markers, read for read.
    QVector<int> nonEmptyIndex; // each read's index among the non-empty reads, or -1
    int count = 0;
    for (const QByteArray &read : reads)
        nonEmptyIndex.append(read.isEmpty() ? -1 : count++);
    FrameDecoder withEmpty;
    FrameDecoder without;
    Trace traced = feedReads(withEmpty, reads);
    const Trace plain = feedBytes(without, nonEmpty);
    for (Emitted &f : traced.frames)
        f.index = nonEmptyIndex.at(f.index);
    for (int &i : traced.markerAt)
        i = nonEmptyIndex.at(i);
    QCOMPARE(describeFrames(traced.frames), describeFrames(plain.frames));
    QCOMPARE(describeIndices(traced.markerAt), describeIndices(plain.markerAt));
    QCOMPARE(withEmpty.writePosition(), without.writePosition());
}

// ---------------------------------------------------------------------------------------
// Long runs of garbage, at process start or after a decoded frame: skipped, and the first
// whole frame after them decodes.

void TestFrameDecoder::garbageThenFrames_data()
{
    QTest::addColumn<QByteArray>("junk");
    QTest::addColumn<bool>("afterFrame");

    for (bool afterFrame : {false, true}) {
        const char *where = afterFrame ? "after a frame" : "at start";
        QTest::addRow("100 random bytes %s", where) << garbage(100, 1, false) << afterFrame;
        QTest::addRow("1000 random bytes %s", where) << garbage(1000, 2, false) << afterFrame;
        QTest::addRow("100 random bytes with partial markers %s", where)
            << garbage(100, 3, true) << afterFrame;
        QTest::addRow("1000 random bytes with partial markers %s", where)
            << garbage(1000, 4, true) << afterFrame;
        QTest::addRow("1000 random bytes ending KV7 %s", where)
            << garbage(997, 5, true) + "KV7" << afterFrame;
        QTest::addRow("1000 random bytes ending KKV7 %s", where)
            << garbage(996, 6, true) + "KKV7" << afterFrame;
        QTest::addRow("KV7 x 100 %s", where) << repeated("KV7", 300) << afterFrame;
        QTest::addRow("KKV7 repeated %s", where) << repeated("KKV7", 1000) << afterFrame;
        QTest::addRow("KV7K repeated %s", where) << repeated("KV7K", 100) << afterFrame;
        QTest::addRow("1000 NUL %s", where) << QByteArray(1000, '\0') << afterFrame;
        QTest::addRow("1000 0xFF %s", where) << QByteArray(1000, '\xff') << afterFrame;
        QTest::addRow("1000 CRLF %s", where) << repeated("\r\n", 1000) << afterFrame;
    }
}

void TestFrameDecoder::garbageThenFrames()
{
    QFETCH(QByteArray, junk);
    QFETCH(bool, afterFrame);
    QVERIFY(!junk.contains("KV73"));

    const QByteArray head = afterFrame ? FrameD : QByteArray();
    const int o = head.size() + junk.size(); // where the whole frames start

    FrameDecoder decoder;
    const Trace trace = feedBytes(decoder, head + junk + FrameA + FrameB + FrameC);

    QString frames = QStringLiteral("@%1 -456 F ABC123; @%2 +1111 . BBBBBB; @%3 +2222 F CCCCCC")
                         .arg(o + 15)
                         .arg(o + 31)
                         .arg(o + 47);
    QVector<int> starts{o, o + 16, o + 32};
    if (afterFrame) {
        frames.prepend(QStringLiteral("@15 -3333 . DDDDDD; "));
        starts.prepend(0);
    }
    QCOMPARE(describeFrames(trace.frames), frames);
    QCOMPARE(describeIndices(trace.markerAt), describeIndices(frameMarkerBytes(starts)));
    for (int pos : trace.writePos)
        QVERIFY(pos >= 0 && pos <= 32);
}

// ---------------------------------------------------------------------------------------
// The write position: always within 0..32, and where the contract puts it.

void TestFrameDecoder::writePosition_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("position");

    QTest::newRow("nothing") << QByteArray() << 0;
    QTest::newRow("1 byte") << QByteArray("A") << 1;
    QTest::newRow("31 bytes") << QByteArray(31, 'A') << 31;
    QTest::newRow("32 bytes") << QByteArray(32, 'A') << 32;
    QTest::newRow("33 bytes") << QByteArray(33, 'A') << 32;
    QTest::newRow("1000 bytes") << garbage(1000, 9, true) << 32;
    QTest::newRow("KV7") << QByteArray("KV7") << 3;
    QTest::newRow("marker") << QByteArray("KV73") << 4;
    QTest::newRow("bytes then marker") << QByteArray("xyzKV73") << 4;
    QTest::newRow("40 bytes then marker") << noise(40, 4) + "KV73" << 4;
    QTest::newRow("40 bytes then KV7") << noise(40, 4) + "KV7" << 32;
    QTest::newRow("frame but the last byte") << FrameA.left(15) << 15;
    QTest::newRow("frame") << FrameA << 0;
    QTest::newRow("frame and 3 bytes") << FrameA + "abc" << 3;
    QTest::newRow("frame and 40 bytes") << FrameA + noise(40, 8) << 32;
    QTest::newRow("marker and 20 payload bytes") << "KV73" + QByteArray(20, '1') << 8;
    QTest::newRow("2 frames and a marker") << FrameA + FrameB + "KV73" << 4;
}

void TestFrameDecoder::writePosition()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, position);

    FrameDecoder decoder;
    QCOMPARE(decoder.writePosition(), 0);
    const Trace trace = feedBytes(decoder, stream);
    for (int pos : trace.writePos)
        QVERIFY2(pos >= 0 && pos <= 32, qPrintable(QString::number(pos)));
    QCOMPARE(decoder.writePosition(), position);
}

// ---------------------------------------------------------------------------------------
// markerSeen, read by read.

void TestFrameDecoder::markerSeen_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("seen");

    QTest::newRow("nothing but noise") << noise(200, 11) << QString();
    QTest::newRow("KV7") << QByteArray("KV7") << QString();
    QTest::newRow("marker alone") << QByteArray("KV73") << QStringLiteral("3");
    QTest::newRow("marker after a byte") << QByteArray("xKV73") << QStringLiteral("4");
    QTest::newRow("marker and payload") << "KV73" + QByteArray(5, '0') << QStringLiteral("3-8");
    QTest::newRow("one frame") << FrameA << QStringLiteral("3-15");
    QTest::newRow("one frame then noise") << FrameA + noise(40, 12) << QStringLiteral("3-15");
    QTest::newRow("two frames") << FrameA + FrameB << QStringLiteral("3-15,19-31");
    QTest::newRow("frame CRLF frame") << FrameA + "\r\n" + FrameB << QStringLiteral("3-15,21-33");
    QTest::newRow("10 bytes then a frame") << noise(10, 13) + FrameA << QStringLiteral("13-25");
    QTest::newRow("marker in payload, then noise")
        << headFrame('+', "0001", ' ', "KV73KV") + noise(20, 14) << QStringLiteral("3-15");
    // A frame that realigned from slot 28 leaves its marker in slots 28..31; after the
    // decode the search text reaches them again once the write position is 16, so the
    // 16th to 28th following garbage bytes report markerSeen.
    QTest::newRow("stale marker in slots 16-31")
        << noise(28, 15) + FrameA + noise(20, 16) << QStringLiteral("31-43,59-63");
    QTest::newRow("stale marker, long garbage")
        << noise(28, 15) + FrameA + noise(100, 16) << QStringLiteral("31-43,59-71");
}

void TestFrameDecoder::markerSeen()
{
    QFETCH(QByteArray, stream);
    QFETCH(QString, seen);

    FrameDecoder decoder;
    const Trace trace = feedBytes(decoder, stream);
    QCOMPARE(describeIndices(trace.markerAt), seen);
    QVERIFY(!trace.frameWithoutMarker);
}

// ---------------------------------------------------------------------------------------
// Long mixed streams (frames, damaged frames, gaps, garbage, multi-byte and empty reads)
// held read by read against the plain restatement of the contract in framedecodermodel.h.

void TestFrameDecoder::matchesContractModel_data()
{
    QTest::addColumn<unsigned>("seed");
    for (unsigned seed = 1; seed <= 20; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

void TestFrameDecoder::matchesContractModel()
{
    QFETCH(unsigned, seed);

    std::mt19937 random(seed);
    QByteArrayList reads;
    while (reads.size() < 20000) {
        QByteArray chunk;
        switch (random() % 8) {
        case 0:
            chunk = noise(int(random() % 40), unsigned(random()));
            break;
        case 1:
            chunk = garbage(int(random() % 200), unsigned(random()), true);
            break;
        case 2: { // a frame missing one byte
            chunk = headFrame(int(random() % 25000) - 12500, random() % 2);
            chunk.remove(int(random() % 16), 1);
            break;
        }
        case 3:
            chunk = "\r\n";
            break;
        default:
            chunk = headFrame(int(random() % 25000) - 12500, random() % 2,
                              garbage(6, unsigned(random()), true));
            break;
        }
        for (char byte : chunk) {
            const unsigned kind = random() % 16;
            if (kind == 0) // an empty read, then the byte
                reads.append(QByteArray());
            if (kind == 1) // the byte with more behind it in the same read
                reads.append(QByteArray(1, byte) +
                             garbage(int(random() % 5), unsigned(random()), true));
            else
                reads.append(QByteArray(1, byte));
        }
    }

    FrameDecoder decoder;
    FrameDecoderModel model;
    int frames = 0;
    int markers = 0;
    for (int i = 0; i < reads.size(); ++i) {
        const FrameDecoder::Step got = decoder.feed(reads.at(i));
        const FrameDecoderModel::Step want = model.feed(reads.at(i));
        const QString where = QStringLiteral("read %1").arg(i);
        QVERIFY2(got.markerSeen == want.markerSeen, qPrintable(where));
        QVERIFY2(bool(got.frame) == want.hasFrame, qPrintable(where));
        QVERIFY2(decoder.writePosition() == model.writePosition(), qPrintable(where));
        if (got.frame) {
            QVERIFY2(got.frame->value == want.value, qPrintable(where));
            QVERIFY2(got.frame->fixed == want.fixed, qPrintable(where));
            QVERIFY2(got.frame->serial == want.serial, qPrintable(where));
            ++frames;
        }
        markers += got.markerSeen;
    }
    // The streams are mostly frames: make sure the comparison saw plenty of them.
    QVERIFY(frames > 200);
    QVERIFY(markers > 13 * 200);
}

QTEST_APPLESS_MAIN(TestFrameDecoder)

#include "tst_framedecoder.moc"
