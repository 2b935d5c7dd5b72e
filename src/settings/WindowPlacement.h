#pragma once
// Where the main window opens: the stored place, unless the window could not be reached there.

#include <vector>

namespace vellaro {

struct ScreenRect {
    int left = 0, top = 0; // the top left corner
    int width = 0, height = 0;
    bool operator==(const ScreenRect&) const = default;
};

// The window's outer rectangle as stored, unless less than a 100 × 20-pixel strip of its top edge
// (the part a learner drags it by) lies on the available area of any screen. Then it is moved onto
// the available area nearest to it, as little as it takes, and made smaller only where it does not
// fit there. No screens: the rectangle as stored.
ScreenRect PlaceOnScreens(const ScreenRect& window, const std::vector<ScreenRect>& available);

} // namespace vellaro
