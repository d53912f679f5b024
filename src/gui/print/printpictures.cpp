#include "print/printpictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qly {

namespace {

QPainterPath rounded(qreal x, qreal y, qreal w, qreal h, qreal r) {
    QPainterPath p;
    p.addRoundedRect(QRectF(x, y, w, h), r, r);
    return p;
}

// The hand on a 32 x 32 grid, fingers up, as the shapes it is made of.
QList<QPainterPath> handShapes(bool closed) {
    QList<QPainterPath> hand;
    if (closed) {
        hand << rounded(9, 12, 15, 12, 4);
        for (int i = 0; i < 4; ++i)
            hand << rounded(9 + 3.75 * i, 9.5, 3.75, 6, 1.8);
        hand << rounded(6.5, 13, 6, 4, 2);
    } else {
        hand << rounded(9.5, 15, 15, 11, 4);
        const qreal tops[4] = {6.5, 4.5, 5.5, 8};
        for (int i = 0; i < 4; ++i)
            hand << rounded(9.5 + 3.75 * i, tops[i], 3.75, 19 - tops[i], 1.8);
        // The thumb, spread up and to the left from the side of the palm.
        QTransform thumb;
        thumb.translate(11.5, 22).rotate(40);
        hand << thumb.map(rounded(-8, -1.9, 9, 3.8, 1.9));
    }
    return hand;
}

QPixmap canvas(int size, qreal dpr) {
    QPixmap pm(qRound(size * dpr), qRound(size * dpr));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    return pm;
}

} // namespace

QImage checkerPattern() {
    QImage pattern(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pattern.setPixel(x, y, (x + y) % 2 == 0 ? 0xff000000u : 0xffffffffu);
    return pattern;
}

QCursor handCursor(bool closed, qreal dpr) {
    QPixmap pm = canvas(32, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // The outline of the whole hand first, then its inside: no seams where the shapes meet.
    const QList<QPainterPath> hand = handShapes(closed);
    p.setPen(QPen(Qt::black, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::black);
    for (const QPainterPath& shape : hand)
        p.drawPath(shape);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (const QPainterPath& shape : hand)
        p.drawPath(shape);
    // The lines between the fingers.
    p.setPen(QPen(Qt::black, 0.9));
    for (int i = 1; i < 4; ++i) {
        const qreal x = (closed ? 9 : 9.5) + 3.75 * i;
        p.drawLine(QPointF(x, closed ? 10.5 : 9.5), QPointF(x, closed ? 14 : 15.5));
    }
    p.end();
    return QCursor(pm, 16, 16);
}

QIcon colorPickerIcon(qreal dpr) {
    QIcon icon;
    for (const bool hot : {false, true}) {
        QPixmap pm = canvas(18, dpr);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        // A painter's palette with four dabs of colour; brighter under the mouse.
        QPainterPath board;
        board.addEllipse(QRectF(1, 3, 16, 13));
        board = board.subtracted([] {
            QPainterPath hole;
            hole.addEllipse(QRectF(10.5, 10, 3.5, 3));
            return hole;
        }());
        p.setPen(QPen(hot ? QColor(0, 84, 180) : QColor(96, 72, 40), 1));
        p.setBrush(hot ? QColor(255, 236, 190) : QColor(226, 196, 140));
        p.drawPath(board);
        const QColor dabs[4] = {Qt::red, QColor(0, 160, 0), Qt::blue, QColor(240, 200, 0)};
        const QPointF at[4] = {{5, 8}, {8.5, 6}, {12.5, 6.5}, {5.5, 12}};
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 4; ++i) {
            p.setBrush(hot ? dabs[i].lighter(115) : dabs[i]);
            p.drawEllipse(at[i], 1.8, 1.6);
        }
        p.end();
        icon.addPixmap(pm, hot ? QIcon::Active : QIcon::Normal);
    }
    return icon;
}

} // namespace qly
