#pragma once

#include "print/printlayout.h"

#include <QImage>
#include <QString>

class QPrinter;
class QWidget;

namespace qly {

// The printer that printing uses for the rest of the run: CUPS's default destination, else
// the first printer the system lists; a printer chosen in the setup dialog stays selected.
// Raises "There is no default printer currently selected" when there is no printer at all.
QPrinter& selectedPrinter();

// The page of a printer in its own dots, at its high resolution.
PrinterMetrics readPrinterMetrics(const QPrinter& printer);

// The display's logical pixels per inch for a widget (96 on a standard display).
int displayResolution(const QWidget* widget);

// The editor as the screen shows it, scroll bar included, at its on-screen size. An empty
// widget keeps the previous picture.
void captureScreenRect(QWidget* editor, QImage& target);

// Prints the snapshot once per copy, each copy a page of its own in one job named
// "Quillery", placed as the layout says from the sheet's top-left corner. copies below 1
// sends no job. Raises when the printer service fails.
void printPage(QPrinter& printer, const QImage& snapshot, const PrintLayout& layout,
               const PrinterMetrics& metrics, int S, int copies);

} // namespace qly
