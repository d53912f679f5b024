#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace qly {

// One entry of a help file's table of contents: its caption, the page it opens (a path
// inside the help file, may be empty for a heading) and the entries under it.
struct HelpContentsEntry {
    QString name;
    QString local;
    QList<HelpContentsEntry> children;
};

// Reads a contents file (.hhc): nested <UL> lists of <LI><OBJECT type="text/sitemap"> items
// with "Name" and "Local" parameters. Tolerant of the loose HTML such files hold; what it
// keeps is capped, so a damaged file cannot make it allocate without bound.
class HelpSitemap {
public:
    static constexpr int MaxEntries = 5000;
    static constexpr int MaxDepth = 16;

    static QList<HelpContentsEntry> parse(const QByteArray& hhc);
};

} // namespace qly
