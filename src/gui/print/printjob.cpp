#include "print/printjob.h"

#include "settings/error.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QWidget>

#include <memory>

namespace qly {

namespace {
std::unique_ptr<QPrinter>& printerSlot() {
    static std::unique_ptr<QPrinter> printer;
    return printer;
}
// The printer goes with the application, while the print system is still there.
void releasePrinter() {
    printerSlot().reset();
}
} // namespace

QPrinter& selectedPrinter() {
    std::unique_ptr<QPrinter>& printer = printerSlot();
    const QStringList names = QPrinterInfo::availablePrinterNames();
    // A printer removed since it was chosen gives way to the current default.
    if (printer && !names.contains(printer->printerName()))
        printer.reset();
    if (!printer) {
        QString name = QPrinterInfo::defaultPrinterName();
        if (name.isEmpty() || !names.contains(name))
            name = names.value(0);
        if (name.isEmpty())
            throw Error(QStringLiteral("There is no default printer currently selected"));
        static const bool registered = (qAddPostRoutine(releasePrinter), true);
        Q_UNUSED(registered);
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPrinterName(name);
    }
    return *printer;
}

PrinterMetrics readPrinterMetrics(const QPrinter& printer) {
    PrinterMetrics m;
    m.LOGPIXELSX = m.LOGPIXELSY = printer.resolution();
    const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
    const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
    m.PHYSICALWIDTH = paper.width();
    m.PHYSICALHEIGHT = paper.height();
    m.PHYSICALOFFSETX = page.x() - paper.x();
    m.PHYSICALOFFSETY = page.y() - paper.y();
    m.HORZRES = page.width();
    m.VERTRES = page.height();
    m.derive();
    return m;
}

int displayResolution(const QWidget* widget) {
    const QScreen* screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? roundHalfEven(screen->logicalDotsPerInch()) : 96;
}

void captureScreenRect(QWidget* editor, QImage& target) {
    if (!editor || editor->width() == 0 || editor->height() == 0)
        return;
    // The widget renders itself and its children (the scroll bar) exactly as it shows.
    target = editor->grab().toImage().convertToFormat(QImage::Format_RGB888);
}

namespace {
Error printFailure(const QPrinter& printer) {
    const QString name =
        printer.printerName().isEmpty() ? printer.outputFileName() : printer.printerName();
    return Error(QStringLiteral("Printing on \"%1\" failed").arg(name));
}
} // namespace

void printPage(QPrinter& printer, const QImage& snapshot, const PrintLayout& layout,
               const PrinterMetrics& metrics, int S, int copies) {
    if (copies < 1)
        return; // an empty job would still cost a blank sheet
    printer.setDocName(QStringLiteral("Quillery"));
    printer.setCopyCount(1);
    QPainter painter;
    if (!painter.begin(&printer))
        throw printFailure(printer);
    // The layout measures from the sheet's corner; the painter starts at the printable area.
    const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
    const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
    painter.translate(paper.topLeft() - page.topLeft());
    const int dpx = printer.logicalDpiX();
    const int dpy = printer.logicalDpiY();
    const QSize snap = snapshot.deviceIndependentSize().toSize();
    const PrinterPlacement p =
        printerPlacement(layout, metrics, snap.width(), snap.height(), S, dpx, dpy);
    bool ok = true;
    for (int copy = 1; copy <= copies && ok; ++copy) {
        painter.drawImage(QRect(p.x, p.y, p.width, p.height), snapshot);
        if (copy < copies)
            ok = printer.newPage();
    }
    ok = painter.end() && ok;
    if (!ok || printer.printerState() == QPrinter::Error)
        throw printFailure(printer);
}

} // namespace qly
