#pragma once

#include "model/pageletters.h"
#include "rtf/rtftext.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace qly {

class CaseFold;
struct ShownPage;

// Whether a page's plain text holds the search text: as an exact substring, or, without
// case sensitivity, as a substring once both texts are upper-cased with the system locale.
// Case is folded character by character as the texts are compared (a character the locale
// upper-cases to several, as "ß" to "SS", folds to all of them); no upper-cased copy of a
// page is made, and the comparison stops at the first hit.
class TextMatcher {
public:
    TextMatcher(const QString& searchText, bool caseSensitive);
    ~TextMatcher();
    bool matches(QStringView text) const;
    bool matches(const QString& text) const { return matches(QStringView(text)); }
    // The most units of text that a match can span.
    qsizetype longestMatch() const { return std::max(m_text.size(), qsizetype(m_folded.size())); }

private:
    bool matchesAt(const char16_t* s, qsizetype n, qsizetype i, qsizetype offset) const;
    void learnBlock(char16_t c) const;
    qsizetype nextCandidate(const char16_t* s, qsizetype n, qsizetype i) const;
    bool mayStartMatch(char16_t c) const { return m_firstUnit[c >> 6] >> (c & 63) & 1; }

    QString m_text;
    bool m_caseSensitive;
    std::shared_ptr<CaseFold> m_fold;
    std::vector<char16_t> m_folded; // the search text upper-cased, character by character
    // Whether a character's upper case holds the search text's first unit; a block of 256
    // characters not seen yet has all its bits set until it is first met.
    mutable std::vector<std::uint64_t> m_firstUnit;
    mutable std::array<bool, 256> m_blockKnown = {};
    mutable std::array<bool, 256> m_blockMay = {}; // of the known blocks: any such unit
    // The ASCII units whose upper case holds the first unit, when there are two at the most.
    std::array<char16_t, 2> m_asciiFirst = {};
    bool m_skipAscii = false;
};

// Matches a page's text piece by piece as the scanner reads it, while each piece is still in
// the processor's cache, and stops the scan at the first hit; a match across pieces is looked
// for in the units around where they meet. With `keep`, every piece is kept there, and the
// scan goes to the end: the text is wanted for the next search.
class PieceMatcher final : public rtf::TextSink {
public:
    PieceMatcher(const TextMatcher& matcher, QString* keep);
    bool found() const { return m_found; }
    bool take(QStringView piece) override;

private:
    const TextMatcher& m_matcher;
    const qsizetype m_around; // units before a piece that a match across it may start in
    QString* m_keep;
    QString m_tail;  // those units
    QString m_joint; // those and the first of the piece
    bool m_found = false;
};

struct PageSearchResult {
    QList<int> pages; // the indexes of the matching pages, in letter order, each once
    QString error;    // why the search stopped early; empty when every page was searched

    bool stoppedEarly() const { return !error.isEmpty(); }
};

// The pages' text between searches, each kept with the identity of the file it was read
// from (device, inode, size, modification time): a page whose file has not changed is not
// read again. It keeps the text (UTF-16), never the RTF.
class PageTextCache {
public:
    PageTextCache();
    ~PageTextCache();
    PageTextCache(const PageTextCache&) = delete;
    PageTextCache& operator=(const PageTextCache&) = delete;

    // The bytes of text kept for the 26 pages.
    qsizetype bytesKept() const;
    // How many page files the searches so far have read (not taken from here).
    int filesRead() const { return m_filesRead; }

    // Kept per page: the file's path and identity, and its text.
    struct FileId {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = -1, modified = 0; // modification time in nanoseconds
        bool operator==(const FileId&) const = default;
    };
    struct Page {
        QString path;
        FileId id;
        QString text;
    };
    using Pages = std::array<Page, PageCount>;

private:
    friend PageSearchResult searchPages(const QString&, const QString&, bool, PageTextCache*,
                                        const ShownPage*);
    Pages m_pages;
    int m_filesRead = 0;
};

// A page whose text stands for its file: the page shown in the editor, with typing not yet
// saved, is searched as the user sees it.
struct ShownPage {
    int index = -1;
    QString text; // as find sees a page's text: paragraphs joined by CR LF
};

// Searches the page files A to Z in a page folder (ending with a separator) for a text.
// Pages without a file are skipped. A page file that cannot be read ends the search there;
// the pages found before it are kept. An empty search text matches every page that has a
// file: callers decide whether an empty search runs at all. With a cache, pages whose files
// have not changed since it read them are searched from it. The shown page, if any, is
// searched in its text, not its file.
PageSearchResult searchPages(const QString& pageFolder, const QString& searchText,
                             bool caseSensitive, PageTextCache* cache = nullptr,
                             const ShownPage* shown = nullptr);

} // namespace qly
