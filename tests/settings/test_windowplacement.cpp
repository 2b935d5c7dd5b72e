#include "settings/WindowPlacement.h"

#include <gtest/gtest.h>

using vellaro::PlaceOnScreens;
using vellaro::ScreenRect;

namespace {

// A 1280 × 1024 desktop with a panel of 24 pixels along its top, and a second screen to its right.
const ScreenRect kLeft{0, 24, 1280, 1000};
const ScreenRect kRight{1280, 0, 1920, 1080};

TEST(PlaceOnScreens, AReachableWindowStaysWhereItWasStored) {
    for (const ScreenRect w : {ScreenRect{254, 122, 595, 520}, ScreenRect{-400, 30, 595, 520},
                               ScreenRect{1180, 24, 595, 520}, ScreenRect{1500, 900, 595, 520}})
        EXPECT_EQ(PlaceOnScreens(w, {kLeft, kRight}), w);
    // Exactly a 100 × 20 strip on the screen is enough.
    EXPECT_EQ(PlaceOnScreens({-495, 1004, 595, 520}, {kLeft}), (ScreenRect{-495, 1004, 595, 520}));
}

TEST(PlaceOnScreens, AnUnreachableWindowMovesOntoTheNearestScreen) {
    // A place stored on a screen that is gone.
    EXPECT_EQ(PlaceOnScreens({5000, 4000, 595, 520}, {kLeft}), (ScreenRect{685, 504, 595, 520}));
    // Its title bar above the top of the screen, or hidden under the panel.
    EXPECT_EQ(PlaceOnScreens({300, -100, 595, 520}, {kLeft}), (ScreenRect{300, 24, 595, 520}));
    EXPECT_EQ(PlaceOnScreens({300, 10, 595, 520}, {kLeft}), (ScreenRect{300, 24, 595, 520}));
    // Less than 100 pixels of the top edge on the screen.
    EXPECT_EQ(PlaceOnScreens({-550, 300, 595, 520}, {kLeft}), (ScreenRect{0, 300, 595, 520}));
    // The nearer of two screens takes it.
    EXPECT_EQ(PlaceOnScreens({3400, 200, 595, 520}, {kLeft, kRight}),
              (ScreenRect{2605, 200, 595, 520}));
    EXPECT_EQ(PlaceOnScreens({-900, 200, 595, 520}, {kLeft, kRight}),
              (ScreenRect{0, 200, 595, 520}));
}

TEST(PlaceOnScreens, AWindowLargerThanTheScreenIsCutToIt) {
    EXPECT_EQ(PlaceOnScreens({4000, 4000, 2000, 1500}, {kLeft}), kLeft);
    EXPECT_EQ(PlaceOnScreens({100, -2000, 700, 1500}, {kLeft}), (ScreenRect{100, 24, 700, 1000}));
}

TEST(PlaceOnScreens, ExtremeValuesDoNotOverflow) {
    const int big = 2147483647;
    EXPECT_EQ(PlaceOnScreens({big - 10, big - 10, 595, 520}, {kLeft}),
              (ScreenRect{685, 504, 595, 520}));
    EXPECT_EQ(PlaceOnScreens({-big, -big, 595, 520}, {kLeft}), (ScreenRect{0, 24, 595, 520}));
    EXPECT_EQ(PlaceOnScreens({10, 10, 595, 520}, {}), (ScreenRect{10, 10, 595, 520}));
}

} // namespace
