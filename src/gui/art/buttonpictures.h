#pragma once

#include <QIcon>
#include <QImage>

namespace qly {

// The pictures of the title bar's buttons. Each is drawn for device pixel ratios 1 and 2 on
// whole device pixels, so it stays sharp, and has a greyed, embossed twin for the disabled state.
enum class ButtonPicture {
    Close,     // an X
    Minimize,  // a bar near the bottom edge
    Previous,  // a triangle pointing left
    Next,      // a triangle pointing right
    PageStack, // coloured pages with a note on top (the main menu button)
};

QIcon buttonIcon(ButtonPicture picture);
// The size the picture is drawn at, in logical pixels.
QSize buttonPictureSize(ButtonPicture picture);
// One rendering: device pixels are the logical size times dpr.
QImage renderButtonPicture(ButtonPicture picture, int dpr, bool disabled);

} // namespace qly
