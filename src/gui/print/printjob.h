#pragma once

#include "print/printlayout.h"

#include <QImage>
#include <QString>

#include <functional>

class QPrinter;
class QWidget;

namespace qly {

// The printer that printing uses for the rest of the run: CUPS's default destination, else
// the first printer the system lists; a printer chosen in the setup dialog stays selected.
// Raises "There is no default printer currently selected" when there is no printer at all.
QPrinter& selectedPrinter();

// How long the program waits for the print service to answer one request.
constexpr int PrintServiceTimeoutMs = 20000;

// Sets the page's margins to the least the printer needs (its own unprintable border).
void usePrinterMargins(QPrinter& printer);

// The page of a printer in its own dots, at its high resolution.
PrinterMetrics readPrinterMetrics(const QPrinter& printer);

// The display's logical pixels per inch for a widget (96 on a standard display).
int displayResolution(const QWidget* widget);

// The editor as the screen shows it, scroll bar included, at its on-screen size. An empty
// widget keeps the previous picture.
void captureScreenRect(QWidget* editor, QImage& target);

// Prints the snapshot once per copy, each copy a page of its own in one job named
// "Quillery", placed as the layout says from the sheet's top-left corner. A printer of the
// print service is looked up again first, gets the job as a PDF, and the job's state is
// checked once handed over. copies below 1 sends no job. keepGoing is told how many pages
// are drawn and stops the job between two pages when it returns false (a stopped job is not
// sent to a printer). Raises with the reason when the printer is gone, the service does not
// answer or the job is refused or stopped.
void printPage(QPrinter& printer, const QImage& snapshot, const PrintLayout& layout,
               const PrinterMetrics& metrics, int S, int copies,
               const std::function<bool(int done)>& keepGoing = {});

} // namespace qly
