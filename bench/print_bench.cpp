// Printing: one layout computation, and one full redraw of the print preview.
#include "print/previewform.h"
#include "print/previewsurface.h"
#include "print/printlayout.h"
#include "support/previewfixture.h"

#include <QTemporaryDir>

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
        benchmark::DoNotOptimize(qly::computePrintLayout(in, locale));
}
BENCHMARK(BM_ComputePrintLayout);

void BM_ReadNumber(benchmark::State& state) {
    const QLocale locale;
    const QString text = QStringLiteral("0.50");
    for (auto _ : state)
        benchmark::DoNotOptimize(qly::readNumber(text, locale));
}
BENCHMARK(BM_ReadNumber);

// A 1024 x 768 surface showing a 400 x 340 snapshot, margins and frame on, the image
// partly outside the printable area so that the veil and the clipped copy both run.
void BM_DrawPreview(benchmark::State& state) {
    QPrinter printer(QPrinter::HighResolution);
    qlytest::makeLetterPdfPrinter(printer);
    const QImage snapshot = qlytest::plainSnapshot({400, 340}, QColor(255, 255, 224));
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("qly.ini"));
    QFile file(ini);
    if (file.open(QIODevice::WriteOnly))
        file.write("[Print]\nCenterHorz=0\nXOffset=-1\nZoom=150\n");
    file.close();
    auto form = qlytest::showPreview(printer, snapshot, ini, QSize(1024, 768));
    if (form->surface()->pbPreview()->size() != QSize(1024, 768))
        state.SkipWithError("the surface did not take its size");
    for (auto _ : state)
        form->drawPreview();
}
BENCHMARK(BM_DrawPreview)->Unit(benchmark::kMillisecond);

} // namespace
