#pragma once
// The speed page "速　読": its two exercises on two sub-pages, and what entering the page,
// switching sub-pages and switching main pages do to them.

#include <cstdint>

#include "trainer/ReadingLesson.h"
#include "trainer/VisualField.h"

namespace vellaro {

struct TEnvSettings;

enum class SpeedSubPage : int {
    VisualField = 0, // TabSheet5 "視野拡大"
    Lesson = 1,      // TabSheet6 "速読レッスン"
};

class SpeedPage {
  public:
    ReadingLesson lesson;
    VisualField field;

    // EnterSpeedPage after the pending events have run: the lesson sub-page becomes current,
    // the discs go back to all four directions, and the lesson shows the second pair's position
    // on a blank display (whichever pair is in use).
    void enter(const TEnvSettings& s);
    // StopTrainerTimers: both timers off, and the Start button of a running exercise enabled.
    void stopTimers();
    // PageControl2Change: the learner picked a sub-page. "視野拡大" only sets the pace (from the
    // level spin edit's value) and leaves a running lesson running; "速読レッスン" stops both.
    void subPageChosen(SpeedSubPage page, std::int32_t mstLevel);

    SpeedSubPage subPage() const { return m_subPage; }
    // The sub-page control moved by program (no change event).
    void setSubPage(SpeedSubPage page) { m_subPage = page; }

  private:
    SpeedSubPage m_subPage = SpeedSubPage::Lesson;
};

} // namespace vellaro
