#pragma once

#include <QImage>
#include <QPrinter>

#include <memory>

namespace qly {
class PreviewForm;
}

namespace qlytest {

// A printer that needs no print system: PDF output, Letter, 600 dots per inch, a quarter
// inch of margin on each side.
void makeLetterPdfPrinter(QPrinter& printer);

// A snapshot of one colour, sized like a small editor.
QImage plainSnapshot(const QSize& size, const QColor& color);

// The preview of snapshot on printer, shown, with its pbPreview sized to box (when given).
std::unique_ptr<qly::PreviewForm> showPreview(QPrinter& printer, const QImage& snapshot,
                                              const QString& settingsFile,
                                              const QSize& box = QSize());

} // namespace qlytest
