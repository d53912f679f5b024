#include "window/placement.h"

#include <gtest/gtest.h>

using namespace qly;

// A 1024 x 768 screen; work area 768 high unless a test says otherwise.
constexpr int W = 1024;
constexpr int H = 768;

TEST(FloatingButtonPosition, KeptOnTheScreen) {
    // The default: the top-right corner of a centred 400 x 368 window.
    EXPECT_EQ(floatingButtonPosition(678, 200, W, H), QPoint(678, 200));
    EXPECT_EQ(floatingButtonPosition(5000, 200, W, H), QPoint(990, 200));
    EXPECT_EQ(floatingButtonPosition(990, 200, W, H), QPoint(990, 200));
    EXPECT_EQ(floatingButtonPosition(989, 200, W, H), QPoint(989, 200));
    EXPECT_EQ(floatingButtonPosition(-1, -20, W, H), QPoint(0, 0));
    EXPECT_EQ(floatingButtonPosition(0, 0, W, H), QPoint(0, 0));
    // The bottom limit is the work area: a button touching it sits on it.
    EXPECT_EQ(floatingButtonPosition(10, 717, W, H), QPoint(10, 717));
    EXPECT_EQ(floatingButtonPosition(10, 718, W, H), QPoint(10, 718));
    EXPECT_EQ(floatingButtonPosition(10, 9000, W, 740), QPoint(10, 690));
}

TEST(RestoredWindowGeometry, MovedInsideOnlyWhereItSticksOut) {
    EXPECT_EQ(restoredWindowGeometry({312, 200, 400, 368}, W, H), QRect(312, 200, 400, 368));
    // Sticking out on the right and the bottom: moved back, size kept.
    EXPECT_EQ(restoredWindowGeometry({800, 600, 400, 368}, W, H), QRect(624, 400, 400, 368));
    // Off the left and top: to the edge.
    EXPECT_EQ(restoredWindowGeometry({-50, -10, 400, 368}, W, H), QRect(0, 0, 400, 368));
    // Exactly flush right and bottom stays.
    EXPECT_EQ(restoredWindowGeometry({624, 400, 400, 368}, W, H), QRect(624, 400, 400, 368));
    // The left edge wins for a window wider than the screen.
    EXPECT_EQ(restoredWindowGeometry({-138, 0, 1300, 368}, W, H), QRect(0, 0, 1300, 368));
    EXPECT_EQ(restoredWindowGeometry({20, 0, 1300, 368}, W, H), QRect(-276, 0, 1300, 368));
}

TEST(SnapToEdges, FlushWhenCloserThanTenPixels) {
    const QSize button(34, 50);
    EXPECT_EQ(snapToEdges({5, 300}, button, W, H), QPoint(0, 300));
    EXPECT_EQ(snapToEdges({9, 9}, button, W, H), QPoint(0, 0));
    EXPECT_EQ(snapToEdges({10, 10}, button, W, H), QPoint(10, 10));
    EXPECT_EQ(snapToEdges({-40, -40}, button, W, H), QPoint(0, 0));
    // Right edge: 980 + 34 = 1014 is not past 1014; 981 is.
    EXPECT_EQ(snapToEdges({980, 300}, button, W, H), QPoint(980, 300));
    EXPECT_EQ(snapToEdges({981, 300}, button, W, H), QPoint(990, 300));
    EXPECT_EQ(snapToEdges({2000, 2000}, button, W, H), QPoint(990, 718));
    // Bottom edge against the work area.
    EXPECT_EQ(snapToEdges({300, 680}, button, W, 740), QPoint(300, 680));
    EXPECT_EQ(snapToEdges({300, 681}, button, W, 740), QPoint(300, 690));
}
