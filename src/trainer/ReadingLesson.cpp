#include "trainer/ReadingLesson.h"

#include <algorithm>
#include <limits>

#include "common/Cp932.h"
#include "common/delCommFunc.h"
#include "settings/TEnvSettings.h"

namespace vellaro {

namespace {

constexpr char kTab = '\t';

std::int32_t ToIndex(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

Cp932Text LessonEndText() {
    return Sjis("テキストが終わりました次の準備をして下さい。");
}

std::int32_t ReadIntervalForLevel(std::int32_t level) {
    const std::int32_t v = std::clamp(level, 1, 10);
    return (10 - v) * 150 + 200;
}

void ReadingLesson::start(const TEnvSettings& s, std::size_t lineCount) {
    m_running = true;
    std::int32_t level = 0;
    if (s.SwSpeedText) {
        // The first pair holds the 1-based number of the line shown last: show it once more.
        m_readIndex = ToIndex(std::int64_t{s.BasreadCount} - 1);
        level = s.LevelTextBas;
    } else {
        m_readIndex = s.JavaReadCount;
        level = s.LevelTextJava;
    }
    m_counter = IntToText(m_readIndex);
    m_intervalMs = ReadIntervalForLevel(level);
    m_readLastIndex = ToIndex(static_cast<std::int64_t>(lineCount) - 1);
    m_timerOn = true;
    m_startEnabled = false;
}

void ReadingLesson::tick(TEnvSettings& s, const Cp932Lines& lines) {
    if (m_readIndex > m_readLastIndex) {
        // The Start button stays disabled until Stop; the counter keeps its value.
        m_running = false;
        m_timerOn = false;
        m_readIndex = m_readLastIndex;
        m_display = LessonEndText();
    } else {
        // Nothing outside the list is ever read: below 0 (after "先頭行へ") reads as an empty
        // line, and the last index is re-checked against the list actually given.
        static const Cp932Text empty;
        const bool inside =
            m_readIndex >= 0 && static_cast<std::size_t>(m_readIndex) < lines.size();
        const Cp932Text& line = inside ? lines[static_cast<std::size_t>(m_readIndex)] : empty;
        if (line.empty() || line.bytes().front() != kTab) {
            m_display = line;
            ++m_readIndex;
        } else {
            if (m_tabLineHeld) {
                ++m_readIndex;
                m_tabLineHeld = false;
            } else {
                m_tabLineHeld = true;
            }
            m_display = Cp932Text(line.bytes().substr(1));
        }
        m_counter = IntToText(m_readIndex);
    }
    if (s.SwSpeedText)
        s.BasreadCount = m_readIndex;
    else
        s.JavaReadCount = m_readIndex;
}

void ReadingLesson::stop() {
    m_startEnabled = true;
    m_running = false;
    m_timerOn = false;
}

void ReadingLesson::focusLost() {
    m_running = false;
    m_timerOn = false;
}

void ReadingLesson::enterPage(const TEnvSettings& s) {
    m_readIndex = s.JavaReadCount;
    m_counter = IntToText(m_readIndex);
    m_display = Cp932Text();
}

void ReadingLesson::stopForPageSwitch() {
    m_timerOn = false;
    if (m_running) {
        m_startEnabled = true;
        m_running = false;
    }
}

} // namespace vellaro
