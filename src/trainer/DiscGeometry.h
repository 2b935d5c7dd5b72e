#pragma once
// Where the red discs of the visual field exercise stand in one frame: a pure function of the
// paint surface's size, the step (0 = centre, 10 = edge) and the direction mode.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vellaro {

inline constexpr std::int32_t kPaintLastStep = 10;
inline constexpr std::int32_t kDiscSize = 20;

enum PaintModeValue : std::int32_t {
    kPaintAllDirections = 0,
    kPaintVertical = 1,
    kPaintHorizontal = 2,
};

// The box a disc is inscribed in; right and bottom edges exclusive.
struct DiscBox {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t x2 = 0;
    std::int32_t y2 = 0;
    friend bool operator==(const DiscBox&, const DiscBox&) = default;
};

enum class DiscSide { Right, Left, Down, Up };

struct DiscFrame {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::array<DiscBox, 4> discs{};
    std::array<DiscSide, 4> sides{};
    std::size_t count = 0; // discs in drawing order: right, left, down, up (those of the mode)
};

// Rounds to the nearest integer, a tie to the even one.
std::int32_t RoundHalfEven(double v);

// Computed in double precision: hx = (W - 40) / 2, cx = hx + 10, sx = hx / 10 (and so for the
// height); the horizontal discs move by sx per step, the vertical ones by sy. A surface narrower
// than 40 pixels gives a negative step: the discs then cross the centre the other way.
// A mode other than 0, 1, 2 draws no disc.
DiscFrame ComputeDiscFrame(std::int32_t width, std::int32_t height, std::int32_t step,
                           std::int32_t mode);

// Frame interval in milliseconds for the exercise level v: (10 - v) * 50 + 50. The level spin
// edit only ever gives 1 to 10; anything else is clamped first.
std::int32_t PaintIntervalForLevel(std::int32_t level);

} // namespace vellaro
