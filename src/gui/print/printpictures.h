#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>

namespace qly {

// The 8 x 8 checker of single black and white pixels, black at the top left.
QImage checkerPattern();

// The open hand (over the image) and the closed hand (while dragging), drawn for the
// device pixel ratio so they stay crisp on dense screens.
QCursor handCursor(bool closed, qreal devicePixelRatio);

// The colour picker's 18 x 18 glyph, with a second one for the mouse over the button.
QIcon colorPickerIcon(qreal devicePixelRatio);

} // namespace qly
