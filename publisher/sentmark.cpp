#include "publisher/sentmark.h"

#include <QFile>
#include <QSaveFile>

QString SentMark::pathFor(const QString &table)
{
    return table + QStringLiteral(".sent");
}

SentMark SentMark::load(const QString &table, QString &notice)
{
    QFile file(pathFor(table));
    if (!file.exists())
        return {};
    const QList<QByteArray> fields =
        file.open(QIODevice::ReadOnly) ? file.read(64).trimmed().split(' ') : QList<QByteArray>();
    SentMark mark;
    bool recordsOk = false;
    bool offsetOk = false;
    if (fields.size() == 2) {
        mark.records = fields.at(0).toLongLong(&recordsOk);
        mark.offset = fields.at(1).toLongLong(&offsetOk);
    }
    QFile data(table);
    bool fits = recordsOk && offsetOk && mark.records >= 0 && mark.offset > 0 &&
                data.open(QIODevice::ReadOnly) && mark.offset <= data.size();
    if (fits) {
        char before = 0;
        fits = data.seek(mark.offset - 1) && data.getChar(&before) && before == '\n';
    }
    if (!fits) {
        notice = QStringLiteral("%1 does not fit %2; every record of it is sent again")
                     .arg(pathFor(table), table);
        return {};
    }
    return mark;
}

bool SentMark::save(const QString &table, QString &error) const
{
    QSaveFile file(pathFor(table));
    const QByteArray text = QByteArray::number(records) + ' ' + QByteArray::number(offset) + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = QStringLiteral("cannot keep what was sent in %1: %2")
                    .arg(pathFor(table), file.errorString());
        return false;
    }
    return true;
}
