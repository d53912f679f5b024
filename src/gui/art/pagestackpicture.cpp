#include "art/pagestackpicture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace qly {

namespace {
// One sheet with a dark outline, in a 32 x 32 design grid.
void drawSheet(QPainter& p, const QRectF& r, const QColor& fill) {
    p.setPen(QPen(QColor(40, 40, 40), 1.0));
    p.setBrush(fill);
    p.drawRect(r);
}
} // namespace

QPixmap pageStackPicture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, size > 32);
    p.scale(size / 32.0, size / 32.0);
    p.translate(0.5, 0.5);

    // The pages behind, each shifted up and to the left of the next.
    drawSheet(p, QRectF(1, 1, 18, 22), QColor(230, 40, 40));
    drawSheet(p, QRectF(5, 4, 18, 22), QColor(40, 190, 60));
    drawSheet(p, QRectF(9, 7, 18, 22), QColor(250, 220, 40));

    // The white note in front, with a folded corner and a few lines of writing.
    QPainterPath note;
    note.addPolygon(QPolygonF({{13, 10}, {26, 10}, {30, 14}, {30, 30}, {13, 30}}));
    note.closeSubpath();
    p.setPen(QPen(QColor(40, 40, 40), 1.0));
    p.setBrush(Qt::white);
    p.drawPath(note);
    p.drawLine(QPointF(26, 10), QPointF(26, 14));
    p.drawLine(QPointF(26, 14), QPointF(30, 14));
    p.setPen(QPen(QColor(70, 90, 160), 1.0));
    for (int y = 17; y <= 27; y += 3)
        p.drawLine(QPointF(16, y), QPointF(y == 26 ? 23 : 27, y));
    return pixmap;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(pageStackPicture(size));
    return icon;
}

void useProgramIcon() {
    if (QGuiApplication::windowIcon().isNull())
        QGuiApplication::setWindowIcon(programIcon());
}

} // namespace qly
