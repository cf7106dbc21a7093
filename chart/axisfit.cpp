#include "chart/axisfit.h"

void fitAxis(QValueAxis *axis, double low, double high)
{
    const bool holds = low >= axis->min() && high <= axis->max();
    if (holds && (high - low) * 2 >= axis->max() - axis->min())
        return;
    axis->setRange(low, high);
    axis->applyNiceNumbers();
}
