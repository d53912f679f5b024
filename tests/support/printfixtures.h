#pragma once

#include "print/printlayout.h"

namespace qlytest {

// Printers as a test needs them, at 600 dots per inch with a quarter-inch margin.
qly::PrinterMetrics letter600(); // 8.5 x 11 inches
qly::PrinterMetrics a4600();     // 210 x 297 mm

} // namespace qlytest
