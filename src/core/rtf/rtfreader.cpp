#include "rtf/rtfreader.h"

#include "rtf/codepage.h"
#include "rtf/rtfdecoders.h"
#include "rtf/rtffonts.h"
#include "rtf/rtfkeywords.h"
#include "rtf/rtflists.h"
#include "rtf/rtfpictures.h"
#include "rtf/rtftables.h"
#include "rtf/rtftokenizer.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace qly::rtf {

QString asciiAddress(const QString& address) {
    QString out;
    for (QChar c : address) {
        if (c.unicode() > 0x20 && c.unicode() < 0x7F && c != u'"') {
            out += c;
            continue;
        }
        for (const char b : QString(c).toUtf8())
            out += QStringLiteral("%%1")
                       .arg(int(static_cast<unsigned char>(b)), 2, 16, QChar(u'0'))
                       .toUpper();
    }
    return out;
}

QString hyperlinkTarget(const QString& instruction) {
    const QString text = instruction.trimmed();
    if (!text.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive))
        return {};
    // The first argument is the address, quoted or not; switches (\l, \o "tip") may come first.
    const QString args = text.mid(9).trimmed();
    qsizetype i = 0;
    while (i < args.size()) {
        if (args.at(i).isSpace()) {
            ++i;
        } else if (args.at(i) == u'\\') {
            if (i + 1 < args.size() && args.at(i + 1) == u'l')
                return {}; // a place in the document, not an address
            i += 2;        // the switch, then its own argument
            while (i < args.size() && args.at(i).isSpace())
                ++i;
            if (i < args.size() && args.at(i) == u'"')
                i = args.indexOf(u'"', i + 1) + 1;
            if (i <= 0)
                return {};
        } else if (args.at(i) == u'"') {
            const qsizetype end = args.indexOf(u'"', i + 1);
            return end < 0 ? QString() : asciiAddress(args.mid(i + 1, end - i - 1));
        } else {
            qsizetype end = i;
            while (end < args.size() && !args.at(end).isSpace() && args.at(end) != u'"')
                ++end;
            return asciiAddress(args.mid(i, end - i));
        }
    }
    return {};
}

namespace {

using K = Keyword;

// ---------------------------------------------------------------------------------------
// Layer 2: the interpreter.

enum class Dest : std::uint8_t {
    Normal,
    Skip,
    FontTable,
    ColorTable,
    ListText,
    Pn,
    PnTxtB,
    PnTxtA,
    Upr,
    ListTable,
    LevelText,
    ListOverrides,
    FldInst,
    // Pictures: the destinations from here on hold no text.
    Picture,
    ShpPict,
    Object,
    Result
};

bool isPictureDest(Dest d) {
    return d >= Dest::Picture;
}

enum : std::uint8_t { FBold = 1, FItalic = 2, FUnderline = 4, FStrike = 8, FHidden = 16 };

constexpr int kDefaultHalfPoints = 24;

struct RawFormat {
    int font = -1; // RTF font number; -1: \deff
    int halfPoints = kDefaultHalfPoints;
    int fg = -1; // colour table index; -1: automatic
    int bg = -1;
    int link = 0; // the interpreter's links, 1-based; 0 none
    std::uint8_t flags = 0;
    bool operator==(const RawFormat&) const = default;
};

// Paragraph properties but the tab stops, which the interpreter keeps once (they are set
// and cleared paragraph by paragraph, not group by group).
struct RawPara {
    bool intbl = false; // a paragraph of a table cell
    Alignment align = Alignment::Left;
    std::uint8_t level = 0; // \ilvl
    int ls = 0;             // \ls: the list override; 0 none
    bool lineMultiple = false;
    bool keep = false;
    bool keepNext = false;
    int left = 0, right = 0, first = 0, before = 0, after = 0, line = 0; // twips
};

constexpr int kMaxIndent = 31680; // 22 inches in twips: no page is wider
constexpr int kMaxTabStops = 64;

struct State {
    RawFormat fmt;
    Dest dest = Dest::Normal;
    Dest uprOuter = Dest::Normal; // the destination an \upr group hides, for its \ud
    bool nestProps = false;       // in \nesttableprops: a nested row's definition, not kept
    RawPara para;
    int uc = 1;
    const char* open = nullptr; // the group's opening brace
};

class Interpreter {
public:
    Interpreter(QByteArrayView bytes, Builder& builder)
        : m_tokenizer(bytes.data(), bytes.data() + bytes.size()), m_builder(builder),
          m_wantsFormat(builder.wantsFormat()), m_keywords(keywordTable()) {
        m_stack.reserve(64);
    }

    void run();

private:
    State& st() { return m_stack.back(); }

    // Output of text.
    // Whether text can go straight into the buffer: normal text, nothing pending before it.
    bool fastText() {
        const State& state = m_stack.back();
        return state.dest == Dest::Normal && !(state.fmt.flags & FHidden) && !m_pendingCellPar &&
               m_pendingTabs == 0 && (m_paraNumbered || !m_pn.numbered()) &&
               m_listTextBuf.isEmpty() &&
               (!m_wantsFormat || (m_formatValid && m_lastFormat == state.fmt));
    }
    // Appends text to the buffer, without control characters but tab.
    template <typename Convert> void appendText(const Convert& convert, qsizetype n) {
        char16_t* d = textRoom(n);
        char16_t* const start = d;
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = convert(i);
            if (c < 0x20 && c != '\t')
                continue;
            *d++ = c == 0x2029 ? char16_t(0x2028) : c;
        }
        m_textLen += d - start;
        if (d != start)
            m_paraHasText = true;
    }
    void emitUnits(const char16_t* s, qsizetype n) {
        if (fastText())
            appendText([s](qsizetype i) { return s[i]; }, n);
        else
            emitUnitsSlow(s, n);
    }
    void emitUnitsSlow(const char16_t* s, qsizetype n);
    void keepListText(const char16_t* s, qsizetype n);
    void emitChar(char16_t c) { emitUnits(&c, 1); }
    void emitDecoded(const DecodedUnits& d) {
        if (d.count > 0)
            emitUnits(d.units, d.count);
    }
    void emitBytes(const unsigned char* s, qsizetype n);
    bool tableBytes(Dest dest, const unsigned char* s, qsizetype n);
    void dropLead() { m_decoder.reset(); }
    void beforeParagraphText();
    void flushPendingTabs();
    void flushText();
    void endParagraph() { endParagraph(st().para); }
    void endParagraph(const RawPara& para, bool cellEnd = false);
    void fillParagraph(const RawPara& para, bool cellEnd);
    void endPendingCellParagraph();
    void endCell();
    void closeRow();
    void addTabStop(int position);
    void ensureFormat();
    CharFormat resolve(const RawFormat& raw);
    const CodePage& currentCodePage();

    void word(const Token& t);
    void documentWord(State& s, K k, const Token& t);
    void destinationWord(State& s, K k);
    bool tableWord(State& s, K k, const Token& t);
    void characterWord(State& s, K k, const Token& t);
    void paragraphWord(State& s, K k, const Token& t);
    void breakWord(State& s, K k);
    bool destinationTakesWord(State& s, K k, const Token& t);
    void endRow(State& s);
    void symbol(char c);
    void groupEnd(const State& closed);
    void openGroup();
    bool closeGroup();
    bool skipFallback(Token& t);
    void token(const Token& t);
    void finish();

    // Pictures and objects.
    void openPictureGroup(State& s, K k);
    void pictureWord(State& s, K k, int param);
    void startPict(State& s);
    void deliverPicture(Picture&& picture, const char* open, const char* end);
    void emitPicture(Picture&& picture);
    void pictureGroupEnd();
    void shpPictEnd(const char* end);
    void objectEnd(const char* end);
    void nonShpPictEnd(const char* end);
    bool m_groupStart = false; // no token of the group read yet but \*
    PictReader m_pict;
    std::vector<Picture> m_pictures;
    int m_pictDepth = 0, m_shpDepth = 0, m_objDepth = 0, m_nonShpDepth = 0; // 0: none open
    const char* m_pictOpen = nullptr;
    const char* m_shpOpen = nullptr;
    const char* m_objOpen = nullptr;
    const char* m_nonShpOpen = nullptr;
    std::optional<Picture> m_shpPicture, m_objPicture;
    int m_objSize[4] = {}; // \objw, \objh, \objscalex, \objscaley; 0: not given
    int m_keptShp = 0;     // the picture last kept from a \shppict group, for its \nonshppict
    const char* m_keptShpEnd = nullptr;

    Tokenizer m_tokenizer;
    Builder& m_builder;
    bool m_wantsFormat;
    const KeywordTable& m_keywords;
    std::vector<State> m_stack;
    int m_overflow = 0;       // groups past kMaxGroupDepth still open
    int m_skip = 0;           // characters still to skip after \u
    bool m_ignorable = false; // the last token was \*

    // Document properties.
    int m_ansiCodePage = 1252;
    int m_deff = 0;

    // Fonts, colours and the code page of the current font.
    CodePages m_codePages;
    FontTable m_fonts{m_codePages};
    ColorTable m_colors;
    int m_cpCacheFont = INT32_MIN;
    int m_cpCacheGeneration = -1;
    const CodePage* m_cpCache = nullptr;
    ByteDecoder m_decoder;

    // Lists of the document in order of first use, for the builder.
    std::vector<List> m_lists;
    PnNumbering m_pn;
    WordListTable m_wordLists;
    QString m_listTextBuf; // \listtext of the paragraph, while it may still become a list item
    QString m_fieldInst;   // the instruction of the field being read
    QStringList m_links;   // the addresses of HYPERLINK fields read, by RawFormat::link
    int linkIndex(const QString& url) {
        if (!m_links.isEmpty() && m_links.back() == url)
            return int(m_links.size());
        if (m_links.size() >= 4096)
            return 0;
        m_links.push_back(url);
        return int(m_links.size());
    }
    ListItem m_paraItem; // the paragraph's list item, once its number text was dropped
    ListItem listItem(const RawPara& para);
    bool paraInList();
    void emitListText();

    // The paragraph being read.
    // Text not yet given to the builder: a plain buffer, written through a pointer.
    std::vector<char16_t> m_text = std::vector<char16_t>(4096);
    qsizetype m_textLen = 0;
    char16_t* textRoom(qsizetype n) {
        if (m_textLen + n > qsizetype(m_text.size()))
            m_text.resize(std::max(m_text.size() * 2, size_t(m_textLen + n)));
        return m_text.data() + m_textLen;
    }
    bool m_formatValid = false;
    RawFormat m_lastFormat;
    bool m_paraHasText = false;
    bool m_paraHadListText = false;
    bool m_paraNumbered = false;
    int m_pendingTabs = 0;         // cells ended, their tab not yet written
    bool m_pendingCellPar = false; // a \par in a table cell, dropped if \cell follows
    RawPara m_pendingCellPara;
    // The table row being read (only when m_wantsFormat): cells ended, cells its paragraphs
    // name, rows before it.
    RowDefinition m_rowDef;
    int m_rowCells = 0;
    int m_rowCellsUsed = 0;
    int m_rowsRead = 0;
    bool m_cellEnded = false; // a cell ended as a tab (find's text, nested cells)
    bool m_lineText = false;  // cells of the row ended with text since its last paragraph end
    int m_paragraphs = 0;
    size_t m_listsBefore = 0;          // lists made before the paragraph being read
    std::vector<TabStop> m_tabs;       // of the paragraph being read
    TabKind m_tabKind = TabKind::Left; // of the next \tx
    Paragraph m_paraOut;               // handed to the builder at each paragraph end
    // Groups past kMaxGroupDepth: their text is kept at the cap's depth. A destination that
    // starts there hides text until its group closes.
    State m_overflowState;
    int m_overflowDestLevel = 0;
    Dest m_overflowDest = Dest::Normal;
};

const CodePage& Interpreter::currentCodePage() {
    const int number = st().fmt.font < 0 ? m_deff : st().fmt.font;
    if (number != m_cpCacheFont || m_fonts.generation() != m_cpCacheGeneration || !m_cpCache) {
        const Font* f = m_fonts.find(number);
        m_cpCache = &m_codePages.get(f ? f->codePage : m_ansiCodePage);
        m_cpCacheFont = number;
        m_cpCacheGeneration = m_fonts.generation();
    }
    return *m_cpCache;
}

CharFormat Interpreter::resolve(const RawFormat& raw) {
    CharFormat f;
    if (const Font* font = m_fonts.find(raw.font < 0 ? m_deff : raw.font)) {
        f.font = font->name;
        f.charset = font->charset;
    }
    f.size = raw.halfPoints / 2.0;
    f.bold = raw.flags & FBold;
    f.italic = raw.flags & FItalic;
    f.underline = raw.flags & FUnderline;
    f.strike = raw.flags & FStrike;
    f.color = m_colors.at(raw.fg);
    if (raw.link > 0 && raw.link <= m_links.size())
        f.link = m_links.at(raw.link - 1);
    f.background = m_colors.at(raw.bg);
    return f;
}

void Interpreter::flushText() {
    if (m_textLen > 0) {
        m_builder.text(reinterpret_cast<const QChar*>(m_text.data()), m_textLen);
        m_textLen = 0;
    }
}

void Interpreter::ensureFormat() {
    if (!m_wantsFormat) // plain text: formats do not matter, text is given once a paragraph
        return;
    if (m_formatValid && m_lastFormat == st().fmt)
        return;
    flushText();
    m_lastFormat = st().fmt;
    m_formatValid = true;
    m_builder.setFormat(resolve(m_lastFormat));
}

// Called before text goes into the paragraph: list numbers from \pn and tabs of ended cells.
void Interpreter::beforeParagraphText() {
    if (!m_listTextBuf.isEmpty() && st().dest != Dest::ListText && !paraInList())
        emitListText();
    if (m_paraNumbered || !m_pn.numbered() || m_paraHadListText || st().dest == Dest::ListText)
        return;
    m_paraNumbered = true;
    if (!m_pn.showsNumber())
        return;
    if (m_wantsFormat && paraInList()) { // the list shows the number
        m_pn.count();
        return;
    }
    const QString label = m_pn.label();
    emitUnits(reinterpret_cast<const char16_t*>(label.constData()), label.size());
}

void Interpreter::flushPendingTabs() {
    if (m_pendingTabs > 0) {
        std::fill_n(textRoom(m_pendingTabs), m_pendingTabs, char16_t('\t'));
        m_textLen += m_pendingTabs;
        m_pendingTabs = 0;
    }
}

void Interpreter::endPendingCellParagraph() {
    if (m_pendingCellPar) {
        m_pendingCellPar = false;
        endParagraph(m_pendingCellPara);
    }
}

void Interpreter::emitUnitsSlow(const char16_t* s, qsizetype n) {
    State& state = st();
    switch (state.dest) {
    case Dest::Normal:
    case Dest::ListText:
        break;
    case Dest::FontTable:
        m_fonts.nameUnits(s, n, m_ansiCodePage);
        return;
    case Dest::PnTxtB:
        m_pn.textBefore(s, n);
        return;
    case Dest::PnTxtA:
        m_pn.textAfter(s, n);
        return;
    case Dest::LevelText:
        m_wordLists.levelUnits(s, n);
        return;
    case Dest::FldInst:
        if (m_fieldInst.size() < 2048)
            m_fieldInst.append(reinterpret_cast<const QChar*>(s), n);
        return;
    default:
        return;
    }
    if (state.fmt.flags & FHidden)
        return;
    // Control characters are no text: they neither start a paragraph nor number it.
    if (std::none_of(s, s + n, [](char16_t c) { return c >= 0x20 || c == '\t'; }))
        return;
    endPendingCellParagraph();
    if (state.dest == Dest::ListText) {
        m_paraHadListText = true;
        if (m_wantsFormat) {
            keepListText(s, n);
            return;
        }
    } else {
        beforeParagraphText();
    }
    ensureFormat();
    flushPendingTabs();
    appendText([s](qsizetype i) { return s[i]; }, n);
}

// \listtext while the paragraph may still become a list item.
void Interpreter::keepListText(const char16_t* s, qsizetype n) {
    if (m_pendingTabs > 0) { // the gaps of ended cells go before it, as in find's text
        m_listTextBuf += QString(m_pendingTabs, QLatin1Char('\t'));
        m_pendingTabs = 0;
    }
    for (qsizetype i = 0; i < n; ++i) // what the text buffer would keep; bounded by the input
        if (s[i] >= 0x20 || s[i] == '\t')
            m_listTextBuf += QChar(s[i]);
}

// Bytes of the destinations that hold no page text; false for those that do.
bool Interpreter::tableBytes(Dest dest, const unsigned char* s, qsizetype n) {
    switch (dest) {
    case Dest::LevelText: // placeholders (bytes below 0x20) kept as they are
        // In the level's own font when it names one, else in the document's code page.
        m_wordLists.levelBytes(
            s, n, m_wordLists.levelHasFont() ? currentCodePage() : m_codePages.get(m_ansiCodePage));
        return true;
    case Dest::ColorTable:
        if (m_colors.separators(s, n))
            m_formatValid = false;
        return true;
    case Dest::FontTable:
        if (m_fonts.nameBytes(s, n, m_ansiCodePage))
            m_formatValid = false;
        return true;
    case Dest::FldInst: // bytes as they are: the text decoder's state is the page text's
        for (qsizetype i = 0; i < n && m_fieldInst.size() < 2048; ++i)
            m_fieldInst += QChar(char16_t(s[i]));
        return true;
    case Dest::Skip:
    case Dest::Upr:
    case Dest::Pn:
        return true;
    default:
        return isPictureDest(dest);
    }
}

void Interpreter::emitBytes(const unsigned char* s, qsizetype n) {
    const Dest dest = st().dest;
    if (dest != Dest::Normal && tableBytes(dest, s, n))
        return;
    const CodePage& cp = currentCodePage();
    if (cp.isDoubleByte()) {
        for (qsizetype i = 0; i < n; ++i)
            emitDecoded(m_decoder.doubleByte(cp, s[i]));
        return;
    }
    if (cp.isUtf8()) {
        for (qsizetype i = 0; i < n; ++i)
            emitDecoded(m_decoder.utf8(cp, s[i]));
        return;
    }
    // Single-byte pages and Symbol: straight into the buffer when nothing is pending, else
    // in pieces through a small buffer.
    if (fastText()) {
        appendText([s, &cp](qsizetype i) { return cp.single(s[i]); }, n);
        return;
    }
    char16_t buf[512];
    while (n > 0) {
        const qsizetype m = std::min<qsizetype>(n, 512);
        for (qsizetype i = 0; i < m; ++i)
            buf[i] = cp.single(s[i]);
        emitUnits(buf, m);
        s += m;
        n -= m;
    }
}

void Interpreter::addTabStop(int position) {
    const TabStop tab{std::clamp(position, 0, kMaxIndent), m_tabKind};
    m_tabKind = TabKind::Left;
    auto it = std::lower_bound(m_tabs.begin(), m_tabs.end(), tab.position,
                               [](const TabStop& t, int pos) { return t.position < pos; });
    if (it != m_tabs.end() && it->position == tab.position)
        *it = tab;
    else if (m_tabs.size() < size_t(kMaxTabStops))
        m_tabs.insert(it, tab);
}

// The paragraph's format for the builder, and its place in a list and in a table.
void Interpreter::fillParagraph(const RawPara& para, bool cellEnd) {
    Paragraph& f = m_paraOut;
    f.align = para.align;
    f.leftIndent = para.left;
    f.rightIndent = para.right;
    f.firstIndent = para.first;
    f.spaceBefore = para.before;
    f.spaceAfter = para.after;
    f.lineSpacing = para.line;
    f.lineMultiple = para.line != 0 && para.lineMultiple;
    f.keepTogether = para.keep;
    f.keepWithNext = para.keepNext;
    f.tabs = m_tabs;
    // A paragraph whose number text was dropped is the item it was then.
    const ListItem item = m_paraItem.list > 0 ? m_paraItem : listItem(para);
    f.list = item.list;
    f.listLevel = item.list > 0 ? item.level : 0;
    m_pn.paragraphEnded(m_paraNumbered, item);
    // A paragraph after an ended cell is of the row until \row ends it, as in find's text.
    if (para.intbl || cellEnd || m_rowCells > 0) {
        f.row = m_rowsRead + 1;
        f.cell = m_rowCells;
        m_rowCellsUsed = std::max(m_rowCellsUsed, m_rowCells + 1);
    } else {
        if (m_rowCellsUsed > 0)
            closeRow();
        f.row = f.cell = 0;
    }
    if (!cellEnd)
        m_lineText = false;
}

void Interpreter::endParagraph(const RawPara& para, bool cellEnd) {
    dropLead();
    endPendingCellParagraph();
    if (!m_listTextBuf.isEmpty() && !paraInList())
        emitListText();
    // Numbering that comes after the text numbers the next paragraph; the end of a cell is no
    // end of a line in find's text, and numbers nothing.
    if (!m_paraHasText && !cellEnd)
        beforeParagraphText();
    flushText();
    m_pendingTabs = 0;
    if (m_wantsFormat)
        fillParagraph(para, cellEnd);
    else
        m_pn.paragraphEnded(m_paraNumbered, ListItem{});
    m_paraItem = ListItem{};
    m_listTextBuf.clear();
    m_builder.paragraphEnd(m_paraOut);
    ++m_paragraphs;
    m_listsBefore = m_lists.size();
    m_paraHasText = false;
    // The cells of a row are one line of find's text: a number shown in one is the row's.
    m_paraHadListText = cellEnd && m_paraHadListText;
    m_paraNumbered = cellEnd && m_paraNumbered;
}

// \cell: the paragraph ends its cell; a \par right before it ended nothing.
void Interpreter::endCell() {
    const RawPara para = m_pendingCellPar ? m_pendingCellPara : st().para;
    const bool text = m_paraHasText;
    m_pendingCellPar = false;
    endParagraph(para, true);
    ++m_rowCells;
    m_lineText = m_lineText || text;
}

void Interpreter::closeRow() {
    m_lineText = false;
    m_paraHadListText = m_paraNumbered = false;
    m_builder.rowEnd(m_rowDef.row(m_rowCellsUsed));
    ++m_rowsRead;
    m_rowCells = m_rowCellsUsed = 0;
}

// Not a list item after all: the number text is text of the paragraph.
void Interpreter::emitListText() {
    const QString label = std::move(m_listTextBuf);
    m_listTextBuf.clear();
    ensureFormat();
    appendText([&label](qsizetype i) { return char16_t(label.at(i).unicode()); }, label.size());
}

// The list item a paragraph with these properties is, making its list on first use.
ListItem Interpreter::listItem(const RawPara& para) {
    if (para.ls > 0)
        return ListItem{m_wordLists.modelList(para.ls, m_lists), para.level, false};
    return m_pn.item(m_lists);
}

// Whether the paragraph is a list item now; if so, it stays one whatever follows.
bool Interpreter::paraInList() {
    if (m_paraItem.list == 0)
        m_paraItem = listItem(st().para);
    return m_paraItem.list > 0;
}

void Interpreter::groupEnd(const State& closed) {
    const size_t depth = m_stack.size();
    if (closed.dest == Dest::FontTable && m_fonts.groupEnd(depth, m_ansiCodePage))
        m_formatValid = false;
    if (closed.dest == Dest::Pn && st().dest != Dest::Pn)
        m_pn.finish(m_paraNumbered);
    m_wordLists.groupEnd(depth);
    pictureGroupEnd();
    if (closed.fmt.font != st().fmt.font)
        dropLead();
}

void Interpreter::symbol(char c) {
    switch (c) {
    case '\\':
    case '{':
    case '}': {
        const unsigned char b = static_cast<unsigned char>(c);
        emitBytes(&b, 1);
        break;
    }
    case '~':
        emitChar(0x00A0);
        break;
    case '-':
        emitChar(0x00AD);
        break;
    case '_':
        emitChar(0x2011);
        break;
    case '\r':
    case '\n':
        if (st().dest == Dest::Normal || st().dest == Dest::ListText)
            endParagraph();
        break;
    case '\t':
        emitChar('\t');
        break;
    default:
        break; // \:, \|, and unknown symbols
    }
}

// The reader's handlers of control words, each taking a range of Keyword.
enum class WordGroup : std::uint8_t {
    None, // unknown words, and those of tables and pictures outside them
    Document,
    Destination,
    Character,
    Special,
    Paragraph,
    Break
};

constexpr WordGroup wordGroupOf(K k) {
    if (k == K::Unknown)
        return WordGroup::None;
    if (k <= K::U)
        return WordGroup::Document;
    if (k <= K::Result)
        return WordGroup::Destination;
    if (k < K::F)
        return WordGroup::None;
    if (k <= K::ChCbPat)
        return WordGroup::Character;
    if (k <= K::RtlMark)
        return WordGroup::Special;
    if (k <= K::KeepN)
        return WordGroup::Paragraph;
    if (k <= K::NestCell)
        return WordGroup::Break;
    return WordGroup::None;
}

// Looked up once a word: one indexed load, then one jump.
constexpr std::array<WordGroup, 256> kWordGroups = [] {
    std::array<WordGroup, 256> groups{};
    for (size_t i = 0; i < groups.size(); ++i)
        groups[i] = wordGroupOf(K(i));
    return groups;
}();

void Interpreter::word(const Token& t) {
    const K k = m_keywords.find(t.ptr, t.len);
    State& s = st();
    if (m_ignorable) {
        m_ignorable = false;
        if (!isDestination(k)) {
            s.dest = Dest::Skip;
            return;
        }
    }
    if (s.dest != Dest::Normal && destinationTakesWord(s, k, t))
        return;
    switch (kWordGroups[size_t(k)]) {
    case WordGroup::Document:
        documentWord(s, k, t);
        return;
    case WordGroup::Destination:
        destinationWord(s, k);
        return;
    case WordGroup::Character:
        characterWord(s, k, t);
        return;
    case WordGroup::Special:
        emitChar(characterOfWord(k));
        return;
    case WordGroup::Paragraph:
        paragraphWord(s, k, t);
        return;
    case WordGroup::Break:
        breakWord(s, k);
        return;
    case WordGroup::None:
        return;
    }
}

// Words that the destination being read takes apart from the page's text: true when taken.
bool Interpreter::destinationTakesWord(State& s, K k, const Token& t) {
    if (k == K::Unknown || s.dest == Dest::Skip)
        return true;
    if (s.dest == Dest::FldInst) // its text only, as find's scanner skips it
        return true;
    if (isPictureDest(s.dest)) {
        pictureWord(s, k, t.param);
        return true;
    }
    if (s.dest == Dest::Upr) {
        if (k == K::Ud)
            s.dest = s.uprOuter;
        return true;
    }
    // Document words and destinations mean in tables what they mean in the text.
    return k > K::Result && tableWord(s, k, t);
}

void Interpreter::documentWord(State& s, K k, const Token& t) {
    const int param = t.param;
    switch (k) {
    // The document's character set: fonts without their own decode by it from here on.
    case K::Ansi:
        m_ansiCodePage = 1252;
        m_fonts.changed();
        return;
    case K::Mac:
        m_ansiCodePage = 10000;
        m_fonts.changed();
        return;
    case K::Pc:
        m_ansiCodePage = 437;
        m_fonts.changed();
        return;
    case K::Pca:
        m_ansiCodePage = 850;
        m_fonts.changed();
        return;
    case K::AnsiCpg:
        if (t.hasParam && param > 0 && param < 100000)
            m_ansiCodePage = param;
        m_fonts.changed();
        return;
    case K::Deff:
        m_deff = param;
        m_formatValid = false;
        return;
    case K::Uc:
        s.uc = std::clamp(param, 0, 0xFFFF);
        return;
    case K::U: {
        const int v = (param < 0 ? param + 65536 : param) & 0xFFFF;
        dropLead();
        if (s.dest != Dest::ColorTable && v != 0)
            emitChar(char16_t(v));
        m_skip = s.uc;
        return;
    }
    default:
        return;
    }
}

void Interpreter::destinationWord(State& s, K k) {
    switch (k) {
    case K::SkipDest:
        s.dest = Dest::Skip;
        return;
    case K::FontTbl:
        s.dest = Dest::FontTable;
        return;
    case K::ColorTbl:
        s.dest = Dest::ColorTable;
        m_colors.begin();
        return;
    case K::ListText:
        if (s.dest == Dest::Normal)
            s.dest = Dest::ListText;
        return;
    case K::Pn:
        if (s.dest == Dest::Normal) {
            s.dest = Dest::Pn;
            m_pn.begin();
        }
        return;
    case K::PnTxtB:
    case K::PnTxtA:
        if (s.dest == Dest::Pn)
            s.dest = k == K::PnTxtB ? Dest::PnTxtB : Dest::PnTxtA;
        return;
    case K::Field:
        m_fieldInst.clear();
        return;
    case K::FldInst:
        s.dest = s.dest == Dest::Normal ? Dest::FldInst : Dest::Skip;
        return;
    case K::FldRslt:
        // The result of a HYPERLINK field opens its address.
        if (s.dest == Dest::Normal)
            if (const QString url = hyperlinkTarget(m_fieldInst); !url.isEmpty())
                s.fmt.link = linkIndex(url);
        m_fieldInst.clear();
        return;
    case K::NestTableProps:
        s.nestProps = true;
        return;
    case K::ListTable:
        s.dest = Dest::ListTable;
        return;
    case K::ListOverrideTable:
        s.dest = Dest::ListOverrides;
        return;
    case K::LevelText:
        s.dest = s.dest == Dest::ListTable && m_wordLists.beginLevelText() ? Dest::LevelText
                                                                           : Dest::Skip;
        return;
    case K::Upr:
        s.uprOuter = s.dest;
        s.dest = Dest::Upr;
        return;
    case K::Pict:
    case K::ShpPict:
    case K::NonShpPict:
    case K::Object:
    case K::Result:
        openPictureGroup(s, k);
        return;
    default: // \field, \fldrslt: their result is text; \ud outside \upr
        return;
    }
}

// Words in the font, colour and list tables and in \pn; false in other destinations.
bool Interpreter::tableWord(State& s, K k, const Token& t) {
    const int param = t.param;
    switch (s.dest) {
    case Dest::FontTable:
        if (k == K::F && m_fonts.beginEntry(param, int(m_stack.size()), m_ansiCodePage))
            m_formatValid = false;
        else if (k == K::FCharset)
            m_fonts.setCharset(param);
        else if (k == K::Cpg)
            m_fonts.setCodePage(param);
        return true;
    case Dest::ColorTable:
        m_colors.word(k, param);
        return true;
    case Dest::ListTable:
        if (k == K::F) {
            s.fmt.font = param;
            m_wordLists.setLevelFont();
        } else {
            m_wordLists.listWord(k, param, int(m_stack.size()));
        }
        return true;
    case Dest::ListOverrides:
        m_wordLists.overrideWord(k, param, int(m_stack.size()));
        return true;
    case Dest::Pn:
    case Dest::PnTxtA:
    case Dest::PnTxtB:
        if (k == K::PnF || k == K::F)
            s.fmt.font = param;
        else
            m_pn.word(k, std::string_view(t.ptr, size_t(t.len)), param);
        return true;
    default:
        return false;
    }
}

// Paragraph properties.
void Interpreter::paragraphWord(State& s, K k, const Token& t) {
    const int param = t.param;
    const bool on = !t.hasParam || param != 0;
    RawPara& para = s.para;
    switch (k) {
    case K::Intbl:
        para.intbl = true;
        return;
    case K::TableWord:
        if (m_wantsFormat && !s.nestProps)
            m_rowDef.word(std::string_view(t.ptr, size_t(t.len)), t.hasParam, param,
                          m_colors.colors());
        return;
    case K::Pard:
        endPendingCellParagraph(); // a paragraph starts: the \par before ended one
        m_rowDef.endBorder();
        para = RawPara{};
        m_tabs.clear();
        m_tabKind = TabKind::Left;
        m_pn.clear();
        return;
    case K::Ls:
        para.ls = std::max(param, 0);
        return;
    case K::Ilvl:
        para.level = std::uint8_t(std::clamp(param, 0, kListLevels - 1));
        return;
    case K::Ql:
    case K::Qr:
    case K::Qc:
    case K::Qj:
        para.align = Alignment(int(k) - int(K::Ql)); // in the order of Alignment
        return;
    case K::Li:
        para.left = std::clamp(param, -kMaxIndent, kMaxIndent);
        return;
    case K::Ri:
        para.right = std::clamp(param, -kMaxIndent, kMaxIndent);
        return;
    case K::Fi:
        para.first = std::clamp(param, -kMaxIndent, kMaxIndent);
        return;
    case K::Sb:
        para.before = std::clamp(param, 0, kMaxIndent);
        return;
    case K::Sa:
        para.after = std::clamp(param, 0, kMaxIndent);
        return;
    case K::Sl:
        para.line = std::clamp(param, -kMaxIndent, kMaxIndent);
        return;
    case K::SlMult:
        para.lineMultiple = on;
        return;
    case K::Keep:
        para.keep = on;
        return;
    case K::KeepN:
        para.keepNext = on;
        return;
    case K::TqR:
    case K::TqC:
    case K::TqDec:
        m_tabKind = TabKind(int(TabKind::Right) + int(k) - int(K::TqR)); // in the order of TabKind
        return;
    case K::Tx:
        addTabStop(param);
        return;
    default:
        return;
    }
}

// The ends of paragraphs, cells and rows.
void Interpreter::breakWord(State& s, K k) {
    switch (k) {
    case K::Par:
        if (s.para.intbl) {
            // Maybe the last paragraph of a cell, whose end \cell is: decided by what follows.
            if (m_pendingCellPar)
                endParagraph(m_pendingCellPara);
            m_pendingCellPar = true;
            m_pendingCellPara = s.para;
        } else {
            endParagraph();
        }
        return;
    case K::Sect:
        if (m_paraHasText || !m_listTextBuf.isEmpty())
            endParagraph();
        else if (m_lineText && m_rowCellsUsed > 0) {
            // Ends the row, as it ends its line in find's text, and the gaps of cells ended
            // after the row's last with it; a \par after the row's last cell ended a line of
            // its own there, which follows the table.
            m_pendingTabs = 0;
            const bool parAfterCells = std::exchange(m_pendingCellPar, false);
            closeRow();
            if (parAfterCells) {
                RawPara para = m_pendingCellPara;
                para.intbl = false;
                endParagraph(para);
            }
        }
        return;
    case K::Row:
        endRow(s);
        return;
    case K::Cell:
        // The cells of a row past the most kept go on in its last one, a tab apart.
        if (m_wantsFormat && s.dest == Dest::Normal && m_rowCells < kMaxTableCells - 1) {
            endCell();
            return;
        }
        [[fallthrough]];
    case K::NestCell: // a nested table's cells: their text a tab apart in the outer cell
        dropLead();
        m_cellEnded = true;
        m_pendingCellPar = false;
        if (s.dest == Dest::Normal)
            m_pendingTabs = std::min(m_pendingTabs + 1, 1000); // an absurd row: drop the gaps
        return;
    default:
        return;
    }
}

void Interpreter::endRow(State& s) {
    if (!m_wantsFormat) {
        m_pendingCellPar = false;
        if (!m_paraHasText && m_pendingTabs > 0) // ended cells only: no number, as in the model
            m_paraNumbered = true;
        endParagraph();
        return;
    }
    // The row's last cell ends; one left open after paragraphs that \par ended gets an empty
    // last paragraph, as find's text gets an empty line.
    if (m_pendingCellPar || m_paraHasText || m_textLen > 0 || !m_listTextBuf.isEmpty() ||
        m_rowCellsUsed > m_rowCells) {
        endCell();
    } else if (m_rowCellsUsed == 0) { // a row without cells: an empty line, as in find's text
        RawPara para = s.para;
        para.intbl = false;
        endParagraph(para);
    }
    m_pendingTabs = 0;
    if (m_rowCellsUsed > 0)
        closeRow();
}

void Interpreter::characterWord(State& s, K k, const Token& t) {
    const int param = t.param;
    const bool on = !t.hasParam || param != 0;
    const auto flag = [&s, on](std::uint8_t f) {
        s.fmt.flags = on ? (s.fmt.flags | f) : (s.fmt.flags & ~f);
    };
    switch (k) {
    case K::F:
        s.fmt.font = param;
        dropLead();
        return;
    case K::Plain:
        s.fmt = RawFormat{};
        dropLead();
        return;
    case K::B:
        flag(FBold);
        return;
    case K::I:
        flag(FItalic);
        return;
    case K::Ul:
        flag(FUnderline);
        return;
    case K::UlNone:
        s.fmt.flags &= ~FUnderline;
        return;
    case K::Strike:
        flag(FStrike);
        return;
    case K::V:
        flag(FHidden);
        return;
    case K::Fs:
        s.fmt.halfPoints = t.hasParam && param > 0 ? std::min(param, 3276) : kDefaultHalfPoints;
        return;
    case K::Cf:
        s.fmt.fg = std::max(param, 0);
        return;
    case K::Cb:
    case K::Highlight:
    case K::ChCbPat:
        s.fmt.bg = std::max(param, 0);
        return;
    default:
        return;
    }
}

// ---------------------------------------------------------------------------------------
// Pictures. A \pict group gives a picture at that point of the text; in a \shppict group,
// its first \pict is the picture; an \object group is one picture, that of its \result.
// A picture that cannot be drawn keeps the bytes of its outermost group; a \nonshppict
// group right after such a \shppict goes with them.

void Interpreter::openPictureGroup(State& s, K k) {
    // Only as the group's first word: the group's bytes are then the picture's alone.
    if (s.dest != Dest::Normal || m_overflow > 0 || !m_groupStart || k == K::Result) {
        s.dest = Dest::Skip;
        return;
    }
    switch (k) {
    case K::Pict:
        startPict(s);
        return;
    case K::ShpPict:
        s.dest = Dest::ShpPict;
        m_shpDepth = int(m_stack.size());
        m_shpOpen = s.open;
        m_shpPicture.reset();
        return;
    case K::Object:
        s.dest = Dest::Object;
        m_objDepth = int(m_stack.size());
        m_objOpen = s.open;
        m_objPicture.reset();
        std::fill(std::begin(m_objSize), std::end(m_objSize), 0);
        return;
    default: // \nonshppict: shown by readers that do not know \shppict; not here
        s.dest = Dest::Skip;
        m_nonShpDepth = int(m_stack.size());
        m_nonShpOpen = s.open;
        return;
    }
}

void Interpreter::startPict(State& s) {
    s.dest = Dest::Picture;
    m_pictDepth = int(m_stack.size());
    m_pictOpen = s.open;
    m_pict.begin(m_wantsFormat);
}

void Interpreter::pictureWord(State& s, K k, int param) {
    if (isDestination(k) && k != K::Pict && k != K::ShpPict && k != K::Result) {
        s.dest = Dest::Skip; // \*\blipuid, \*\objdata and the like: no picture data
        return;
    }
    switch (s.dest) {
    case Dest::Picture:
        // The blip words and the size words in the order of Blip and PictSize.
        if (k >= K::PngBlip && k <= K::OtherBlip)
            m_pict.setBlip(Blip(int(Blip::Png) + int(k) - int(K::PngBlip)));
        else if (k >= K::PicW && k <= K::PicScaleY)
            m_pict.setSize(PictSize(int(k) - int(K::PicW)), param);
        return;
    case Dest::Object:
        switch (k) {
        case K::ObjW:
        case K::ObjH:
        case K::ObjScaleX:
        case K::ObjScaleY:
            m_objSize[int(k) - int(K::ObjW)] = std::max(param, 0);
            return;
        case K::Result:
            s.dest = Dest::Result;
            return;
        default:
            return;
        }
    case Dest::Result:
    case Dest::ShpPict:
        if (k == K::Pict && m_groupStart && m_pictDepth == 0) {
            startPict(s);
        } else if (k == K::ShpPict && m_groupStart && s.dest == Dest::Result && m_shpDepth == 0) {
            s.dest = Dest::ShpPict;
            m_shpDepth = int(m_stack.size());
            m_shpOpen = s.open;
            m_shpPicture.reset();
        }
        return;
    default:
        return;
    }
}

// A picture read: into the \shppict or \object around it, else into the text.
void Interpreter::deliverPicture(Picture&& picture, const char* open, const char* end) {
    if (m_shpDepth > 0) {
        if (!m_shpPicture)
            m_shpPicture = std::move(picture);
        return;
    }
    if (m_objDepth > 0) {
        if (!m_objPicture)
            m_objPicture = std::move(picture);
        return;
    }
    if (picture.format == PictureFormat::None && m_wantsFormat)
        picture.rtf = QByteArray(open, end - open);
    emitPicture(std::move(picture));
}

void Interpreter::emitPicture(Picture&& picture) {
    const State& state = st();
    if (state.dest != Dest::Normal || (state.fmt.flags & FHidden))
        return;
    // As text would go in: ended cells and numbers first.
    if (m_pendingCellPar) {
        m_pendingCellPar = false;
        endParagraph(m_pendingCellPara);
    }
    beforeParagraphText();
    ensureFormat();
    if (m_pendingTabs > 0) {
        std::fill_n(textRoom(m_pendingTabs), m_pendingTabs, char16_t('\t'));
        m_textLen += m_pendingTabs;
        m_pendingTabs = 0;
    }
    flushText();
    m_paraHasText = true;
    if (m_wantsFormat && m_pictures.size() < size_t(kMaxPictures)) {
        m_pictures.push_back(std::move(picture));
        m_builder.picture(int(m_pictures.size()));
    }
}

// After a group has closed: the picture, \shppict or \object it ended.
void Interpreter::pictureGroupEnd() {
    const size_t depth = m_stack.size() + 1; // of the group that closed
    const auto ends = [depth](int& open) {
        const bool ended = open > 0 && depth <= size_t(open);
        if (ended)
            open = 0;
        return ended;
    };
    const char* end = m_tokenizer.pos();
    if (ends(m_pictDepth))
        deliverPicture(m_pict.take(), m_pictOpen, end);
    if (ends(m_shpDepth))
        shpPictEnd(end);
    if (ends(m_objDepth))
        objectEnd(end);
    if (ends(m_nonShpDepth))
        nonShpPictEnd(end);
}

void Interpreter::shpPictEnd(const char* end) {
    if (!m_shpPicture)
        return;
    Picture picture = std::move(*m_shpPicture);
    m_shpPicture.reset();
    const bool kept = picture.format == PictureFormat::None && m_objDepth == 0;
    const size_t before = m_pictures.size();
    deliverPicture(std::move(picture), m_shpOpen, end);
    if (kept && m_pictures.size() > before) {
        m_keptShp = int(m_pictures.size());
        m_keptShpEnd = end;
    }
}

void Interpreter::objectEnd(const char* end) {
    Picture picture = m_objPicture ? std::move(*m_objPicture) : Picture{};
    m_objPicture.reset();
    if (m_objSize[0] > 0 && m_objSize[1] > 0) {
        picture.width = scaledTwips(m_objSize[0], m_objSize[2]);
        picture.height = scaledTwips(m_objSize[1], m_objSize[3]);
    }
    if (m_wantsFormat)
        picture.rtf = QByteArray(m_objOpen, end - m_objOpen);
    emitPicture(std::move(picture));
}

// Right after the kept \shppict, line breaks between: kept with it.
void Interpreter::nonShpPictEnd(const char* end) {
    const char* p = m_keptShpEnd;
    while (p && p < m_nonShpOpen && (*p == '\r' || *p == '\n'))
        ++p;
    if (m_keptShp > 0 && p == m_nonShpOpen && size_t(m_keptShp) == m_pictures.size())
        m_pictures.back().rtf.append(m_keptShpEnd, end - m_keptShpEnd);
    m_keptShp = 0;
}

void Interpreter::openGroup() {
    m_skip = 0;
    m_ignorable = false;
    if (m_overflow > 0 || m_stack.size() >= size_t(kMaxGroupDepth)) {
        if (m_overflow++ == 0)
            m_overflowState = m_stack.back();
        return;
    }
    m_stack.push_back(m_stack.back());
    m_stack.back().open = m_tokenizer.pos() - 1;
    m_groupStart = true;
}

// False when the top-level group has closed: what follows is ignored.
bool Interpreter::closeGroup() {
    m_skip = 0;
    m_ignorable = false;
    if (m_overflow > 0) {
        if (m_overflow == m_overflowDestLevel) { // the destination's group ends
            st().dest = m_overflowDest;
            m_overflowDestLevel = 0;
        }
        if (--m_overflow == 0) { // back at the cap: what the deep groups set ends
            dropLead();
            m_stack.back() = m_overflowState;
        }
        return true;
    }
    if (m_stack.size() == 1)
        return false;
    const State closed = m_stack.back();
    m_stack.pop_back();
    groupEnd(closed);
    m_groupStart = false;
    return true;
}

// The fallback of \u: true when the token was skipped whole.
bool Interpreter::skipFallback(Token& t) {
    if (t.type != Tok::Text) {
        --m_skip;
        return true;
    }
    const qsizetype n = std::min<qsizetype>(t.len, m_skip);
    m_skip -= int(n);
    t.ptr += n;
    t.len -= n;
    return t.len == 0;
}

void Interpreter::token(const Token& t) {
    switch (t.type) {
    case Tok::Text:
        m_ignorable = false;
        if (st().dest == Dest::Picture)
            m_pict.hexText(t.ptr, t.len);
        else
            emitBytes(reinterpret_cast<const unsigned char*>(t.ptr), t.len);
        break;
    case Tok::Hex: {
        m_ignorable = false;
        const unsigned char b = static_cast<unsigned char>(t.param);
        if (st().dest == Dest::FontTable)
            m_fonts.nameByte(char(b)); // a name byte, decoded at the end of the name
        else if (st().dest != Dest::ColorTable)
            emitBytes(&b, 1);
        break;
    }
    case Tok::Word: {
        // One call: the compiler keeps the word's handling inline in this loop.
        const bool deep = m_overflow > 0 && m_overflowDestLevel == 0;
        const Dest before = st().dest;
        word(t);
        if (deep && st().dest != before) {
            m_overflowDestLevel = m_overflow;
            m_overflowDest = before;
        }
        break;
    }
    case Tok::Symbol:
        if (t.symbol == '*') {
            m_ignorable = true;
            return; // the group has still only begun
        }
        m_ignorable = false;
        symbol(t.symbol);
        break;
    case Tok::Bin:
        m_ignorable = false;
        if (st().dest == Dest::Picture)
            m_pict.binary(t.ptr, t.len);
        break; // binary data is no text
    default:
        break;
    }
    m_groupStart = false;
}

void Interpreter::run() {
    Token t;
    // Up to the first brace: isRtf has checked that "{\rtf" follows a BOM and blanks.
    m_stack.push_back(State{});
    bool started = false;
    for (;;) {
        m_tokenizer.next(t);
        if (t.type == Tok::End)
            break;
        if (!started) {
            started = t.type == Tok::Open; // the top-level group is m_stack[0]
            continue;
        }
        if (t.type == Tok::Open) {
            openGroup();
            continue;
        }
        if (t.type == Tok::Close) {
            if (!closeGroup())
                break;
            continue;
        }
        if (m_skip > 0 && skipFallback(t))
            continue;
        token(t);
    }
    finish();
}

void Interpreter::finish() {
    dropLead();
    endPendingCellParagraph();
    // A last paragraph that was numbered is a list item, as in find's text, though no text
    // came after its number; cells ended at the end, without their row's end, make a line as
    // they make a paragraph.
    const bool content =
        m_paraHasText || m_textLen > 0 || !m_listTextBuf.isEmpty() || m_paraNumbered;
    if (content || m_pendingTabs > 0 || m_paragraphs == 0) {
        if (!content && (m_pendingTabs > 0 || m_cellEnded)) // ended cells only: no number
            m_paraNumbered = true;
        endParagraph();
    } else {
        flushText();
        // Lists made for a paragraph that never came to be have no items.
        m_lists.erase(m_lists.begin() + std::min(m_lists.size(), m_listsBefore), m_lists.end());
    }
    if (m_rowCellsUsed > 0)
        closeRow();
    if (m_wantsFormat)
        m_builder.setLists(std::move(m_lists));
    if (m_wantsFormat && !m_pictures.empty())
        m_builder.setPictures(std::move(m_pictures));
}

} // namespace

void parseRtf(QByteArrayView bytes, Builder& builder) {
    Interpreter interpreter(bytes, builder);
    interpreter.run();
}

} // namespace qly::rtf
