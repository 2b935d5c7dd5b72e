// The reading lesson ticked directly: positions, pacing, TAB lines and the end of the text.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/Cp932.h"
#include "settings/TEnvSettings.h"
#include "trainer/ReadingLesson.h"

using namespace vellaro;
using namespace vellaro::cp932_literals;

namespace {

// A lesson on the first counter pair (BasreadCount, LevelTextBas) or on the second
// (JavaReadCount, LevelTextJava); the other pair holds values that must not matter.
TEnvSettings Pair(bool first, std::int32_t position, std::int32_t level) {
    TEnvSettings s;
    s.SwSpeedText = first;
    s.BasreadCount = first ? position : 555;
    s.LevelTextBas = first ? level : 1;
    s.JavaReadCount = first ? 777 : position;
    s.LevelTextJava = first ? 1 : level;
    return s;
}

TEnvSettings FirstPair(std::int32_t basreadCount, std::int32_t level = 5) {
    return Pair(true, basreadCount, level);
}

TEnvSettings SecondPair(std::int32_t javaReadCount, std::int32_t level = 5) {
    return Pair(false, javaReadCount, level);
}

const Cp932Lines kThree = SjisLines({"one", "two", "three"});

// A lesson started on kThree.
ReadingLesson Started(const TEnvSettings& s) {
    ReadingLesson lesson;
    lesson.start(s, kThree.size());
    return lesson;
}

// A lesson that halted by itself (at the end of the text, or when the display lost the focus):
// nothing runs, and Start stays disabled through a page switch until Stop.
void ExpectHaltedUntilStop(ReadingLesson& lesson) {
    EXPECT_FALSE(lesson.running());
    EXPECT_FALSE(lesson.timerOn());
    EXPECT_FALSE(lesson.startEnabled());
    lesson.stopForPageSwitch();
    EXPECT_FALSE(lesson.startEnabled());
    lesson.stop();
    EXPECT_TRUE(lesson.startEnabled());
}

} // namespace

TEST(ReadingLesson, PaceFollowsTheLevelAndClampsAHandEditedOne) {
    const std::int32_t expected[] = {1550, 1400, 1250, 1100, 950, 800, 650, 500, 350, 200};
    for (int level = 1; level <= 10; ++level)
        EXPECT_EQ(ReadIntervalForLevel(level), expected[level - 1]) << level;
    EXPECT_EQ(ReadIntervalForLevel(0), 1550);
    EXPECT_EQ(ReadIntervalForLevel(-3), 1550);
    EXPECT_EQ(ReadIntervalForLevel(11), 200);
    EXPECT_EQ(ReadIntervalForLevel(12), 200); // unclamped this would be 0
    EXPECT_EQ(ReadIntervalForLevel(INT_MAX), 200);
    EXPECT_EQ(ReadIntervalForLevel(INT_MIN), 1550);

    ReadingLesson lesson;
    auto s = FirstPair(1, 10);
    s.LevelTextJava = 1;
    lesson.start(s, 3);
    EXPECT_EQ(lesson.intervalMs(), 200);
    s = SecondPair(0, 1);
    lesson.start(s, 3);
    EXPECT_EQ(lesson.intervalMs(), 1550);
    s = SecondPair(0, 40);
    lesson.start(s, 3);
    EXPECT_EQ(lesson.intervalMs(), 200);
}

TEST(ReadingLesson, FirstPairStartsAtTheLineShownLast) {
    auto s = FirstPair(1);
    ReadingLesson lesson = Started(s);
    EXPECT_TRUE(lesson.running());
    EXPECT_TRUE(lesson.timerOn());
    EXPECT_FALSE(lesson.startEnabled());
    EXPECT_EQ(lesson.readIndex(), 0);
    EXPECT_EQ(lesson.readLastIndex(), 2);
    EXPECT_EQ(lesson.counter(), "0");
    EXPECT_EQ(lesson.display(), ""_cp932); // Start shows no line yet

    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), "one"_cp932);
    EXPECT_EQ(lesson.counter(), "1");
    EXPECT_EQ(s.BasreadCount, 1); // the 1-based number of the line shown
    EXPECT_EQ(s.JavaReadCount, 777);

    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), "two"_cp932);
    EXPECT_EQ(s.BasreadCount, 2);

    // Stop and Start show that line once more.
    lesson.stop();
    EXPECT_EQ(lesson.display(), "two"_cp932);
    lesson.start(s, kThree.size());
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), "two"_cp932);
}

TEST(ReadingLesson, BackToTheTopGivesABlankFirstTick) {
    ReadingLesson lesson;
    auto s = FirstPair(0); // "先頭行へ"
    lesson.start(s, kThree.size());
    EXPECT_EQ(lesson.readIndex(), -1);
    EXPECT_EQ(lesson.counter(), "-1");
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), ""_cp932);
    EXPECT_EQ(lesson.counter(), "0");
    EXPECT_EQ(s.BasreadCount, 0);
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), "one"_cp932);
    EXPECT_EQ(s.BasreadCount, 1);
}

TEST(ReadingLesson, TabLineStaysForTwoTicksWithoutItsTab) {
    const Cp932Lines text = SjisLines({"a", "\tb\tc", "d"});
    ReadingLesson lesson;
    auto s = SecondPair(0);
    lesson.start(s, text.size());
    lesson.tick(s, text);
    EXPECT_EQ(lesson.display(), "a"_cp932);
    EXPECT_EQ(lesson.counter(), "1");
    lesson.tick(s, text);
    EXPECT_EQ(lesson.display(), "b\tc"_cp932);
    EXPECT_EQ(lesson.counter(), "1");
    EXPECT_TRUE(lesson.tabLineHeld());
    lesson.tick(s, text);
    EXPECT_EQ(lesson.display(), "b\tc"_cp932);
    EXPECT_EQ(lesson.counter(), "2");
    EXPECT_FALSE(lesson.tabLineHeld());
    EXPECT_EQ(s.JavaReadCount, 2);
    lesson.tick(s, text);
    EXPECT_EQ(lesson.display(), "d"_cp932);
}

TEST(ReadingLesson, TabFlagSurvivesStopAndRestart) {
    const Cp932Lines text = SjisLines({"\tx", "\ty", "z"});
    ReadingLesson lesson;
    auto s = SecondPair(0);
    lesson.start(s, text.size());
    lesson.tick(s, text); // first of the two ticks of "\tx"
    EXPECT_EQ(lesson.counter(), "0");
    lesson.stop();
    EXPECT_TRUE(lesson.tabLineHeld());
    lesson.stopForPageSwitch();
    lesson.start(s, text.size());
    lesson.tick(s, text); // the flag is still set: advances at once
    EXPECT_EQ(lesson.display(), "x"_cp932);
    EXPECT_EQ(lesson.counter(), "1");
    lesson.tick(s, text); // "\ty" then holds for two ticks again
    EXPECT_EQ(lesson.display(), "y"_cp932);
    EXPECT_EQ(lesson.counter(), "1");
}

TEST(ReadingLesson, ThreeLinesEndOnTheFourthTick) {
    auto s = SecondPair(0);
    ReadingLesson lesson = Started(s);
    for (const auto& line : kThree) {
        lesson.tick(s, kThree);
        EXPECT_EQ(lesson.display(), line);
    }
    EXPECT_TRUE(lesson.timerOn());
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), LessonEndText());
    EXPECT_EQ(lesson.counter(), "3");
    EXPECT_EQ(lesson.readIndex(), 2);
    EXPECT_EQ(s.JavaReadCount, 2);
    ExpectHaltedUntilStop(lesson);
}

TEST(ReadingLesson, AfterTheEndTheFirstPairShowsTheLastTwoLinesAgain) {
    auto s = FirstPair(2);
    ReadingLesson lesson = Started(s);
    lesson.tick(s, kThree);
    lesson.tick(s, kThree);
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), LessonEndText());
    EXPECT_EQ(s.BasreadCount, 2);
    lesson.stop();
    lesson.start(s, kThree.size());
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), "two"_cp932);
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), "three"_cp932);
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), LessonEndText());
}

TEST(ReadingLesson, EmptyListEndsAtTheFirstTick) {
    ReadingLesson lesson;
    auto s = FirstPair(1);
    lesson.start(s, 0);
    EXPECT_EQ(lesson.readLastIndex(), -1);
    lesson.tick(s, {});
    EXPECT_EQ(lesson.display(), LessonEndText());
    EXPECT_EQ(lesson.readIndex(), -1);
    EXPECT_EQ(s.BasreadCount, -1);
    EXPECT_EQ(lesson.counter(), "0"); // keeps the value Start showed
    EXPECT_FALSE(lesson.timerOn());
}

TEST(ReadingLesson, PositionPastTheEndEndsAtOnce) {
    auto s = SecondPair(50);
    ReadingLesson lesson = Started(s);
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), LessonEndText());
    EXPECT_EQ(s.JavaReadCount, 2);
    EXPECT_EQ(s.BasreadCount, 555);
    EXPECT_EQ(lesson.counter(), "50");
}

TEST(ReadingLesson, SecondPairGoesOnWithTheNextLine) {
    auto s = SecondPair(1, 8);
    ReadingLesson lesson = Started(s);
    EXPECT_EQ(lesson.counter(), "1");
    EXPECT_EQ(lesson.intervalMs(), 500);
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), "two"_cp932);
    EXPECT_EQ(s.JavaReadCount, 2);
    lesson.stop();
    lesson.start(s, kThree.size());
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), "three"_cp932);
    EXPECT_EQ(s.BasreadCount, 555);
}

TEST(ReadingLesson, ExtremeHandEditedPositionsStayInsideTheList) {
    auto s = FirstPair(INT_MIN);
    ReadingLesson lesson = Started(s);
    EXPECT_EQ(lesson.readIndex(), INT_MIN); // saturates instead of wrapping around
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), ""_cp932);

    // A list shorter than the one Start measured is never read past its end.
    s = SecondPair(2);
    lesson.start(s, 10);
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), "three"_cp932);
    lesson.tick(s, kThree);
    EXPECT_EQ(lesson.display(), ""_cp932);
}

TEST(ReadingLesson, FocusLossHaltsButLeavesStartDisabled) {
    auto s = SecondPair(0);
    ReadingLesson lesson = Started(s);
    lesson.tick(s, kThree);
    lesson.focusLost();
    EXPECT_EQ(lesson.display(), "one"_cp932);
    ExpectHaltedUntilStop(lesson);
}

TEST(ReadingLesson, PageSwitchStopsARunningLessonAndEnablesStart) {
    auto s = FirstPair(1);
    ReadingLesson lesson = Started(s);
    lesson.stopForPageSwitch();
    EXPECT_FALSE(lesson.running());
    EXPECT_FALSE(lesson.timerOn());
    EXPECT_TRUE(lesson.startEnabled());
}

TEST(ReadingLesson, EnteringThePageTakesTheSecondPairsPosition) {
    auto s = FirstPair(3);
    ReadingLesson lesson = Started(s);
    lesson.tick(s, kThree);
    s.JavaReadCount = 42;
    lesson.enterPage(s);
    EXPECT_EQ(lesson.readIndex(), 42);
    EXPECT_EQ(lesson.counter(), "42");
    EXPECT_EQ(lesson.display(), ""_cp932);
}
