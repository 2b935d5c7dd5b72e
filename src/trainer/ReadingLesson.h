#pragma once
// The reading lesson: shows the decoded lesson text one line per tick at the pace of the learner's
// reading level, and keeps the reading position in the settings record. Time is an input: the
// window's Read_Timer only calls tick(), and tests call it directly.
//
// Everything the lesson's widgets show is kept here as state (display text, counter text, timer
// on/off and interval, whether the Start button is enabled); the window copies it to them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Cp932Text.h"

namespace vellaro {

struct TEnvSettings;

// Shown in the display once the text has run out.
Cp932Text LessonEndText();

// Interval in milliseconds between two lines at reading level `level`: (10 - level) * 150 + 200.
// A level outside 1 to 10 (a hand-edited settings file) is clamped first; 12 and above would
// otherwise give an interval of zero or less.
std::int32_t ReadIntervalForLevel(std::int32_t level);

class ReadingLesson {
  public:
    // Start (BitBtn1): the position and the level come from the counter pair that SwSpeedText
    // chooses. No line is shown yet; the first tick shows the first one.
    void start(const TEnvSettings& s, std::size_t lineCount);
    // One tick of Read_Timer: shows the next line (a line beginning with TAB for two ticks,
    // without its TAB) or the end-of-text text, and writes the position into the counter pair.
    void tick(TEnvSettings& s, const Cp932Lines& lines);
    // Stop (BitBtn5): back to idle; the display keeps the line shown last.
    void stop();
    // Focus left the display: the lesson halts, the Start button stays as it is.
    void focusLost();
    // Entering the speed page: the position of the second pair, counter shown, display cleared.
    void enterPage(const TEnvSettings& s);
    // The lesson's part of stopping both trainer timers on a page switch.
    void stopForPageSwitch();
    // DefaultSettings' first step.
    void clearRunning() { m_running = false; }

    bool running() const { return m_running; }
    std::int32_t readIndex() const { return m_readIndex; }
    std::int32_t readLastIndex() const { return m_readLastIndex; }
    bool tabLineHeld() const { return m_tabLineHeld; }

    const Cp932Text& display() const { return m_display; }
    const std::string& counter() const { return m_counter; }
    bool timerOn() const { return m_timerOn; }
    std::int32_t intervalMs() const { return m_intervalMs; }
    bool startEnabled() const { return m_startEnabled; }

  private:
    bool m_running = false;
    std::int32_t m_readIndex = 0;
    std::int32_t m_readLastIndex = -1;
    // The first of the two ticks of a TAB line has been shown. It belongs to the program, not to
    // one lesson: it survives Stop, page switches and restarts.
    bool m_tabLineHeld = false;

    Cp932Text m_display;
    std::string m_counter = "1";
    bool m_timerOn = false;
    std::int32_t m_intervalMs = 500;
    bool m_startEnabled = true;
};

} // namespace vellaro
