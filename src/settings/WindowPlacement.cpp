#include "settings/WindowPlacement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vellaro {

namespace {

constexpr int kStripWidth = 100;
constexpr int kStripHeight = 20;

// The overlap of two spans [a, a + la) and [b, b + lb), in 64 bits against overflow.
std::int64_t Overlap(std::int64_t a, std::int64_t la, std::int64_t b, std::int64_t lb) {
    return std::max<std::int64_t>(0, std::min(a + la, b + lb) - std::max(a, b));
}

// How far a span [a, a + la) lies from [b, b + lb): 0 when they touch or overlap.
std::int64_t Gap(std::int64_t a, std::int64_t la, std::int64_t b, std::int64_t lb) {
    if (a + la < b)
        return b - (a + la);
    if (b + lb < a)
        return a - (b + lb);
    return 0;
}

// Moves a span of length len into [lo, lo + room) as little as it takes; a span longer than the
// room is cut to it.
void Fit(int& start, int& len, int lo, int room) {
    len = std::min(len, room);
    start = int(std::clamp<std::int64_t>(start, lo, std::int64_t(lo) + room - len));
}

} // namespace

ScreenRect PlaceOnScreens(const ScreenRect& window, const std::vector<ScreenRect>& available) {
    const int stripWidth = std::min(kStripWidth, std::max(1, window.width));
    const int stripHeight = std::min(kStripHeight, std::max(1, window.height));
    const ScreenRect* nearest = nullptr;
    double nearestDistance = std::numeric_limits<double>::infinity();
    for (const ScreenRect& screen : available) {
        if (screen.width <= 0 || screen.height <= 0)
            continue;
        const std::int64_t across = Overlap(window.left, window.width, screen.left, screen.width);
        const std::int64_t down = Overlap(window.top, stripHeight, screen.top, screen.height);
        if (across >= stripWidth && down >= stripHeight)
            return window;
        const double dx = double(Gap(window.left, window.width, screen.left, screen.width));
        const double dy = double(Gap(window.top, window.height, screen.top, screen.height));
        const double distance = dx * dx + dy * dy;
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = &screen;
        }
    }
    if (!nearest)
        return window;
    ScreenRect placed = window;
    Fit(placed.left, placed.width, nearest->left, nearest->width);
    Fit(placed.top, placed.height, nearest->top, nearest->height);
    return placed;
}

} // namespace vellaro
