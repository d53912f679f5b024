#pragma once

#include <QString>

namespace qly {

// The pages, A to Z.
inline constexpr int PageCount = 26;

// "ActivePage" as the page list can use it: a value outside 0..25 shows page A.
inline int validPageIndex(int activePage) {
    return activePage >= 0 && activePage < PageCount ? activePage : 0;
}

inline QString pageLetter(int index) {
    return QString(QChar(u'A' + validPageIndex(index)));
}

} // namespace qly
