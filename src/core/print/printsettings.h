#pragma once

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

} // namespace qly
