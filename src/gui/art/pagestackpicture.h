#pragma once

#include <QIcon>
#include <QPixmap>

namespace qly {

// The program's picture: three coloured pages (red, green, yellow) fanned out behind a
// white note, drawn at the given size (32 by default).
QPixmap pageStackPicture(int size = 32);

// The program's icon, the same picture at the sizes a desktop asks for.
QIcon programIcon();

// Gives the program's windows that icon, unless they have it already. The main window takes
// it once it has painted (drawing it would hold up the first picture); a box shown before that
// takes it as it opens.
void useProgramIcon();

} // namespace qly
