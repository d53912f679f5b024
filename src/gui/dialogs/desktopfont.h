#pragma once

#include <QFont>

class QWidget;

namespace qly {

// The windows were designed in 8 points on a desktop whose font is 9 points. They follow the
// desktop's font: the designed size at the usual desktop size, and larger with a larger one.
constexpr qreal DesignedPoints = 8;
constexpr qreal UsualDesktopPoints = 9;

// The desktop's font at the size that stands for `designedPoints` in the design.
QFont designedFont(qreal designedPoints = DesignedPoints);
// How much larger than designed the desktop's font makes the windows: 1 at the usual size
// and below, so the designed look is kept there.
qreal desktopGrowth();
// A length in designed pixels, at the desktop's font: unchanged at the usual size.
int grownPixels(int designed);
// A window laid out in designed pixels grows with the desktop's font: its fixed size and the
// geometry of its controls (and of the controls in its group boxes and frames) are multiplied
// by desktopGrowth(). Nothing changes at the usual size.
void growWithDesktopFont(QWidget* window);

} // namespace qly
