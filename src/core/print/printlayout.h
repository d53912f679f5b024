#pragma once

#include <QLocale>
#include <QRect>
#include <QString>

#include <optional>

namespace qly {

// The page of the selected printer, every value in printer dots, and the sheet's size in
// inches derived from them.
struct PrinterMetrics {
    int LOGPIXELSX = 0;      // dots per inch across
    int LOGPIXELSY = 0;      // dots per inch down
    int PHYSICALOFFSETX = 0; // left paper edge to the printable area
    int PHYSICALOFFSETY = 0; // top paper edge to the printable area
    int HORZRES = 0;         // printable width
    int VERTRES = 0;         // printable height
    int PHYSICALWIDTH = 0;   // the whole sheet
    int PHYSICALHEIGHT = 0;
    double PW = 0; // paper width, inches
    double PH = 0; // paper height, inches

    // Sets PW and PH from the dots (0 for a resolution of 0).
    void derive();
};

// What the layout reads from the preview window.
struct LayoutInput {
    PrinterMetrics metrics;
    int snapW = 0;
    int snapH = 0;
    int S = 96;   // display pixels per inch
    int boxW = 0; // preview surface, pixels
    int boxH = 0;
    QString scale;   // the zoom field, percent
    QString xOffset; // the offset fields, in the unit
    QString yOffset;
    bool fitToPage = false;
    bool centerHorz = true;
    bool centerVert = true;
    bool inches = true;
};

// One placement of the snapshot on the sheet. Lengths are view inches: inches at paper scale
// from the top-left corner of the preview surface.
struct PrintLayout {
    double z = 1;  // zoom used, 1.0 = 100 %
    double IW = 0; // printed image size
    double IH = 0;
    double k = 0; // display inches per paper inch in the preview
    double PaperL = 0, PaperT = 0, PaperR = 0, PaperB = 0;
    double PrintL = 0, PrintT = 0, PrintR = 0, PrintB = 0;
    double OffsetX = 0, OffsetY = 0; // image from the sheet's left / top edge, clamped
    double ImgL = 0, ImgT = 0, ImgR = 0, ImgB = 0;
    double VisL = 0, VisT = 0, VisR = 0, VisB = 0; // the part inside the printable area
    double Sh = 0;                                 // preview shadow offset
};

PrintLayout computePrintLayout(const LayoutInput& in, const QLocale& locale = QLocale());

// Nearest integer, halves to the even neighbour (8.5 -> 8, 11.5 -> 12). Values beyond the
// int range stop at its ends; NaN is 0.
int roundHalfEven(double v);

// Where the layout lands in the preview bitmap, in preview pixels (S and k applied).
struct PreviewRects {
    QRect sheet;
    QRect shadow;
    QRect printable;
    QRect image;
    QRect visible;        // destination of the snapshot's visible part
    QRect snapshotSource; // that part, in snapshot pixels
    QSize patternSize;    // the image's size on the preview bitmap
};
// scale: device pixels per preview pixel; snapshotScale: the snapshot's device pixel ratio.
PreviewRects previewRects(const PrintLayout& layout, int S, double scale = 1.0,
                          double snapshotScale = 1.0);

// The image on the printer page, in dots from the sheet's top-left corner.
struct PrinterPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
// dpx, dpy: the resolution of the printer's drawing surface at print time.
PrinterPlacement printerPlacement(const PrintLayout& layout, const PrinterMetrics& metrics,
                                  int snapW, int snapH, int S, int dpx, int dpy);

// True when preview pixel p lies strictly inside the image's preview rectangle.
bool hitsImage(const PrintLayout& layout, int S, QPoint p);

// Millimetres per unit: 1 for inches, 25.4 for millimetres.
inline double unitFactor(bool inches) {
    return inches ? 1.0 : 25.4;
}

// Numbers as the user sees and types them, in the given locale.
QString fixedText(double v, int decimals, const QLocale& locale = QLocale());
// Accepts the decimal separator, a sign, an exponent and surrounding blanks; no group
// separators, nothing else. Infinite results are not numbers either.
std::optional<double> readNumber(const QString& text, const QLocale& locale = QLocale());

// The paper panel's text. The opening form shows inches with one decimal, the form after a
// unit switch with two (A4: 8.27 x 11.69). Millimetres are whole in both.
enum class PaperTextForm { Opening, UnitSwitch };
QString paperSizeText(const PrinterMetrics& m, bool inches, PaperTextForm form,
                      const QLocale& locale = QLocale());

// An offset field's text as inches (0 when it is not a number), and inches as field text.
double offsetInches(const QString& text, bool inches, const QLocale& locale = QLocale());
QString offsetText(double inchesValue, bool inches, const QLocale& locale = QLocale());

// The offset field's text while dragging: the pointer moved by delta preview pixels from the
// press, start the field's number at the press (in the unit).
QString dragOffsetText(int delta, int S, double k, bool inches, double start,
                       const QLocale& locale = QLocale());

} // namespace qly
