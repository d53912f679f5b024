#include "dialogs/desktopfont.h"

#include <QApplication>
#include <QGroupBox>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace qly {

namespace {
QRect grown(const QRect& r, qreal factor) {
    return QRect(std::lround(r.x() * factor), std::lround(r.y() * factor),
                 std::lround(r.width() * factor), std::lround(r.height() * factor));
}

void growChildren(QWidget* parent, qreal factor) {
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            continue;
        child->setGeometry(grown(child->geometry(), factor));
        // Group boxes hold controls placed by hand; other controls place their own parts.
        if (qobject_cast<QGroupBox*>(child))
            growChildren(child, factor);
    }
}
} // namespace

QFont designedFont(qreal designedPoints) {
    QFont f = QApplication::font();
    const qreal desktop = f.pointSizeF() > 0 ? f.pointSizeF() : UsualDesktopPoints;
    f.setPointSizeF(designedPoints * std::max(desktop, UsualDesktopPoints) / UsualDesktopPoints);
    return f;
}

qreal desktopGrowth() {
    const qreal desktop = QApplication::font().pointSizeF();
    return desktop > UsualDesktopPoints ? desktop / UsualDesktopPoints : 1.0;
}

int grownPixels(int designed) {
    return int(std::lround(designed * desktopGrowth()));
}

void growWithDesktopFont(QWidget* window) {
    const qreal factor = desktopGrowth();
    if (factor <= 1.0)
        return;
    if (window->minimumSize() == window->maximumSize())
        window->setFixedSize(grown(QRect(QPoint(), window->size()), factor).size());
    else
        window->resize(grown(QRect(QPoint(), window->size()), factor).size());
    growChildren(window, factor);
}

} // namespace qly
