#include "support/printfixtures.h"

namespace qlytest {

namespace {
qly::PrinterMetrics metrics(int width, int height) {
    qly::PrinterMetrics m;
    m.LOGPIXELSX = m.LOGPIXELSY = 600;
    m.PHYSICALOFFSETX = m.PHYSICALOFFSETY = 150;
    m.PHYSICALWIDTH = width;
    m.PHYSICALHEIGHT = height;
    m.HORZRES = width - 300;
    m.VERTRES = height - 300;
    m.derive();
    return m;
}
} // namespace

qly::PrinterMetrics letter600() {
    return metrics(5100, 6600);
}
qly::PrinterMetrics a4600() {
    return metrics(4961, 7016);
}

} // namespace qlytest
