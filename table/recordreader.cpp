#include "table/recordreader.h"

#include "measurement/measurement.h"

#include <QRegularExpression>
#include <QStringList>

namespace
{

// The line's fields, unquoted; nothing where a quote is left open or stray.
std::optional<QStringList> splitFields(const QString &line)
{
    QStringList fields;
    QString field;
    int i = 0;
    while (true) {
        field.clear();
        if (i < line.size() && line.at(i) == QLatin1Char('"')) {
            ++i;
            while (true) {
                if (i >= line.size())
                    return std::nullopt;
                if (line.at(i) == QLatin1Char('"')) {
                    if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line.at(i++);
            }
            if (i < line.size() && line.at(i) != QLatin1Char(','))
                return std::nullopt;
        } else {
            const int comma = line.indexOf(QLatin1Char(','), i);
            field = line.mid(i, comma < 0 ? -1 : comma - i);
            if (field.contains(QLatin1Char('"')))
                return std::nullopt;
            i = comma < 0 ? int(line.size()) : comma;
        }
        fields.append(field);
        if (i >= line.size())
            return fields;
        ++i; // the comma
    }
}

std::optional<int> readingValue(const QString &text)
{
    if (text == QLatin1String("over"))
        return Measurement::OverRange;
    if (text == QLatin1String("under"))
        return Measurement::UnderRange;
    static const QRegularExpression number(QStringLiteral("^(-?)(\\d{1,3})\\.(\\d)$"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int magnitude = match.captured(2).toInt() * 10 + match.captured(3).toInt();
    if (magnitude >= Measurement::OverRange)
        return std::nullopt;
    return match.captured(1).isEmpty() ? magnitude : -magnitude;
}

} // namespace

std::optional<Reading> readRecord(const QByteArray &line)
{
    const QString text = QString::fromUtf8(line);
    if (text.toUtf8() != line)
        return std::nullopt; // not UTF-8
    const std::optional<QStringList> fields = splitFields(text);
    if (!fields || fields->size() != 4)
        return std::nullopt;
    static const QRegularExpression timeForm(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$"));
    Reading reading;
    if (!timeForm.match(fields->at(0)).hasMatch())
        return std::nullopt;
    reading.time = QDateTime::fromString(fields->at(0), Qt::ISODateWithMs);
    const std::optional<int> value = readingValue(fields->at(2));
    const QString &held = fields->at(3);
    if (!reading.time.isValid() || !value ||
        (held != QLatin1String("0") && held != QLatin1String("1")))
        return std::nullopt;
    reading.serial = fields->at(1);
    reading.value = *value;
    reading.held = held == QLatin1String("1");
    return reading;
}
