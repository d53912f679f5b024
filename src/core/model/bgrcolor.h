#pragma once

// Colours as settings and page files store them: one integer 0x00BBGGRR (blue in the high
// byte). Color is any type built from (red, green, blue) with red(), green() and blue(), such
// as QColor.
namespace qly {

template <class Color> Color colorFromBgr(int bgr) {
    return Color(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

template <class Color> int bgrFromColor(const Color& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

} // namespace qly
