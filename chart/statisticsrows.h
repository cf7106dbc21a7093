#ifndef STATISTICSROWS_H
#define STATISTICSROWS_H

#include <QCoreApplication>
#include <QString>
#include <QVector>

class Batch;

// The figures of --summary as the window and the report show them, one row each.
class StatisticsRows
{
    Q_DECLARE_TR_FUNCTIONS(StatisticsRows)

public:
    struct Row {
        QString name;
        QString value;
    };

    static QVector<Row> of(const Batch &batch);
};

#endif
