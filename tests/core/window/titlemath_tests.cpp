// The title bar's, splitter's and banner's arithmetic, without a window.
#include "model/muldiv.h"
#include "window/titlemath.h"

#include <limits>

#include <gtest/gtest.h>

using namespace qly;

TEST(MulDiv, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(mulDiv(1, -127, 2), -64); // -63.5
    EXPECT_EQ(mulDiv(1, 127, 2), 64);
    EXPECT_EQ(mulDiv(3, -127, 31), -12); // -12.29
    EXPECT_EQ(mulDiv(5, 10, -4), -13);   // -12.5
    EXPECT_EQ(mulDiv(0, -127, 31), 0);
    EXPECT_EQ(mulDiv(2000000000, 2, 4), 1000000000); // no overflow in between
    EXPECT_EQ(mulDiv(400, 600, 96), 2500);
    EXPECT_EQ(mulDiv(2000000000, 2000000000, 1), std::numeric_limits<int>::max());
    EXPECT_EQ(mulDiv(1, 1, 0), -1);
}

TEST(GradientBands, A230PixelMenuHas32BandsOf7RowsThen6RowsOfTheEndColour) {
    const auto bands = gradientBands(0, 230, BannerStart, BannerEnd);
    ASSERT_EQ(bands.size(), 33u);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(bands[i].top, 7 * i);
        EXPECT_EQ(bands[i].bottom, 7 * i + 7);
        EXPECT_EQ(bands[i].color.red, 0);
        EXPECT_EQ(bands[i].color.blue, 0);
        if (i > 0) {
            EXPECT_LT(bands[i].color.green, bands[i - 1].color.green) << i;
        }
    }
    EXPECT_EQ(bands[0].color.green, 255);
    EXPECT_EQ(bands[1].color.green, 251); // 255 - 127/31, rounded
    EXPECT_EQ(bands[31].color.green, 128);
    EXPECT_EQ(bands[32].top, 224);
    EXPECT_EQ(bands[32].bottom, 230);
    EXPECT_EQ(bands[32].color, BannerEnd);
}

TEST(GradientBands, AShortStripHasOneBandARowEndingInTheEndColour) {
    for (int h : {2, 5, 20, 31}) {
        const auto bands = gradientBands(10, 10 + h, BannerStart, BannerEnd);
        ASSERT_EQ(int(bands.size()), h);
        for (int i = 0; i < h; ++i)
            EXPECT_EQ(bands[i].bottom - bands[i].top, 1);
        EXPECT_EQ(bands.front().color, BannerStart);
        EXPECT_EQ(bands.back().color, BannerEnd);
        EXPECT_EQ(bands.back().bottom, 10 + h);
    }
    // One row: no band of the gradient fits, the row is the end colour.
    const auto one = gradientBands(0, 1, BannerStart, BannerEnd);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].color, BannerEnd);
    EXPECT_TRUE(gradientBands(5, 5, BannerStart, BannerEnd).empty());
}

TEST(GradientBands, CoverEveryRowOnce) {
    for (int h = 1; h < 400; ++h) {
        int next = 3;
        for (const GradientBand& b : gradientBands(3, 3 + h, BannerStart, BannerEnd)) {
            EXPECT_EQ(b.top, next) << h;
            next = b.bottom;
        }
        EXPECT_EQ(next, 3 + h);
    }
}

TEST(MenuImageIndex, TagsAbove9NameAPicture) {
    EXPECT_EQ(menuImageIndex(10, -1), -1);
    EXPECT_EQ(menuImageIndex(11, -1), 0);
    EXPECT_EQ(menuImageIndex(13, -1), 2);
    EXPECT_EQ(menuImageIndex(17, -1), 6);
    for (int tag = 0; tag <= 9; ++tag) {
        EXPECT_EQ(menuImageIndex(tag, -1), -1);
        EXPECT_EQ(menuImageIndex(tag, 4), 4);
    }
}

TEST(GripLines, NineLinesTwoPixelsApartWhateverTheWidth) {
    const auto lines = gripLines(240);
    ASSERT_EQ(lines.size(), 9u);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(lines[i].y, 2 * i + 2);
        EXPECT_EQ(lines[i].left, 1);
        EXPECT_EQ(lines[i].right, 238);
    }
}

TEST(TitleHeight, ADragStaysBetween5And49) {
    EXPECT_EQ(draggedTitleHeight(25, 40), 40);
    EXPECT_EQ(draggedTitleHeight(40, 49), 49);
    EXPECT_EQ(draggedTitleHeight(40, 50), 40); // not taken: the last height below 50 stays
    EXPECT_EQ(draggedTitleHeight(49, 120), 49);
    EXPECT_EQ(draggedTitleHeight(25, 4), 5);
    EXPECT_EQ(draggedTitleHeight(25, -30), 5);
    // A height above 49 from the settings file is only kept while a drag asks for more.
    EXPECT_EQ(draggedTitleHeight(60, 70), 60);
    EXPECT_EQ(draggedTitleHeight(60, 45), 45);
    EXPECT_EQ(titleButtonHeight(25), 23);
}
