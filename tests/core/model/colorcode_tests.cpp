// The codes pages and settings store for alignment and colour, and their Qt counterparts.
#include "model/alignment.h"
#include "model/bgrcolor.h"
#include "model/contrast.h"
#include "model/document.h"
#include "settings/mainsettings.h"

#include <gtest/gtest.h>

using namespace qly;

TEST(AlignmentCodes, RoundTripAndTolerateOtherFlags) {
    for (Alignment a : {Alignment::Left, Alignment::Right, Alignment::Center, Alignment::Justify})
        EXPECT_EQ(alignmentCode(qtAlignment(int(a))), int(a));
    EXPECT_EQ(qtAlignment(7), Qt::AlignLeft);
    EXPECT_EQ(alignmentCode(Qt::AlignHCenter | Qt::AlignVCenter), int(Alignment::Center));
    EXPECT_EQ(alignmentCode(Qt::AlignTrailing), int(Alignment::Right));
    EXPECT_EQ(alignmentCode(Qt::AlignAbsolute | Qt::AlignLeft), int(Alignment::Left));
}

namespace {
struct Color {
    int r, g, b;
    int red() const { return r; }
    int green() const { return g; }
    int blue() const { return b; }
};
} // namespace

TEST(BgrColor, RedIsTheLowByte) {
    const Color c = colorFromBgr<Color>(0x00336699);
    EXPECT_EQ(c.r, 0x99);
    EXPECT_EQ(c.g, 0x66);
    EXPECT_EQ(c.b, 0x33);
    EXPECT_EQ(bgrFromColor(Color{0xFF, 0x80, 0x00}), 0x0080FF);
}

TEST(Contrast, EveryDefaultPageColourGetsReadableText) {
    EXPECT_NEAR(contrastRatio(0x000000, 0xFFFFFF), 21.0, 1e-9);
    EXPECT_EQ(readableTextColor(0x000000), 0xFFFFFF);
    EXPECT_EQ(readableTextColor(0x80FFFF), 0x000000); // light yellow
    for (int i = 0; i < PageCount; ++i) {
        const int page = DefaultPageColors[i];
        EXPECT_GE(contrastRatio(readableTextColor(page), page), 4.5) << "page " << i;
    }
}
