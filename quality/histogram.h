#ifndef HISTOGRAM_H
#define HISTOGRAM_H

#include <QVector>
#include <QtGlobal>

#include <vector>

// How many readings fell on each tenth of a micrometre the head can send, so that classes
// of any width can be drawn at any time without keeping the readings.
class ValueHistogram
{
public:
    struct Bin {
        double fromUm;
        double toUm;
        qint64 count;
    };

    ValueHistogram();

    // Over and under range have no place on the scale and are left out.
    void add(int tenths);

    // From the lowest reading to the highest in classes of whole tenths, so that no reading
    // falls on an edge: about the square root of the readings' number of them, at most
    // the given number. None before a reading.
    QVector<Bin> bins(int mostClasses) const;

private:
    std::vector<qint64> counts; // by tenths above the under-range sentinel
    qint64 total = 0;
    int lowest = 0;
    int highest = 0;
};

#endif
