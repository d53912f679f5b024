#pragma once

#include "model/pageletters.h"

#include <QString>

#include <array>
#include <optional>

namespace qly {

class Profile;

// Where the user left a page: the selection (anchor and caret, equal without a selection) and
// the first character shown at the top of the view, as positions in the page's text.
struct PagePosition {
    int anchor = 0;
    int caret = 0;
    int top = 0;

    bool atStart() const { return anchor == 0 && caret == 0 && top == 0; }
    // The same place in a page of `length` positions: what lies past its end goes to the end.
    PagePosition clampedTo(int length) const;
    bool operator==(const PagePosition&) const = default;

    // The value in the settings file, "anchor,caret,top"; nothing for text that is not three
    // numbers of zero or more.
    QString toText() const;
    static std::optional<PagePosition> fromText(QStringView text);
};

// The section of the settings file that keeps each page's position, one key per letter.
inline constexpr char PositionsSection[] = "Positions";

// The positions of the 26 pages as the settings file holds them: a page without a valid value
// opens at its top.
std::array<PagePosition, PageCount> readPagePositions(const Profile& profile);
// Writes the pages' positions as one group: the pages away from their top, and those the file
// already names (a page moved back to its top stays there). Raises as Profile's writes do.
void writePagePositions(Profile& profile, const std::array<PagePosition, PageCount>& positions);

} // namespace qly
