#pragma once

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>

namespace qly {

// Whether a page's plain text holds the search text: as an exact substring, or, without
// case sensitivity, as a substring after both texts are upper-cased with the system locale.
class TextMatcher {
public:
    TextMatcher(const QString& searchText, bool caseSensitive);
    bool matches(const QString& text) const;

private:
    QLocale m_locale;
    QString m_text;
    QString m_upperText;
    bool m_caseSensitive;
};

struct PageSearchResult {
    QList<int> pages; // the indexes of the matching pages, in letter order, each once
    QString error;    // why the search stopped early; empty when every page was searched

    bool stoppedEarly() const { return !error.isEmpty(); }
};

// Searches the page files A to Z in a page folder (ending with a separator) for a text.
// Pages without a file are skipped. A page file that cannot be read ends the search there;
// the pages found before it are kept. An empty search text matches every page that has a
// file: callers decide whether an empty search runs at all.
PageSearchResult searchPages(const QString& pageFolder, const QString& searchText,
                             bool caseSensitive);

} // namespace qly
