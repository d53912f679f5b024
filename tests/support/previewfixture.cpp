#include "support/previewfixture.h"

#include "print/previewform.h"
#include "print/previewsurface.h"

#include <QApplication>
#include <QPageSize>
#include <QTest>

namespace qlytest {

void makeLetterPdfPrinter(QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(600);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageMargins(QMarginsF(0.25, 0.25, 0.25, 0.25), QPageLayout::Inch);
}

QImage plainSnapshot(const QSize& size, const QColor& color) {
    QImage image(size, QImage::Format_RGB888);
    image.fill(color);
    return image;
}

std::unique_ptr<qly::PreviewForm> showPreview(QPrinter& printer, const QImage& snapshot,
                                              const QString& settingsFile, const QSize& box) {
    auto form = std::make_unique<qly::PreviewForm>(nullptr, printer, snapshot, settingsFile);
    form->show();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form.get()))
        qWarning("the preview did not become active");
    if (box.isValid()) {
        const QSize now = form->surface()->pbPreview()->size();
        form->resize(form->size() + box - now);
        QApplication::processEvents();
    }
    return form;
}

} // namespace qlytest
