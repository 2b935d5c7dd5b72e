#include "trainer/DiscGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vellaro {

std::int32_t RoundHalfEven(double v) {
    double r = std::round(v); // ties away from zero
    if (std::fabs(v - std::trunc(v)) == 0.5)
        r = 2.0 * std::round(v / 2.0);
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (!(r >= lo)) // also NaN
        return std::numeric_limits<std::int32_t>::min();
    if (r > hi)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(r);
}

DiscFrame ComputeDiscFrame(std::int32_t width, std::int32_t height, std::int32_t step,
                           std::int32_t mode) {
    DiscFrame f;
    f.width = width;
    f.height = height;
    const double hx = (static_cast<double>(width) - 40.0) / 2.0;
    const double hy = (static_cast<double>(height) - 40.0) / 2.0;
    const double cx = hx - 10.0 + 20.0;
    const double cy = hy - 10.0 + 20.0;
    const double sx = hx / 10.0;
    const double sy = hy / 10.0;
    const double s = step;

    auto horizontal = [&](double x) {
        const std::int32_t left = RoundHalfEven(x);
        return DiscBox{left, RoundHalfEven(cy), left + kDiscSize, RoundHalfEven(cy + kDiscSize)};
    };
    auto vertical = [&](double y) {
        const std::int32_t top = RoundHalfEven(y);
        return DiscBox{RoundHalfEven(cx), top, RoundHalfEven(cx + kDiscSize), top + kDiscSize};
    };
    auto add = [&](DiscSide side, DiscBox box) {
        f.sides[f.count] = side;
        f.discs[f.count] = box;
        ++f.count;
    };
    if (mode == kPaintAllDirections || mode == kPaintHorizontal) {
        add(DiscSide::Right, horizontal(cx + sx * s));
        add(DiscSide::Left, horizontal(cx - sx * s));
    }
    if (mode == kPaintAllDirections || mode == kPaintVertical) {
        add(DiscSide::Down, vertical(cy + sy * s));
        add(DiscSide::Up, vertical(cy - sy * s));
    }
    return f;
}

std::int32_t PaintIntervalForLevel(std::int32_t level) {
    const std::int32_t v = std::clamp(level, 1, 10);
    return (10 - v) * 50 + 50;
}

} // namespace vellaro
