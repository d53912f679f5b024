#include "window/placement.h"

namespace qly {

namespace {
constexpr int SnapDistance = 10;
} // namespace

QPoint floatingButtonPosition(int minimizedLeft, int minimizedTop, int screenWidth,
                              int workAreaHeight) {
    int left = minimizedLeft;
    if (minimizedLeft < 0)
        left = 0;
    else if (minimizedLeft >= screenWidth - FloatingButtonWidth)
        left = screenWidth - FloatingButtonWidth;
    int top = minimizedTop;
    if (minimizedTop < 0)
        top = 0;
    else if (minimizedTop + FloatingButtonHeight >= workAreaHeight)
        top = workAreaHeight - FloatingButtonHeight;
    return {left, top};
}

QRect restoredWindowGeometry(const QRect& saved, int screenWidth, int workAreaHeight) {
    int left = saved.left();
    if (saved.left() < 0)
        left = 0;
    else if (saved.left() >= screenWidth - saved.width())
        left = screenWidth - saved.width();
    int top = saved.top();
    if (saved.top() < 0)
        top = 0;
    else if (saved.top() + saved.height() >= workAreaHeight)
        top = workAreaHeight - saved.height();
    return {left, top, saved.width(), saved.height()};
}

QPoint snapToEdges(QPoint candidate, QSize size, int screenWidth, int workAreaHeight) {
    int left = candidate.x();
    if (left < SnapDistance)
        left = 0;
    else if (left + size.width() > screenWidth - SnapDistance)
        left = screenWidth - size.width();
    int top = candidate.y();
    if (top < SnapDistance)
        top = 0;
    else if (top + size.height() > workAreaHeight - SnapDistance)
        top = workAreaHeight - size.height();
    return {left, top};
}

} // namespace qly
