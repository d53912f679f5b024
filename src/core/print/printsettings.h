#pragma once

#include <QRect>
#include <QString>

namespace qly {

class Profile;

// The section "Print" of the settings file: the preview window's place and every print
// setting. Texts are kept exactly as the user typed them, numbers or not.
struct PrintSettings {
    static constexpr int DesignWidth = 516;
    static constexpr int DesignHeight = 400;
    static constexpr int DefaultBackground = 8421376; // teal, 0x808000

    int left = 0;
    int top = 0;
    int width = DesignWidth;
    int height = DesignHeight;
    bool inches = true;
    QString xOffset = QStringLiteral("0");
    QString yOffset = QStringLiteral("0");
    bool centerVert = true;
    bool centerHorz = true;
    QString zoom = QStringLiteral("100");
    bool fitToPage = false;
    QString copies = QStringLiteral("1");
    bool showMargins = true;
    bool showFrame = true;
    QString background = QString::number(DefaultBackground);

    // Reads the fifteen keys in the window's opening order. The window's default place
    // centres it: half of (screen - window), truncated toward zero.
    static PrintSettings read(const Profile& profile, int screenWidth, int screenHeight,
                              int defaultWidth, int defaultHeight);
    // Writes the fifteen keys in the window's closing order, in one replacement of the file;
    // raises when the file cannot be written.
    void write(Profile& profile) const;

    // "Background" as a colour 0x00BBGGRR; raises a conversion error for a text that is not
    // a decimal integer.
    int backgroundColor() const;
};

// The number of copies to print: the copies text as an integer, 1 when it is not one.
int copiesToPrint(const QString& text);

// More copies than this are printed only once the user confirms them.
constexpr int CopiesWithoutAsking = 99;

// The largest sheet any printer takes, in inches: offsets beyond it mean nothing.
constexpr double MaxSheetInches = 100;
// An offset read from the settings, held within a sheet's size either way (in the unit).
double boundedOffset(double value, bool inches);

// The window's place from the settings, fitted to the screen it opens on: no larger than the
// screen's free area (but at least minimum), and wholly on it.
QRect fitToScreen(int left, int top, int width, int height, const QSize& minimum,
                  const QRect& screen);

} // namespace qly
