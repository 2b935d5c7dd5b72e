// Disc geometry of the visual field exercise, its sweep, and the speed page's rules.
#include <gtest/gtest.h>

#include "settings/TEnvSettings.h"
#include "trainer/DiscGeometry.h"
#include "trainer/SpeedPage.h"
#include "trainer/VisualField.h"

using namespace vellaro;

namespace {

DiscBox Find(const DiscFrame& f, DiscSide side) {
    for (std::size_t i = 0; i < f.count; ++i)
        if (f.sides[i] == side)
            return f.discs[i];
    ADD_FAILURE() << "no disc on that side";
    return {};
}

} // namespace

TEST(DiscGeometry, RoundsTiesToEven) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(158.5), 158);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(2.5001), 3);
    EXPECT_EQ(RoundHalfEven(-7.6), -8);
}

TEST(DiscGeometry, DesignSizeTable) {
    struct Row {
        int step, right, left, down, up;
    };
    // 634 x 392: cx = 307, cy = 186, sx = 29.7, sy = 17.6.
    const Row rows[] = {
        {0, 307, 307, 186, 186},
        {1, 337, 277, 204, 168},
        {5, 456, 158, 274, 98}, // left: 158.5 ties to even
        {10, 604, 10, 362, 10},
    };
    for (const Row& r : rows) {
        const DiscFrame f = ComputeDiscFrame(634, 392, r.step, kPaintAllDirections);
        ASSERT_EQ(f.count, 4u);
        EXPECT_EQ(f.sides[0], DiscSide::Right);
        EXPECT_EQ(f.sides[1], DiscSide::Left);
        EXPECT_EQ(f.sides[2], DiscSide::Down);
        EXPECT_EQ(f.sides[3], DiscSide::Up);
        EXPECT_EQ(Find(f, DiscSide::Right), (DiscBox{r.right, 186, r.right + 20, 206})) << r.step;
        EXPECT_EQ(Find(f, DiscSide::Left), (DiscBox{r.left, 186, r.left + 20, 206})) << r.step;
        EXPECT_EQ(Find(f, DiscSide::Down), (DiscBox{307, r.down, 327, r.down + 20})) << r.step;
        EXPECT_EQ(Find(f, DiscSide::Up), (DiscBox{307, r.up, 327, r.up + 20})) << r.step;
    }
}

TEST(DiscGeometry, AtTheLastStepTheDiscsStandTenPixelsInsideTheEdges) {
    for (auto [w, h] : {std::pair{800, 600}, {1920, 1080}, {641, 397}}) {
        const DiscFrame f = ComputeDiscFrame(w, h, 10, kPaintAllDirections);
        EXPECT_EQ(Find(f, DiscSide::Right).x, w - 30);
        EXPECT_EQ(Find(f, DiscSide::Left).x, 10);
        EXPECT_EQ(Find(f, DiscSide::Down).y, h - 30);
        EXPECT_EQ(Find(f, DiscSide::Up).y, 10);
    }
}

TEST(DiscGeometry, ModesChooseTheDiscs) {
    DiscFrame f = ComputeDiscFrame(634, 392, 3, kPaintVertical);
    ASSERT_EQ(f.count, 2u);
    EXPECT_EQ(f.sides[0], DiscSide::Down);
    EXPECT_EQ(f.sides[1], DiscSide::Up);
    f = ComputeDiscFrame(634, 392, 3, kPaintHorizontal);
    ASSERT_EQ(f.count, 2u);
    EXPECT_EQ(f.sides[0], DiscSide::Right);
    EXPECT_EQ(f.sides[1], DiscSide::Left);
    EXPECT_EQ(ComputeDiscFrame(634, 392, 3, 7).count, 0u);
}

TEST(DiscGeometry, NarrowSurfaceMovesTheDiscsAcrossTheCentre) {
    // W = 30: hx = -5, cx = 5, sx = -0.5: "right" moves left and "left" moves right.
    DiscFrame f = ComputeDiscFrame(30, 30, 1, kPaintAllDirections);
    EXPECT_EQ(Find(f, DiscSide::Right).x, 4); // 4.5 ties to even
    EXPECT_EQ(Find(f, DiscSide::Left).x, 6);  // 5.5 ties to even
    f = ComputeDiscFrame(30, 30, 10, kPaintAllDirections);
    EXPECT_EQ(Find(f, DiscSide::Right).x, 0);
    EXPECT_EQ(Find(f, DiscSide::Left).x, 10);
    EXPECT_EQ(Find(f, DiscSide::Down).y, 0);
    EXPECT_EQ(Find(f, DiscSide::Up).y, 10);
    f = ComputeDiscFrame(0, 0, 10, kPaintAllDirections);
    EXPECT_EQ(Find(f, DiscSide::Right).x, -30); // still W - 30
}

TEST(VisualField, PaceFollowsTheLevel) {
    const std::int32_t expected[] = {500, 450, 400, 350, 300, 250, 200, 150, 100, 50};
    for (int level = 1; level <= 10; ++level)
        EXPECT_EQ(PaintIntervalForLevel(level), expected[level - 1]);
    VisualField field;
    field.start();
    field.setPace(10);
    EXPECT_EQ(field.intervalMs(), 50);
    EXPECT_TRUE(field.timerOn()); // a running exercise keeps running at the new pace
}

TEST(VisualField, SweepsElevenStepsAndStartsAgain) {
    VisualField field;
    field.start();
    EXPECT_FALSE(field.startEnabled());
    const int centre = ComputeDiscFrame(634, 392, 0, 0).discs[0].x;
    for (int tick = 1; tick <= 11; ++tick) {
        const DiscFrame f = field.tick(634, 392);
        EXPECT_EQ(f.discs[0], ComputeDiscFrame(634, 392, tick - 1, 0).discs[0]) << tick;
    }
    EXPECT_EQ(field.tick(634, 392).discs[0].x, centre); // the 12th tick: the centre again
    EXPECT_EQ(field.paintStep(), 1);
}

TEST(VisualField, DirectionButtonsAndStopRestartTheSweep) {
    VisualField field;
    field.start();
    field.tick(634, 392);
    field.tick(634, 392);
    field.setMode(kPaintHorizontal);
    EXPECT_TRUE(field.timerOn());
    DiscFrame f = field.tick(634, 392);
    EXPECT_EQ(f.count, 2u);
    EXPECT_EQ(f.discs[0].x, 307);

    field.tick(634, 392);
    field.stop();
    EXPECT_TRUE(field.startEnabled());
    EXPECT_FALSE(field.timerOn());
    field.start();
    EXPECT_EQ(field.tick(634, 392).discs[0].x, 307);

    field.tick(634, 392);
    field.sheetShown();
    EXPECT_EQ(field.paintStep(), 0);
}

TEST(SpeedPage, EnteringShowsTheLessonOnABlankDisplay) {
    SpeedPage page;
    TEnvSettings s;
    s.SwSpeedText = true;
    s.BasreadCount = 9;
    s.JavaReadCount = 4;
    page.setSubPage(SpeedSubPage::VisualField);
    page.field.setMode(kPaintVertical);
    page.field.start();
    page.field.tick(634, 392);
    page.lesson.start(s, 20);
    page.lesson.tick(s, Cp932Lines(20, Cp932Text("x")));

    page.enter(s);
    EXPECT_EQ(page.subPage(), SpeedSubPage::Lesson);
    EXPECT_EQ(page.field.paintMode(), kPaintAllDirections);
    EXPECT_EQ(page.field.paintStep(), 1); // only the mode is reset here
    EXPECT_EQ(page.lesson.readIndex(), 4);
    EXPECT_EQ(page.lesson.counter(), "4");
    EXPECT_TRUE(page.lesson.display().empty());
}

TEST(SpeedPage, SubPageSwitches) {
    SpeedPage page;
    TEnvSettings s;
    s.JavaReadCount = 0;
    s.LevelTextJava = 5;
    page.lesson.start(s, 3);

    // To "視野拡大": only the pace; the lesson keeps running.
    page.subPageChosen(SpeedSubPage::VisualField, 7);
    EXPECT_EQ(page.field.intervalMs(), 200);
    EXPECT_TRUE(page.lesson.timerOn());
    EXPECT_FALSE(page.lesson.startEnabled());
    EXPECT_FALSE(page.field.timerOn());

    page.field.start();
    // To "速読レッスン": both stop, both Start buttons enabled.
    page.subPageChosen(SpeedSubPage::Lesson, 7);
    EXPECT_FALSE(page.lesson.timerOn());
    EXPECT_FALSE(page.lesson.running());
    EXPECT_TRUE(page.lesson.startEnabled());
    EXPECT_FALSE(page.field.timerOn());
    EXPECT_TRUE(page.field.startEnabled());
}
