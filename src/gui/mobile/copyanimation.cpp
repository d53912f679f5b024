#include "mobile/copyanimation.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimerEvent>

#include <cmath>

namespace qly {

namespace {

constexpr int PagesInFlight = 3;

void drawFolder(QPainter& p, const QRectF& r, bool front) {
    const QColor back(0xd9, 0xa4, 0x2b), face(0xf3, 0xc8, 0x52), edge(0x9a, 0x6c, 0x10);
    p.setPen(QPen(edge, 1));
    p.setBrush(back);
    QPainterPath tab;
    tab.moveTo(r.left(), r.top() + 4);
    tab.lineTo(r.left() + 2, r.top());
    tab.lineTo(r.left() + 14, r.top());
    tab.lineTo(r.left() + 17, r.top() + 4);
    tab.lineTo(r.right(), r.top() + 4);
    tab.lineTo(r.right(), r.bottom());
    tab.lineTo(r.left(), r.bottom());
    tab.closeSubpath();
    p.drawPath(tab);
    if (!front)
        return;
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, face.lighter(110));
    g.setColorAt(1, face);
    p.setBrush(g);
    p.drawRect(QRectF(r.left(), r.top() + 9, r.width(), r.height() - 9));
}

void drawPage(QPainter& p, const QPointF& centre, qreal angle) {
    p.save();
    p.translate(centre);
    p.rotate(angle);
    const QRectF sheet(-7, -9, 14, 18);
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.setPen(QPen(QColor(0x5a, 0x7d, 0xc8), 1));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(-4.5, -5.5 + i * 3.5), QPointF(4.5 - (i == 3 ? 3 : 0), -5.5 + i * 3.5));
    p.restore();
}

} // namespace

CopyAnimation::CopyAnimation(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CopyAnimation::start() {
    if (!m_timer.isActive())
        m_timer.start(FrameInterval, this);
}

void CopyAnimation::stop() {
    m_timer.stop();
    m_frame = 0;
    update();
}

void CopyAnimation::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer.timerId())
        return QWidget::timerEvent(event);
    m_frame = (m_frame + 1) % FramesPerFlight;
    update();
}

void CopyAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal h = height();
    const QRectF from(10.5, h - 32.5, 42, 30), to(width() - 52.5, h - 32.5, 42, 30);
    drawFolder(p, from, true);
    drawFolder(p, to, false);
    if (m_timer.isActive()) {
        // Pages leave one after another, each on an arc over the gap.
        const QPointF start = from.center() + QPointF(0, -6);
        const QPointF end = to.center() + QPointF(0, -2);
        for (int i = 0; i < PagesInFlight; ++i) {
            const int f = (m_frame + i * FramesPerFlight / PagesInFlight) % FramesPerFlight;
            const qreal t = qreal(f) / FramesPerFlight;
            const QPointF at(start.x() + (end.x() - start.x()) * t,
                             start.y() + (end.y() - start.y()) * t - std::sin(t * M_PI) * (h - 22));
            drawPage(p, at, -25 + 50 * t);
        }
    }
    // The front of the target folder covers the page that arrives.
    QLinearGradient g(to.topLeft(), to.bottomLeft());
    g.setColorAt(0, QColor(0xf3, 0xc8, 0x52).lighter(110));
    g.setColorAt(1, QColor(0xf3, 0xc8, 0x52));
    p.setPen(QPen(QColor(0x9a, 0x6c, 0x10), 1));
    p.setBrush(g);
    p.drawRect(QRectF(to.left(), to.top() + 9, to.width(), to.height() - 9));
}

} // namespace qly
