#include "chart/aqdefexport.h"

#include "chart/chartoptions.h"
#include "measurement/measurement.h"
#include "quality/limits.h"
#include "table/csvrecord.h"
#include "table/tablereader.h"

#include <QSaveFile>

#include <utility>

namespace
{

// The attribute that keeps a value out of the evaluation while still showing it.
constexpr char InvalidAttribute[] = "129";
// Written out in pieces, so that a table of millions of readings needs no more memory
// than one.
constexpr int Chunk = 1 << 16;

// A DFQ line holds Latin-1 and no line end: a control character becomes a space, so that
// a name cannot start a field of its own, and what Latin-1 cannot hold becomes '?'.
QByteArray latin1(const QString &text)
{
    QByteArray bytes;
    const QVector<uint> codes = text.toUcs4();
    bytes.reserve(codes.size());
    for (const uint code : codes) {
        if (code < 0x20 || (code >= 0x7f && code <= 0x9f))
            bytes.append(' ');
        else if (code > 0xff)
            bytes.append('?');
        else
            bytes.append(char(code));
    }
    return bytes;
}

// Limits are whole tenths; a nominal in the middle of two may be half of one.
QByteArray micrometres(double um)
{
    QByteArray text = QByteArray::number(um, 'f', 2);
    if (text.endsWith('0'))
        text.chop(1);
    return text;
}

void appendField(QByteArray &out, const char *key, const QByteArray &value)
{
    out += key;
    if (!value.isEmpty()) {
        out += ' ';
        out += value;
    }
    out += "\r\n";
}

} // namespace

AqdefExport::AqdefExport(const ChartOptions &options) : options(options) {}

bool AqdefExport::save(QString &error) const
{
    QSaveFile file(options.exportPath);
    if (!file.open(QIODevice::WriteOnly)) {
        error = tr("cannot write %1: %2").arg(options.exportPath, file.errorString());
        return false;
    }

    QByteArray out;
    appendField(out, "K0100", "1");
    if (!options.part.isEmpty()) {
        appendField(out, "K1001", latin1(options.part));
        appendField(out, "K1002", latin1(options.part));
    }
    if (!options.characteristic.isEmpty()) {
        appendField(out, "K2001/1", latin1(options.characteristic));
        appendField(out, "K2002/1", latin1(options.characteristic));
    }
    const ToleranceLimits limits(options.lower, options.upper, options.nominal);
    for (const auto &[key, um] :
         {std::pair{"K2101/1", limits.nominalUm()}, std::pair{"K2110/1", limits.lowerUm()},
          std::pair{"K2111/1", limits.upperUm()}}) {
        if (um)
            appendField(out, key, micrometres(*um));
    }
    appendField(out, "K2142/1", latin1(QStringLiteral("µm")));

    const auto take = [&](const RecordView &record) {
        if (options.heldOnly && !record.held)
            return;
        if (record.tenths >= Measurement::OverRange || record.tenths <= Measurement::UnderRange) {
            appendField(out, "K0001/1", QByteArray());
            appendField(out, "K0002/1", InvalidAttribute);
        } else {
            appendField(out, "K0001/1", readingText(record.tenths).toLatin1());
        }
        // The time as recorded, in the offset from UTC it was recorded in.
        appendField(out, "K0004/1",
                    record.time().toString(QStringLiteral("dd.MM.yyyy/hh:mm:ss")).toLatin1());
        appendField(out, "K0012/1", latin1(record.serial()));
        if (out.size() >= Chunk) {
            file.write(out);
            out.clear();
        }
    };
    if (!TableReader(options.from).read(take, error))
        return false;
    file.write(out);
    if (!file.commit()) {
        error = tr("cannot write %1: %2").arg(options.exportPath, file.errorString());
        return false;
    }
    return true;
}
