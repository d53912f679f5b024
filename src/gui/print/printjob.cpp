#include "print/printjob.h"

#include "dialogs/errorbox.h"
#include "print/cupsqueue.h"
#include "settings/error.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintEngine>
#include <QPrinter>
#include <QScreen>
#include <QTemporaryFile>
#include <QTextEdit>
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
    const std::optional<PrinterList> list =
        askOffGuiThread<PrinterList>(listPrinters, PrintServiceTimeoutMs);
    if (!list)
        throw Error(QStringLiteral("The print service does not answer"));
    // Without the print service's library (a computer without CUPS) there is no printer to
    // choose, and the reason is that, not a missing default.
    if (!list->problem.isEmpty())
        throw Error(QStringLiteral("Cannot print: %1").arg(list->problem));
    const QStringList& names = list->names;
    // A printer removed since it was chosen gives way to the current default.
    if (printer && !names.contains(printer->printerName()))
        printer.reset();
    if (!printer) {
        QString name = list->defaultName;
        if (name.isEmpty() || !names.contains(name))
            name = names.value(0);
        if (name.isEmpty())
            throw Error(QStringLiteral("There is no default printer currently selected"));
        static const bool registered = (qAddPostRoutine(releasePrinter), true);
        Q_UNUSED(registered);
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPrinterName(name);
        usePrinterMargins(*printer);
    }
    return *printer;
}

void usePrinterMargins(QPrinter& printer) {
    // Qt starts every page with its own border of 10 points; the printer's own (its PPD's
    // imageable area) is the border it really cannot print on.
    if (printer.outputFormat() != QPrinter::NativeFormat)
        return;
    QPageLayout layout = printer.pageLayout();
    layout.setMargins(layout.minimumMargins());
    printer.setPageLayout(layout);
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
    // The caret is not part of the page: it is hidden while the picture is taken.
    auto* text = qobject_cast<QTextEdit*>(editor);
    auto* plain = qobject_cast<QPlainTextEdit*>(editor);
    const int caret = text ? text->cursorWidth() : plain ? plain->cursorWidth() : 0;
    if (text)
        text->setCursorWidth(0);
    if (plain)
        plain->setCursorWidth(0);
    // The widget renders itself and its children (the scroll bar) exactly as it shows.
    target = editor->grab().toImage().convertToFormat(QImage::Format_RGB888);
    if (text)
        text->setCursorWidth(caret);
    if (plain)
        plain->setCursorWidth(caret);
}

namespace {

QString printerLabel(const QPrinter& printer) {
    return printer.printerName().isEmpty() ? printer.outputFileName() : printer.printerName();
}

Error printFailure(const QPrinter& printer, const QString& reason = QString()) {
    const QString head = QStringLiteral("Printing on \"%1\" failed").arg(printerLabel(printer));
    return Error(reason.isEmpty() ? head : head + QStringLiteral(": ") + reason);
}

// Draws pages copies of the snapshot into device, each a page of its own; false when
// keepGoing stopped it.
bool renderPages(QPrinter& device, const QImage& snapshot, const PrintLayout& layout,
                 const PrinterMetrics& metrics, int S, int pages,
                 const std::function<bool(int)>& keepGoing = {}) {
    QPainter painter;
    if (!painter.begin(&device))
        throw printFailure(device);
    // The layout measures from the sheet's corner; the painter may start at the printable area.
    const QRect paper = device.paperRect(QPrinter::DevicePixel).toRect();
    const QRect page = device.pageRect(QPrinter::DevicePixel).toRect();
    painter.translate(paper.topLeft() - page.topLeft());
    const int dpx = device.logicalDpiX();
    const int dpy = device.logicalDpiY();
    const QSize snap = snapshot.deviceIndependentSize().toSize();
    const PrinterPlacement p =
        printerPlacement(layout, metrics, snap.width(), snap.height(), S, dpx, dpy);
    bool ok = true;
    bool whole = true;
    for (int copy = 1; copy <= pages && ok; ++copy) {
        painter.drawImage(QRect(p.x, p.y, p.width, p.height), snapshot);
        if (keepGoing && !keepGoing(copy)) {
            whole = false;
            break;
        }
        if (copy < pages)
            ok = device.newPage();
    }
    ok = painter.end() && ok;
    if (!ok || device.printerState() == QPrinter::Error)
        throw printFailure(device);
    return whole;
}

// What Qt's own CUPS engine would pass along: the sheet, the sides and the options chosen in
// the system's print dialog.
PrintOptions jobOptions(QPrinter& printer) {
    PrintOptions options;
    options.append({QByteArray("media"), printer.pageLayout().pageSize().key().toUtf8()});
    switch (printer.duplex()) {
    case QPrinter::DuplexLongSide:
        options.append({QByteArray("sides"), QByteArray("two-sided-long-edge")});
        break;
    case QPrinter::DuplexShortSide:
        options.append({QByteArray("sides"), QByteArray("two-sided-short-edge")});
        break;
    case QPrinter::DuplexNone:
        options.append({QByteArray("sides"), QByteArray("one-sided")});
        break;
    case QPrinter::DuplexAuto:
        break;
    }
    // The dialog's printer options travel as name, value pairs in an engine property.
    constexpr auto CupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);
    const QStringList pairs = printer.printEngine()->property(CupsOptions).toStringList();
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
        options.append({pairs[i].toUtf8(), pairs[i + 1].toUtf8()});
    return options;
}

// The job goes to the print service as a PDF, a page per copy (the picture is held once in
// it), so that the service's answer (taken or refused, and why) reaches the user. A job
// stopped by keepGoing is not sent.
void printThroughService(QPrinter& printer, const QImage& snapshot, const PrintLayout& layout,
                         const PrinterMetrics& metrics, int S, int copies,
                         const std::function<bool(int)>& keepGoing) {
    const QString name = printer.printerName();
    const auto ask = [&](std::function<QString()> question) {
        const std::optional<QString> problem =
            askOffGuiThread<QString>(std::move(question), PrintServiceTimeoutMs);
        if (!problem)
            throw printFailure(printer, QStringLiteral("the print service does not answer"));
        if (!problem->isEmpty())
            throw printFailure(printer, *problem);
    };
    // The printer chosen may have gone since the preview opened.
    ask([name] { return printerProblem(name); });

    // The worker owns the file: it may outlive a wait that timed out.
    auto file =
        std::make_shared<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/quillery-XXXXXX.pdf"));
    if (!file->open())
        throw printFailure(printer, file->errorString());
    file->close();
    {
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(file->fileName());
        pdf.setPageLayout(printer.pageLayout());
        pdf.setFullPage(true);
        pdf.setResolution(printer.resolution());
        pdf.setDocName(QStringLiteral("Quillery"));
        if (!renderPages(pdf, snapshot, layout, metrics, S, copies, keepGoing))
            return;
    }
    const PrintOptions options = jobOptions(printer);
    auto jobId = std::make_shared<int>(0);
    ask([name, file, options, jobId]() -> QString {
        const SubmittedJob job =
            submitPdf(name, file->fileName(), QStringLiteral("Quillery"), options);
        *jobId = job.id;
        return job.reason;
    });
    // Taken is not yet printed: the job is followed until it has printed, and a job the
    // scheduler stops or drops is reported then, wherever the user is by that time.
    auto* follower = new JobFollower(name, *jobId, QCoreApplication::instance());
    QObject::connect(follower, &JobFollower::failed,
                     [head = printFailure(printer).message()](const QString& reason) {
                         showErrorBox(QApplication::activeWindow(),
                                      head + QStringLiteral(": ") + reason);
                     });
}

} // namespace

void printPage(QPrinter& printer, const QImage& snapshot, const PrintLayout& layout,
               const PrinterMetrics& metrics, int S, int copies,
               const std::function<bool(int)>& keepGoing) {
    if (copies < 1)
        return; // an empty job would still cost a blank sheet
    printer.setDocName(QStringLiteral("Quillery"));
    printer.setCopyCount(1);
    if (printer.outputFormat() == QPrinter::NativeFormat)
        printThroughService(printer, snapshot, layout, metrics, S, copies, keepGoing);
    else
        renderPages(printer, snapshot, layout, metrics, S, copies, keepGoing);
}

} // namespace qly
