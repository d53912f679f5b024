#pragma once

#include <Qt>

namespace qly {

// The paragraph alignment codes that pages and menu items carry (Alignment in document.h:
// 0 left, 1 right, 2 centre, 3 justified) and Qt's horizontal alignment, both ways. Anything
// unknown is left-aligned.
Qt::Alignment qtAlignment(int code);
int alignmentCode(Qt::Alignment alignment);

} // namespace qly
