#include "print/printlayout.h"

#include "model/muldiv.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace qly {

namespace {

// The layout never divides by zero: a zero divisor (an empty snapshot, a collapsed surface, a
// printer without resolution) gives 0, so every rectangle stays finite.
double sdiv(double a, double b) {
    return b == 0 ? 0.0 : a / b;
}

QRect edges(int l, int t, int r, int b) {
    return QRect(l, t, r - l, b - t);
}

} // namespace

void PrinterMetrics::derive() {
    PW = sdiv(PHYSICALWIDTH, LOGPIXELSX);
    PH = sdiv(PHYSICALHEIGHT, LOGPIXELSY);
}

int roundHalfEven(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    // The default rounding mode rounds halves to the even neighbour.
    return static_cast<int>(std::nearbyint(v));
}

PrintLayout computePrintLayout(const LayoutInput& in, const QLocale& locale) {
    const PrinterMetrics& m = in.metrics;
    const double S = in.S;
    PrintLayout L;

    // Zoom, clamped to 1 % .. 1000 %.
    const std::optional<double> scale = readNumber(in.scale, locale);
    L.z = scale ? *scale / 100 : 1.0;
    if (L.z < 0.01)
        L.z = 0.01;
    else if (L.z > 10)
        L.z = 10;

    // Fit: the snapshot fills the printable area along its tighter side; not clamped.
    if (in.fitToPage) {
        const double rx = sdiv(m.HORZRES, in.snapW);
        const double ry = sdiv(m.VERTRES, in.snapH);
        if (rx > ry)
            L.z = sdiv(sdiv(m.VERTRES, m.LOGPIXELSY), sdiv(in.snapH, S));
        else
            L.z = sdiv(sdiv(m.HORZRES, m.LOGPIXELSX), sdiv(in.snapW, S));
    }

    // Image size.
    L.IW = sdiv(in.snapW * L.z, S);
    L.IH = sdiv(in.snapH * L.z, S);

    // 4, 5. The sheet plus half an inch all round fitted into the surface.
    const double bw = sdiv(in.boxW, S);
    const double bh = sdiv(in.boxH, S);
    double VW;
    double VH;
    if (sdiv(bh, m.PH + 1) >= sdiv(bw, m.PW + 1)) {
        L.k = sdiv(bw, m.PW + 1);
        VW = m.PW + 1;
        VH = sdiv(bh * (m.PW + 1), bw);
    } else {
        L.k = sdiv(bh, m.PH + 1);
        VH = m.PH + 1;
        VW = sdiv(bw * (m.PH + 1), bh);
    }

    // The sheet, centred in the view.
    L.PaperL = (VW - m.PW) / 2;
    L.PaperT = (VH - m.PH) / 2;
    L.PaperR = L.PaperL + m.PW;
    L.PaperB = L.PaperT + m.PH;

    // The printable area.
    L.PrintL = L.PaperL + sdiv(m.PHYSICALOFFSETX, m.LOGPIXELSX);
    L.PrintT = L.PaperT + sdiv(m.PHYSICALOFFSETY, m.LOGPIXELSY);
    L.PrintR = L.PrintL + sdiv(m.HORZRES, m.LOGPIXELSX);
    L.PrintB = L.PrintT + sdiv(m.VERTRES, m.LOGPIXELSY);

    // Offsets in inches.
    L.OffsetX = offsetInches(in.xOffset, in.inches, locale);
    L.OffsetY = offsetInches(in.yOffset, in.inches, locale);

    // The image always touches the printable area.
    const double lowX = sdiv(m.PHYSICALOFFSETX, m.LOGPIXELSX) - L.IW;
    const double highX = sdiv(m.PHYSICALOFFSETX + double(m.HORZRES), m.LOGPIXELSX);
    if (lowX > L.OffsetX)
        L.OffsetX = lowX;
    else if (L.OffsetX > highX)
        L.OffsetX = highX;
    const double lowY = sdiv(m.PHYSICALOFFSETY, m.LOGPIXELSY) - L.IH;
    const double highY = sdiv(m.PHYSICALOFFSETY + double(m.VERTRES), m.LOGPIXELSY);
    if (lowY > L.OffsetY)
        L.OffsetY = lowY;
    else if (L.OffsetY > highY)
        L.OffsetY = highY;

    // 10, 11. Placement; fit centres in the printable area whatever the boxes say.
    L.ImgL = in.centerHorz ? (L.PaperL + L.PaperR - L.IW) / 2 : L.PaperL + L.OffsetX;
    if (in.fitToPage)
        L.ImgL = (L.PrintL + L.PrintR - L.IW) / 2;
    L.ImgR = L.ImgL + L.IW;
    L.ImgT = in.centerVert ? (L.PaperT + L.PaperB - L.IH) / 2 : L.PaperT + L.OffsetY;
    if (in.fitToPage)
        L.ImgT = (L.PrintT + L.PrintB - L.IH) / 2;
    L.ImgB = L.ImgT + L.IH;

    // The part inside the printable area.
    L.VisL = L.ImgL > L.PrintL ? L.ImgL : L.PrintL;
    L.VisT = L.ImgT > L.PrintT ? L.ImgT : L.PrintT;
    L.VisR = L.ImgR >= L.PrintR ? L.PrintR : L.ImgR;
    L.VisB = L.ImgB > L.PrintB ? L.PrintB : L.ImgB;

    // Shadow, smaller on larger sheets.
    const double longest = m.PW > m.PH ? m.PW : m.PH;
    L.Sh = sdiv(sdiv(15, longest), longest);
    return L;
}

PreviewRects previewRects(const PrintLayout& L, int S, double scale, double snapshotScale) {
    const double f = S * L.k * scale;
    const auto px = [f](double v) { return roundHalfEven(v * f); };
    PreviewRects r;
    r.sheet = edges(px(L.PaperL), px(L.PaperT), px(L.PaperR), px(L.PaperB));
    r.shadow =
        edges(px(L.PaperL + L.Sh), px(L.PaperT + L.Sh), px(L.PaperR + L.Sh), px(L.PaperB + L.Sh));
    r.printable = edges(px(L.PrintL), px(L.PrintT), px(L.PrintR), px(L.PrintB));
    r.image = edges(px(L.ImgL), px(L.ImgT), px(L.ImgR), px(L.ImgB));
    r.visible = edges(px(L.VisL), px(L.VisT), px(L.VisR), px(L.VisB));
    const auto src = [&](double v) { return roundHalfEven(sdiv(S * v, L.z) * snapshotScale); };
    r.snapshotSource = edges(src(L.VisL - L.ImgL), src(L.VisT - L.ImgT), src(L.VisR - L.ImgL),
                             src(L.VisB - L.ImgT));
    r.patternSize = QSize(roundHalfEven(L.IW * f), roundHalfEven(L.IH * f));
    return r;
}

PrinterPlacement printerPlacement(const PrintLayout& L, const PrinterMetrics& m, int snapW,
                                  int snapH, int S, int dpx, int dpy) {
    PrinterPlacement p;
    p.x = roundHalfEven((L.ImgL - L.PaperL) * m.LOGPIXELSX);
    p.y = roundHalfEven((L.ImgT - L.PaperT) * m.LOGPIXELSY);
    // A screen without a resolution leaves nothing to place.
    p.width = S == 0 ? 0 : roundHalfEven(mulDiv(snapW, dpx, S) * L.z);
    p.height = S == 0 ? 0 : roundHalfEven(mulDiv(snapH, dpy, S) * L.z);
    return p;
}

bool hitsImage(const PrintLayout& L, int S, QPoint p) {
    const double f = S * L.k;
    return roundHalfEven(L.ImgL * f) < p.x() && p.x() < roundHalfEven(L.ImgR * f) &&
           roundHalfEven(L.ImgT * f) < p.y() && p.y() < roundHalfEven(L.ImgB * f);
}

QString fixedText(double v, int decimals, const QLocale& locale) {
    const double scale = std::pow(10.0, decimals);
    // No "-0.00" for a value that rounds to zero.
    if (std::round(v * scale) == 0)
        v = 0;
    return locale.toString(v, 'f', decimals);
}

std::optional<double> readNumber(const QString& text, const QLocale& locale) {
    // The layout reads three fields per redraw, so the usual text (ASCII digits, a sign, the
    // decimal separator, an exponent) is read here directly; anything else goes to the
    // locale, which knows other digit sets.
    const QStringView t = QStringView(text).trimmed();
    const QString point = locale.decimalPoint();
    char buf[64];
    qsizetype n = 0;
    bool plain = point.size() == 1 && t.size() < qsizetype(sizeof buf);
    for (qsizetype i = 0; plain && i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if ((c >= u'0' && c <= u'9') || c == u'-' || c == u'+' || c == u'e' || c == u'E')
            buf[n++] = char(c);
        else if (c == point[0].unicode())
            buf[n++] = '.';
        else if (c < 128)
            return std::nullopt; // a group separator, a letter, a blank inside
        else
            plain = false;
    }
    double v = 0;
    if (plain) {
        const char* first = buf;
        // A sign may lead; the conversion below takes only the minus.
        if (n > 1 && buf[0] == '+' && buf[1] != '-' && buf[1] != '+')
            ++first;
        const auto [end, ec] = std::from_chars(first, buf + n, v);
        if (ec != std::errc() || end != buf + n)
            return std::nullopt;
    } else {
        const QString group = locale.groupSeparator();
        if (!group.isEmpty() && t.contains(group))
            return std::nullopt;
        bool ok = false;
        v = locale.toDouble(t, &ok);
        if (!ok)
            return std::nullopt;
    }
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

QString paperSizeText(const PrinterMetrics& m, bool inches, PaperTextForm form,
                      const QLocale& locale) {
    QString w;
    QString h;
    if (!inches) {
        w = QString::number(roundHalfEven(m.PW * 25.4));
        h = QString::number(roundHalfEven(m.PH * 25.4));
    } else if (form == PaperTextForm::Opening) {
        w = fixedText(m.PW, 1, locale);
        h = fixedText(m.PH, 1, locale);
    } else {
        // Whole inches would read A4 as 8 x 12: two decimals tell the sheets apart.
        w = fixedText(m.PW, 2, locale);
        h = fixedText(m.PH, 2, locale);
    }
    return QStringLiteral("Paper size: %1 x %2 %3")
        .arg(w, h, inches ? QStringLiteral("inches") : QStringLiteral("mm"));
}

double offsetInches(const QString& text, bool inches, const QLocale& locale) {
    const std::optional<double> v = readNumber(text, locale);
    return v ? *v / unitFactor(inches) : 0.0;
}

QString offsetText(double inchesValue, bool inches, const QLocale& locale) {
    return fixedText(inchesValue * unitFactor(inches), 2, locale);
}

QString dragOffsetText(int delta, int S, double k, bool inches, double start,
                       const QLocale& locale) {
    return fixedText(sdiv(sdiv(delta, S), k) * unitFactor(inches) + start, 2, locale);
}

} // namespace qly
