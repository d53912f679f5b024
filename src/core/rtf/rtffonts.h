#pragma once
// The font table and the colour table of an RTF document, as the reader reads them.

#include "rtf/codepage.h"
#include "rtf/rtfkeywords.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace qly::rtf {

inline constexpr qsizetype kMaxFontName = 256; // characters of a font name kept

struct Font {
    QString name;
    int charset = 0;
    int codePage = 1252;
};

// Fonts by number. An entry opens with \f and ends with ';' or with its group; its name's
// bytes are decoded in the entry's code page once the name is complete.
class FontTable {
public:
    explicit FontTable(CodePages& codePages) : m_codePages(codePages) {}

    const Font* find(int number) const {
        auto it = m_index.constFind(number);
        return it == m_index.constEnd() ? nullptr : &m_fonts[size_t(*it)];
    }
    // Changes whenever an entry, or the code page that fonts without one fall back to, does.
    int generation() const { return m_generation; }
    void changed() { ++m_generation; }

    // \f in the table: a new entry at this group depth. True when it ended one still open.
    bool beginEntry(int number, int depth, int ansiCodePage);
    void setCharset(int charset);
    void setCodePage(int codePage);
    // Whether the name of an entry is being read.
    bool readingName() const { return m_inEntry && !m_nameDone; }
    // Bytes of the name, up to the ';' that ends the entry; true when that ended it.
    bool nameBytes(const unsigned char* s, qsizetype n, int ansiCodePage);
    // A \'hh byte of the name.
    void nameByte(char b);
    // Units of the name (\u).
    void nameUnits(const char16_t* s, qsizetype n, int ansiCodePage);
    // A group of the table has closed, leaving `depth` groups open: an entry without ';' ends
    // with its group. True when that ended one.
    bool groupEnd(size_t depth, int ansiCodePage);

private:
    int entryCodePage(int ansiCodePage) const;
    void decodeName(int ansiCodePage);
    void commit(int ansiCodePage);

    std::vector<Font> m_fonts;
    QHash<int, int> m_index;
    int m_generation = 0;
    CodePages& m_codePages;
    bool m_inEntry = false; // an entry is open
    int m_depth = 0;        // the depth at which its \f was read
    int m_number = 0;
    int m_charset = -1;
    int m_codePage = -1;
    QByteArray m_bytes; // the name's bytes not yet decoded
    QString m_name;
    bool m_nameDone = false;
};

// Colours by index; an entry without colour words is the automatic colour.
class ColorTable {
public:
    using Colors = std::vector<std::optional<std::uint32_t>>;

    void begin() {
        m_red = m_green = m_blue = 0;
        m_set = false;
    }
    // \red, \green or \blue.
    void word(Keyword k, int param);
    // Text of the table: each ';' ends an entry. True when one ended.
    bool separators(const unsigned char* s, qsizetype n);
    const Colors& colors() const { return m_colors; }
    std::optional<std::uint32_t> at(int index) const {
        return index >= 0 && size_t(index) < m_colors.size() ? m_colors[size_t(index)]
                                                             : std::nullopt;
    }

private:
    Colors m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_set = false;
};

} // namespace qly::rtf
