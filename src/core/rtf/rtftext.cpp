// The text pass for find. It follows the reader's rules for text exactly (rtfreader.cpp in
// plain-text mode: the reader with a builder that wants no formats) and drops everything else:
// no runs, formats, lists, tables or pictures are built, and font names, colours, list
// definitions and picture data are never kept. A group that can hold no more text (a skipped
// destination, a picture) is passed over by looking for braces and backslashes eight bytes
// at a time. The corpus test and the fuzz target check that its text is the reader's.
#include "rtf/rtftext.h"

#include "rtf/rtf.h"
#include "rtf/rtfreader.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__GNUC__)
#define QLY_ALWAYS_INLINE_LAMBDA __attribute__((always_inline))
#else
#define QLY_ALWAYS_INLINE_LAMBDA
#endif

namespace qly::rtf {
namespace {

// The reader's limits (rtfreader.h), which change the text of hostile input.
constexpr int kGroupCap = 512;
constexpr int kFontCap = 4096;
constexpr int kWordCap = 32;

enum class K : std::uint8_t {
    Unknown, // also every word that changes no text
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    Deff,
    Uc,
    U,
    // destinations
    SkipDest,
    FontTbl,
    ColorTbl,
    ListText,
    Pn,
    PnTxtB,
    PnTxtA,
    Field,
    FldRslt,
    Upr,
    Ud,
    NestTableProps,
    ListTable,
    ListOverrideTable,
    LevelText,
    Pict,
    ShpPict,
    NonShpPict,
    Object,
    Result,
    // fonts
    F,
    FCharset,
    Cpg,
    // text
    Plain,
    V,
    Pard,
    Intbl,
    Par,
    Sect,
    Line,
    Tab,
    Cell,
    NestCell,
    Row,
    Char, // a word that stands for one character
    // legacy numbering
    PnLvlBlt,
    PnLvlCont,
    PnLvl,
    PnDec,
    PnUcLtr,
    PnLcLtr,
    PnUcRm,
    PnLcRm,
    PnStart,
    PnF,
    // list table
    ListDef,
    ListLevelDef,
};

struct Keyword {
    std::string_view name;
    K kw;
    char16_t ch = 0; // K::Char
};

constexpr Keyword kKeywords[] = {
    {"ansi", K::Ansi},
    {"mac", K::Mac},
    {"pc", K::Pc},
    {"pca", K::Pca},
    {"ansicpg", K::AnsiCpg},
    {"deff", K::Deff},
    {"uc", K::Uc},
    {"u", K::U},
    {"fonttbl", K::FontTbl},
    {"colortbl", K::ColorTbl},
    {"pntext", K::ListText},
    {"listtext", K::ListText},
    {"pn", K::Pn},
    {"pntxtb", K::PnTxtB},
    {"pntxta", K::PnTxtA},
    {"field", K::Field},
    {"fldrslt", K::FldRslt},
    {"upr", K::Upr},
    {"ud", K::Ud},
    {"nesttableprops", K::NestTableProps},
    {"listtable", K::ListTable},
    {"listoverridetable", K::ListOverrideTable},
    {"leveltext", K::LevelText},
    {"pict", K::Pict},
    {"shppict", K::ShpPict},
    {"nonshppict", K::NonShpPict},
    {"object", K::Object},
    {"result", K::Result},
    // destinations whose content is no page text
    {"stylesheet", K::SkipDest},
    {"info", K::SkipDest},
    {"shp", K::SkipDest},
    {"shprslt", K::SkipDest},
    {"shpinst", K::SkipDest},
    {"header", K::SkipDest},
    {"headerl", K::SkipDest},
    {"headerr", K::SkipDest},
    {"headerf", K::SkipDest},
    {"footer", K::SkipDest},
    {"footerl", K::SkipDest},
    {"footerr", K::SkipDest},
    {"footerf", K::SkipDest},
    {"footnote", K::SkipDest},
    {"fldinst", K::SkipDest},
    {"falt", K::SkipDest},
    {"panose", K::SkipDest},
    {"fname", K::SkipDest},
    {"fontemb", K::SkipDest},
    {"fontfile", K::SkipDest},
    {"revtbl", K::SkipDest},
    {"rsidtbl", K::SkipDest},
    {"generator", K::SkipDest},
    {"xmlnstbl", K::SkipDest},
    {"themedata", K::SkipDest},
    {"colorschememapping", K::SkipDest},
    {"latentstyles", K::SkipDest},
    {"datastore", K::SkipDest},
    {"objdata", K::SkipDest},
    {"objclass", K::SkipDest},
    {"objname", K::SkipDest},
    {"bkmkstart", K::SkipDest},
    {"bkmkend", K::SkipDest},
    {"xe", K::SkipDest},
    {"tc", K::SkipDest},
    {"tcn", K::SkipDest},
    {"txe", K::SkipDest},
    {"template", K::SkipDest},
    {"docvar", K::SkipDest},
    {"annotation", K::SkipDest},
    {"atnid", K::SkipDest},
    {"atnauthor", K::SkipDest},
    {"atnref", K::SkipDest},
    {"atrfstart", K::SkipDest},
    {"atrfend", K::SkipDest},
    {"atndate", K::SkipDest},
    {"fchars", K::SkipDest},
    {"lchars", K::SkipDest},
    {"listpicture", K::SkipDest},
    {"mmathPr", K::SkipDest},
    {"userprops", K::SkipDest},
    {"filetbl", K::SkipDest},
    {"background", K::SkipDest},
    {"ftnsep", K::SkipDest},
    {"ftnsepc", K::SkipDest},
    {"ftncn", K::SkipDest},
    {"aftnsep", K::SkipDest},
    {"aftnsepc", K::SkipDest},
    {"aftncn", K::SkipDest},
    {"pgptbl", K::SkipDest},
    {"protusertbl", K::SkipDest},
    {"sp", K::SkipDest},
    {"sn", K::SkipDest},
    {"sv", K::SkipDest},
    {"wgrffmtfilter", K::SkipDest},
    {"pnseclvl", K::SkipDest},
    {"oldcprops", K::SkipDest},
    {"oldpprops", K::SkipDest},
    {"oldtprops", K::SkipDest},
    {"oldsprops", K::SkipDest},
    {"blipuid", K::SkipDest},
    {"passwordhash", K::SkipDest},
    {"pgdsctbl", K::SkipDest},
    {"rxe", K::SkipDest},
    {"datafield", K::SkipDest},
    {"formfield", K::SkipDest},
    {"ffdeftext", K::SkipDest},
    {"ffname", K::SkipDest},
    {"ffhelptext", K::SkipDest},
    {"ffstattext", K::SkipDest},
    {"ffentrymcr", K::SkipDest},
    {"ffexitmcr", K::SkipDest},
    {"ffformat", K::SkipDest},
    {"fflist", K::SkipDest},
    {"do", K::SkipDest},
    {"hl", K::SkipDest},
    {"hlfr", K::SkipDest},
    {"hlsrc", K::SkipDest},
    {"htmltag", K::SkipDest},
    {"mhtmltag", K::SkipDest},
    {"ebcstart", K::SkipDest},
    {"ebcend", K::SkipDest},
    {"keycode", K::SkipDest},
    {"company", K::SkipDest},
    {"operator", K::SkipDest},
    {"author", K::SkipDest},
    {"title", K::SkipDest},
    {"subject", K::SkipDest},
    {"keywords", K::SkipDest},
    {"comment", K::SkipDest},
    {"doccomm", K::SkipDest},
    {"private", K::SkipDest},
    {"listname", K::SkipDest},
    {"levelnumbers", K::SkipDest},
    // fonts
    {"f", K::F},
    {"fcharset", K::FCharset},
    {"cpg", K::Cpg},
    // text
    {"plain", K::Plain},
    {"v", K::V},
    {"pard", K::Pard},
    {"intbl", K::Intbl},
    {"par", K::Par},
    {"sect", K::Sect},
    {"line", K::Line},
    {"tab", K::Tab},
    {"cell", K::Cell},
    {"nestcell", K::NestCell},
    {"row", K::Row},
    {"emdash", K::Char, 0x2014},
    {"endash", K::Char, 0x2013},
    {"emspace", K::Char, 0x2003},
    {"enspace", K::Char, 0x2002},
    {"qmspace", K::Char, 0x2005},
    {"bullet", K::Char, 0x2022},
    {"lquote", K::Char, 0x2018},
    {"rquote", K::Char, 0x2019},
    {"ldblquote", K::Char, 0x201C},
    {"rdblquote", K::Char, 0x201D},
    {"zwj", K::Char, 0x200D},
    {"zwnj", K::Char, 0x200C},
    {"ltrmark", K::Char, 0x200E},
    {"rtlmark", K::Char, 0x200F},
    // legacy numbering
    {"pnlvlblt", K::PnLvlBlt},
    {"pnlvlcont", K::PnLvlCont},
    {"pnlvl", K::PnLvl},
    {"pndec", K::PnDec},
    {"pnucltr", K::PnUcLtr},
    {"pnlcltr", K::PnLcLtr},
    {"pnucrm", K::PnUcRm},
    {"pnlcrm", K::PnLcRm},
    {"pnstart", K::PnStart},
    {"pnf", K::PnF},
    // list table
    {"list", K::ListDef},
    {"listlevel", K::ListLevelDef},
};

bool isDestination(K k) {
    return k >= K::SkipDest && k <= K::Result;
}

// Control words by their letters packed into a number (up to eight letters, which names all
// but a few): one multiplication and, mostly, one comparison. Longer names are compared whole.
inline std::uint64_t packLetter(std::uint64_t key, unsigned char c) {
    return key << 8 | c;
}

class KeywordTable {
public:
    KeywordTable() {
        for (const Keyword& e : kKeywords) {
            if (e.name.size() > 8) {
                m_long.push_back(&e);
                continue;
            }
            std::uint64_t key = 0;
            for (char c : e.name)
                key = packLetter(key, static_cast<unsigned char>(c));
            std::uint32_t i = slot(key);
            while (m_slots[i].key != 0 && m_slots[i].key != key)
                i = (i + 1) & kMask;
            m_slots[i] = {key, &e};
        }
    }
    // name: the word's letters; key: the first eight of them packed.
    const Keyword& find(const char* name, qsizetype n, std::uint64_t key) const {
        if (n <= 8) {
            for (std::uint32_t i = slot(key); m_slots[i].key != 0; i = (i + 1) & kMask)
                if (m_slots[i].key == key)
                    return *m_slots[i].keyword;
            return m_unknown;
        }
        if (n <= kWordCap)
            for (const Keyword* e : m_long)
                if (qsizetype(e->name.size()) == n &&
                    std::memcmp(e->name.data(), name, size_t(n)) == 0)
                    return *e;
        return m_unknown;
    }

private:
    static std::uint32_t slot(std::uint64_t key) {
        return std::uint32_t((key * 0x9E3779B97F4A7C15ull) >> 54) & kMask;
    }
    static constexpr std::uint32_t kMask = 1023;
    struct Slot {
        std::uint64_t key = 0;
        const Keyword* keyword = nullptr;
    };
    Slot m_slots[kMask + 1] = {};
    std::vector<const Keyword*> m_long;
    Keyword m_unknown{{}, K::Unknown};
};

const KeywordTable& keywords() {
    static const KeywordTable table;
    return table;
}

constexpr std::array<bool, 256> kTextEnd = [] {
    std::array<bool, 256> t{};
    t['\\'] = t['{'] = t['}'] = t['\r'] = t['\n'] = true;
    return t;
}();

inline bool isLetter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
inline bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
inline int hexDigit(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c |= 0x20;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The first backslash or brace from p on; eight bytes at a time.
const char* findBraceOrBackslash(const char* p, const char* end) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    const auto hasZero = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
    for (;;) {
        while (end - p >= 8) {
            std::uint64_t x;
            std::memcpy(&x, p, 8);
            // '{' 0x7B and '}' 0x7D (and 'y', DEL) have the same bits outside 0x06
            if (hasZero(x ^ (ones * 0x5C)) | hasZero((x & (ones * 0xF9)) ^ (ones * 0x79)))
                break;
            p += 8;
        }
        const char* const stop = std::min(end, p + 8);
        for (; p < stop; ++p)
            if (*p == '\\' || *p == '{' || *p == '}')
                return p;
        if (p >= end)
            return end;
    }
}

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

struct State {
    int font = -1; // -1: \deff
    Dest dest = Dest::Normal;
    Dest uprOuter = Dest::Normal;
    bool hidden = false;
    bool intbl = false;
    int uc = 1;
};

enum class PnKind : std::uint8_t {
    None,
    Bullet,
    Decimal,
    UpperLetter,
    LowerLetter,
    UpperRoman,
    LowerRoman,
    Cont
};

enum class Tok : std::uint8_t { End, Text, Word, Symbol, Hex, Bin, Open, Close };

} // namespace

class TextScanner::Pass {
public:
    Pass(QByteArrayView bytes, CodePages& codePages, std::vector<char16_t>& out)
        : m_p(bytes.data()), m_end(bytes.data() + bytes.size()), m_codePages(codePages),
          m_out(out) {
        m_stack.reserve(64);
    }

    qsizetype run();

private:
    State& st() { return m_stack.back(); }

    // The token reader (as the reader's, with the text run and word left in members).
    Tok next();
    void controlWord(Tok& type);
    // Passes over the rest of the group that is open, up to its closing brace.
    void skipGroup();
    // Reads text, characters and words without effect while nothing is pending in normal
    // text; stops before anything else, which the token loop then reads.
    void fastText();

    // Output.
    char16_t* room(qsizetype n) {
        if (m_len + n > qsizetype(m_out.size()))
            m_out.resize(std::max(m_out.size() * 2, size_t(m_len + n)));
        return m_out.data() + m_len;
    }
    bool textGoesStraight() {
        const State& s = m_stack.back();
        return s.dest == Dest::Normal && !s.hidden && !m_pendingCellPar && m_pendingTabs == 0 &&
               (m_paraNumbered || m_pnKind == PnKind::None);
    }
    template <typename Convert> void appendText(const Convert& convert, qsizetype n) {
        char16_t* d = room(n);
        char16_t* const start = d;
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = convert(i);
            if (c < 0x20 && c != '\t')
                continue;
            *d++ = c == 0x2029 ? char16_t(0x2028) : c;
        }
        m_len += d - start;
        if (d != start)
            m_paraHasText = true;
    }
    void emitUnits(const char16_t* s, qsizetype n) {
        if (textGoesStraight())
            appendText([s](qsizetype i) { return s[i]; }, n);
        else
            emitUnitsSlow(s, n);
    }
    void emitUnitsSlow(const char16_t* s, qsizetype n);
    void emitChar(char16_t c) { emitUnits(&c, 1); }
    void emitDecoded(const CodePage& cp, const char* bytes, qsizetype n);
    void emitBytes(const unsigned char* s, qsizetype n);
    void feedDoubleByte(const CodePage& cp, unsigned char b);
    void feedUtf8(const CodePage& cp, unsigned char b);
    void dropLead() {
        m_lead = -1;
        m_utf8Need = 0;
    }
    void writePendingTabs() {
        if (m_pendingTabs > 0) {
            std::fill_n(room(m_pendingTabs), m_pendingTabs, char16_t('\t'));
            m_len += m_pendingTabs;
            m_pendingTabs = 0;
        }
    }
    void beforeParagraphText();
    void endParagraph();
    void word();
    void symbol(char c);
    void groupEnd(const State& closed);
    void commitFont();
    void finishPn();
    void openPictureGroup(State& s, K k);
    void pictureWord(State& s, K k);
    void startPict(State& s);
    void deliverPicture();
    void emitPicture();
    void pictureGroupEnd();
    const CodePage& currentCodePage();

    const char* m_p;
    const char* const m_end;
    CodePages& m_codePages;
    std::vector<char16_t>& m_out;
    const KeywordTable& m_keywords = keywords();
    // A run of text's units by byte in the code page last used: kRunEnd for the bytes that end
    // a run, kRunDrop for those that give no text (both are control characters, never kept).
    static constexpr char16_t kRunEnd = 0, kRunDrop = 1;
    const CodePage* m_runPage = nullptr;
    std::array<char16_t, 256> m_run = {};
    const char16_t* runTable(const CodePage& cp) {
        if (m_runPage != &cp) {
            m_runPage = &cp;
            for (int b = 0; b < 256; ++b) {
                const char16_t u = cp.single(static_cast<unsigned char>(b));
                m_run[size_t(b)] = kTextEnd[size_t(b)]     ? kRunEnd
                                   : u < 0x20 && u != '\t' ? kRunDrop
                                   : u == 0x2029           ? char16_t(0x2028)
                                                           : u;
            }
        }
        return m_run.data();
    }
    qsizetype m_len = 0;

    // The token read.
    const char* m_tokPtr = nullptr;
    qsizetype m_tokLen = 0;
    std::uint64_t m_key = 0; // a word's first eight letters, packed
    bool m_hasParam = false;
    int m_param = 0;
    char m_symbol = 0;

    std::vector<State> m_stack;
    int m_overflow = 0;
    int m_skip = 0;
    bool m_ignorable = false;
    bool m_groupStart = false;
    State m_overflowState;
    int m_overflowDestLevel = 0;
    Dest m_overflowDest = Dest::Normal;

    int m_ansiCodePage = 1252;
    int m_deff = 0;

    // Fonts: their code pages by number.
    QHash<int, int> m_fontCodePages;
    int m_fontGeneration = 0;
    int m_cpCacheFont = INT32_MIN;
    int m_cpCacheGeneration = -1;
    const CodePage* m_cpCache = nullptr;
    bool m_inFont = false;
    int m_fontDepth = 0;
    int m_fontNumber = 0;
    int m_fontCharset = -1;
    int m_fontCpg = -1;
    bool m_fontNameDone = false;

    // The list table: whether a level is open, and whether it names its font.
    int m_listDepth = 0;
    int m_levelDepth = 0;
    bool m_levelFont = false;

    // Legacy numbering.
    PnKind m_pnKind = PnKind::None;
    PnKind m_pnReadKind = PnKind::None;
    int m_pnReadStart = 1;
    QString m_pnReadBefore, m_pnReadAfter;
    QString m_pnBefore, m_pnAfter;
    int m_pnNumber = 0;
    bool m_prevParaNumbered = false;

    // Pictures: what only decides where a picture stands.
    int m_pictDepth = 0, m_shpDepth = 0, m_objDepth = 0;
    bool m_shpPicture = false;

    bool m_paraHasText = false;
    bool m_paraHadListText = false;
    bool m_paraNumbered = false;
    int m_pendingTabs = 0;
    bool m_pendingCellPar = false;
    bool m_cellEnded = false;
    int m_paragraphs = 0;
    int m_lead = -1;
    int m_utf8Need = 0;
    char32_t m_utf8Code = 0;
    char32_t m_utf8Min = 0;
};

const CodePage& TextScanner::Pass::currentCodePage() {
    const int number = st().font < 0 ? m_deff : st().font;
    if (number != m_cpCacheFont || m_fontGeneration != m_cpCacheGeneration || !m_cpCache) {
        const auto it = m_fontCodePages.constFind(number);
        m_cpCache = &m_codePages.get(it == m_fontCodePages.constEnd() ? m_ansiCodePage : *it);
        m_cpCacheFont = number;
        m_cpCacheGeneration = m_fontGeneration;
    }
    return *m_cpCache;
}

Tok TextScanner::Pass::next() {
    for (;;) {
        if (m_p >= m_end)
            return Tok::End;
        const unsigned char c = static_cast<unsigned char>(*m_p);
        if (c == '\r' || c == '\n') {
            ++m_p;
            continue;
        }
        if (c == '{') {
            ++m_p;
            return Tok::Open;
        }
        if (c == '}') {
            ++m_p;
            return Tok::Close;
        }
        if (c == '\\') {
            Tok type;
            controlWord(type);
            return type;
        }
        const char* s = m_p;
        while (m_p < m_end && !kTextEnd[static_cast<unsigned char>(*m_p)])
            ++m_p;
        m_tokPtr = s;
        m_tokLen = m_p - s;
        return Tok::Text;
    }
}

void TextScanner::Pass::controlWord(Tok& type) {
    ++m_p;
    if (m_p >= m_end) {
        type = Tok::End;
        return;
    }
    const unsigned char c = static_cast<unsigned char>(*m_p);
    if (isLetter(c)) {
        const char* name = m_p;
        std::uint64_t key = 0;
        while (m_p < m_end && isLetter(static_cast<unsigned char>(*m_p)))
            key = packLetter(key, static_cast<unsigned char>(*m_p++));
        m_key = key;
        type = Tok::Word;
        m_tokPtr = name;
        m_tokLen = m_p - name;
        m_hasParam = false;
        m_param = 0;
        bool negative = false;
        if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end &&
            isDigit(static_cast<unsigned char>(m_p[1]))) {
            negative = true;
            ++m_p;
        }
        if (m_p < m_end && isDigit(static_cast<unsigned char>(*m_p))) {
            std::int64_t v = 0;
            while (m_p < m_end && isDigit(static_cast<unsigned char>(*m_p))) {
                if (v < (std::int64_t(1) << 32))
                    v = v * 10 + (*m_p - '0');
                ++m_p;
            }
            if (negative)
                v = -v;
            v = std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX);
            m_hasParam = true;
            m_param = int(v);
        }
        if (m_p < m_end && *m_p == ' ')
            ++m_p;
        if (m_tokLen == 3 && std::memcmp(name, "bin", 3) == 0) {
            qsizetype n = m_hasParam && m_param > 0 ? m_param : 0;
            n = std::min<qsizetype>(n, m_end - m_p);
            type = Tok::Bin;
            m_p += n;
        }
        return;
    }
    ++m_p;
    if (c == '\'') {
        int v = 0, digits = 0;
        while (digits < 2 && m_p < m_end) {
            const int h = hexDigit(static_cast<unsigned char>(*m_p));
            if (h < 0)
                break;
            v = v * 16 + h;
            ++m_p;
            ++digits;
        }
        if (digits == 0) {
            type = Tok::Symbol;
            m_symbol = 0;
            return;
        }
        type = Tok::Hex;
        m_param = v;
        return;
    }
    type = Tok::Symbol;
    m_symbol = char(c);
}

// Nothing in the rest of the group can change the text: only how deep it nests does, when
// it goes past the reader's cap (whose way back drops a pending lead byte).
void TextScanner::Pass::skipGroup() {
    const int base = int(m_stack.size());
    int depth = 0;
    bool overflowed = false;
    for (;;) {
        m_p = findBraceOrBackslash(m_p, m_end);
        if (m_p >= m_end)
            break;
        const char c = *m_p;
        if (c == '{') {
            if (base + depth >= kGroupCap)
                overflowed = true;
            ++depth;
            ++m_p;
        } else if (c == '}') {
            if (depth == 0)
                break; // the group's own end, read by the caller
            --depth;
            ++m_p;
        } else if (m_p + 1 < m_end && isLetter(static_cast<unsigned char>(m_p[1]))) {
            Tok type;
            controlWord(type); // \binN: its data may hold anything
        } else {
            m_p = std::min(m_p + 2, m_end); // a symbol, an escaped brace or backslash
        }
    }
    if (overflowed)
        dropLead();
}

void TextScanner::Pass::fastText() {
    const KeywordTable& table = m_keywords;
    const CodePage* cp = nullptr; // looked up at the first byte of text, as the reader does
    const char* p = m_p;
    const char* const end = m_end;
    // Each byte read here gives at most one unit.
    char16_t* const start = room(end - p);
    char16_t* d = start;
    const auto append = [&d](char16_t c) {
        if (c >= 0x20 || c == '\t')
            *d++ = c == 0x2029 ? char16_t(0x2028) : c;
    };
    const auto leave = [&](const char* at) {
        m_p = at;
        if (d != start) {
            m_len += d - start;
            m_paraHasText = true;
        }
    };

    // \uN's character and its fallback; false when the fallback is for the token loop to skip.
    const auto unicode = [&](std::int64_t param) QLY_ALWAYS_INLINE_LAMBDA {
        const int v = int(std::clamp<std::int64_t>(param, INT32_MIN, INT32_MAX));
        if (const char16_t u = char16_t(v < 0 ? v + 65536 : v))
            append(u);
        const int uc = st().uc;
        if (uc == 0)
            return true;
        // One unit of fallback: a \'hh (or a bare \'), or one byte of text.
        if (uc == 1 && p + 1 < end && p[0] == '\\' && p[1] == '\'') {
            p += 2;
            for (int digits = 0; digits < 2 && p < end && hexDigit(*p) >= 0; ++digits)
                ++p;
            return true;
        }
        if (uc == 1 && p < end && !kTextEnd[static_cast<unsigned char>(*p)]) {
            ++p;
            return true;
        }
        m_skip = uc;
        m_groupStart = false;
        return false;
    };
    while (p < end) {
        const char* const token = p;
        const unsigned char c = static_cast<unsigned char>(*p);
        if (!kTextEnd[c]) {
            if (!cp)
                cp = &currentCodePage();
            if (cp->isDoubleByte() || cp->isUtf8())
                return leave(token);
            const char16_t* const run = runTable(*cp);
            for (char16_t u = run[c]; u != kRunEnd; u = run[static_cast<unsigned char>(*p)]) {
                if (u != kRunDrop)
                    *d++ = u;
                if (++p == end)
                    break;
            }
            m_groupStart = false;
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++p;
            continue;
        }
        if (c != '\\' || p + 1 >= end)
            return leave(token);
        const unsigned char next = static_cast<unsigned char>(p[1]);
        if (next == '\'') {
            const int high = p + 2 < end ? hexDigit(static_cast<unsigned char>(p[2])) : -1;
            if (high < 0)
                return leave(token);
            if (!cp)
                cp = &currentCodePage();
            if (cp->isDoubleByte() || cp->isUtf8())
                return leave(token);
            const int low = p + 3 < end ? hexDigit(static_cast<unsigned char>(p[3])) : -1;
            append(cp->single(static_cast<unsigned char>(low < 0 ? high : high * 16 + low)));
            p += low < 0 ? 3 : 4;
            m_groupStart = false;
            continue;
        }
        if (!isLetter(next))
            return leave(token);
        // \uN, most words of most pages: read here without the keyword table.
        if (next == 'u' && p + 2 < end &&
            (isDigit(static_cast<unsigned char>(p[2])) ||
             (p[2] == '-' && p + 3 < end && isDigit(static_cast<unsigned char>(p[3]))))) {
            p += 2;
            const bool negative = *p == '-';
            p += negative;
            std::int64_t param = 0;
            while (p < end && isDigit(static_cast<unsigned char>(*p))) {
                if (param < (std::int64_t(1) << 32))
                    param = param * 10 + (*p - '0');
                ++p;
            }
            if (p < end && *p == ' ')
                ++p;
            if (!unicode(negative ? -param : param))
                return leave(p);
            m_groupStart = false;
            continue;
        }
        // A control word, as the token reader reads it.
        const char* const name = ++p;
        std::uint64_t key = 0;
        while (p < end && isLetter(static_cast<unsigned char>(*p)))
            key = packLetter(key, static_cast<unsigned char>(*p++));
        const qsizetype length = p - name;
        bool negative = false;
        if (p + 1 < end && *p == '-' && isDigit(static_cast<unsigned char>(p[1]))) {
            negative = true;
            ++p;
        }
        std::int64_t param = 0;
        while (p < end && isDigit(static_cast<unsigned char>(*p))) {
            if (param < (std::int64_t(1) << 32))
                param = param * 10 + (*p - '0');
            ++p;
        }
        if (p < end && *p == ' ')
            ++p;
        if (length == 3 && std::memcmp(name, "bin", 3) == 0)
            return leave(token);
        const Keyword& kw = table.find(name, length, key);
        switch (kw.kw) {
        case K::Unknown:
            break;
        case K::U:
            if (!unicode(negative ? -param : param))
                return leave(p);
            break;
        case K::Char:
            append(kw.ch);
            break;
        case K::Tab:
            append('\t');
            break;
        case K::Line:
            append(0x2028);
            break;
        default:
            return leave(token);
        }
        m_groupStart = false;
    }
    leave(p);
}

void TextScanner::Pass::beforeParagraphText() {
    if (m_paraNumbered || m_pnKind == PnKind::None || m_paraHadListText ||
        st().dest == Dest::ListText)
        return;
    m_paraNumbered = true;
    if (m_pnKind == PnKind::Cont)
        return;
    QString label = m_pnBefore;
    switch (m_pnKind) {
    case PnKind::Bullet:
        if (label.isEmpty())
            label = QStringLiteral("\u2022");
        break;
    case PnKind::Decimal:
    case PnKind::UpperLetter:
    case PnKind::LowerLetter:
    case PnKind::UpperRoman:
    case PnKind::LowerRoman: {
        static constexpr ListStyle styles[] = {ListStyle::Decimal, ListStyle::UpperLetter,
                                               ListStyle::LowerLetter, ListStyle::UpperRoman,
                                               ListStyle::LowerRoman};
        label += listNumberText(styles[int(m_pnKind) - int(PnKind::Decimal)], m_pnNumber);
        break;
    }
    default:
        break;
    }
    label += m_pnAfter;
    label += QLatin1Char('\t');
    ++m_pnNumber;
    emitUnits(reinterpret_cast<const char16_t*>(label.constData()), label.size());
}

void TextScanner::Pass::emitUnitsSlow(const char16_t* s, qsizetype n) {
    State& state = st();
    switch (state.dest) {
    case Dest::Normal:
    case Dest::ListText:
        break;
    case Dest::PnTxtB:
        if (m_pnReadBefore.size() < 64)
            m_pnReadBefore.append(reinterpret_cast<const QChar*>(s), n);
        return;
    case Dest::PnTxtA:
        if (m_pnReadAfter.size() < 64)
            m_pnReadAfter.append(reinterpret_cast<const QChar*>(s), n);
        return;
    default:
        return; // font names, list levels: no text
    }
    if (state.hidden)
        return;
    // Control characters are no text: they neither start a paragraph nor number it.
    if (std::none_of(s, s + n, [](char16_t c) { return c >= 0x20 || c == '\t'; }))
        return;
    if (m_pendingCellPar) {
        m_pendingCellPar = false;
        endParagraph();
    }
    if (state.dest == Dest::ListText)
        m_paraHadListText = true;
    else
        beforeParagraphText();
    writePendingTabs();
    appendText([s](qsizetype i) { return s[i]; }, n);
}

void TextScanner::Pass::emitDecoded(const CodePage& cp, const char* bytes, qsizetype n) {
    QString tmp;
    cp.appendDecoded(tmp, bytes, n);
    for (QChar q : std::as_const(tmp))
        emitChar(q.unicode());
}

void TextScanner::Pass::feedDoubleByte(const CodePage& cp, unsigned char b) {
    if (m_lead >= 0) {
        const char pair[2] = {char(m_lead), char(b)};
        dropLead();
        emitDecoded(cp, pair, 2);
        return;
    }
    if (b < 0x80) {
        emitChar(b);
    } else if (cp.isLeadByte(b)) {
        m_lead = b;
    } else if (cp.single(b) != 0xFFFD) {
        emitChar(cp.single(b));
    } else {
        const char one = char(b);
        emitDecoded(cp, &one, 1);
    }
}

void TextScanner::Pass::feedUtf8(const CodePage& cp, unsigned char b) {
    if (m_utf8Need > 0) {
        if ((b & 0xC0) == 0x80) {
            m_utf8Code = m_utf8Code << 6 | (b & 0x3F);
            if (--m_utf8Need > 0)
                return;
            const char32_t c = m_utf8Code;
            if (c < m_utf8Min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
                emitChar(0xFFFD);
            } else if (c > 0xFFFF) {
                const char16_t pair[2] = {char16_t(0xD7C0 + (c >> 10)),
                                          char16_t(0xDC00 | (c & 0x3FF))};
                emitUnits(pair, 2);
            } else {
                emitChar(char16_t(c));
            }
            return;
        }
        m_utf8Need = 0;
        emitChar(0xFFFD);
    }
    if (b < 0x80) {
        emitChar(b);
    } else if (b >= 0xC2 && b <= 0xDF) {
        m_utf8Need = 1, m_utf8Code = b & 0x1F, m_utf8Min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        m_utf8Need = 2, m_utf8Code = b & 0x0F, m_utf8Min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        m_utf8Need = 3, m_utf8Code = b & 0x07, m_utf8Min = 0x10000;
    } else {
        emitChar(cp.single(b));
    }
}

void TextScanner::Pass::emitBytes(const unsigned char* s, qsizetype n) {
    const Dest dest = st().dest;
    if (dest == Dest::LevelText) {
        if (m_levelFont) // the reader decodes in the level's font: its code page is looked up
            currentCodePage();
        return;
    }
    if (dest == Dest::Skip || dest == Dest::Upr || dest == Dest::Pn || isPictureDest(dest) ||
        dest == Dest::ColorTable)
        return;
    if (dest == Dest::FontTable) {
        if (!m_inFont || m_fontNameDone)
            return;
        if (std::memchr(s, ';', size_t(n)))
            commitFont();
        return;
    }
    const CodePage& cp = currentCodePage();
    if (cp.isDoubleByte()) {
        for (qsizetype i = 0; i < n; ++i)
            feedDoubleByte(cp, s[i]);
        return;
    }
    if (cp.isUtf8()) {
        for (qsizetype i = 0; i < n; ++i)
            feedUtf8(cp, s[i]);
        return;
    }
    if (textGoesStraight()) {
        appendText([s, &cp](qsizetype i) { return cp.single(s[i]); }, n);
        return;
    }
    if (dest != Dest::Normal && dest != Dest::ListText && dest != Dest::PnTxtA &&
        dest != Dest::PnTxtB)
        return;        // the list tables: no text, and single bytes leave nothing pending
    char16_t buf[512]; // in the reader's pieces: numbering text keeps whole pieces
    while (n > 0) {
        const qsizetype m = std::min<qsizetype>(n, 512);
        for (qsizetype i = 0; i < m; ++i)
            buf[i] = cp.single(s[i]);
        emitUnits(buf, m);
        s += m;
        n -= m;
    }
}

void TextScanner::Pass::commitFont() {
    if (!m_inFont || m_fontNameDone)
        return;
    m_fontNameDone = true;
    int cp;
    if (m_fontCpg > 0)
        cp = m_fontCpg;
    else if (m_fontCharset == 0 && m_ansiCodePage == kUtf8CodePage)
        cp = kUtf8CodePage;
    else
        cp = codePageForCharset(m_fontCharset < 0 ? 1 : m_fontCharset, m_ansiCodePage);
    auto it = m_fontCodePages.find(m_fontNumber);
    if (it != m_fontCodePages.end())
        *it = cp;
    else if (m_fontCodePages.size() < kFontCap)
        m_fontCodePages.insert(m_fontNumber, cp);
    ++m_fontGeneration;
}

void TextScanner::Pass::finishPn() {
    if (m_pnReadKind == PnKind::None)
        m_pnReadKind = PnKind::Decimal;
    const bool continues = m_prevParaNumbered && m_pnReadKind == m_pnKind &&
                           m_pnReadBefore == m_pnBefore && m_pnReadAfter == m_pnAfter;
    m_pnKind = m_pnReadKind;
    m_pnBefore = m_pnReadBefore;
    m_pnAfter = m_pnReadAfter;
    if (!continues && !m_paraNumbered)
        m_pnNumber = m_pnReadStart;
}

void TextScanner::Pass::endParagraph() {
    dropLead();
    if (m_pendingCellPar) {
        m_pendingCellPar = false;
        endParagraph();
    }
    if (!m_paraHasText) // numbering that comes after the text numbers the next paragraph
        beforeParagraphText();
    m_pendingTabs = 0;
    char16_t* d = room(2);
    d[0] = '\r';
    d[1] = '\n';
    m_len += 2;
    ++m_paragraphs;
    m_prevParaNumbered = m_paraNumbered && m_pnKind != PnKind::None;
    m_paraHasText = m_paraHadListText = m_paraNumbered = false;
}

void TextScanner::Pass::groupEnd(const State& closed) {
    const int depth = int(m_stack.size()) + 1; // of the group that closed
    if (closed.dest == Dest::FontTable && m_inFont && depth <= m_fontDepth) {
        commitFont();
        m_inFont = false;
    }
    if (closed.dest == Dest::Pn && st().dest != Dest::Pn)
        finishPn();
    if (m_levelDepth > 0 && depth <= m_levelDepth)
        m_levelDepth = 0;
    if (m_listDepth > 0 && depth <= m_listDepth)
        m_listDepth = m_levelDepth = 0;
    pictureGroupEnd();
    if (closed.font != st().font)
        dropLead();
}

void TextScanner::Pass::symbol(char c) {
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
        break;
    }
}

void TextScanner::Pass::word() {
    const Keyword& kw = m_keywords.find(m_tokPtr, m_tokLen, m_key);
    const K k = kw.kw;
    State& s = st();
    const int param = m_param;
    const bool on = !m_hasParam || param != 0;

    if (m_ignorable) {
        m_ignorable = false;
        if (!isDestination(k)) {
            s.dest = Dest::Skip;
            return;
        }
    }
    if (s.dest == Dest::Skip)
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
    switch (k) {
    case K::Unknown:
        return;
    case K::Ansi:
        m_ansiCodePage = 1252;
        return;
    case K::Mac:
        m_ansiCodePage = 10000;
        return;
    case K::Pc:
        m_ansiCodePage = 437;
        return;
    case K::Pca:
        m_ansiCodePage = 850;
        return;
    case K::AnsiCpg:
        if (m_hasParam && param > 0 && param < 100000)
            m_ansiCodePage = param;
        ++m_fontGeneration;
        return;
    case K::Deff:
        m_deff = param;
        return;
    case K::Uc:
        s.uc = std::clamp(param, 0, 0xFFFF);
        return;
    case K::U: {
        int v = param;
        if (v < 0)
            v += 65536;
        v &= 0xFFFF;
        dropLead();
        if (s.dest != Dest::ColorTable && v != 0)
            emitChar(char16_t(v));
        m_skip = s.uc;
        return;
    }
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
            m_pnReadKind = PnKind::None;
            m_pnReadStart = 1;
            m_pnReadBefore.clear();
            m_pnReadAfter.clear();
        }
        return;
    case K::PnTxtB:
        if (s.dest == Dest::Pn)
            s.dest = Dest::PnTxtB;
        return;
    case K::PnTxtA:
        if (s.dest == Dest::Pn)
            s.dest = Dest::PnTxtA;
        return;
    case K::Field:
    case K::FldRslt:
    case K::NestTableProps:
    case K::Ud:
        return;
    case K::ListTable:
        s.dest = Dest::ListTable;
        return;
    case K::ListOverrideTable:
        s.dest = Dest::ListOverrides;
        return;
    case K::LevelText:
        s.dest = s.dest == Dest::ListTable && m_levelDepth > 0 ? Dest::LevelText : Dest::Skip;
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
    default:
        break;
    }

    switch (s.dest) {
    case Dest::FontTable:
        switch (k) {
        case K::F:
            if (m_inFont && !m_fontNameDone)
                commitFont();
            m_inFont = true;
            m_fontDepth = int(m_stack.size());
            m_fontNumber = param;
            m_fontCharset = -1;
            m_fontCpg = -1;
            m_fontNameDone = false;
            return;
        case K::FCharset:
            if (m_inFont)
                m_fontCharset = std::clamp(param, 0, 255);
            return;
        case K::Cpg:
            if (m_inFont && param > 0 && param < 100000)
                m_fontCpg = param;
            return;
        default:
            return;
        }
    case Dest::ColorTable:
    case Dest::ListOverrides:
        return;
    case Dest::ListTable:
        switch (k) {
        case K::ListDef:
            m_listDepth = int(m_stack.size());
            return;
        case K::ListLevelDef:
            m_levelFont = false;
            m_levelDepth = int(m_stack.size());
            return;
        case K::F:
            s.font = param;
            m_levelFont = m_levelDepth > 0;
            return;
        default:
            return;
        }
    case Dest::Pn:
    case Dest::PnTxtA:
    case Dest::PnTxtB:
        switch (k) {
        case K::PnLvl:
            if (m_pnReadKind == PnKind::None)
                m_pnReadKind = PnKind::Decimal;
            return;
        case K::PnLvlBlt:
            m_pnReadKind = PnKind::Bullet;
            return;
        case K::PnLvlCont:
            m_pnReadKind = PnKind::Cont;
            return;
        case K::PnDec:
            m_pnReadKind = PnKind::Decimal;
            return;
        case K::PnUcLtr:
            m_pnReadKind = PnKind::UpperLetter;
            return;
        case K::PnLcLtr:
            m_pnReadKind = PnKind::LowerLetter;
            return;
        case K::PnUcRm:
            m_pnReadKind = PnKind::UpperRoman;
            return;
        case K::PnLcRm:
            m_pnReadKind = PnKind::LowerRoman;
            return;
        case K::PnStart:
            m_pnReadStart = std::clamp(param, 0, 32767);
            return;
        case K::PnF:
        case K::F:
            s.font = param;
            return;
        default:
            return;
        }
    default:
        break;
    }

    // Normal text, list text and a level's text.
    switch (k) {
    case K::F:
        s.font = param;
        dropLead();
        return;
    case K::Plain:
        s.font = -1;
        s.hidden = false;
        dropLead();
        return;
    case K::V:
        s.hidden = on;
        return;
    case K::Intbl:
        s.intbl = true;
        return;
    case K::Pard:
        if (m_pendingCellPar) {
            m_pendingCellPar = false;
            endParagraph();
        }
        s.intbl = false;
        m_pnKind = PnKind::None;
        return;
    case K::Par:
        if (s.intbl) {
            if (m_pendingCellPar)
                endParagraph();
            m_pendingCellPar = true;
            return;
        }
        endParagraph();
        return;
    case K::Sect:
        if (m_paraHasText)
            endParagraph();
        return;
    case K::Row:
        m_pendingCellPar = false;
        if (!m_paraHasText && m_pendingTabs > 0) // ended cells only: no number, as the reader
            m_paraNumbered = true;
        endParagraph();
        return;
    case K::Cell:
    case K::NestCell:
        dropLead();
        m_cellEnded = true;
        m_pendingCellPar = false;
        if (s.dest == Dest::Normal)
            ++m_pendingTabs;
        if (m_pendingTabs > 1000)
            m_pendingTabs = 1000;
        return;
    case K::Line:
        emitChar(0x2028);
        return;
    case K::Tab:
        emitChar('\t');
        return;
    case K::Char:
        emitChar(kw.ch);
        return;
    default:
        return;
    }
}

void TextScanner::Pass::openPictureGroup(State& s, K k) {
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
    switch (s.dest) {
    case Dest::Object:
        if (k == K::Result)
            s.dest = Dest::Result;
        return;
    case Dest::Result:
    case Dest::ShpPict:
        if (k == K::Pict && m_groupStart && m_pictDepth == 0) {
            startPict(s);
        } else if (k == K::ShpPict && m_groupStart && s.dest == Dest::Result && m_shpDepth == 0) {
            s.dest = Dest::ShpPict;
            m_shpDepth = int(m_stack.size());
            m_shpPicture = false;
        }
        return;
    default:
        return;
    }
}

void TextScanner::Pass::deliverPicture() {
    if (m_shpDepth > 0) {
        m_shpPicture = true;
        return;
    }
    if (m_objDepth > 0)
        return;
    emitPicture();
}

// A picture is no text, but it is content of its paragraph, as text is.
void TextScanner::Pass::emitPicture() {
    const State& state = st();
    if (state.dest != Dest::Normal || state.hidden)
        return;
    if (m_pendingCellPar) {
        m_pendingCellPar = false;
        endParagraph();
    }
    beforeParagraphText();
    writePendingTabs();
    m_paraHasText = true;
}

void TextScanner::Pass::pictureGroupEnd() {
    const int depth = int(m_stack.size()) + 1;
    if (m_pictDepth > 0 && depth <= m_pictDepth) {
        m_pictDepth = 0;
        deliverPicture();
    }
    if (m_shpDepth > 0 && depth <= m_shpDepth) {
        m_shpDepth = 0;
        if (std::exchange(m_shpPicture, false))
            deliverPicture();
    }
    if (m_objDepth > 0 && depth <= m_objDepth) {
        m_objDepth = 0;
        emitPicture();
    }
}

qsizetype TextScanner::Pass::run() {
    m_stack.push_back(State{});
    bool started = false;
    for (;;) {
        if (started && m_overflow == 0 && m_skip == 0 && !m_ignorable && m_lead < 0 &&
            m_utf8Need == 0 && textGoesStraight())
            fastText();
        const Tok t = next();
        if (t == Tok::End)
            break;
        if (!started) {
            started = t == Tok::Open;
            continue;
        }
        if (t == Tok::Open) {
            m_skip = 0;
            m_ignorable = false;
            if (m_overflow > 0 || m_stack.size() >= size_t(kGroupCap)) {
                if (m_overflow++ == 0)
                    m_overflowState = m_stack.back();
                continue;
            }
            m_stack.push_back(m_stack.back());
            m_groupStart = true;
            continue;
        }
        if (t == Tok::Close) {
            m_skip = 0;
            m_ignorable = false;
            if (m_overflow > 0) {
                if (m_overflow == m_overflowDestLevel) {
                    st().dest = m_overflowDest;
                    m_overflowDestLevel = 0;
                }
                if (--m_overflow == 0) {
                    dropLead();
                    m_stack.back() = m_overflowState;
                }
                continue;
            }
            if (m_stack.size() == 1)
                break;
            const State closed = m_stack.back();
            m_stack.pop_back();
            groupEnd(closed);
            m_groupStart = false;
            continue;
        }
        if (m_skip > 0) { // the fallback of \u
            if (t == Tok::Text) {
                const qsizetype n = std::min<qsizetype>(m_tokLen, m_skip);
                m_skip -= int(n);
                m_tokPtr += n;
                m_tokLen -= n;
                if (m_tokLen == 0)
                    continue;
            } else {
                --m_skip;
                continue;
            }
        }
        switch (t) {
        case Tok::Text:
            m_ignorable = false;
            emitBytes(reinterpret_cast<const unsigned char*>(m_tokPtr), m_tokLen);
            break;
        case Tok::Hex: {
            m_ignorable = false;
            const Dest dest = st().dest;
            if (dest != Dest::FontTable && dest != Dest::ColorTable) {
                const unsigned char b = static_cast<unsigned char>(m_param);
                emitBytes(&b, 1);
            }
            break;
        }
        case Tok::Word: {
            const bool deep = m_overflow > 0 && m_overflowDestLevel == 0;
            const Dest before = st().dest;
            word();
            if (deep && st().dest != before) {
                m_overflowDestLevel = m_overflow;
                m_overflowDest = before;
            }
            break;
        }
        case Tok::Symbol:
            if (m_symbol == '*') {
                m_ignorable = true;
                continue; // a group's first word may follow
            }
            m_ignorable = false;
            symbol(m_symbol);
            break;
        case Tok::Bin:
            m_ignorable = false;
            break;
        default:
            break;
        }
        m_groupStart = false;
        // The rest of a skipped group or of a picture holds no text.
        if (m_overflow == 0 && (st().dest == Dest::Skip || st().dest == Dest::Picture))
            skipGroup();
    }
    dropLead();
    if (m_pendingCellPar) {
        m_pendingCellPar = false;
        endParagraph();
    }
    const bool content = m_paraHasText || m_paraNumbered;
    if (content || m_pendingTabs > 0 || m_paragraphs == 0) {
        if (!content && (m_pendingTabs > 0 || m_cellEnded))
            m_paraNumbered = true;
        endParagraph();
    }
    return m_len - 2; // paragraphs are joined, not ended, by CR LF
}

TextScanner::TextScanner() : m_out(size_t(1) << 16) {}
TextScanner::~TextScanner() = default;

QStringView TextScanner::scan(QByteArrayView bytes) {
    if (!isRtf(bytes)) {
        m_plain = plainText(bytes);
        return m_plain;
    }
    Pass pass(bytes, m_codePages, m_out);
    const qsizetype n = pass.run();
    return QStringView(m_out.data(), n);
}

QString TextScanner::text(QByteArrayView bytes) {
    return scan(bytes).toString();
}

QString scanText(QByteArrayView bytes) {
    TextScanner scanner;
    return scanner.text(bytes);
}

} // namespace qly::rtf
