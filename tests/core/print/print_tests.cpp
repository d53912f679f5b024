#include "print/printlayout.h"
#include "print/printsettings.h"
#include "settings/error.h"
#include "settings/profile.h"
#include "support/printfixtures.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace qly;
using qlytest::TempDir;

namespace {
const QLocale En(QLocale::English, QLocale::UnitedStates);

// A 400 x 340 snapshot in a 600 x 500 surface on a Letter sheet at 600 dpi.
LayoutInput letterInput() {
    LayoutInput in;
    in.metrics = qlytest::letter600();
    in.snapW = 400;
    in.snapH = 340;
    in.boxW = 600;
    in.boxH = 500;
    in.scale = QStringLiteral("100");
    in.xOffset = in.yOffset = QStringLiteral("0");
    return in;
}
PrintLayout layout(const LayoutInput& in) {
    return computePrintLayout(in, En);
}
} // namespace

TEST(PrintArithmetic, RoundHalvesToEven) {
    EXPECT_EQ(roundHalfEven(8.5), 8);
    EXPECT_EQ(roundHalfEven(11.5), 12);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(2.51), 3);
    EXPECT_EQ(roundHalfEven(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(roundHalfEven(NAN), 0);
}

TEST(PrintTexts, PaperSizeInBothFormsAndUnits) {
    const PrinterMetrics m = qlytest::letter600();
    EXPECT_EQ(paperSizeText(m, true, PaperTextForm::Opening, En), "Paper size: 8.5 x 11.0 inches");
    EXPECT_EQ(paperSizeText(m, false, PaperTextForm::Opening, En), "Paper size: 216 x 279 mm");
    EXPECT_EQ(paperSizeText(m, false, PaperTextForm::UnitSwitch, En), "Paper size: 216 x 279 mm");
    EXPECT_EQ(paperSizeText(m, true, PaperTextForm::UnitSwitch, En),
              "Paper size: 8.50 x 11.00 inches");
    PrinterMetrics a4 = m;
    a4.PHYSICALWIDTH = 4961; // 210 x 297 mm at 600 dots per inch
    a4.PHYSICALHEIGHT = 7016;
    a4.derive();
    EXPECT_EQ(paperSizeText(a4, true, PaperTextForm::UnitSwitch, En),
              "Paper size: 8.27 x 11.69 inches");
}

TEST(PrintTexts, LocaleNumbers) {
    EXPECT_EQ(fixedText(1016, 2, En), "1,016.00");
    EXPECT_EQ(fixedText(-0.001, 2, En), "0.00");
    EXPECT_EQ(fixedText(12.7, 2, QLocale(QLocale::German)), "12,70");
    EXPECT_EQ(readNumber(" -1.5e1 ", En), -15.0);
    EXPECT_EQ(readNumber("+.5", En), 0.5);
    EXPECT_EQ(readNumber("12,70", QLocale(QLocale::German)), 12.7);
    EXPECT_FALSE(readNumber("1.270", QLocale(QLocale::German)).has_value());
    const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
    EXPECT_EQ(readNumber(fixedText(12.7, 2, arabic), arabic), 12.7);
    for (const char* bad : {"1,016.00", "12,5x", "", "abc", "1e999", "inf", "nan", "1 2"})
        EXPECT_FALSE(readNumber(QString::fromLatin1(bad), En).has_value()) << bad;
}

TEST(PrintLayoutTest, ZoomIsClampedAndDefaultsToOne) {
    LayoutInput in = letterInput();
    const std::pair<const char*, double> cases[] = {
        {"0", 0.01}, {"5000", 10}, {"abc", 1.0}, {"250", 2.5}, {"-7", 0.01}};
    for (const auto& [text, z] : cases) {
        in.scale = QString::fromLatin1(text);
        EXPECT_DOUBLE_EQ(layout(in).z, z) << text;
    }
}

TEST(PrintLayoutTest, FitFillsThePrintableWidthAndCentresWhateverTheBoxesSay) {
    LayoutInput in = letterInput();
    in.snapW = 1000; // proportionally wider than the 8 x 10.5 inch printable area
    in.snapH = 200;
    in.fitToPage = true;
    in.centerHorz = in.centerVert = false;
    in.xOffset = in.yOffset = QStringLiteral("3");
    in.scale = QStringLiteral("abc");
    const PrintLayout L = layout(in);
    EXPECT_NEAR(L.IW, L.PrintR - L.PrintL, 1e-9);
    EXPECT_NEAR(L.ImgL, L.PrintL, 1e-9);
    EXPECT_NEAR(L.ImgT - L.PrintT, L.PrintB - L.ImgB, 1e-9);
}

TEST(PrintLayoutTest, OffsetsClampToThePrintableArea) {
    LayoutInput in = letterInput();
    in.centerHorz = in.centerVert = false;
    in.xOffset = in.yOffset = QStringLiteral("1000");
    PrintLayout L = layout(in);
    EXPECT_NEAR(L.ImgL, L.PrintR, 1e-9);
    EXPECT_NEAR(L.ImgT, L.PrintB, 1e-9);
    in.xOffset = in.yOffset = QStringLiteral("-1000");
    L = layout(in);
    EXPECT_NEAR(L.ImgR, L.PrintL, 1e-9);
    EXPECT_NEAR(L.ImgB, L.PrintT, 1e-9);
    // A text that is not a number is 0: the sheet's corner, pulled onto the printable area.
    in.xOffset = QStringLiteral("abc");
    EXPECT_NEAR(layout(in).OffsetX, 0.0, 1e-9);
}

TEST(PrintLayoutTest, UnitSwitchRoundTripsAndTheImageStays) {
    EXPECT_EQ(offsetText(offsetInches("0.50", true, En), false, En), "12.70");
    EXPECT_EQ(offsetText(offsetInches("12.70", false, En), true, En), "0.50");
    LayoutInput in = letterInput();
    in.centerHorz = false;
    in.xOffset = QStringLiteral("0.50");
    const double before = layout(in).ImgL;
    in.inches = false;
    in.xOffset = QStringLiteral("12.70");
    EXPECT_NEAR(layout(in).ImgL, before, 1e-9);
}

TEST(PrintLayoutTest, ShadowShrinksWithTheLongerSide) {
    LayoutInput in = letterInput();
    EXPECT_NEAR(layout(in).Sh, 0.124, 0.0005);
    in.metrics = qlytest::a4600();
    EXPECT_NEAR(layout(in).Sh, 0.110, 0.0005);
    in.metrics.PHYSICALWIDTH = in.metrics.PHYSICALHEIGHT;
    in.metrics.derive();
    EXPECT_DOUBLE_EQ(layout(in).Sh, 15 / in.metrics.PH / in.metrics.PH);
}

TEST(PrintLayoutTest, VisiblePartAndPreviewRectangles) {
    LayoutInput in = letterInput();
    const PrintLayout L = layout(in);
    EXPECT_EQ(L.VisL, L.ImgL);
    EXPECT_EQ(L.VisT, L.ImgT);
    EXPECT_EQ(L.VisR, L.ImgR);
    EXPECT_EQ(L.VisB, L.ImgB);
    const PreviewRects r = previewRects(L, in.S);
    EXPECT_EQ(r.snapshotSource, QRect(0, 0, 400, 340));
    EXPECT_EQ(r.visible, r.image);
    EXPECT_EQ(r.shadow.size(), r.sheet.size());
    EXPECT_GT(r.shadow.left(), r.sheet.left());
    // The sheet plus half an inch on each side fits the surface, in the narrower direction.
    EXPECT_LE(r.sheet.right(), 600);
    EXPECT_NEAR(r.sheet.left(), 600 - r.sheet.right() - 1, 1);
    // On a dense screen the same layout lands on twice the device pixels.
    const PreviewRects dense = previewRects(L, in.S, 2.0, 2.0);
    EXPECT_NEAR(dense.image.width(), 2 * r.image.width(), 1);
    EXPECT_EQ(dense.snapshotSource, QRect(0, 0, 800, 680));
    // Hit test: strictly inside the image's rectangle.
    EXPECT_TRUE(hitsImage(L, in.S, r.image.center()));
    EXPECT_FALSE(hitsImage(L, in.S, r.image.topLeft()));
    EXPECT_TRUE(hitsImage(L, in.S, r.image.topLeft() + QPoint(1, 1)));
}

TEST(PrintLayoutTest, PrinterPlacementAtTwoHundredPercent) {
    LayoutInput in = letterInput();
    in.scale = QStringLiteral("200");
    const PrintLayout L = layout(in);
    const PrinterPlacement p = printerPlacement(L, in.metrics, 400, 340, 96, 600, 600);
    EXPECT_EQ(p.width, 5000);
    EXPECT_EQ(p.height, 4250);
    // Centred on the sheet: (5100 - 5000) / 2 dots from its left edge.
    EXPECT_EQ(p.x, 50);
}

TEST(PrintLayoutTest, ZeroDivisorsGiveFiniteRectangles) {
    LayoutInput in;
    in.scale = QStringLiteral("100");
    in.fitToPage = true;
    const PrintLayout L = layout(in);
    for (double v : {L.z, L.IW, L.k, L.PaperL, L.PrintB, L.ImgL, L.VisB, L.Sh, L.OffsetX})
        EXPECT_TRUE(std::isfinite(v));
    previewRects(L, 0);
    EXPECT_EQ(printerPlacement(L, in.metrics, 0, 0, 0, 0, 0).width, 0);
}

TEST(PrintLayoutTest, DragOffsetFollowsThePointer) {
    // 96 pixels at k = 0.5 and S = 96 are two paper inches.
    EXPECT_EQ(dragOffsetText(96, 96, 0.5, true, 0.25, En), "2.25");
    EXPECT_EQ(dragOffsetText(-96, 96, 0.5, false, 0, En), "-50.80");
}

TEST(PrintSettingsTest, DefaultsWhenAbsent) {
    TempDir dir;
    const PrintSettings s = PrintSettings::read(Profile(dir.path("q.ini")), 1024, 768, 516, 400);
    EXPECT_EQ(s.left, 254);
    EXPECT_EQ(s.top, 184);
    EXPECT_EQ(s.width, 516);
    EXPECT_EQ(s.background, "8421376");
    EXPECT_EQ(s.backgroundColor(), 0x808000);
    EXPECT_TRUE(s.inches && s.centerVert && s.centerHorz && s.showMargins && s.showFrame);
    EXPECT_FALSE(s.fitToPage);
    EXPECT_EQ(s.zoom, "100");
    EXPECT_EQ(s.copies, "1");
}

TEST(PrintSettingsTest, FifteenKeysInClosingOrderTextsAsTyped) {
    TempDir dir;
    Profile p(dir.path("q.ini"));
    PrintSettings s;
    s.xOffset = QStringLiteral("12,5x");
    s.zoom = QStringLiteral(" 80 ");
    s.inches = false;
    s.write(p);
    const QByteArray written = dir.read("q.ini");
    QStringList keys;
    for (const QByteArray& line : written.split('\n'))
        if (line.contains('='))
            keys << QString::fromLatin1(line.left(line.indexOf('=')));
    EXPECT_EQ(keys, QStringList({"Inches", "ShowFrame", "FitToPage", "CenterVert", "CenterHorz",
                                 "ShowMargins", "Zoom", "Copies", "XOffset", "YOffset",
                                 "Background", "Top", "Left", "Width", "Height"}));
    const PrintSettings back = PrintSettings::read(Profile(dir.path("q.ini")), 0, 0, 516, 400);
    EXPECT_EQ(back.xOffset, "12,5x");
    EXPECT_FALSE(back.inches);
}

TEST(PrintSettingsTest, BackgroundAndCopiesMustBeIntegers) {
    PrintSettings s;
    s.background = QStringLiteral("teal");
    try {
        s.backgroundColor();
        ADD_FAILURE() << "no conversion error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "'teal' is not a valid integer value");
    }
    EXPECT_EQ(copiesToPrint("3"), 3);
    EXPECT_EQ(copiesToPrint("x"), 1);
    EXPECT_EQ(copiesToPrint("2.5"), 1);
    EXPECT_EQ(copiesToPrint("0"), 0);
    EXPECT_EQ(copiesToPrint("-4"), -4);
}

TEST(PrintSettingsTest, HandEditedPlaceAndOffsetsAreHeldToTheScreenAndASheet) {
    const QRect screen(0, 0, 1024, 768);
    const QSize minimum(516, 400);
    EXPECT_EQ(fitToScreen(100, 50, 600, 450, minimum, screen), QRect(100, 50, 600, 450));
    EXPECT_EQ(fitToScreen(0, 0, 100000, 100000, minimum, screen), screen);
    EXPECT_EQ(fitToScreen(INT_MAX, INT_MIN, INT_MAX, 10, minimum, screen), QRect(0, 0, 1024, 400));
    EXPECT_EQ(fitToScreen(2000, 700, 516, 400, minimum, QRect(1024, 0, 800, 600)),
              QRect(1308, 200, 516, 400));
    EXPECT_EQ(boundedOffset(1e300, true), 100.0);
    EXPECT_EQ(boundedOffset(-1e300, false), -2540.0);
    EXPECT_EQ(boundedOffset(12.7, false), 12.7);
}
