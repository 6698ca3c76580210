#pragma once
// The value axis of the plot: the range drawn and its ticks. Spans are taken in long double, so
// they stay finite for any finite values, even from one end of double's range to the other, where
// the span of two doubles would overflow to infinity and leave nothing to draw.
#include <vector>

struct ST_PlotScale
{
    long double Low = 0, High = 1; // the range drawn, bottom to top; Low < High
    long double Step = 1;          // between ticks
    std::vector<double> Ticks;     // from the bottom, at most 100, all finite

    // How far above the bottom of a plot `pixels` rows high `value` is drawn; a value far outside
    // the range is kept a few heights away, where it is cut off without upsetting the painter.
    double Offset(double value, int pixels) const;
};

// For values from `low` to `high` (low > high or NaN: none), padded by a twentieth of their span
// so the extremes stay off the frame; `fixed`: exactly the given range. About `tickCount` ticks.
ST_PlotScale PlotScaleFor(double low, double high, bool fixed, int tickCount);

// 1, 2 or 5 times a power of ten that cuts `range` (> 0) into about `count` parts.
long double PlotNiceStep(long double range, int count);
