// libFuzzer target: any reading, with any serial, written as one record and read back.
// The record must be exactly one line, which the table's own reader takes back to the
// same time, the serial with its invisible characters as U+FFFD, and the same reading
// text and held flag. Any violation aborts.
//
// The input: four bytes of reading (little-endian), one byte whose low bit is the held
// flag and whose rest picks the local time zone's offset from UTC, four bytes of seconds since
// 2000, then the serial as UTF-16 code units, unpaired surrogates and all.

#include "table/csvrecord.h"
#include "table/recordreader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace
{

[[noreturn]] void violation(const char *what, const QByteArray &record)
{
    std::fprintf(stderr, "fuzz-csvrecord: %s in: %s\n", what, record.constData());
    std::abort();
}

template <typename T> T take(const uint8_t *&data, size_t &size)
{
    T value{};
    const size_t n = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reading reading;
    reading.value = take<int32_t>(data, size);
    const uint8_t flags = take<uint8_t>(data, size);
    reading.held = (flags & 1) != 0;
    // Offsets from -12:00 to +14:00 in quarter hours, as time zones have them; POSIX
    // writes them west of UTC positive.
    const int offset = (int(flags >> 1) % 105 - 48) * 15;
    const QByteArray zone = QStringLiteral("FZ%1%2:%3")
                                .arg(offset > 0 ? QLatin1Char('-') : QLatin1Char('+'))
                                .arg(std::abs(offset) / 60)
                                .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'))
                                .toLatin1();
    setenv("TZ", zone.constData(), 1);
    tzset();
    const qint64 seconds = take<uint32_t>(data, size);
    reading.msecsSinceEpoch = (946684800 + seconds) * 1000 + seconds % 1000;
    reading.serial = QString(reinterpret_cast<const QChar *>(data), int(size / 2));

    CsvRecordMaker maker;
    const QByteArray record = maker.record(reading);
    if (!record.endsWith('\n') || record.count('\n') != 1)
        violation("not one line", record);
    const std::optional<Reading> back = readRecord(record.chopped(1));
    if (!back)
        violation("not read back", record);
    // The local time and offset written must add up to the instant.
    if (back->msecsSinceEpoch != reading.msecsSinceEpoch)
        violation("time", record);
    if (back->serial != visibleText(reading.serial))
        violation("serial", record);
    if (readingText(back->value) != readingText(reading.value))
        violation("reading", record);
    if (back->held != reading.held)
        violation("held flag", record);
    return 0;
}
