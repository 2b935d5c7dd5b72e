#pragma once
// The visual field expansion exercise: red discs move from the centre of the paint surface to its
// edges in 11 frames, then start again. Time is an input: Paint_Timer only calls tick(), which
// answers the frame to draw.

#include <cstdint>

#include "trainer/DiscGeometry.h"

namespace vellaro {

class VisualField {
  public:
    // Start (BitBtn9): the sweep begins at the centre with the first tick.
    void start();
    // Stop (BitBtn10): the last frame stays where it was drawn.
    void stop();
    // Direction buttons: 0 all four ways, 1 vertical, 2 horizontal; the sweep restarts.
    void setMode(std::int32_t mode);
    // The frame of the current step for a surface of width x height, then the step advances
    // (10 is followed by 0).
    DiscFrame tick(std::int32_t width, std::int32_t height);
    // The sub-page "視野拡大" has been shown.
    void sheetShown() { m_step = 0; }
    // Paces the frames by the level spin edit's value; a running exercise keeps running.
    void setPace(std::int32_t level) { m_intervalMs = PaintIntervalForLevel(level); }
    // Entering the speed page: all four directions (the step is left as it is).
    void resetMode() { m_mode = kPaintAllDirections; }
    // The exercise's part of stopping both trainer timers on a page switch.
    void stopForPageSwitch();

    std::int32_t paintStep() const { return m_step; }
    std::int32_t paintMode() const { return m_mode; }
    bool timerOn() const { return m_timerOn; }
    std::int32_t intervalMs() const { return m_intervalMs; }
    bool startEnabled() const { return m_startEnabled; }

  private:
    std::int32_t m_step = 0;
    std::int32_t m_mode = kPaintAllDirections;
    bool m_timerOn = false;
    std::int32_t m_intervalMs = 100;
    bool m_startEnabled = true;
};

} // namespace vellaro
