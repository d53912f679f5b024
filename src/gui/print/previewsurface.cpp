#include "print/previewsurface.h"

#include <QPaintEvent>
#include <QPainter>

namespace qly {

PreviewSurface::PreviewSurface(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TMyPreview"));
    m_pbPreview = new QWidget(this);
    m_pbPreview->setObjectName(QStringLiteral("pbPreview"));
    m_pbPreview->setAttribute(Qt::WA_OpaquePaintEvent);
    m_pbPreview->setMouseTracking(true);
    m_pbPreview->installEventFilter(this);
}

void PreviewSurface::resizeEvent(QResizeEvent* event) {
    // Border, then the one-pixel lowered bevel, then the paint box.
    const int inset = BorderWidth + 1;
    m_pbPreview->setGeometry(rect().adjusted(inset, inset, -inset, -inset));
    QWidget::resizeEvent(event);
}

void PreviewSurface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect bevel =
        rect().adjusted(BorderWidth, BorderWidth, -BorderWidth - 1, -BorderWidth - 1);
    // Lowered: shadow on the top and left edges, light on the bottom and right.
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(bevel.topLeft(), bevel.topRight());
    p.drawLine(bevel.topLeft(), bevel.bottomLeft());
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(bevel.bottomLeft(), bevel.bottomRight());
    p.drawLine(bevel.topRight(), bevel.bottomRight());
}

bool PreviewSurface::eventFilter(QObject* watched, QEvent* event) {
    // pbPreviewPaint: the preview bitmap at 0,0, in one step.
    if (watched == m_pbPreview && event->type() == QEvent::Paint) {
        QPainter p(m_pbPreview);
        if (m_bitmap && !m_bitmap->isNull())
            p.drawImage(0, 0, *m_bitmap);
        else
            p.fillRect(m_pbPreview->rect(), palette().color(QPalette::Window));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace qly
