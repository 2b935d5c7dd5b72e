#include "trainer/VisualField.h"

namespace vellaro {

void VisualField::start() {
    m_startEnabled = false;
    m_timerOn = true;
    m_step = 0;
}

void VisualField::stop() {
    m_startEnabled = true;
    m_timerOn = false;
    m_step = 0;
}

void VisualField::setMode(std::int32_t mode) {
    m_mode = mode;
    m_step = 0;
}

DiscFrame VisualField::tick(std::int32_t width, std::int32_t height) {
    DiscFrame frame = ComputeDiscFrame(width, height, m_step, m_mode);
    ++m_step;
    if (m_step > kPaintLastStep)
        m_step = 0;
    return frame;
}

void VisualField::stopForPageSwitch() {
    m_timerOn = false;
    if (!m_startEnabled)
        m_startEnabled = true;
}

} // namespace vellaro
