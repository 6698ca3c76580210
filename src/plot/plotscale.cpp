#include "plot/plotscale.h"

#include <algorithm>
#include <cmath>
#include <limits>

long double PlotNiceStep(long double range, int count)
{
    const long double rough = range / std::max(count, 1);
    const long double power = std::pow(10.0L, std::floor(std::log10(rough)));
    const long double scaled = rough / power;
    return (scaled <= 1 ? 1 : scaled <= 2 ? 2 : scaled <= 5 ? 5 : 10) * power;
}

ST_PlotScale PlotScaleFor(double low, double high, bool fixed, int tickCount)
{
    ST_PlotScale scale;
    const bool values = std::isfinite(low) && std::isfinite(high) && low <= high;
    if (fixed && values && low < high) {
        scale.Low = low;
        scale.High = high;
    } else if (values) {
        const long double span = static_cast<long double>(high) - low;
        const long double pad =
            span > 0 ? span * 0.05L : std::max(std::fabs(static_cast<long double>(high)) * 0.05L, 0.5L);
        // Ticks and labels are doubles: the padded range stays within what a double holds.
        constexpr long double kMax = std::numeric_limits<double>::max();
        scale.Low = std::max(low - pad, -kMax);
        scale.High = std::min(high + pad, kMax);
    }
    scale.Step = PlotNiceStep(scale.High - scale.Low, tickCount);
    for (long double v = std::ceil(scale.Low / scale.Step) * scale.Step;
         v <= scale.High && scale.Ticks.size() < 100; v += scale.Step) {
        scale.Ticks.push_back(static_cast<double>(v));
        if (v + scale.Step == v)
            break; // a step too small to move on from here
    }
    return scale;
}

double ST_PlotScale::Offset(double value, int pixels) const
{
    const long double rows = std::max(pixels - 1, 1);
    const long double at = (value - Low) / (High - Low) * rows;
    return static_cast<double>(std::clamp(at, -4 * rows, 5 * rows));
}
