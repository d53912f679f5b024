#pragma once

#include "mobile/drives.h"

#include <QIcon>
#include <QPixmap>

namespace qly {

// The 32 x 32 picture of a drive: the desktop's icon theme's when it has one, else one of
// the program's own. Null for kinds that have no picture.
QPixmap drivePicture(DriveKind kind);
// The program's own drawing of a drive, at size x size logical pixels.
QPixmap ownDrivePicture(DriveKind kind, int size = 32);

// The Copy button's picture: a green arrow pointing right; disabled, the arrow struck
// through by a red cross.
QIcon copyArrowIcon();

} // namespace qly
