#include "mobile/mobilepictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace qly {

namespace {

const char* themeName(DriveKind kind) {
    switch (kind) {
    case DriveKind::Removable:
        return "drive-removable-media";
    case DriveKind::Fixed:
        return "drive-harddisk";
    case DriveKind::Remote:
        return "network-server";
    case DriveKind::CdRom:
        return "drive-optical";
    case DriveKind::RamDisk:
        return "media-memory";
    default:
        return nullptr;
    }
}

qreal deviceRatio() {
    return qApp ? qApp->devicePixelRatio() : 1.0;
}

QPixmap canvas(int size) {
    const qreal dpr = deviceRatio();
    QPixmap pm(QSize(size, size) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    return pm;
}

// The grey box of a drive with a light top face.
void drawCase(QPainter& p, const QRectF& r) {
    QLinearGradient body(r.topLeft(), r.bottomLeft());
    body.setColorAt(0, QColor(0xe8, 0xe8, 0xe8));
    body.setColorAt(1, QColor(0x9a, 0x9a, 0x9a));
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1));
    p.setBrush(body);
    p.drawRoundedRect(r, 2, 2);
}

} // namespace

QPixmap ownDrivePicture(DriveKind kind, int size) {
    QPixmap pm = canvas(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    switch (kind) {
    case DriveKind::Removable: {
        // A USB stick: the body and its metal plug.
        p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1));
        p.setBrush(QColor(0xc8, 0xc8, 0xd0));
        p.drawRect(QRectF(20.5, 12.5, 9, 8));
        p.setBrush(QColor(0x40, 0x40, 0x40));
        p.drawRect(QRectF(23, 14.5, 2, 2));
        p.drawRect(QRectF(26, 14.5, 2, 2));
        QLinearGradient body(0, 9, 0, 24);
        body.setColorAt(0, QColor(0x4a, 0x7c, 0xd8));
        body.setColorAt(1, QColor(0x1f, 0x3f, 0x8a));
        p.setBrush(body);
        p.drawRoundedRect(QRectF(2.5, 9.5, 18, 14), 3, 3);
        p.setBrush(QColor(0x7f, 0xff, 0x7f));
        p.drawEllipse(QRectF(5, 14.5, 3, 3));
        break;
    }
    case DriveKind::Fixed:
        // A hard disk: the case, a slot and a green light.
        drawCase(p, QRectF(2.5, 10.5, 27, 12));
        p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
        p.drawLine(QPointF(6, 18.5), QPointF(20, 18.5));
        p.setBrush(QColor(0x30, 0xd0, 0x30));
        p.drawEllipse(QRectF(23, 16, 3.5, 3.5));
        break;
    case DriveKind::Remote:
        drawCase(p, QRectF(4.5, 6.5, 23, 11));
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 2));
        p.drawLine(QPointF(16, 18), QPointF(16, 24));
        p.drawLine(QPointF(4, 25), QPointF(28, 25));
        p.setBrush(QColor(0x30, 0xd0, 0x30));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(21, 10.5, 3, 3));
        break;
    case DriveKind::CdRom:
        drawCase(p, QRectF(2.5, 16.5, 27, 9));
        p.setPen(QPen(QColor(0x70, 0x70, 0x90), 1));
        p.setBrush(QColor(0xdd, 0xe6, 0xf4));
        p.drawEllipse(QRectF(7.5, 3.5, 17, 17));
        p.setBrush(QColor(0xff, 0xff, 0xff));
        p.drawEllipse(QRectF(13.5, 9.5, 5, 5));
        break;
    case DriveKind::RamDisk:
        // A memory module with its chips and contacts.
        p.setPen(QPen(QColor(0x1d, 0x4d, 0x1d), 1));
        p.setBrush(QColor(0x2e, 0x8b, 0x3e));
        p.drawRect(QRectF(2.5, 10.5, 27, 11));
        p.setBrush(QColor(0x20, 0x20, 0x20));
        for (int i = 0; i < 4; ++i)
            p.drawRect(QRectF(4.5 + i * 6.5, 12.5, 4.5, 5));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xd4, 0xaf, 0x37));
        for (int i = 0; i < 8; ++i)
            p.drawRect(QRectF(4 + i * 3.2, 19.5, 2, 2));
        break;
    default:
        break;
    }
    return pm;
}

QPixmap drivePicture(DriveKind kind) {
    const char* name = themeName(kind);
    if (!name)
        return {};
    const QIcon themed = QIcon::fromTheme(QLatin1String(name));
    if (!themed.isNull()) {
        const QPixmap pm = themed.pixmap(QSize(32, 32), deviceRatio());
        if (!pm.isNull())
            return pm;
    }
    return ownDrivePicture(kind);
}

QIcon copyArrowIcon() {
    const auto draw = [](bool struck) {
        QPixmap pm = canvas(20);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath arrow;
        arrow.addPolygon(
            QPolygonF({{2, 7}, {10, 7}, {10, 2.5}, {18, 10}, {10, 17.5}, {10, 13}, {2, 13}}));
        arrow.closeSubpath();
        QLinearGradient green(0, 2, 0, 18);
        green.setColorAt(0, struck ? QColor(0x9c, 0xc4, 0x9c) : QColor(0x5c, 0xd6, 0x5c));
        green.setColorAt(1, struck ? QColor(0x6c, 0x90, 0x6c) : QColor(0x1c, 0x8c, 0x1c));
        p.setPen(QPen(struck ? QColor(0x50, 0x70, 0x50) : QColor(0x0c, 0x5c, 0x0c), 1));
        p.setBrush(green);
        p.drawPath(arrow);
        if (struck) {
            p.setPen(QPen(QColor(0xd0, 0x10, 0x10), 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4, 3), QPointF(16, 17));
            p.drawLine(QPointF(16, 3), QPointF(4, 17));
        }
        return pm;
    };
    QIcon icon;
    icon.addPixmap(draw(false), QIcon::Normal);
    icon.addPixmap(draw(true), QIcon::Disabled);
    return icon;
}

} // namespace qly
