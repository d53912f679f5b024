#include "mainwindow/titlesplitter.h"

#include "window/titlemath.h"

#include <QMouseEvent>
#include <QPainter>

namespace qly {

TitleSplitter::TitleSplitter(QWidget* target, QWidget* parent) : QWidget(parent), m_target(target) {
    setObjectName(QStringLiteral("Splitter1"));
    setFixedHeight(3);
    setCursor(Qt::SizeVerCursor);
}

void TitleSplitter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().color(QPalette::Button));
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), palette().color(QPalette::Light));
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), palette().color(QPalette::Dark));
}

void TitleSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_dragging = true;
    m_pressY = qRound(event->globalPosition().y());
    m_startHeight = m_target->height();
}

void TitleSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging)
        return;
    canResizeTo(m_startHeight + qRound(event->globalPosition().y()) - m_pressY);
}

void TitleSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    canResizeTo(m_startHeight + qRound(event->globalPosition().y()) - m_pressY);
    m_dragging = false;
    emit moved();
}

void TitleSplitter::canResizeTo(int proposedHeight) {
    const int height = draggedTitleHeight(m_target->height(), proposedHeight);
    if (height != m_target->height())
        m_target->setFixedHeight(height);
}

} // namespace qly
