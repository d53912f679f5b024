#pragma once

#include "model/pageletters.h"
#include "settings/atomicfile.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace qly {

// How many characters of a page's first line name it; a longer line is cut with an ellipsis.
inline constexpr int PageNameLength = 30;

// A page's name: its first line that holds more than blanks, trimmed, and cut to `length`
// characters with "…" at the end when longer. Empty for a page without text.
QString pageFirstLine(QStringView text, int length = PageNameLength);

// The name of a page file's bytes (RTF or plain text): the first line of its text. Only the
// start of the text is decoded.
QString pageBytesFirstLine(QByteArrayView bytes, int length = PageNameLength);

// The page as the selector's list and the title show it: "C  Shopping list", or the letter
// alone for an empty page.
QString pageListName(int index, const QString& firstLine);

// The names of the pages from their files, read when first asked for and again only when a
// file changes (its size or modification time). Only the start of each page is decoded.
class PageNames {
public:
    // pageFolder ends with a separator, as PageStore's does.
    explicit PageNames(QString pageFolder);

    // The first line of page `index` as its file holds it; empty for a missing or unreadable
    // file.
    QString firstLine(int index);

private:
    struct Kept {
        std::optional<FileIdentity> file; // of the file named; nothing for a missing one
        bool known = false;
        QString name;
    };
    QString m_pageFolder;
    std::array<Kept, PageCount> m_kept;
};

} // namespace qly
