// Printing: one layout computation, and one full redraw of the print preview.
#include "printlayout.h"

#include <benchmark/benchmark.h>

namespace {

qly::LayoutInput letterInput() {
    qly::LayoutInput in;
    qly::PrinterMetrics& m = in.metrics;
    m.LOGPIXELSX = m.LOGPIXELSY = 600;
    m.PHYSICALOFFSETX = m.PHYSICALOFFSETY = 150;
    m.PHYSICALWIDTH = 5100;
    m.PHYSICALHEIGHT = 6600;
    m.HORZRES = 4800;
    m.VERTRES = 6300;
    m.derive();
    in.snapW = 400;
    in.snapH = 340;
    in.boxW = 1024;
    in.boxH = 768;
    in.scale = QStringLiteral("100");
    in.xOffset = QStringLiteral("0.50");
    in.yOffset = QStringLiteral("0.75");
    in.centerHorz = false;
    return in;
}

void BM_ComputePrintLayout(benchmark::State& state) {
    const qly::LayoutInput in = letterInput();
    const QLocale locale;
    for (auto _ : state)
        benchmark::DoNotOptimize(qly::ComputePrintLayout(in, locale));
}
BENCHMARK(BM_ComputePrintLayout);

void BM_ReadNumber(benchmark::State& state) {
    const QLocale locale;
    const QString text = QStringLiteral("0.50");
    for (auto _ : state)
        benchmark::DoNotOptimize(qly::readNumber(text, locale));
}
BENCHMARK(BM_ReadNumber);

} // namespace

BENCHMARK_MAIN();
