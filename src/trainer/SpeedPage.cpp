#include "trainer/SpeedPage.h"

namespace vellaro {

void SpeedPage::enter(const TEnvSettings& s) {
    m_subPage = SpeedSubPage::Lesson;
    field.resetMode();
    lesson.enterPage(s);
}

void SpeedPage::stopTimers() {
    lesson.stopForPageSwitch();
    field.stopForPageSwitch();
}

void SpeedPage::subPageChosen(SpeedSubPage page, std::int32_t mstLevel) {
    m_subPage = page;
    if (page == SpeedSubPage::VisualField)
        field.setPace(mstLevel);
    else
        stopTimers();
}

} // namespace vellaro
