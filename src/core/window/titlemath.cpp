#include "window/titlemath.h"

#include "model/muldiv.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace qly {

std::vector<GradientBand> gradientBands(int top, int bottom, Rgb start, Rgb end) {
    std::vector<GradientBand> bands;
    const int h = bottom - top;
    if (h <= 0)
        return bands;
    const int n = std::max(2, std::min(32, h));
    const int d = h / n;
    if (d > 0) {
        for (int i = 0; i < n; ++i) {
            const Rgb c{start.red + mulDiv(i, end.red - start.red, n - 1),
                        start.green + mulDiv(i, end.green - start.green, n - 1),
                        start.blue + mulDiv(i, end.blue - start.blue, n - 1)};
            bands.push_back({top + i * d, top + (i + 1) * d, c});
        }
    }
    const int rest = h % n;
    if (rest > 0)
        bands.push_back({bottom - rest, bottom, end});
    return bands;
}

int menuImageIndex(int tag, int index) {
    return tag > 9 ? tag - 11 : index;
}

std::vector<GripLine> gripLines(int width) {
    std::vector<GripLine> lines;
    for (int i = 0; i < 9; ++i)
        lines.push_back({2 * i + 2, 1, width - 2});
    return lines;
}

int draggedTitleHeight(int currentHeight, int proposedHeight) {
    const int height = std::max(MinTitleHeight, proposedHeight);
    return height < TitleHeightLimit ? height : currentHeight;
}

} // namespace qly
