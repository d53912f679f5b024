// The text pass for find. It reads the page with the reader's tokenizer, keywords, font table,
// numbering and byte decoders, and follows the reader's rules for text exactly (rtfreader.cpp
// with a builder that wants no formats); it keeps nothing else: no runs, formats, lists,
// tables or pictures are built. A group that can hold no more text (a skipped destination, a
// picture) is passed over by looking for braces and backslashes eight bytes at a time. The
// corpus test and the fuzz target check that its text is the reader's.
#include "rtf/rtftext.h"

#include "rtf/rtf.h"
#include "rtf/rtfdecoders.h"
#include "rtf/rtffonts.h"
#include "rtf/rtfkeywords.h"
#include "rtf/rtflists.h"
#include "rtf/rtfreader.h"
#include "rtf/rtftokenizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qly::rtf {
namespace {

using K = Keyword;

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
    // Pictures: the destinations from here on hold no text.
    Picture,
    ShpPict,
    Object,
    Result
};

bool isPictureDest(Dest d) {
    return d >= Dest::Picture;
}

// What of a group's state decides the text.
struct State {
    int font = -1; // -1: \deff
    Dest dest = Dest::Normal;
    Dest uprOuter = Dest::Normal;
    bool hidden = false;
    bool intbl = false;
    int uc = 1;
};

// Control characters are no text; a paragraph separator inside a paragraph is a line break.
constexpr char16_t textUnit(char16_t c) {
    return c < 0x20 && c != '\t' ? char16_t(0) : c == 0x2029 ? char16_t(0x2028) : c;
}

// \u and its fallback are most of the words of pages with text outside the code page.
bool isUnicodeWord(const Token& t) {
    return t.len == 1 && *t.ptr == 'u';
}

// Whether a word changes the text where it goes straight into the buffer (in the page's
// text, shown, outside tables and numbering): most words there only format it.
bool actsOnText(Keyword k) {
    switch (k) {
    case K::Unknown:
        return false;
    case K::Intbl:
    case K::Pard:
    case K::Par:
    case K::Sect:
    case K::Row:
    case K::Cell:
    case K::NestCell:
    case K::F:
    case K::Plain:
    case K::V:
        return true;
    default:
        return k <= K::U || isDestination(k) || characterOfWord(k) != 0;
    }
}

// The number of \uN when it has one to seven digits and no sign, as readParameter reads it;
// false, p where it was, for readParameter to read.
bool readShortNumber(const char*& p, const char* end, int& value) {
    if (end - p < 8)
        return false;
    unsigned digit = static_cast<unsigned char>(p[0]) - unsigned('0');
    if (digit > 9)
        return false;
    unsigned v = 0;
    int n = 0;
    do {
        v = v * 10 + digit;
        digit = static_cast<unsigned char>(p[++n]) - unsigned('0');
    } while (digit <= 9 && n < 7);
    if (digit <= 9)
        return false;
    value = int(v);
    p += n;
    return true;
}

// Hex digits.
constexpr std::array<bool, 256> kHex = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[size_t(c)] = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
    return t;
}();

// The first backslash or brace from p on; eight bytes at a time.
const char* findBraceOrBackslash(const char* p, const char* end) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    const auto hasZero = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
    // '{' 0x7B and '}' 0x7D (and 'y', DEL) have the same bits outside 0x06
    const auto special = [&](std::uint64_t x) {
        return hasZero(x ^ (ones * 0x5C)) | hasZero((x & (ones * 0xF9)) ^ (ones * 0x79));
    };
    for (; end - p >= 8; p += 8) {
        std::uint64_t x;
        std::memcpy(&x, p, 8);
        if (special(x))
            break;
    }
    for (; p < end; ++p)
        if (*p == '\\' || *p == '{' || *p == '}')
            return p;
    return end;
}

} // namespace

class TextScanner::Pass {
public:
    Pass(QByteArrayView bytes, CodePages& codePages, UnitBuffer& out, TextSink* sink = nullptr,
         qsizetype pieceUnits = 0)
        : m_tok(bytes.data(), bytes.data() + bytes.size()), m_codePages(codePages),
          m_fonts(codePages), m_out(out), m_sink(sink),
          m_limit(sink ? pieceUnits : out.capacity()) {
        m_stack.reserve(64);
    }

    qsizetype run();
    bool stopped() const { return m_stopped; }

private:
    State& st() { return m_stack.back(); }

    // The token loop.
    bool step();
    void openGroup();
    bool closeGroup();
    bool skipFallback();
    void straightText();
    bool readyRun();
    bool m_runReady = false; // the run table is the current code page's
    void straightPieces();
    bool straightToken(bool& same);
    Q_ALWAYS_INLINE bool straightEscape(const char*& p, const char* stop, char16_t*& d);
    bool straightWord(const char*& p);
    bool straightBrace(const char*& p, bool& read);
    K keyword();
    K keyword(const char* name, qsizetype n);
    bool straightPiece(const char*& p, const char* stop, char16_t*& d, bool& read);
    Q_ALWAYS_INLINE const char* straightRun(const char* p, const char* stop, char16_t*& d);
    Q_ALWAYS_INLINE bool straightHex(const char*& p, char16_t*& d) const;
    Q_ALWAYS_INLINE bool straightUnicode(const char*& p, const char* stop, char16_t*& d);
    Q_ALWAYS_INLINE const char* skipOneFallback(const char* p);
    void token();
    void skipGroup();

    // Output.
    char16_t* room(qsizetype n) {
        if (m_len + n > m_limit)
            makeRoom(n);
        return m_out.data() + m_len;
    }
    void makeRoom(qsizetype n);
    bool m_stopped = false; // the sink needs no more text
    bool textGoesStraight() const {
        const State& s = m_stack.back();
        return s.dest == Dest::Normal && !s.hidden && !m_pendingCellPar && m_pendingTabs == 0 &&
               (m_paraNumbered || !m_pn.numbered());
    }
    void appendUnits(const char16_t* s, qsizetype n) {
        char16_t* d = room(n);
        char16_t* const start = d;
        for (qsizetype i = 0; i < n; ++i) {
            *d = textUnit(s[i]);
            d += *d != 0;
        }
        m_len += d - start;
        m_paraHasText = m_paraHasText || d != start;
    }
    void emitUnits(const char16_t* s, qsizetype n) {
        if (textGoesStraight())
            appendUnits(s, n);
        else
            emitUnitsSlow(s, n);
    }
    void emitUnitsSlow(const char16_t* s, qsizetype n);
    void emitChar(char16_t c) { emitUnits(&c, 1); }
    void emitDecoded(const DecodedUnits& d) {
        if (d.count > 0)
            emitUnits(d.units, d.count);
    }
    void emitBytes(const unsigned char* s, qsizetype n);
    bool tableBytes(Dest dest, const unsigned char* s, qsizetype n);
    void singleBytes(const CodePage& cp, const unsigned char* s, qsizetype n);
    void straightBytes(const unsigned char* s, qsizetype n);
    void dropLead() { m_decoder.reset(); }
    void flushPendingTabs();
    void beforeParagraphText();
    void endPendingCellParagraph();
    void endParagraph();
    void finish();

    // Words.
    void word();
    void documentWord(State& s, K k);
    void destinationWord(State& s, K k);
    bool tableWord(State& s, K k);
    bool paragraphWord(State& s, K k);
    bool breakWord(State& s, K k);
    void characterWord(State& s, K k);
    void symbol(char c);
    void groupEnd(const State& closed);
    const CodePage& currentCodePage();

    // Pictures: only where one stands counts, as content of its paragraph.
    void openPictureGroup(State& s, K k);
    void pictureWord(State& s, K k);
    void startPict(State& s);
    void deliverPicture();
    void emitPicture();
    void pictureGroupEnd();
    int m_pictDepth = 0, m_shpDepth = 0, m_objDepth = 0; // 0: none open
    bool m_shpPicture = false;                           // the open \shppict has its picture

    Tokenizer m_tok;
    Token m_t;
    CodePages& m_codePages;
    const KeywordTable& m_keywords = keywordTable();
    // The words last looked up, by length and first and last letter: pages repeat few.
    struct KnownWord {
        std::array<char, 15> name;
        std::uint8_t length = 0;
        K keyword = K::Unknown;
    };
    std::array<KnownWord, 128> m_known = {};
    std::vector<State> m_stack;
    int m_overflow = 0;       // groups past kMaxGroupDepth still open
    int m_skip = 0;           // characters still to skip after \u
    bool m_ignorable = false; // the last token was \*
    bool m_groupStart = false;
    State m_overflowState;
    int m_overflowDestLevel = 0;
    Dest m_overflowDest = Dest::Normal;

    int m_ansiCodePage = 1252;
    int m_deff = 0;
    FontTable m_fonts;
    int m_cpCacheFont = INT32_MIN;
    int m_cpCacheGeneration = -1;
    const CodePage* m_cpCache = nullptr;
    ByteDecoder m_decoder;
    PnNumbering m_pn;
    WordListTable m_lists;

    // A single-byte code page's units by byte, as text keeps them (0: no text), and whether
    // it reads printable ASCII as ASCII.
    const CodePage* m_runPage = nullptr;
    std::array<char16_t, 256> m_run = {};
    bool m_runAscii = false;
    void useRunTable(const CodePage& cp);

    UnitBuffer& m_out;
    qsizetype m_len = 0;
    TextSink* m_sink;
    qsizetype m_limit; // the units written before makeRoom: a piece's, or the buffer's
    bool m_paraHasText = false;
    bool m_paraHadListText = false;
    bool m_paraNumbered = false;
    int m_pendingTabs = 0;         // cells ended, their tab not yet written
    bool m_pendingCellPar = false; // a \par in a table cell, dropped if \cell follows
    bool m_cellEnded = false;
    int m_paragraphs = 0;
};

const CodePage& TextScanner::Pass::currentCodePage() {
    const int number = st().font < 0 ? m_deff : st().font;
    if (number != m_cpCacheFont || m_fonts.generation() != m_cpCacheGeneration || !m_cpCache) {
        const Font* f = m_fonts.find(number);
        m_cpCache = &m_codePages.get(f ? f->codePage : m_ansiCodePage);
        m_cpCacheFont = number;
        m_cpCacheGeneration = m_fonts.generation();
    }
    return *m_cpCache;
}

// ---------------------------------------------------------------------------------------
// Text

void TextScanner::Pass::useRunTable(const CodePage& cp) {
    if (m_runPage == &cp)
        return;
    m_runPage = &cp;
    m_runAscii = true;
    for (int b = 0; b < 256; ++b) {
        m_run[size_t(b)] = textUnit(cp.single(static_cast<unsigned char>(b)));
        if (b >= 0x20 && b < 0x80 && m_run[size_t(b)] != b)
            m_runAscii = false;
    }
}

// Straight into the buffer through the code page's table.
void TextScanner::Pass::straightBytes(const unsigned char* s, qsizetype n) {
    char16_t* d = room(n);
    char16_t* const start = d;
    for (qsizetype i = 0; i < n; ++i) {
        *d = m_run[s[i]];
        d += *d != 0;
    }
    m_len += d - start;
    m_paraHasText = m_paraHasText || d != start;
}

// Bytes of the destinations that hold no page text; false for those that do.
bool TextScanner::Pass::tableBytes(Dest dest, const unsigned char* s, qsizetype n) {
    switch (dest) {
    case Dest::FontTable:
        m_fonts.nameBytes(s, n, m_ansiCodePage);
        return true;
    case Dest::LevelText:
        if (m_lists.levelHasFont()) // the reader decodes it in the level's font
            currentCodePage();
        return true;
    case Dest::ColorTable:
    case Dest::Skip:
    case Dest::Upr:
    case Dest::Pn:
        return true;
    default:
        return isPictureDest(dest);
    }
}

void TextScanner::Pass::emitBytes(const unsigned char* s, qsizetype n) {
    const Dest dest = st().dest;
    if (dest != Dest::Normal && tableBytes(dest, s, n))
        return;
    const CodePage& cp = currentCodePage();
    if (cp.isDoubleByte()) {
        for (qsizetype i = 0; i < n; ++i)
            emitDecoded(m_decoder.doubleByte(cp, s[i]));
    } else if (cp.isUtf8()) {
        for (qsizetype i = 0; i < n; ++i)
            emitDecoded(m_decoder.utf8(cp, s[i]));
    } else if (textGoesStraight()) {
        useRunTable(cp);
        straightBytes(s, n);
    } else {
        singleBytes(cp, s, n);
    }
}

// In the reader's pieces: numbering text keeps whole pieces.
void TextScanner::Pass::singleBytes(const CodePage& cp, const unsigned char* s, qsizetype n) {
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

void TextScanner::Pass::emitUnitsSlow(const char16_t* s, qsizetype n) {
    const State& state = st();
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
    default:
        return; // list levels: no page text
    }
    if (state.hidden || std::none_of(s, s + n, [](char16_t c) { return textUnit(c) != 0; }))
        return; // control characters neither start a paragraph nor number it
    endPendingCellParagraph();
    if (state.dest == Dest::ListText)
        m_paraHadListText = true;
    else
        beforeParagraphText();
    flushPendingTabs();
    appendUnits(s, n);
}

void TextScanner::Pass::flushPendingTabs() {
    if (m_pendingTabs > 0) {
        std::fill_n(room(m_pendingTabs), m_pendingTabs, char16_t('\t'));
        m_len += m_pendingTabs;
        m_pendingTabs = 0;
    }
}

// List numbers of \pn come before the paragraph's text.
void TextScanner::Pass::beforeParagraphText() {
    if (m_paraNumbered || !m_pn.numbered() || m_paraHadListText || st().dest == Dest::ListText)
        return;
    m_paraNumbered = true;
    if (!m_pn.showsNumber())
        return;
    const QString label = m_pn.label();
    emitUnits(reinterpret_cast<const char16_t*>(label.constData()), label.size());
}

void TextScanner::Pass::endPendingCellParagraph() {
    if (m_pendingCellPar) {
        m_pendingCellPar = false;
        endParagraph();
    }
}

void TextScanner::Pass::endParagraph() {
    dropLead();
    endPendingCellParagraph();
    if (!m_paraHasText) // numbering that comes after the text numbers the next paragraph
        beforeParagraphText();
    m_pendingTabs = 0;
    m_pn.paragraphEnded(m_paraNumbered, ListItem{});
    char16_t* d = room(2);
    d[0] = '\r';
    d[1] = '\n';
    m_len += 2;
    ++m_paragraphs;
    m_paraHasText = m_paraHadListText = m_paraNumbered = false;
}

// ---------------------------------------------------------------------------------------
// Words

// The keyword of the word token.
K TextScanner::Pass::keyword() {
    return isUnicodeWord(m_t) ? K::U : keyword(m_t.ptr, m_t.len);
}

K TextScanner::Pass::keyword(const char* name, qsizetype n) {
    if (n > qsizetype(sizeof(KnownWord::name)))
        return m_keywords.find(name, n);
    const auto first = static_cast<unsigned char>(name[0]);
    const auto last = static_cast<unsigned char>(name[n - 1]);
    KnownWord& known = m_known[(size_t(n) * 13 + first * 5 + last) % m_known.size()];
    bool same = known.length == n;
    for (qsizetype i = 0; same && i < n; ++i) // no call to memcmp for a few letters
        same = known.name[size_t(i)] == name[i];
    if (!same) {
        known.length = std::uint8_t(n);
        std::copy_n(name, n, known.name.data());
        known.keyword = m_keywords.find(name, n);
    }
    return known.keyword;
}

void TextScanner::Pass::word() {
    const K k = keyword();
    State& s = st();
    if (m_ignorable) {
        m_ignorable = false;
        if (!isDestination(k)) {
            s.dest = Dest::Skip;
            return;
        }
    }
    if (k == K::Unknown || s.dest == Dest::Skip)
        return;
    if (isPictureDest(s.dest)) {
        pictureWord(s, k);
        return;
    }
    if (s.dest == Dest::Upr) {
        if (k == K::Ud)
            s.dest = s.uprOuter;
        return;
    }
    if (k <= K::U)
        documentWord(s, k);
    else if (isDestination(k))
        destinationWord(s, k);
    else if (s.dest != Dest::Normal && tableWord(s, k))
        return;
    else if (!paragraphWord(s, k) && !breakWord(s, k))
        characterWord(s, k);
}

void TextScanner::Pass::documentWord(State& s, K k) {
    const int param = m_t.param;
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
        if (m_t.hasParam && param > 0 && param < 100000)
            m_ansiCodePage = param;
        m_fonts.changed();
        return;
    case K::Deff:
        m_deff = param;
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

void TextScanner::Pass::destinationWord(State& s, K k) {
    switch (k) {
    case K::SkipDest:
        s.dest = Dest::Skip;
        return;
    case K::FontTbl:
        s.dest = Dest::FontTable;
        return;
    case K::ColorTbl:
        s.dest = Dest::ColorTable;
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
    case K::ListTable:
        s.dest = Dest::ListTable;
        return;
    case K::ListOverrideTable:
        s.dest = Dest::ListOverrides;
        return;
    case K::LevelText:
        s.dest =
            s.dest == Dest::ListTable && m_lists.beginLevelText() ? Dest::LevelText : Dest::Skip;
        return;
    case K::Upr:
        s.uprOuter = s.dest;
        s.dest = Dest::Upr;
        return;
    case K::FldInst: // a field's instruction is no text
        s.dest = Dest::Skip;
        return;
    case K::Pict:
    case K::ShpPict:
    case K::NonShpPict:
    case K::Object:
    case K::Result:
        openPictureGroup(s, k);
        return;
    default: // \field, \fldrslt: their result is text; \nesttableprops; \ud outside \upr
        return;
    }
}

// Words in the font, colour and list tables and in \pn; false in other destinations.
bool TextScanner::Pass::tableWord(State& s, K k) {
    const int param = m_t.param;
    switch (s.dest) {
    case Dest::FontTable:
        if (k == K::F)
            m_fonts.beginEntry(param, int(m_stack.size()), m_ansiCodePage);
        else if (k == K::FCharset)
            m_fonts.setCharset(param);
        else if (k == K::Cpg)
            m_fonts.setCodePage(param);
        return true;
    case Dest::ColorTable:
    case Dest::ListOverrides:
        return true;
    case Dest::ListTable:
        if (k == K::F) {
            s.font = param;
            m_lists.setLevelFont();
        } else {
            m_lists.listWord(k, param, int(m_stack.size()));
        }
        return true;
    case Dest::Pn:
    case Dest::PnTxtA:
    case Dest::PnTxtB:
        if (k == K::PnF || k == K::F)
            s.font = param;
        else
            m_pn.word(k, std::string_view(m_t.ptr, size_t(m_t.len)), param);
        return true;
    default:
        return false;
    }
}

// The paragraph properties that change the text; false for other words.
bool TextScanner::Pass::paragraphWord(State& s, K k) {
    switch (k) {
    case K::Intbl:
        s.intbl = true;
        return true;
    case K::Pard:
        endPendingCellParagraph(); // a paragraph starts: the \par before ended one
        s.intbl = false;
        m_pn.clear();
        return true;
    default:
        return false;
    }
}

// The ends of paragraphs, cells and rows; false for other words.
bool TextScanner::Pass::breakWord(State& s, K k) {
    switch (k) {
    case K::Par:
        if (s.intbl) {            // maybe the last paragraph of a cell, whose end \cell is
            if (m_pendingCellPar) // the pending end, then this one: as the reader
                endParagraph();
            m_pendingCellPar = true;
        } else {
            endParagraph();
        }
        return true;
    case K::Sect:
        if (m_paraHasText)
            endParagraph();
        return true;
    case K::Row:
        m_pendingCellPar = false;
        if (!m_paraHasText && m_pendingTabs > 0) // ended cells only: no number
            m_paraNumbered = true;
        endParagraph();
        return true;
    case K::Cell:
    case K::NestCell: // a cell's text goes on a tab apart in the same line
        dropLead();
        m_cellEnded = true;
        m_pendingCellPar = false;
        if (s.dest == Dest::Normal)
            m_pendingTabs = std::min(m_pendingTabs + 1, 1000); // an absurd row: drop the gaps
        return true;
    default:
        return false;
    }
}

void TextScanner::Pass::characterWord(State& s, K k) {
    switch (k) {
    case K::F:
        s.font = m_t.param;
        dropLead();
        return;
    case K::Plain:
        s.font = -1;
        s.hidden = false;
        dropLead();
        return;
    case K::V:
        s.hidden = !m_t.hasParam || m_t.param != 0;
        return;
    default:
        if (const char16_t c = characterOfWord(k))
            emitChar(c);
        return;
    }
}

void TextScanner::Pass::symbol(char c) {
    if (c == '\\' || c == '{' || c == '}') {
        const unsigned char b = static_cast<unsigned char>(c);
        emitBytes(&b, 1);
    } else if (c == '\r' || c == '\n') {
        if (st().dest == Dest::Normal || st().dest == Dest::ListText)
            endParagraph();
    } else if (const char16_t u = characterOfSymbol(c)) {
        emitChar(u);
    }
}

// ---------------------------------------------------------------------------------------
// Pictures

void TextScanner::Pass::openPictureGroup(State& s, K k) {
    // Only as the group's first word, as the reader takes them.
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
        m_shpPicture = false;
        return;
    case K::Object:
        s.dest = Dest::Object;
        m_objDepth = int(m_stack.size());
        return;
    default:
        s.dest = Dest::Skip;
        return;
    }
}

void TextScanner::Pass::startPict(State& s) {
    s.dest = Dest::Picture;
    m_pictDepth = int(m_stack.size());
}

void TextScanner::Pass::pictureWord(State& s, K k) {
    if (isDestination(k) && k != K::Pict && k != K::ShpPict && k != K::Result) {
        s.dest = Dest::Skip;
        return;
    }
    if (s.dest == Dest::Object && k == K::Result) {
        s.dest = Dest::Result;
    } else if (s.dest != Dest::Result && s.dest != Dest::ShpPict) {
        return;
    } else if (k == K::Pict && m_groupStart && m_pictDepth == 0) {
        startPict(s);
    } else if (k == K::ShpPict && m_groupStart && s.dest == Dest::Result && m_shpDepth == 0) {
        s.dest = Dest::ShpPict;
        m_shpDepth = int(m_stack.size());
        m_shpPicture = false;
    }
}

// A picture read: into the \shppict or \object around it, else into the text.
void TextScanner::Pass::deliverPicture() {
    if (m_shpDepth > 0)
        m_shpPicture = true;
    else if (m_objDepth == 0)
        emitPicture();
}

void TextScanner::Pass::emitPicture() {
    const State& state = st();
    if (state.dest != Dest::Normal || state.hidden)
        return;
    endPendingCellParagraph();
    beforeParagraphText();
    flushPendingTabs();
    m_paraHasText = true;
}

void TextScanner::Pass::pictureGroupEnd() {
    const int depth = int(m_stack.size()) + 1; // of the group that closed
    const auto ends = [depth](int& open) {
        const bool ended = open > 0 && depth <= open;
        open = ended ? 0 : open;
        return ended;
    };
    if (ends(m_pictDepth))
        deliverPicture();
    if (ends(m_shpDepth) && std::exchange(m_shpPicture, false))
        deliverPicture();
    if (ends(m_objDepth))
        emitPicture();
}

// ---------------------------------------------------------------------------------------
// Groups and the token loop

void TextScanner::Pass::groupEnd(const State& closed) {
    const size_t depth = m_stack.size();
    if (closed.dest == Dest::FontTable)
        m_fonts.groupEnd(depth, m_ansiCodePage);
    if (closed.dest == Dest::Pn && st().dest != Dest::Pn)
        m_pn.finish(m_paraNumbered);
    m_lists.groupEnd(depth);
    pictureGroupEnd();
    if (closed.font != st().font)
        dropLead();
}

void TextScanner::Pass::openGroup() {
    m_skip = 0;
    m_ignorable = false;
    if (m_overflow > 0 || m_stack.size() >= size_t(kMaxGroupDepth)) {
        if (m_overflow++ == 0)
            m_overflowState = m_stack.back();
        return;
    }
    m_stack.push_back(m_stack.back());
    m_groupStart = true;
}

// False when the top-level group has closed.
bool TextScanner::Pass::closeGroup() {
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
bool TextScanner::Pass::skipFallback() {
    if (m_t.type != Tok::Text) {
        --m_skip;
        return true;
    }
    const qsizetype n = std::min<qsizetype>(m_t.len, m_skip);
    m_skip -= int(n);
    m_t.ptr += n;
    m_t.len -= n;
    return m_t.len == 0;
}

// Nothing in the rest of the group can change the text: only how deep it nests does, when
// it goes past the reader's cap (whose way back drops a pending lead byte).
void TextScanner::Pass::skipGroup() {
    const int base = int(m_stack.size());
    int depth = 0;
    bool overflowed = false;
    const char* p = m_tok.pos();
    const char* const end = m_tok.end();
    for (;; p = m_tok.pos()) {
        p = findBraceOrBackslash(p, end);
        if (p == end || (*p == '}' && depth == 0))
            break;        // the group's own end, read by the token loop
        if (*p == '\\') { // a word (\binN: its data may hold anything) or a symbol
            m_tok.seek(p);
            m_tok.next(m_t);
            continue;
        }
        overflowed = overflowed || (*p == '{' && base + depth >= kMaxGroupDepth);
        depth += *p == '{' ? 1 : -1;
        m_tok.seek(p + 1);
    }
    m_tok.seek(p);
    if (overflowed)
        dropLead();
}

void TextScanner::Pass::token() {
    switch (m_t.type) {
    case Tok::Text:
        emitBytes(reinterpret_cast<const unsigned char*>(m_t.ptr), m_t.len);
        break;
    case Tok::Hex:
        if (st().dest == Dest::FontTable) {
            m_fonts.nameByte(char(m_t.param)); // decoded at the end of the name
        } else if (st().dest != Dest::ColorTable) {
            const unsigned char b = static_cast<unsigned char>(m_t.param);
            emitBytes(&b, 1);
        }
        break;
    case Tok::Word: {
        const bool deep = m_overflow > 0 && m_overflowDestLevel == 0;
        const Dest before = st().dest;
        word();
        if (deep && st().dest != before) { // a destination starts past the cap
            m_overflowDestLevel = m_overflow;
            m_overflowDest = before;
        }
        break;
    }
    case Tok::Symbol:
        if (m_t.symbol == '*') {
            m_ignorable = true;
            return; // the group has still only begun
        }
        m_ignorable = false;
        symbol(m_t.symbol);
        break;
    default: // binary data is no text
        break;
    }
    m_ignorable = false;
    m_groupStart = false;
}

// A run of text up to stop: printable ASCII sixteen bytes at a time where the code page reads
// it as ASCII, any other byte through the table.
const char* TextScanner::Pass::straightRun(const char* p, const char* stop, char16_t*& d) {
#if defined(__SSE2__)
    while (m_runAscii && stop - p >= 16) {
        const __m128i below = _mm_set1_epi8(0x20); // signed: control bytes and 0x80 up
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i other = _mm_or_si128(
            _mm_or_si128(_mm_cmplt_epi8(v, below), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))),
            _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('{')),
                         _mm_cmpeq_epi8(v, _mm_set1_epi8('}'))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8),
                         _mm_unpackhi_epi8(v, _mm_setzero_si128()));
        const int mask = _mm_movemask_epi8(other);
        const int plain = mask ? std::countr_zero(unsigned(mask)) : 16;
        p += plain;
        d += plain;
        if (!mask)
            continue;
        if (kSpecial[static_cast<unsigned char>(*p)])
            return p;
        *d = m_run[static_cast<unsigned char>(*p++)]; // a byte outside ASCII, or a control
        d += *d != 0;
    }
#endif
    for (; p < stop && !kSpecial[static_cast<unsigned char>(*p)]; ++p) {
        *d = m_run[static_cast<unsigned char>(*p)];
        d += *d != 0;
    }
    return p;
}

// \'hh at p; false when no hex digit follows.
bool TextScanner::Pass::straightHex(const char*& p, char16_t*& d) const {
    const char* const end = m_tok.end();
    const int high = end - p > 2 ? hexValue(static_cast<unsigned char>(p[2])) : -1;
    if (high < 0)
        return false;
    const int low = end - p > 3 ? hexValue(static_cast<unsigned char>(p[3])) : -1;
    *d = m_run[static_cast<unsigned char>(low < 0 ? high : high * 16 + low)];
    d += *d != 0;
    p += low < 0 ? 3 : 4;
    return true;
}

// \uN at p with its fallback, and the \uN that follow it straight up to stop, as pages in
// other scripts are written; false when p holds another word.
bool TextScanner::Pass::straightUnicode(const char*& p, const char* stop, char16_t*& d) {
    const char* const end = m_tok.end();
    const int uc = st().uc;
    const char* q = p;
    char16_t* out = d;
    int skip = 0;
    while (skip == 0 && q < stop && end - q > 2 && q[0] == '\\' && q[1] == 'u') {
        const char* r = q + 2;
        int param = 0;
        if (!readShortNumber(r, end, param) && !readParameter(r, end, param))
            break;
        q = r < end && *r == ' ' ? r + 1 : r;
        *out = textUnit(char16_t((param < 0 ? param + 65536 : param) & 0xFFFF));
        out += *out != 0;
        skip = uc;
        if (uc != 1 || q == end)
            continue;
        if (end - q >= 4 && q[0] == '\\' && q[1] == '\'' &&
            kHex[static_cast<unsigned char>(q[2])] && kHex[static_cast<unsigned char>(q[3])]) {
            q += 4; // \'hh, the fallback as most writers write it
            skip = 0;
        } else {
            q = skipOneFallback(q);
            skip = m_skip;
        }
    }
    m_skip = skip;
    if (q == p)
        return false;
    p = q;
    d = out;
    dropLead();
    return true;
}

// The fallback of one character after \uN, when it is one token or one byte, as it mostly
// is; else it is left to the token loop.
const char* TextScanner::Pass::skipOneFallback(const char* p) {
    const char* const end = m_tok.end();
    m_skip = 0;
    if (*p == '\\' && end - p > 1 && p[1] == '\'') { // \'hh, or a bare \'
        if (end - p >= 4 && hexValue(static_cast<unsigned char>(p[2])) >= 0 &&
            hexValue(static_cast<unsigned char>(p[3])) >= 0)
            return p + 4;
        const char* q = p + 2;
        for (int n = 0; n < 2 && q < end && hexValue(static_cast<unsigned char>(*q)) >= 0; ++n)
            ++q;
        return q;
    }
    if (*p == '\\') { // a word or a symbol
        m_tok.seek(p);
        m_tok.next(m_t);
        return m_tok.pos();
    }
    if (!kSpecial[static_cast<unsigned char>(*p)])
        return p + 1;
    m_skip = 1;
    return p;
}

// Up to stop (a \uN with its fallback, or a word, may end beyond it); false when it stopped
// before what the token loop reads.
bool TextScanner::Pass::straightPiece(const char*& p, const char* stop, char16_t*& d, bool& read) {
    while (p < stop) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (!kSpecial[c]) {
            if (!m_runReady && !readyRun())
                return false;
            p = straightRun(p, stop, d);
        } else if (c == '\r' || c == '\n') {
            ++p;
            continue;
        } else if (c != '\\') {
            if (!straightBrace(p, read))
                return false;
            continue;
        } else if (!straightEscape(p, stop, d)) {
            return false;
        }
        read = true;
        if (m_skip > 0)
            return false;
    }
    return true;
}

// \uN, \'hh or a word that changes nothing at p; false, p where it was, for anything else.
bool TextScanner::Pass::straightEscape(const char*& p, const char* stop, char16_t*& d) {
    if (m_tok.end() - p < 3)
        return false;
    if (p[1] == 'u' && straightUnicode(p, stop, d))
        return true;
    if (p[1] == '\'')
        return (m_runReady || readyRun()) && straightHex(p, d);
    return isLetter(static_cast<unsigned char>(p[1])) && straightWord(p);
}

// A word at p that changes nothing where text goes straight, as most words between pieces
// of text (formatting): read as the tokenizer reads it, its parameter passed over; false, p
// where it was, for another word.
bool TextScanner::Pass::straightWord(const char*& p) {
    const char* const end = m_tok.end();
    const char* const name = p + 1;
    const char* q = name;
    while (q < end && isLetter(static_cast<unsigned char>(*q)))
        ++q;
    const qsizetype n = q - name;
    const bool bin = n == 3 && name[0] == 'b' && name[1] == 'i' && name[2] == 'n'; // data
    if (bin || (n == 1 && *name == 'u') || actsOnText(keyword(name, n)))
        return false;
    q += end - q > 1 && *q == '-' && isDigit(static_cast<unsigned char>(q[1]));
    while (q < end && isDigit(static_cast<unsigned char>(*q)))
        ++q;
    p = q < end && *q == ' ' ? q + 1 : q;
    return true;
}

// A brace at p, read when the text still goes straight after it; false, p where it was, for
// the token loop.
bool TextScanner::Pass::straightBrace(const char*& p, bool& read) {
    if (m_overflow > 0)
        return false;
    if (*p == '{') {
        if (m_stack.size() >= size_t(kMaxGroupDepth))
            return false;
        openGroup();
        read = false; // the group's first word may start a picture
        ++p;
        return true;
    }
    if (m_stack.size() == 1)
        return false;
    const State& outer = m_stack[m_stack.size() - 2];
    if (outer.dest != Dest::Normal || outer.hidden) // the text goes on elsewhere, or hidden
        return false;
    const int font = st().font;
    closeGroup();
    ++p;
    m_runReady = m_runReady && st().font == font;
    return true;
}

// The code page of the text, looked up where the reader looks it up: at the first byte to
// decode (its cache depends on when). False when its bytes need a decoder.
bool TextScanner::Pass::readyRun() {
    const CodePage& cp = currentCodePage();
    if (cp.isDoubleByte() || cp.isUtf8())
        return false;
    useRunTable(cp);
    m_runReady = true;
    return true;
}

// Text of a single-byte code page straight into the buffer, in pieces of which each byte
// gives one unit at the most; up to anything but text, \'hh and \uN.
void TextScanner::Pass::straightPieces() {
    constexpr qsizetype kPiece = 4096;
    for (bool more = true; more && !m_stopped && m_tok.pos() < m_tok.end();) {
        const char* p = m_tok.pos();
        const char* const stop = p + std::min<qsizetype>(kPiece, m_tok.end() - p);
        char16_t* const start = room(kPiece + 16);
        char16_t* d = start;
        bool read = false;
        more = straightPiece(p, stop, d, read);
        m_tok.seek(p);
        m_len += d - start;
        m_paraHasText = m_paraHasText || d != start;
        m_groupStart = m_groupStart && !read;
    }
}

// A word or a brace between pieces of text, read as the token loop reads it; false before
// anything else. `same`: a word that changes nothing, as most of those between pieces.
bool TextScanner::Pass::straightToken(bool& same) {
    const char* const p = m_tok.pos();
    const qsizetype left = m_tok.end() - p;
    const bool word = left > 1 && *p == '\\' && isLetter(static_cast<unsigned char>(p[1]));
    const bool brace =
        left > 0 && (*p == '{' || (*p == '}' && (m_overflow > 0 || m_stack.size() > 1)));
    if (!word && !brace)
        return false;
    m_tok.next(m_t);
    same = m_t.type == Tok::Word && !actsOnText(keyword());
    if (same)
        m_groupStart = false;
    else if (m_t.type == Tok::Open)
        openGroup();
    else if (m_t.type == Tok::Close)
        closeGroup();
    else
        token();
    return true;
}

// Text, words and groups while the text goes straight into the buffer in a single-byte code
// page: the most of most pages, read here without the token loop.
void TextScanner::Pass::straightText() {
    while (m_skip == 0 && !m_ignorable && textGoesStraight()) {
        m_runReady = false;
        for (bool same = true; same && textGoesStraight();) {
            straightPieces();
            if (m_stopped || m_skip > 0 || !straightToken(same))
                return;
        }
    }
}

// One token; false at the end.
bool TextScanner::Pass::step() {
    if (m_skip == 0 && !m_ignorable && textGoesStraight())
        straightText();
    if (m_stopped)
        return false;
    m_tok.next(m_t);
    switch (m_t.type) {
    case Tok::End:
        return false;
    case Tok::Open:
        openGroup();
        return true;
    case Tok::Close:
        return closeGroup();
    default:
        break;
    }
    if (m_skip > 0 && skipFallback())
        return true;
    token();
    // The rest of a skipped group or of a picture holds no text.
    if (m_overflow == 0 && (st().dest == Dest::Skip || st().dest == Dest::Picture))
        skipGroup();
    return true;
}

void TextScanner::Pass::finish() {
    dropLead();
    endPendingCellParagraph();
    // A last paragraph that was numbered is a list item, though no text came after its
    // number; cells ended at the end, without their row's end, make a line.
    const bool content = m_paraHasText || m_paraNumbered;
    if (content || m_pendingTabs > 0 || m_paragraphs == 0) {
        if (!content && (m_pendingTabs > 0 || m_cellEnded))
            m_paraNumbered = true;
        endParagraph();
    }
}

qsizetype TextScanner::Pass::run() {
    m_stack.push_back(State{});
    do // up to the first brace: isRtf has checked that "{\rtf" follows
        m_tok.next(m_t);
    while (m_t.type != Tok::End && m_t.type != Tok::Open);
    if (m_t.type == Tok::Open)
        while (step()) {
        }
    finish();
    return m_len - 2; // paragraphs are joined, not ended, by CR LF
}

// With a sink, all the text but its last two units goes to it (the page's last CR LF is no
// text; nor is a pair of units split), and the buffer starts again; it grows only for a
// request larger than a piece, to just that size (a scanner kept from page to page would
// otherwise double it on each such page). Without, the buffer doubles.
void TextScanner::Pass::makeRoom(qsizetype n) {
    if (!m_sink) {
        m_out.reserve(std::max(m_out.capacity() * 2, m_len + n), m_len);
        m_limit = m_out.capacity();
        return;
    }
    qsizetype keep = 2;
    if (m_len > 2 && QChar::isHighSurrogate(m_out.data()[m_len - 3]))
        ++keep;
    if (m_len > keep) {
        char16_t* const units = m_out.data();
        m_stopped = m_stopped || !m_sink->take(QStringView(units, m_len - keep));
        std::copy_n(units + m_len - keep, keep, units);
        m_len = keep;
    }
    m_limit = std::max(m_limit, m_len + n);
    m_out.reserve(m_limit, m_len);
}

void UnitBuffer::reserve(qsizetype n, qsizetype kept) {
    if (n <= m_capacity)
        return;
    auto units = std::make_unique_for_overwrite<char16_t[]>(size_t(n));
    std::copy_n(m_units.get(), kept, units.get());
    m_units = std::move(units);
    m_capacity = n;
}

TextScanner::TextScanner() = default;
TextScanner::~TextScanner() = default;

QStringView TextScanner::scan(QByteArrayView bytes) {
    if (!isRtf(bytes)) {
        m_plain = plainText(bytes);
        return m_plain;
    }
    m_out.reserve(bytes.size() + 64, 0); // text has mostly fewer units than its RTF bytes
    Pass pass(bytes, m_codePages, m_out);
    const qsizetype n = pass.run();
    return QStringView(m_out.data(), n);
}

void TextScanner::scan(QByteArrayView bytes, TextSink& sink, qsizetype pieceUnits) {
    if (!isRtf(bytes)) {
        m_plain = plainText(bytes);
        sink.take(m_plain);
        return;
    }
    pieceUnits = std::max<qsizetype>(pieceUnits, 3);
    m_out.reserve(pieceUnits, 0);
    Pass pass(bytes, m_codePages, m_out, &sink, pieceUnits);
    const qsizetype n = pass.run();
    if (!pass.stopped())
        sink.take(QStringView(m_out.data(), n));
}

QString TextScanner::text(QByteArrayView bytes) {
    return scan(bytes).toString();
}

QString scanText(QByteArrayView bytes) {
    TextScanner scanner;
    return scanner.text(bytes);
}

} // namespace qly::rtf
