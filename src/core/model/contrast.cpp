#include "model/contrast.h"

#include <algorithm>
#include <cmath>

namespace qly {

namespace {
double linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
} // namespace

double relativeLuminance(int bgr) {
    return 0.2126 * linear(bgr & 0xFF) + 0.7152 * linear((bgr >> 8) & 0xFF) +
           0.0722 * linear((bgr >> 16) & 0xFF);
}

double contrastRatio(int bgrA, int bgrB) {
    const double a = relativeLuminance(bgrA);
    const double b = relativeLuminance(bgrB);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

int readableTextColor(int bgrBackground) {
    constexpr int Black = 0x000000;
    constexpr int White = 0xFFFFFF;
    return contrastRatio(Black, bgrBackground) >= contrastRatio(White, bgrBackground) ? Black
                                                                                      : White;
}

} // namespace qly
