// The RTF writer: RTF that WordPad, LibreOffice and Word read back with the same text,
// fonts, sizes, styles, colours and alignment.
//
//   {\rtf1\ansi\ansicpg1252\deff0\uc1{\fonttbl{\f0\fnil\fcharset0 Name;}...}
//   {\colortbl ;\red..\green..\blue..;...}
//   \pard\qc\f0\fs24 text\par
//   ...}
//
// Text in a font of character set 0 (ANSI) writes Windows-1252 characters as \'hh; in a
// Symbol font (character set 2), characters of the Symbol set are written as their bytes;
// every other character is \uN? (N negative above 32767, surrogate pairs as two \u).
// Characters of 1252 are not written as \'hh in fonts of other character sets, because
// readers take \'hh in the font's own code page.
#include "rtf/rtf.h"

#include "rtf/codepage.h"
#include "rtf/rtflists.h"
#include "rtf/rtfpictures.h"
#include "rtf/rtftables.h"

#include <QHash>

#include <array>
#include <cmath>
#include <cstring>

namespace qly::rtf {
namespace {

class Out {
public:
    explicit Out(qsizetype reserve) { m_buffer.reserve(reserve); }

    // Room for n more bytes; write them at the returned pointer, then commit.
    char* room(qsizetype n) {
        const qsizetype size = m_buffer.size();
        if (size + n > m_buffer.capacity())
            m_buffer.reserve(std::max(m_buffer.capacity() * 2, size + n));
        m_buffer.resize(size + n);
        return m_buffer.data() + size;
    }
    void commit(const char* end) { m_buffer.resize(end - m_buffer.constData()); }

    void append(const char* s, qsizetype n) {
        char* d = room(n);
        std::memcpy(d, s, size_t(n));
    }
    template <qsizetype N> void lit(const char (&s)[N]) { append(s, N - 1); }
    void number(long long v) {
        char tmp[24];
        char* e = tmp + sizeof tmp;
        char* p = e;
        const bool neg = v < 0;
        unsigned long long u =
            neg ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
        do {
            *--p = char('0' + u % 10);
            u /= 10;
        } while (u);
        if (neg)
            *--p = '-';
        append(p, e - p);
    }
    QByteArray take() { return std::move(m_buffer); }

private:
    QByteArray m_buffer;
};

inline char* putNumber(char* d, int v) {
    char tmp[12];
    char* p = tmp + sizeof tmp;
    unsigned u = v < 0 ? 0u - unsigned(v) : unsigned(v);
    do {
        *--p = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0)
        *d++ = '-';
    const size_t n = size_t(tmp + sizeof tmp - p);
    std::memcpy(d, p, n);
    return d + n;
}

constexpr char kHex[] = "0123456789abcdef";

enum class TextMode { Ansi, Symbol, Unicode };

// A unit other than plain ASCII text (or any unit in a Symbol font) at d: at most 10 bytes;
// returns their end.
inline char* putSpecial(char* d, char16_t c, TextMode mode) {
    if (c == '\t') {
        std::memcpy(d, "\\tab ", 5);
        return d + 5;
    }
    if (c == 0x2028 || c == 0x2029 || c == '\n' || c == '\r' || c == 0x0B) {
        std::memcpy(d, "\\line ", 6);
        return d + 6;
    }
    if (c < 0x20)
        return d; // control characters are no text
    int byte = -1;
    if (mode == TextMode::Ansi)
        byte = c >= 0x80 ? windows1252Byte(c) : -1;
    else if (mode == TextMode::Symbol)
        byte = symbolByte(c);
    if (byte >= 0x20 && byte < 0x7F) {
        if (byte == '\\' || byte == '{' || byte == '}')
            *d++ = '\\';
        *d++ = char(byte);
    } else if (byte >= 0x80) {
        d[0] = '\\';
        d[1] = '\'';
        d[2] = kHex[byte >> 4];
        d[3] = kHex[byte & 15];
        d += 4;
    } else {
        *d++ = '\\';
        *d++ = 'u';
        d = putNumber(d, int(static_cast<std::int16_t>(c)));
        *d++ = '?';
    }
    return d;
}

// Writes text; at most 10 bytes a UTF-16 unit.
void writeText(Out& out, const QString& text, TextMode mode) {
    const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
    qsizetype n = text.size();
    while (n > 0) {
        const qsizetype m = std::min<qsizetype>(n, 1024);
        char* d = out.room(m * 10);
        for (qsizetype i = 0; i < m; ++i) {
            const char16_t c = s[i];
            if (c >= 0x20 && c < 0x7F && mode != TextMode::Symbol) {
                if (c == '\\' || c == '{' || c == '}')
                    *d++ = '\\';
                *d++ = char(c);
            } else {
                d = putSpecial(d, c, mode);
            }
        }
        out.commit(d);
        s += m;
        n -= m;
    }
}

struct FontKey {
    QString name;
    int charset;
    bool operator==(const FontKey&) const = default;
};
size_t qHash(const FontKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.name, k.charset);
}

int halfPoints(double size) {
    if (!(size > 0))
        return 24;
    const double h = std::round(size * 2);
    return h < 1 ? 1 : h > 3276 ? 3276 : int(h);
}

// The paragraph's properties after its \pard; only those that differ from the defaults.
void writeParagraphFormat(Out& out, const Paragraph& p) {
    switch (p.align) {
    case Alignment::Right:
        out.lit("\\qr");
        break;
    case Alignment::Center:
        out.lit("\\qc");
        break;
    case Alignment::Justify:
        out.lit("\\qj");
        break;
    default:
        break;
    }
    auto twips = [&out](const char* word, qsizetype len, int value) {
        if (value != 0) {
            out.append(word, len);
            out.number(value);
        }
    };
    twips("\\li", 3, p.leftIndent);
    twips("\\ri", 3, p.rightIndent);
    twips("\\fi", 3, p.firstIndent);
    twips("\\sb", 3, p.spaceBefore);
    twips("\\sa", 3, p.spaceAfter);
    if (p.lineSpacing != 0) {
        twips("\\sl", 3, p.lineSpacing);
        if (p.lineMultiple)
            out.lit("\\slmult1");
        else
            out.lit("\\slmult0");
    }
    if (p.keepTogether)
        out.lit("\\keep");
    if (p.keepWithNext)
        out.lit("\\keepn");
    for (const TabStop& t : p.tabs) {
        switch (t.kind) {
        case TabKind::Right:
            out.lit("\\tqr");
            break;
        case TabKind::Center:
            out.lit("\\tqc");
            break;
        case TabKind::Decimal:
            out.lit("\\tqdec");
            break;
        default:
            break;
        }
        out.lit("\\tx");
        out.number(t.position);
    }
}

// Text that every reader shows: ASCII as it is, any other character as \uN with the
// Windows-1252 byte (or "?") for readers that do not know \u.
void writeWithFallback(Out& out, const QString& text) {
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\' || c == '{' || c == '}')
                out.lit("\\");
            const char ch = char(c);
            out.append(&ch, 1);
            continue;
        }
        if (c < 0x20) {
            out.lit("\\'");
            const char hex[2] = {kHex[c >> 4], kHex[c & 15]};
            out.append(hex, 2);
            continue;
        }
        out.lit("\\u");
        out.number(static_cast<std::int16_t>(c));
        const int b = windows1252Byte(c);
        if (b >= 0x80) {
            out.lit("\\'");
            const char hex[2] = {kHex[b >> 4], kHex[b & 15]};
            out.append(hex, 2);
        } else {
            out.lit("?");
        }
    }
}

// A list level's indents (left, first line): those of its first item, so that items keep
// their own (LibreOffice drops an item's indent that equals its level's and then reads the
// item as not indented); a level without items gets the usual steps of half an inch.
using LevelIndents = std::vector<std::array<std::pair<int, int>, kListLevels>>;

LevelIndents levelIndents(const Document& document) {
    LevelIndents out(document.lists.size());
    std::vector<std::array<bool, kListLevels>> seen(document.lists.size());
    for (size_t i = 0; i < out.size(); ++i)
        for (int k = 0; k < kListLevels; ++k)
            out[i][size_t(k)] = {720 * (k + 1), -360};
    for (const Paragraph& p : document.paragraphs) {
        if (p.list <= 0 || size_t(p.list) > out.size())
            continue;
        const size_t i = size_t(p.list) - 1, k = size_t(p.listLevel);
        if (!seen[i][k]) {
            seen[i][k] = true;
            out[i][k] = {p.leftIndent, p.firstIndent};
        }
    }
    return out;
}

// The lists in Word's form, which Word and LibreOffice read: list i is \listid i+1 and
// \ls i+1; a level's text holds the numbers it shows as the placeholders \'0k.
void writeListTables(Out& out, const std::vector<List>& lists, const LevelIndents& indents) {
    out.lit("{\\*\\listtable");
    for (size_t i = 0; i < lists.size(); ++i) {
        out.lit("{\\list\\listtemplateid");
        out.number(qsizetype(i) + 1);
        for (int k = 0; k < kListLevels; ++k) {
            const ListLevel& l = lists[i].levels[k];
            // A bullet level without a mark is "no number" (255), as readers keep it.
            const int nfc = l.style == ListStyle::Bullet && l.bullet.isEmpty()
                                ? 255
                                : listStyleForm(l.style).levelNfc;
            out.lit("\n{\\listlevel\\levelnfc");
            out.number(nfc);
            out.lit("\\levelnfcn");
            out.number(nfc);
            out.lit("\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat");
            out.number(l.start);
            QString text;
            QByteArray placeholders;
            if (l.style == ListStyle::Bullet) {
                text = l.bullet.left(8);
            } else {
                // The numbers of the levels it shows, its own last: "\'00.\'01." for "2.1.".
                text = l.prefix.left(8);
                const int first = std::max(0, k - std::clamp(l.numbers, 1, kListLevels) + 1);
                for (int j = first; j <= k; ++j) {
                    if (j > first)
                        text += l.separator.left(8);
                    const int placeholder = int(text.size()) + 1;
                    placeholders += "\\'";
                    placeholders += kHex[placeholder >> 4];
                    placeholders += kHex[placeholder & 15];
                    text += QChar(char16_t(j));
                }
                text += l.suffix.left(8);
            }
            out.lit("{\\leveltext\\'");
            const char len[2] = {kHex[text.size() >> 4], kHex[text.size() & 15]};
            out.append(len, 2);
            writeWithFallback(out, text);
            out.lit(";}{\\levelnumbers");
            out.append(placeholders.constData(), placeholders.size());
            out.lit(";}\\fi");
            out.number(indents[i][size_t(k)].second);
            out.lit("\\li");
            out.number(indents[i][size_t(k)].first);
            out.lit("}");
        }
        out.lit("{\\listname ;}\\listid");
        out.number(qsizetype(i) + 1);
        out.lit("}");
    }
    out.lit("}\n{\\*\\listoverridetable");
    for (size_t i = 0; i < lists.size(); ++i) {
        out.lit("{\\listoverride\\listid");
        out.number(qsizetype(i) + 1);
        out.lit("\\listoverridecount0\\ls");
        out.number(qsizetype(i) + 1);
        out.lit("}");
    }
    out.lit("}\n");
}

// A list item: the rich-edit form of the first level first (that form has no levels, and
// LibreOffice lets whichever of \pn and \ls comes last decide the item's list), then Word's
// form, then the number as text for readers that show neither: \pntext beside the \pn form,
// \listtext at the deeper levels, which have no \pn form (one label each, so that a reader
// that knows neither shows it once).
void writeListItem(Out& out, const Paragraph& p, const List& list, const QString& label) {
    const ListLevel& l = list.levels[p.listLevel];
    if (p.listLevel == 0) {
        out.lit("{\\*\\pn");
        if (l.style != ListStyle::Bullet)
            out.lit("\\pnlvlbody");
        const std::string_view word = listStyleForm(l.style).pnWord;
        out.lit("\\");
        out.append(word.data(), qsizetype(word.size()));
        out.lit("\\pnindent0\\pnstart");
        out.number(l.start);
        if (l.style == ListStyle::Bullet) {
            out.lit("{\\pntxtb ");
            writeWithFallback(out, l.bullet);
            out.lit("}}");
        } else {
            out.lit("{\\pntxtb ");
            writeWithFallback(out, l.prefix);
            out.lit("}{\\pntxta ");
            writeWithFallback(out, l.suffix);
            out.lit("}}");
        }
    }
    out.lit("\\ls");
    out.number(p.list);
    out.lit("\\ilvl");
    out.number(p.listLevel);
    if (p.listLevel == 0)
        out.lit("{\\pntext ");
    else
        out.lit("{\\listtext ");
    writeWithFallback(out, label);
    out.lit("\\tab}");
}

// The row of a table paragraph; null for other paragraphs (and those naming no row or cell).
const TableRow* tableRow(const Document& doc, const Paragraph& p) {
    if (p.row <= 0 || size_t(p.row) > doc.rows.size())
        return nullptr;
    const TableRow& row = doc.rows[size_t(p.row) - 1];
    return p.cell >= 0 && size_t(p.cell) < row.cells.size() ? &row : nullptr;
}

// Ends a paragraph of a table cell: \par, or \cell when the cell ends, and \row when the
// row ends. Cells the paragraphs skip are written empty, so that each keeps its place.
void endTableParagraph(Out& out, const Document& doc, const Paragraph& p, const Paragraph* next) {
    if (next && next->row == p.row && next->cell == p.cell) {
        out.lit("\\par\n");
        return;
    }
    // The last cell a row can hold ends with \par, and the row's end ends it: readers take
    // a \cell past it for a tab.
    auto endCell = [&out](int cell) {
        if (cell == kMaxTableCells - 1)
            out.lit("\\par\n");
        else
            out.lit("\\cell\n");
    };
    endCell(p.cell);
    const int cells = int(doc.rows[size_t(p.row) - 1].cells.size());
    const int until = next && next->row == p.row && next->cell > p.cell ? next->cell : cells;
    for (int c = p.cell + 1; c < until; ++c) {
        out.lit("\\pard\\intbl");
        endCell(c);
    }
    if (until == cells)
        out.lit("\\row\n");
}

// Fonts and colours of a document in order of first use, and an upper bound of its RTF, so
// that the buffer is never grown (and copied): ASCII takes a byte, any other unit at most 10,
// a change of format at most 100.
struct Tables {
    QList<FontKey> fonts;
    QHash<FontKey, int> fontIndex;
    QList<std::uint32_t> colors;
    QHash<std::uint32_t, int> colorIndex;
    qsizetype bound = 1024;

    void addColor(const std::optional<std::uint32_t>& c) {
        if (c && !colorIndex.contains(*c & 0xFFFFFF)) {
            colorIndex.insert(*c & 0xFFFFFF, int(colors.size()) + 1);
            colors.push_back(*c & 0xFFFFFF);
        }
    }
    void addFormat(const CharFormat& f) {
        const FontKey key{f.font, std::clamp(f.charset, 0, 255)};
        if (!fontIndex.contains(key)) {
            fontIndex.insert(key, int(fonts.size()));
            fonts.push_back(key);
        }
        addColor(f.color);
        addColor(f.background);
    }
};

qsizetype textBound(const QString& text) {
    const char16_t* t = reinterpret_cast<const char16_t*>(text.constData());
    qsizetype wide = 0;
    for (qsizetype i = 0, n = text.size(); i < n; ++i)
        wide += t[i] >= 0x7F || t[i] < 0x20;
    return text.size() + 9 * wide + 100;
}

Tables documentTables(const Document& document) {
    Tables t;
    const CharFormat* last = nullptr;
    for (const Paragraph& p : document.paragraphs) {
        t.bound += 160 + 24 * qsizetype(p.tabs.size()) + (p.list ? 400 : 0);
        for (const TextRun& r : p.runs) {
            t.bound += textBound(r.text);
            if (last && *last == r.format)
                continue;
            last = &r.format;
            t.addFormat(r.format);
        }
    }
    if (t.fonts.isEmpty())
        t.fonts.push_back(FontKey{QString(), 0});
    for (const TableRow& row : document.rows) {
        t.bound += 64 + 220 * qsizetype(row.cells.size()); // its definition, empty cells, marks
        forEachRowColor(row, [&t](std::uint32_t c) { t.addColor(c); });
    }
    for (const FontKey& f : std::as_const(t.fonts))
        t.bound += 64 + 10 * f.name.size();
    t.bound += 64 * t.colors.size();
    for (const Picture& picture : document.pictures)
        t.bound += 128 + picture.rtf.size() + picture.data.size() * 2 + picture.data.size() / 64;
    for (const List& l : document.lists)
        for (const ListLevel& level : l.levels)
            t.bound += 300 + 30 * (level.prefix.size() + level.suffix.size() + level.bullet.size() +
                                   8 * level.separator.size());
    return t;
}

void writeHeader(Out& out, const Tables& t) {
    out.lit("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl");
    for (qsizetype i = 0; i < t.fonts.size(); ++i) {
        out.lit("{\\f");
        out.number(i);
        out.lit("\\fnil\\fcharset");
        out.number(t.fonts[i].charset);
        out.lit(" ");
        QString name = t.fonts[i].name;
        name.replace(QLatin1Char(';'), QLatin1Char(' ')); // a name cannot hold the separator
        writeText(out, name, TextMode::Unicode);
        out.lit(";}");
    }
    out.lit("}\n{\\colortbl ;");
    for (std::uint32_t c : std::as_const(t.colors)) {
        out.lit("\\red");
        out.number((c >> 16) & 0xFF);
        out.lit("\\green");
        out.number((c >> 8) & 0xFF);
        out.lit("\\blue");
        out.number(c & 0xFF);
        out.lit(";");
    }
    out.lit("}\n");
}

TextMode textMode(int charset) {
    return charset == 0 ? TextMode::Ansi : charset == 2 ? TextMode::Symbol : TextMode::Unicode;
}

// The character format in force as the reader sees it, changed by control words as runs
// need; it starts as the reader's state after the header: \f0 (\deff0), \fs24, nothing else.
class FormatWriter {
public:
    FormatWriter(Out& out, const Tables& tables)
        : m_out(out), m_tables(tables), m_mode(textMode(tables.fonts[0].charset)) {}

    TextMode mode() const { return m_mode; }
    // The state before a group, which its end restores.
    struct Saved {
        int font, halfPoints, fg, bg;
        bool bold, italic, underline, strike;
        TextMode mode;
    };
    Saved save() const {
        return {m_font, m_halfPoints, m_fg, m_bg, m_bold, m_italic, m_underline, m_strike, m_mode};
    }
    void restore(const Saved& s) {
        m_font = s.font;
        m_halfPoints = s.halfPoints;
        m_fg = s.fg;
        m_bg = s.bg;
        m_bold = s.bold;
        m_italic = s.italic;
        m_underline = s.underline;
        m_strike = s.strike;
        m_mode = s.mode;
        m_last = nullptr;
    }
    // Writes the words that change the format to f; true when it wrote any.
    bool change(const CharFormat& f) {
        if (m_last && *m_last == f)
            return false;
        m_last = &f;
        bool changed = font(f);
        changed |= number("\\fs", 3, halfPoints(f.size), m_halfPoints);
        changed |= flag(f.bold, m_bold, "\\b", 2, "\\b0", 3);
        changed |= flag(f.italic, m_italic, "\\i", 2, "\\i0", 3);
        changed |= flag(f.underline, m_underline, "\\ul", 3, "\\ulnone", 7);
        changed |= flag(f.strike, m_strike, "\\strike", 7, "\\strike0", 8);
        changed |= number("\\cf", 3, colorIndex(f.color), m_fg);
        const int b = colorIndex(f.background);
        if (b != m_bg) {
            m_out.lit("\\highlight");
            m_out.number(b);
            m_out.lit("\\chcbpat");
            m_out.number(b);
            m_bg = b;
            changed = true;
        }
        return changed;
    }

private:
    bool font(const CharFormat& f) {
        const int cs = std::clamp(f.charset, 0, 255);
        const FontKey& current = m_tables.fonts[m_font];
        const int fi = current.charset == cs && current.name == f.font
                           ? m_font
                           : m_tables.fontIndex.value(FontKey{f.font, cs}, 0);
        if (fi == m_font)
            return false;
        m_out.lit("\\f");
        m_out.number(fi);
        m_font = fi;
        m_mode = textMode(cs);
        return true;
    }
    bool number(const char* word, qsizetype len, int value, int& have) {
        if (value == have)
            return false;
        m_out.append(word, len);
        m_out.number(value);
        have = value;
        return true;
    }
    bool flag(bool want, bool& have, const char* on, qsizetype onLen, const char* off,
              qsizetype offLen) {
        if (want == have)
            return false;
        if (want)
            m_out.append(on, onLen);
        else
            m_out.append(off, offLen);
        have = want;
        return true;
    }
    int colorIndex(const std::optional<std::uint32_t>& c) const {
        return c ? m_tables.colorIndex.value(*c & 0xFFFFFF) : 0;
    }

    Out& m_out;
    const Tables& m_tables;
    const CharFormat* m_last = nullptr;
    int m_font = 0, m_halfPoints = 24, m_fg = 0, m_bg = 0;
    bool m_bold = false, m_italic = false, m_underline = false, m_strike = false;
    TextMode m_mode;
};

// The runs of a paragraph; `space`: a control word was written last, so that text needs
// its delimiter.
void writeRuns(Out& out, const Document& document, const Paragraph& p, FormatWriter& format,
               bool space) {
    // Text that opens an address is a HYPERLINK field's result, a group of its own whose end
    // restores the format before it.
    const QString* link = nullptr;
    FormatWriter::Saved beforeLink{};
    const auto endLink = [&] {
        if (!link)
            return;
        out.lit("}}");
        format.restore(beforeLink);
        link = nullptr;
    };
    for (const TextRun& r : p.runs) {
        if (r.text.isEmpty())
            continue;
        if (link && *link != r.format.link)
            endLink();
        if (!link && !r.format.link.isEmpty()) {
            link = &r.format.link;
            beforeLink = format.save();
            out.lit("{\\field{\\*\\fldinst HYPERLINK \"");
            writeWithFallback(out, asciiAddress(r.format.link));
            out.lit("\"}{\\fldrslt");
            space = true;
        }
        if (format.change(r.format))
            space = true;
        if (r.picture > 0) {
            if (size_t(r.picture) <= document.pictures.size()) {
                const QByteArray group = pictureGroup(document.pictures[size_t(r.picture) - 1]);
                if (!group.isEmpty()) {
                    out.append(group.constData(), group.size());
                    space = false;
                }
            }
            continue;
        }
        if (space) {
            out.lit(" ");
            space = false;
        }
        writeText(out, r.text, format.mode());
    }
    endLink();
}

} // namespace

QByteArray writeDocument(const Document& document) {
    const Tables tables = documentTables(document);
    Out out(tables.bound);
    writeHeader(out, tables);
    if (!document.lists.empty())
        writeListTables(out, document.lists, levelIndents(document));
    ListCounters counters(document.lists.size());
    FormatWriter format(out, tables);
    const std::vector<Paragraph>& paragraphs = document.paragraphs;
    QByteArray definition; // of a table row, reused
    for (size_t pi = 0; pi < paragraphs.size(); ++pi) {
        const Paragraph& p = paragraphs[pi];
        const TableRow* row = tableRow(document, p);
        if (row && (pi == 0 || paragraphs[pi - 1].row != p.row ||
                    !tableRow(document, paragraphs[pi - 1]))) {
            definition.clear();
            appendRowDefinition(definition, *row, tables.colorIndex);
            out.append(definition.constData(), definition.size());
            out.lit("\n");
        }
        out.lit("\\pard");
        if (row)
            out.lit("\\intbl");
        writeParagraphFormat(out, p);
        const bool item = p.list > 0 && size_t(p.list) <= document.lists.size() &&
                          p.listLevel >= 0 && p.listLevel < kListLevels;
        if (item) {
            const List& list = document.lists[size_t(p.list) - 1];
            counters.next(list, size_t(p.list) - 1, p.listLevel);
            writeListItem(out, p, list,
                          listLabel(list, counters.counts(size_t(p.list) - 1), p.listLevel));
        }
        writeRuns(out, document, p, format, !item);
        if (row) {
            const Paragraph* next = pi + 1 < paragraphs.size() ? &paragraphs[pi + 1] : nullptr;
            endTableParagraph(out, document, p, next && tableRow(document, *next) ? next : nullptr);
            continue;
        }
        out.lit("\\par\n");
    }
    out.lit("}");
    return out.take();
}

} // namespace qly::rtf
