#include "quality/histogram.h"

#include "measurement/measurement.h"

#include <algorithm>
#include <cmath>

ValueHistogram::ValueHistogram()
    : counts(size_t(Measurement::OverRange - Measurement::UnderRange - 1), 0)
{
}

void ValueHistogram::add(int tenths)
{
    if (tenths <= Measurement::UnderRange || tenths >= Measurement::OverRange)
        return;
    ++counts[size_t(tenths - Measurement::UnderRange - 1)];
    lowest = total == 0 ? tenths : std::min(lowest, tenths);
    highest = total == 0 ? tenths : std::max(highest, tenths);
    ++total;
}

QVector<ValueHistogram::Bin> ValueHistogram::bins(int mostClasses) const
{
    QVector<Bin> out;
    if (total == 0)
        return out;
    const int span = highest - lowest + 1;
    const int wanted =
        std::clamp(int(std::lround(std::sqrt(double(total)))), 1, std::max(1, mostClasses));
    const int width = (span + wanted - 1) / wanted;
    const int classes = (span + width - 1) / width;
    out.reserve(classes);
    for (int i = 0; i < classes; ++i) {
        const int from = lowest + i * width;
        Bin bin{(from - 0.5) / 10, (from + width - 0.5) / 10, 0};
        for (int tenths = from; tenths < from + width && tenths <= highest; ++tenths)
            bin.count += counts[size_t(tenths - Measurement::UnderRange - 1)];
        out.append(bin);
    }
    return out;
}
