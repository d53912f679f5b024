#include "art/toolbarimages.h"

#include "art/paintedicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace qly {

namespace {

const QColor Outline(0, 0, 0);

void magnifier(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(64, 64, 64), 1.5));
    p.setBrush(QColor(200, 232, 255));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(120, 72, 24), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    p.setPen(QPen(Qt::white, 1.2));
    p.drawArc(QRectF(3.5, 3.5, 5, 5), 90 * 16, 90 * 16);
}

void printer(QPainter& p) {
    p.fillRect(QRect(4, 1, 8, 6), Qt::white); // paper going in
    p.setPen(Outline);
    p.drawRect(QRect(4, 1, 7, 5));
    p.fillRect(QRect(1, 6, 14, 6), QColor(192, 192, 192));
    p.drawRect(QRect(1, 6, 13, 5));
    p.fillRect(QRect(2, 7, 12, 1), Qt::white);
    p.fillRect(QRect(12, 8, 1, 1), QColor(0, 160, 0)); // power lamp
    p.fillRect(QRect(4, 12, 8, 3), Qt::white);         // paper coming out
    p.drawRect(QRect(4, 11, 7, 3));
    p.fillRect(QRect(5, 13, 5, 1), QColor(96, 96, 96));
}

void pageWithRays(QPainter& p) {
    p.fillRect(QRect(2, 3, 9, 12), Qt::white);
    p.setPen(Outline);
    p.drawRect(QRect(2, 3, 8, 11));
    const QColor ray(255, 208, 0);
    p.fillRect(QRect(13, 0, 1, 3), ray);
    p.fillRect(QRect(12, 4, 4, 1), ray);
    p.fillRect(QRect(11, 1, 1, 1), ray);
    p.fillRect(QRect(10, 0, 1, 1), ray);
    p.fillRect(QRect(14, 2, 1, 1), ray);
    p.fillRect(QRect(15, 1, 1, 1), ray);
    p.fillRect(QRect(12, 6, 1, 1), ray);
    p.fillRect(QRect(13, 7, 1, 1), ray);
}

void mobileCase(QPainter& p) {
    const QColor olive(128, 112, 32);
    p.setPen(Outline);
    p.fillRect(QRect(5, 2, 6, 3), olive.darker(130)); // handle
    p.drawRect(QRect(5, 2, 5, 2));
    p.fillRect(QRect(1, 5, 14, 10), olive);
    p.drawRect(QRect(1, 5, 13, 9));
    // White triangle pointing up.
    for (int row = 0; row < 4; ++row)
        p.fillRect(QRect(7 - row, 7 + row, 2 + 2 * row, 1), Qt::white);
}

void page(QPainter& p, QRect r) {
    p.fillRect(r, Qt::white);
    p.setPen(Outline);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    for (int y = r.top() + 2; y < r.bottom() - 1; y += 2)
        p.fillRect(QRect(r.left() + 2, y, r.width() - 4, 1), QColor(0, 0, 160));
}

void twoPages(QPainter& p) {
    page(p, QRect(1, 1, 8, 10));
    page(p, QRect(6, 5, 9, 11));
}

void clipboard(QPainter& p) {
    p.setPen(Outline);
    p.fillRect(QRect(1, 2, 11, 13), QColor(160, 112, 48));
    p.drawRect(QRect(1, 2, 10, 12));
    p.fillRect(QRect(4, 1, 5, 3), QColor(160, 160, 160)); // clip
    p.drawRect(QRect(4, 1, 4, 2));
    page(p, QRect(6, 6, 9, 10));
}

void letterA(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath a;
    a.addPolygon(QPolygonF(
        {{6.5, 1}, {9.5, 1}, {15, 15}, {11.8, 15}, {10.6, 11.5}, {5.4, 11.5}, {4.2, 15}, {1, 15}}));
    a.closeSubpath();
    a.addPolygon(QPolygonF({{8, 4.5}, {6.2, 9.2}, {9.8, 9.2}}));
    a.closeSubpath();
    a.setFillRule(Qt::OddEvenFill);
    p.fillPath(a, Qt::black);
}

} // namespace

QImage ToolbarImages::render(int index, int dpr) {
    QImage image(QSize(Size, Size) * dpr, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(dpr, dpr);
    switch (index) {
    case 0:
        magnifier(p);
        break;
    case 1:
        printer(p);
        break;
    case 2:
        pageWithRays(p);
        break;
    case 3:
        mobileCase(p);
        break;
    case 4:
        twoPages(p);
        break;
    case 5:
        clipboard(p);
        break;
    case 6:
        letterA(p);
        break;
    default:
        break;
    }
    p.end();
    image.setDevicePixelRatio(dpr);
    return image;
}

QIcon ToolbarImages::icon(int index) {
    if (index < 0 || index >= Count)
        return QIcon();
    return paintedIcon(QSize(Size, Size), [index](int dpr, QIcon::Mode mode) {
        return mode == QIcon::Normal ? render(index, dpr) : QImage();
    });
}

} // namespace qly
