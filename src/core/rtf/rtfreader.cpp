#include "rtf/rtfreader.h"

#include "rtf/codepage.h"
#include "rtf/rtfpictures.h"
#include "rtf/rtftables.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace qly::rtf {
namespace {

// ---------------------------------------------------------------------------------------
// Layer 1: the tokenizer. Text is scanned in runs over the input bytes; nothing is
// allocated; nothing recurses.

enum class Tok : std::uint8_t { End, Text, Word, Symbol, Hex, Bin, Open, Close };

struct Token {
    Tok type = Tok::End;
    const char* ptr = nullptr; // Text: the run; Word: the name; Bin: the data
    qsizetype len = 0;         // Text and Bin: bytes; Word: name length
    bool hasParam = false;     // Word
    int param = 0;             // Word: the parameter, saturated to 32 bits; Hex: the byte
    char symbol = 0;           // Symbol
};

// Bytes that end a text run.
constexpr std::array<bool, 256> kSpecial = [] {
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

class Tokenizer {
public:
    Tokenizer(const char* begin, const char* end) : p_(begin), end_(end) {}

    // The next byte to read.
    const char* pos() const { return p_; }

    void next(Token& t) {
        for (;;) {
            if (p_ >= end_) {
                t.type = Tok::End;
                return;
            }
            const unsigned char c = static_cast<unsigned char>(*p_);
            if (c == '\r' || c == '\n') { // line breaks in RTF are no text
                ++p_;
                continue;
            }
            if (c == '{') {
                ++p_;
                t.type = Tok::Open;
                return;
            }
            if (c == '}') {
                ++p_;
                t.type = Tok::Close;
                return;
            }
            if (c == '\\') {
                controlWord(t);
                return;
            }
            const char* s = p_;
            while (p_ < end_ && !kSpecial[static_cast<unsigned char>(*p_)])
                ++p_;
            t.type = Tok::Text;
            t.ptr = s;
            t.len = p_ - s;
            return;
        }
    }

private:
    void controlWord(Token& t) {
        ++p_; // the backslash
        if (p_ >= end_) {
            t.type = Tok::End;
            return;
        }
        const unsigned char c = static_cast<unsigned char>(*p_);
        if (isLetter(c)) {
            const char* name = p_;
            while (p_ < end_ && isLetter(static_cast<unsigned char>(*p_)))
                ++p_;
            t.type = Tok::Word;
            t.ptr = name;
            t.len = p_ - name;
            t.hasParam = false;
            t.param = 0;
            bool negative = false;
            if (p_ < end_ && *p_ == '-' && p_ + 1 < end_ &&
                isDigit(static_cast<unsigned char>(p_[1]))) {
                negative = true;
                ++p_;
            }
            if (p_ < end_ && isDigit(static_cast<unsigned char>(*p_))) {
                std::int64_t v = 0;
                while (p_ < end_ && isDigit(static_cast<unsigned char>(*p_))) {
                    if (v < (std::int64_t(1) << 32))
                        v = v * 10 + (*p_ - '0');
                    ++p_;
                }
                if (negative)
                    v = -v;
                if (v > INT32_MAX)
                    v = INT32_MAX;
                if (v < INT32_MIN)
                    v = INT32_MIN;
                t.hasParam = true;
                t.param = int(v);
            }
            if (p_ < end_ && *p_ == ' ') // only one blank is the delimiter
                ++p_;
            if (t.len == 3 && std::memcmp(name, "bin", 3) == 0) {
                // \binN: N raw bytes, clamped to what remains.
                qsizetype n = t.hasParam && t.param > 0 ? t.param : 0;
                if (n > end_ - p_)
                    n = end_ - p_;
                t.type = Tok::Bin;
                t.ptr = p_;
                t.len = n;
                p_ += n;
            }
            return;
        }
        ++p_;
        if (c == '\'') {
            int v = 0, digits = 0;
            while (digits < 2 && p_ < end_) {
                const int h = hexValue(static_cast<unsigned char>(*p_));
                if (h < 0)
                    break;
                v = v * 16 + h;
                ++p_;
                ++digits;
            }
            if (digits == 0) { // "\'" without hex digits: nothing
                t.type = Tok::Symbol;
                t.symbol = 0;
                return;
            }
            t.type = Tok::Hex;
            t.param = v;
            return;
        }
        t.type = Tok::Symbol;
        t.symbol = char(c);
    }

    const char* p_;
    const char* end_;
};

// ---------------------------------------------------------------------------------------
// Control words.

enum class K : std::uint8_t {
    Unknown,
    // document
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
    // font table and colour table
    F,
    FCharset,
    Cpg,
    Red,
    Green,
    Blue,
    // character formatting
    Plain,
    B,
    I,
    Ul,
    UlNone,
    Strike,
    V,
    Fs,
    Cf,
    Cb,
    Highlight,
    ChCbPat,
    // paragraphs and special characters
    Pard,
    Intbl,
    Ql,
    Qr,
    Qc,
    Qj,
    Par,
    Sect,
    Line,
    Tab,
    Cell,
    Row,
    Li,
    Ri,
    Fi,
    Sb,
    Sa,
    Sl,
    SlMult,
    Tx,
    TqR,
    TqC,
    TqDec,
    Keep,
    KeepN,
    NestTableProps,
    EmDash,
    EnDash,
    EmSpace,
    EnSpace,
    QmSpace,
    Bullet,
    LQuote,
    RQuote,
    LDblQuote,
    RDblQuote,
    Zwj,
    Zwnj,
    LtrMark,
    RtlMark,
    // legacy list numbering (\*\pn)
    PnLvlBlt,
    PnLvlBody,
    PnLvlCont,
    PnLvl,
    // Word lists
    ListTable,
    ListOverrideTable,
    ListDef,
    ListLevelDef,
    LevelNfc,
    LevelStartAt,
    LevelText,
    ListId,
    ListOverride,
    Ls,
    Ilvl,
    PnDec,
    PnUcLtr,
    PnLcLtr,
    PnUcRm,
    PnLcRm,
    PnStart,
    PnF,
    // tables
    TableWord, // a word of a row's definition (rtftables.h)
    NestCell,
    // pictures and objects
    Pict,
    ShpPict,
    NonShpPict,
    Object,
    Result,
    ObjW,
    ObjH,
    ObjScaleX,
    ObjScaleY,
    // in the order of Blip and of PictSize, which pictureWord counts on
    PngBlip,
    JpegBlip,
    DiBitmap,
    WMetafile,
    OtherBlip,
    PicW,
    PicH,
    PicWGoal,
    PicHGoal,
    PicScaleX,
    PicScaleY,
};

struct KeywordEntry {
    std::string_view name;
    K kw;
};

constexpr KeywordEntry kKeywords[] = {
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
    {"listtable", K::ListTable},
    {"listoverridetable", K::ListOverrideTable},
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
    {"nesttableprops", K::NestTableProps},
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
    {"stylesheet", K::SkipDest},
    {"company", K::SkipDest},
    {"operator", K::SkipDest},
    {"author", K::SkipDest},
    {"title", K::SkipDest},
    {"subject", K::SkipDest},
    {"keywords", K::SkipDest},
    {"comment", K::SkipDest},
    {"doccomm", K::SkipDest},
    {"private", K::SkipDest},
    // font and colour tables
    {"f", K::F},
    {"fcharset", K::FCharset},
    {"cpg", K::Cpg},
    {"red", K::Red},
    {"green", K::Green},
    {"blue", K::Blue},
    // character formatting
    {"plain", K::Plain},
    {"b", K::B},
    {"i", K::I},
    {"ul", K::Ul},
    {"uld", K::Ul},
    {"uldash", K::Ul},
    {"uldashd", K::Ul},
    {"uldashdd", K::Ul},
    {"uldb", K::Ul},
    {"ulhwave", K::Ul},
    {"ulldash", K::Ul},
    {"ulth", K::Ul},
    {"ulthd", K::Ul},
    {"ulthdash", K::Ul},
    {"ulthdashd", K::Ul},
    {"ulthdashdd", K::Ul},
    {"ulthldash", K::Ul},
    {"ululdbwave", K::Ul},
    {"ulw", K::Ul},
    {"ulwave", K::Ul},
    {"ulnone", K::UlNone},
    {"strike", K::Strike},
    {"striked", K::Strike},
    {"v", K::V},
    {"fs", K::Fs},
    {"cf", K::Cf},
    {"cb", K::Cb},
    {"highlight", K::Highlight},
    {"chcbpat", K::ChCbPat},
    // paragraphs and special characters
    {"pard", K::Pard},
    {"intbl", K::Intbl},
    {"ql", K::Ql},
    {"qr", K::Qr},
    {"qc", K::Qc},
    {"qj", K::Qj},
    {"qd", K::Qj},
    {"li", K::Li},
    {"lin", K::Li},
    {"ri", K::Ri},
    {"rin", K::Ri},
    {"fi", K::Fi},
    {"sb", K::Sb},
    {"sa", K::Sa},
    {"sl", K::Sl},
    {"slmult", K::SlMult},
    {"tx", K::Tx},
    {"tqr", K::TqR},
    {"tqc", K::TqC},
    {"tqdec", K::TqDec},
    {"keep", K::Keep},
    {"keepn", K::KeepN},
    {"par", K::Par},
    {"sect", K::Sect},
    {"line", K::Line},
    {"tab", K::Tab},
    {"cell", K::Cell},
    {"nestcell", K::NestCell},
    {"row", K::Row},
    {"emdash", K::EmDash},
    {"endash", K::EnDash},
    {"emspace", K::EmSpace},
    {"enspace", K::EnSpace},
    {"qmspace", K::QmSpace},
    {"bullet", K::Bullet},
    {"lquote", K::LQuote},
    {"rquote", K::RQuote},
    {"ldblquote", K::LDblQuote},
    {"rdblquote", K::RDblQuote},
    {"zwj", K::Zwj},
    {"zwnj", K::Zwnj},
    {"ltrmark", K::LtrMark},
    {"rtlmark", K::RtlMark},
    // legacy list numbering
    {"pnlvlblt", K::PnLvlBlt},
    {"pnlvlbody", K::PnLvlBody},
    {"pnlvlcont", K::PnLvlCont},
    {"pnlvl", K::PnLvl},
    {"list", K::ListDef},
    {"listlevel", K::ListLevelDef},
    {"levelnfc", K::LevelNfc},
    {"levelnfcn", K::LevelNfc},
    {"levelstartat", K::LevelStartAt},
    {"leveltext", K::LevelText},
    {"listid", K::ListId},
    {"listoverride", K::ListOverride},
    {"ls", K::Ls},
    {"ilvl", K::Ilvl},
    {"listname", K::SkipDest},
    {"levelnumbers", K::SkipDest},
    {"pndec", K::PnDec},
    {"pnucltr", K::PnUcLtr},
    {"pnlcltr", K::PnLcLtr},
    {"pnucrm", K::PnUcRm},
    {"pnlcrm", K::PnLcRm},
    {"pnstart", K::PnStart},
    {"pnf", K::PnF},
    // pictures and objects
    {"pict", K::Pict},
    {"shppict", K::ShpPict},
    {"nonshppict", K::NonShpPict},
    {"object", K::Object},
    {"result", K::Result},
    {"objw", K::ObjW},
    {"objh", K::ObjH},
    {"objscalex", K::ObjScaleX},
    {"objscaley", K::ObjScaleY},
    {"pngblip", K::PngBlip},
    {"jpegblip", K::JpegBlip},
    {"dibitmap", K::DiBitmap},
    {"wmetafile", K::WMetafile},
    {"emfblip", K::WMetafile},
    {"pmmetafile", K::WMetafile},
    {"macpict", K::OtherBlip},
    {"wbitmap", K::OtherBlip},
    {"picw", K::PicW},
    {"pich", K::PicH},
    {"picwgoal", K::PicWGoal},
    {"pichgoal", K::PicHGoal},
    {"picscalex", K::PicScaleX},
    {"picscaley", K::PicScaleY},
};

constexpr std::uint32_t hashName(const char* s, qsizetype n) {
    std::uint32_t h = 2166136261u;
    for (qsizetype i = 0; i < n; ++i)
        h = (h ^ static_cast<unsigned char>(s[i])) * 16777619u;
    return h;
}

class KeywordTable {
public:
    KeywordTable() {
        for (const KeywordEntry& e : kKeywords) {
            std::uint32_t i = hashName(e.name.data(), qsizetype(e.name.size())) & kMask;
            while (slots_[i].kw != K::Unknown && slots_[i].name != e.name)
                i = (i + 1) & kMask;
            slots_[i] = e;
        }
        for (int w = 0; w < tableWordCount(); ++w) {
            const KeywordEntry e{tableWord(w), K::TableWord};
            std::uint32_t i = hashName(e.name.data(), qsizetype(e.name.size())) & kMask;
            while (slots_[i].kw != K::Unknown && slots_[i].name != e.name)
                i = (i + 1) & kMask;
            slots_[i] = e;
        }
    }
    K find(const char* s, qsizetype n) const {
        if (n > kMaxControlWord)
            return K::Unknown;
        std::uint32_t i = hashName(s, n) & kMask;
        while (slots_[i].kw != K::Unknown) {
            if (qsizetype(slots_[i].name.size()) == n &&
                std::memcmp(slots_[i].name.data(), s, size_t(n)) == 0)
                return slots_[i].kw;
            i = (i + 1) & kMask;
        }
        return K::Unknown;
    }

private:
    static constexpr std::uint32_t kMask = 1023;
    KeywordEntry slots_[kMask + 1] = {};
};

const KeywordTable& keywords() {
    static const KeywordTable table;
    return table;
}

bool isDestination(K k) {
    switch (k) {
    case K::SkipDest:
    case K::FontTbl:
    case K::ColorTbl:
    case K::ListText:
    case K::Pn:
    case K::PnTxtB:
    case K::PnTxtA:
    case K::Field:
    case K::FldRslt:
    case K::Upr:
    case K::Ud:
    case K::NestTableProps:
    case K::ListTable:
    case K::ListOverrideTable:
    case K::LevelText:
    case K::Pict:
    case K::ShpPict:
    case K::NonShpPict:
    case K::Object:
    case K::Result:
        return true;
    default:
        return false;
    }
}

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
constexpr qsizetype kMaxFontName = 256; // characters of a font name kept

struct RawFormat {
    int font = -1; // RTF font number; -1: \deff
    int halfPoints = kDefaultHalfPoints;
    int fg = -1; // colour table index; -1: automatic
    int bg = -1;
    std::uint8_t flags = 0;
    bool operator==(const RawFormat&) const = default;
};

// Paragraph properties but the tab stops, which the interpreter keeps once (they are set
// and cleared paragraph by paragraph, not group by group).
struct RawPara {
    bool intbl = false; // a paragraph of a table cell
    std::uint8_t align = 0;
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

struct Font {
    QString name;
    int charset = 0;
    int codePage = 1252;
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

// The text of a list mark as the model keeps it: no control characters, at most 8 units.
QString markText(const QString& text) {
    QString out;
    for (QChar c : text)
        if (c.unicode() >= 0x20 && out.size() < 8)
            out += c;
    return out;
}

QString roman(int n, bool upper) {
    static const struct {
        int v;
        const char* s;
    } parts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                 {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                 {5, "v"},    {4, "iv"},   {1, "i"}};
    QString out;
    n = std::clamp(n, 1, 3999);
    for (const auto& p : parts)
        while (n >= p.v) {
            out += QLatin1String(p.s);
            n -= p.v;
        }
    return upper ? out.toUpper() : out;
}

QString letters(int n, bool upper) {
    QString out;
    n = std::max(n, 1);
    while (n > 0) {
        --n;
        out.prepend(QChar((upper ? 'A' : 'a') + n % 26));
        n /= 26;
    }
    return out;
}

class Interpreter {
public:
    Interpreter(QByteArrayView bytes, Builder& builder)
        : tok_(bytes.data(), bytes.data() + bytes.size()), b_(builder),
          wantsFormat_(builder.wantsFormat()) {
        stack_.reserve(64);
    }

    void run();

private:
    State& st() { return stack_.back(); }

    // Output of text.
    // Whether text can go straight into the buffer: normal text, nothing pending before it.
    bool fastText() {
        const State& state = stack_.back();
        return state.dest == Dest::Normal && !(state.fmt.flags & FHidden) && !pendingCellPar_ &&
               pendingTabs_ == 0 && (paraNumbered_ || pnKind_ == PnKind::None) &&
               listTextBuf_.isEmpty() &&
               (!wantsFormat_ || (formatValid_ && lastFormat_ == state.fmt));
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
        textLen_ += d - start;
        if (d != start)
            paraHasText_ = true;
    }
    void emitUnits(const char16_t* s, qsizetype n) {
        if (fastText())
            appendText([s](qsizetype i) { return s[i]; }, n);
        else
            emitUnitsSlow(s, n);
    }
    void emitUnitsSlow(const char16_t* s, qsizetype n);
    void emitChar(char16_t c) { emitUnits(&c, 1); }
    void emitBytes(const unsigned char* s, qsizetype n);
    void feedDoubleByte(const CodePage& cp, unsigned char b);
    void dropLead() {
        lead_ = -1;
        utf8Need_ = 0;
    }
    void feedUtf8(const CodePage& cp, unsigned char b);
    void beforeParagraphText();
    void flushText();
    void endParagraph() { endParagraph(st().para); }
    void endParagraph(const RawPara& para, bool cellEnd = false);
    void endCell();
    void closeRow();
    void addTabStop(int position);
    void ensureFormat();
    CharFormat resolve(const RawFormat& raw);
    const CodePage& currentCodePage();
    const Font* findFont(int number);

    // Tables.
    void commitFont();
    void decodeFontBytes();
    int fontCodePage() const;
    void addColor();
    void finishPn();

    void word(const Token& t);
    void symbol(char c);
    void groupEnd(const State& closed);

    // Pictures and objects.
    void openPictureGroup(State& s, K k);
    void pictureWord(State& s, K k, int param);
    void startPict(State& s);
    void deliverPicture(Picture&& picture, const char* open, const char* end);
    void emitPicture(Picture&& picture);
    void pictureGroupEnd();
    bool groupStart_ = false; // no token of the group read yet but \*
    PictReader pict_;
    std::vector<Picture> pictures_;
    int pictDepth_ = 0, shpDepth_ = 0, objDepth_ = 0, nonShpDepth_ = 0; // 0: none open
    const char* pictOpen_ = nullptr;
    const char* shpOpen_ = nullptr;
    const char* objOpen_ = nullptr;
    const char* nonShpOpen_ = nullptr;
    std::optional<Picture> shpPicture_, objPicture_;
    int objSize_[4] = {}; // \objw, \objh, \objscalex, \objscaley; 0: not given
    int keptShp_ = 0;     // the picture last kept from a \shppict group, for its \nonshppict
    const char* keptShpEnd_ = nullptr;

    Tokenizer tok_;
    Builder& b_;
    bool wantsFormat_;
    std::vector<State> stack_;
    int overflow_ = 0;       // groups past kMaxGroupDepth still open
    int skip_ = 0;           // characters still to skip after \u
    bool ignorable_ = false; // the last token was \*

    // Document properties.
    int ansiCodePage_ = 1252;
    int deff_ = 0;

    // Font table.
    std::vector<Font> fonts_;
    QHash<int, int> fontIndex_;
    int fontGeneration_ = 0;
    int cpCacheFont_ = INT32_MIN;
    int cpCacheGeneration_ = -1;
    const CodePage* cpCache_ = nullptr;
    CodePages codePages_;
    bool inFont_ = false; // a font entry is open
    int fontDepth_ = 0;   // the depth at which its \f was read
    int fontNumber_ = 0;
    int fontCharset_ = -1;
    int fontCpg_ = -1;
    QByteArray fontBytes_; // the name's bytes not yet decoded
    QString fontName_;
    bool fontNameDone_ = false;

    // Colour table.
    std::vector<std::optional<std::uint32_t>> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;

    // Legacy numbering.
    PnKind pnKind_ = PnKind::None;     // of the paragraph (until \pard)
    PnKind pnReadKind_ = PnKind::None; // of the \pn group being read
    int pnReadLevel_ = 0;
    int pnList_ = 0;         // the model list (1-based) of the \pn numbering in force; 0 none
    int prevPnList_ = 0;     // the \pn list of the paragraph before
    bool pnNewList_ = false; // the \pn read starts a list of its own
    ListLevel pnDef_;        // its level
    int pnLevel_ = 0;

    // Lists of the document in order of first use, for the builder.
    std::vector<List> lists_;
    // Word's list table: lists by \listid, \ls numbers to list ids, \ls to model lists.
    struct WordList {
        int id = 0;
        List list;
    };
    std::vector<WordList> wordLists_;
    QHash<int, int> overrides_;
    QHash<int, int> lsModel_;
    WordList curList_;
    int listDepth_ = 0; // the depth of the \list group being read; 0 none
    ListLevel curLevel_;
    int levelNfc_ = 0;
    int levelIndex_ = 0;
    int levelDepth_ = 0;
    QString levelText_;
    bool levelFont_ = false; // the level names its font
    int ovId_ = 0, ovLs_ = 0, ovDepth_ = 0;
    QString listTextBuf_; // \listtext of the paragraph, while it may still become a list item
    int modelListForLs(int ls);
    struct ListItem {
        int list = 0;
        int level = 0;
        bool fromPn = false;
    };
    ListItem paraItem_; // the paragraph's list item, once its number text was dropped
    ListItem listItem(const RawPara& para);
    bool paraInList();
    void emitListText();
    void commitLevel();
    void commitList();
    int pnReadStart_ = 1;
    QString pnReadBefore_, pnReadAfter_;
    QString pnBefore_, pnAfter_;
    int pnNumber_ = 0;
    bool prevParaNumbered_ = false;

    // The paragraph being read.
    // Text not yet given to the builder: a plain buffer, written through a pointer.
    std::vector<char16_t> text_ = std::vector<char16_t>(4096);
    qsizetype textLen_ = 0;
    char16_t* textRoom(qsizetype n) {
        if (textLen_ + n > qsizetype(text_.size()))
            text_.resize(std::max(text_.size() * 2, size_t(textLen_ + n)));
        return text_.data() + textLen_;
    }
    bool formatValid_ = false;
    RawFormat lastFormat_;
    bool paraHasText_ = false;
    bool paraHadListText_ = false;
    bool paraNumbered_ = false;
    int pendingTabs_ = 0;         // cells ended, their tab not yet written
    bool pendingCellPar_ = false; // a \par in a table cell, dropped if \cell follows
    RawPara pendingCellPara_;
    // The table row being read (only when wantsFormat_): cells ended, cells its paragraphs
    // name, rows before it.
    RowDefinition rowDef_;
    int rowCells_ = 0;
    int rowCellsUsed_ = 0;
    int rowsRead_ = 0;
    bool cellEnded_ = false; // a cell ended as a tab (find's text, nested cells)
    bool lineText_ = false;  // cells of the row ended with text since its last paragraph end
    int paragraphs_ = 0;
    size_t listsBefore_ = 0; // lists made before the paragraph being read
    int lead_ = -1;          // a pending double-byte lead byte
    int utf8Need_ = 0;       // continuation bytes a UTF-8 sequence still needs
    char32_t utf8Code_ = 0;
    char32_t utf8Min_ = 0;
    std::vector<TabStop> tabs_; // of the paragraph being read
    int tabKind_ = TabLeft;     // of the next \tx
    Paragraph paraOut_;         // handed to the builder at each paragraph end
    // Groups past kMaxGroupDepth: their text is kept at the cap's depth. A destination that
    // starts there hides text until its group closes.
    State overflowState_;
    int overflowDestLevel_ = 0;
    Dest overflowDest_ = Dest::Normal;
};

const Font* Interpreter::findFont(int number) {
    auto it = fontIndex_.constFind(number);
    return it == fontIndex_.constEnd() ? nullptr : &fonts_[size_t(*it)];
}

const CodePage& Interpreter::currentCodePage() {
    const int number = st().fmt.font < 0 ? deff_ : st().fmt.font;
    if (number != cpCacheFont_ || fontGeneration_ != cpCacheGeneration_ || !cpCache_) {
        const Font* f = findFont(number);
        cpCache_ = &codePages_.get(f ? f->codePage : ansiCodePage_);
        cpCacheFont_ = number;
        cpCacheGeneration_ = fontGeneration_;
    }
    return *cpCache_;
}

CharFormat Interpreter::resolve(const RawFormat& raw) {
    CharFormat f;
    if (const Font* font = findFont(raw.font < 0 ? deff_ : raw.font)) {
        f.font = font->name;
        f.charset = font->charset;
    }
    f.size = raw.halfPoints / 2.0;
    f.bold = raw.flags & FBold;
    f.italic = raw.flags & FItalic;
    f.underline = raw.flags & FUnderline;
    f.strike = raw.flags & FStrike;
    if (raw.fg >= 0 && size_t(raw.fg) < colors_.size())
        f.color = colors_[size_t(raw.fg)];
    if (raw.bg >= 0 && size_t(raw.bg) < colors_.size())
        f.background = colors_[size_t(raw.bg)];
    return f;
}

void Interpreter::flushText() {
    if (textLen_ > 0) {
        b_.text(reinterpret_cast<const QChar*>(text_.data()), textLen_);
        textLen_ = 0;
    }
}

void Interpreter::ensureFormat() {
    if (!wantsFormat_) // plain text: formats do not matter, text is given once a paragraph
        return;
    if (formatValid_ && lastFormat_ == st().fmt)
        return;
    flushText();
    lastFormat_ = st().fmt;
    formatValid_ = true;
    if (wantsFormat_)
        b_.setFormat(resolve(lastFormat_));
}

// Called before text goes into the paragraph: list numbers from \pn and tabs of ended cells.
void Interpreter::beforeParagraphText() {
    if (!listTextBuf_.isEmpty() && st().dest != Dest::ListText && !paraInList())
        emitListText();
    if (paraNumbered_ || pnKind_ == PnKind::None || paraHadListText_ || st().dest == Dest::ListText)
        return;
    paraNumbered_ = true;
    if (pnKind_ == PnKind::Cont)
        return;
    if (wantsFormat_ && paraInList()) { // the list shows the number
        ++pnNumber_;
        return;
    }
    QString label = pnBefore_;
    switch (pnKind_) {
    case PnKind::Bullet:
        if (label.isEmpty())
            label = QStringLiteral("\u2022");
        break;
    case PnKind::Decimal:
        label += QString::number(pnNumber_);
        break;
    case PnKind::UpperLetter:
        label += letters(pnNumber_, true);
        break;
    case PnKind::LowerLetter:
        label += letters(pnNumber_, false);
        break;
    case PnKind::UpperRoman:
        label += roman(pnNumber_, true);
        break;
    case PnKind::LowerRoman:
        label += roman(pnNumber_, false);
        break;
    default:
        break;
    }
    label += pnAfter_;
    label += QLatin1Char('\t');
    ++pnNumber_;
    emitUnits(reinterpret_cast<const char16_t*>(label.constData()), label.size());
}

void Interpreter::emitUnitsSlow(const char16_t* s, qsizetype n) {
    State& state = st();
    switch (state.dest) {
    case Dest::Normal:
    case Dest::ListText:
        break;
    case Dest::FontTable:
        if (inFont_ && !fontNameDone_) {
            decodeFontBytes();
            if (fontName_.size() < 2 * kMaxFontName)
                fontName_.append(reinterpret_cast<const QChar*>(s), n);
        }
        return;
    case Dest::PnTxtB:
        if (pnReadBefore_.size() < 64)
            pnReadBefore_.append(reinterpret_cast<const QChar*>(s), n);
        return;
    case Dest::PnTxtA:
        if (pnReadAfter_.size() < 64)
            pnReadAfter_.append(reinterpret_cast<const QChar*>(s), n);
        return;
    case Dest::LevelText:
        if (levelText_.size() < 64)
            levelText_.append(reinterpret_cast<const QChar*>(s), n);
        return;
    default:
        return;
    }
    if (state.fmt.flags & FHidden)
        return;
    // Control characters are no text: they neither start a paragraph nor number it.
    if (std::none_of(s, s + n, [](char16_t c) { return c >= 0x20 || c == '\t'; }))
        return;
    if (pendingCellPar_) {
        pendingCellPar_ = false;
        endParagraph(pendingCellPara_);
    }
    if (state.dest == Dest::ListText && wantsFormat_) {
        paraHadListText_ = true;
        if (pendingTabs_ > 0) { // the gaps of ended cells go before it, as in find's text
            listTextBuf_ += QString(pendingTabs_, QLatin1Char('\t'));
            pendingTabs_ = 0;
        }
        for (qsizetype i = 0; i < n; ++i) // what the text buffer would keep; bounded by the input
            if (s[i] >= 0x20 || s[i] == '\t')
                listTextBuf_ += QChar(s[i]);
        return;
    }
    if (state.dest == Dest::ListText)
        paraHadListText_ = true;
    else
        beforeParagraphText();
    ensureFormat();
    if (pendingTabs_ > 0) {
        std::fill_n(textRoom(pendingTabs_), pendingTabs_, char16_t('\t'));
        textLen_ += pendingTabs_;
        pendingTabs_ = 0;
    }
    appendText([s](qsizetype i) { return s[i]; }, n);
}

void Interpreter::feedDoubleByte(const CodePage& cp, unsigned char b) {
    char16_t c;
    if (lead_ >= 0) {
        const char pair[2] = {char(lead_), char(b)};
        dropLead();
        QString tmp;
        cp.appendDecoded(tmp, pair, 2);
        for (QChar q : std::as_const(tmp))
            emitChar(q.unicode());
        return;
    }
    if (b < 0x80) {
        c = b;
    } else if (cp.isLeadByte(b)) {
        lead_ = b;
        return;
    } else if (cp.single(b) != 0xFFFD) { // a single byte the page adds (Mac Japanese)
        c = cp.single(b);
    } else {
        const char one = char(b);
        QString tmp;
        cp.appendDecoded(tmp, &one, 1);
        for (QChar q : std::as_const(tmp))
            emitChar(q.unicode());
        return;
    }
    emitChar(c);
}

// UTF-8 bytes, which writers may spread over several \'hh: joined here before decoding.
// A broken sequence gives U+FFFD; a byte that cannot start one reads as Windows-1252.
void Interpreter::feedUtf8(const CodePage& cp, unsigned char b) {
    if (utf8Need_ > 0) {
        if ((b & 0xC0) == 0x80) {
            utf8Code_ = utf8Code_ << 6 | (b & 0x3F);
            if (--utf8Need_ > 0)
                return;
            const char32_t c = utf8Code_;
            if (c < utf8Min_ || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
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
        utf8Need_ = 0;
        emitChar(0xFFFD);
    }
    if (b < 0x80) {
        emitChar(b);
    } else if (b >= 0xC2 && b <= 0xDF) {
        utf8Need_ = 1, utf8Code_ = b & 0x1F, utf8Min_ = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        utf8Need_ = 2, utf8Code_ = b & 0x0F, utf8Min_ = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        utf8Need_ = 3, utf8Code_ = b & 0x07, utf8Min_ = 0x10000;
    } else {
        emitChar(cp.single(b));
    }
}

void Interpreter::emitBytes(const unsigned char* s, qsizetype n) {
    const Dest dest = st().dest;
    if (dest == Dest::LevelText) { // placeholders (bytes below 0x20) kept as they are
        // In the level's own font when it names one, else in the document's code page.
        const CodePage& cp = levelFont_ ? currentCodePage() : codePages_.get(ansiCodePage_);
        const bool table = !cp.isDoubleByte() && !cp.isUtf8();
        for (qsizetype i = 0; i < n && levelText_.size() < 64; ++i)
            levelText_ += QChar(s[i] < 0x20 || !table ? char16_t(s[i]) : cp.single(s[i]));
        return;
    }
    if (dest == Dest::Skip || dest == Dest::Upr || dest == Dest::Pn || isPictureDest(dest))
        return;
    if (dest == Dest::ColorTable) {
        for (qsizetype i = 0; i < n; ++i)
            if (s[i] == ';')
                addColor();
        return;
    }
    if (dest == Dest::FontTable) {
        if (!inFont_ || fontNameDone_)
            return;
        for (qsizetype i = 0; i < n; ++i) {
            if (s[i] == ';') {
                commitFont();
                return;
            }
            if (fontBytes_.size() < 2 * kMaxFontName)
                fontBytes_.append(char(s[i]));
        }
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

// The code page of the font entry being read. A UTF-8 document's ANSI fonts are UTF-8, as
// the writers of such documents mean them.
int Interpreter::fontCodePage() const {
    if (fontCpg_ > 0)
        return fontCpg_;
    if (fontCharset_ == 0 && ansiCodePage_ == kUtf8CodePage)
        return kUtf8CodePage;
    return codePageForCharset(fontCharset_ < 0 ? 1 : fontCharset_, ansiCodePage_);
}

void Interpreter::decodeFontBytes() {
    if (fontBytes_.isEmpty())
        return;
    int number = fontCodePage();
    if (number == kSymbolCodePage) // a symbol font's name is in the document's code page
        number = ansiCodePage_;
    const CodePage& cp = codePages_.get(number);
    if (cp.isUtf8())
        fontName_ += QString::fromUtf8(fontBytes_);
    else if (cp.isDoubleByte())
        cp.appendDecoded(fontName_, fontBytes_.constData(), fontBytes_.size());
    else
        for (char ch : std::as_const(fontBytes_))
            fontName_ += QChar(cp.single(static_cast<unsigned char>(ch)));
    fontBytes_.clear();
}

void Interpreter::commitFont() {
    if (!inFont_ || fontNameDone_)
        return;
    fontNameDone_ = true;
    decodeFontBytes();
    const int charset = fontCharset_ < 0 ? 0 : fontCharset_;
    const int cp = fontCodePage();
    auto it = fontIndex_.constFind(fontNumber_);
    QString name;
    name.reserve(fontName_.size());
    for (QChar c : std::as_const(fontName_)) // no control characters, no separator
        if (c.unicode() >= 0x20)
            name += c == QLatin1Char(';') ? QLatin1Char(' ') : c;
    name.truncate(kMaxFontName);
    Font font{name.trimmed(), charset, cp};
    if (it != fontIndex_.constEnd()) {
        fonts_[size_t(*it)] = std::move(font);
    } else if (fonts_.size() < size_t(kMaxFonts)) {
        fontIndex_.insert(fontNumber_, int(fonts_.size()));
        fonts_.push_back(std::move(font));
    }
    ++fontGeneration_;
    formatValid_ = false;
}

void Interpreter::addColor() {
    if (colors_.size() < size_t(kMaxColors)) {
        if (colorSet_)
            colors_.push_back(std::uint32_t(red_ << 16 | green_ << 8 | blue_));
        else
            colors_.push_back(std::nullopt);
    }
    red_ = green_ = blue_ = 0;
    colorSet_ = false;
    formatValid_ = false;
}

void Interpreter::finishPn() {
    if (pnReadKind_ == PnKind::None)
        pnReadKind_ = PnKind::Decimal;
    const bool continues = prevParaNumbered_ && pnReadKind_ == pnKind_ &&
                           pnReadBefore_ == pnBefore_ && pnReadAfter_ == pnAfter_;
    const bool sameList = prevPnList_ > 0 && prevPnList_ == pnList_ && pnReadKind_ == pnKind_ &&
                          pnReadLevel_ == pnLevel_ && pnReadBefore_ == pnBefore_ &&
                          pnReadAfter_ == pnAfter_;
    if (!sameList && pnReadKind_ != PnKind::Cont) {
        pnNewList_ = true; // made when a paragraph without \ls ends with it
        ListLevel& level = pnDef_;
        level = ListLevel{};
        level.start = pnReadStart_;
        switch (pnReadKind_) {
        case PnKind::Bullet:
            level.style = ListBullet;
            break;
        case PnKind::UpperLetter:
            level.style = ListUpperLetter;
            break;
        case PnKind::LowerLetter:
            level.style = ListLowerLetter;
            break;
        case PnKind::UpperRoman:
            level.style = ListUpperRoman;
            break;
        case PnKind::LowerRoman:
            level.style = ListLowerRoman;
            break;
        default:
            level.style = ListDecimal;
            break;
        }
        if (level.style == ListBullet) {
            if (const QString mark = markText(pnReadBefore_); !mark.isEmpty())
                level.bullet = mark;
        } else {
            level.prefix = markText(pnReadBefore_);
            level.suffix = markText(pnReadAfter_);
        }
    }
    pnLevel_ = pnReadLevel_;
    pnKind_ = pnReadKind_;
    pnBefore_ = pnReadBefore_;
    pnAfter_ = pnReadAfter_;
    if (!continues && !paraNumbered_)
        pnNumber_ = pnReadStart_;
}

void Interpreter::addTabStop(int position) {
    const TabStop tab{std::clamp(position, 0, kMaxIndent), tabKind_};
    tabKind_ = TabLeft;
    auto it = std::lower_bound(tabs_.begin(), tabs_.end(), tab.position,
                               [](const TabStop& t, int pos) { return t.position < pos; });
    if (it != tabs_.end() && it->position == tab.position)
        *it = tab;
    else if (tabs_.size() < size_t(kMaxTabStops))
        tabs_.insert(it, tab);
}

void Interpreter::endParagraph(const RawPara& para, bool cellEnd) {
    dropLead();
    if (pendingCellPar_) {
        pendingCellPar_ = false;
        endParagraph(pendingCellPara_);
    }
    if (!listTextBuf_.isEmpty() && !paraInList())
        emitListText();
    if (!paraHasText_) // numbering that comes after the text numbers the next paragraph
        beforeParagraphText();
    flushText();
    pendingTabs_ = 0;
    if (wantsFormat_) {
        Paragraph& f = paraOut_;
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
        f.tabs = tabs_;
        // A paragraph whose number text was dropped is the item it was then.
        const ListItem item = paraItem_.list > 0 ? paraItem_ : listItem(para);
        f.list = item.list;
        f.listLevel = item.list > 0 ? item.level : 0;
        prevPnList_ = item.fromPn ? item.list : 0;
        // A paragraph after an ended cell is of the row until \row ends it, as in find's text.
        if (para.intbl || cellEnd || rowCells_ > 0) {
            f.row = rowsRead_ + 1;
            f.cell = rowCells_;
            rowCellsUsed_ = std::max(rowCellsUsed_, rowCells_ + 1);
        } else {
            if (rowCellsUsed_ > 0)
                closeRow();
            f.row = f.cell = 0;
        }
        if (!cellEnd)
            lineText_ = false;
    }
    paraItem_ = ListItem{};
    listTextBuf_.clear();
    b_.paragraphEnd(paraOut_);
    ++paragraphs_;
    listsBefore_ = lists_.size();
    prevParaNumbered_ = paraNumbered_ && pnKind_ != PnKind::None;
    paraHasText_ = paraHadListText_ = paraNumbered_ = false;
}

// \cell: the paragraph ends its cell; a \par right before it ended nothing.
void Interpreter::endCell() {
    const RawPara para = pendingCellPar_ ? pendingCellPara_ : st().para;
    const bool text = paraHasText_;
    pendingCellPar_ = false;
    endParagraph(para, true);
    ++rowCells_;
    lineText_ = lineText_ || text;
}

void Interpreter::closeRow() {
    lineText_ = false;
    b_.rowEnd(rowDef_.row(rowCellsUsed_));
    ++rowsRead_;
    rowCells_ = rowCellsUsed_ = 0;
}

// The model list of a paragraph's \ls, made on first use; 0 when the document has no such list.
int Interpreter::modelListForLs(int ls) {
    if (const auto it = lsModel_.constFind(ls); it != lsModel_.constEnd())
        return *it;
    const int id = overrides_.value(ls, INT32_MIN);
    int model = 0;
    for (const WordList& w : wordLists_)
        if (w.id == id && lists_.size() < size_t(kMaxLists)) {
            lists_.push_back(w.list);
            model = int(lists_.size());
            break;
        }
    if (lsModel_.size() < kMaxLists)
        lsModel_.insert(ls, model);
    return model;
}

// Not a list item after all: the number text is text of the paragraph.
void Interpreter::emitListText() {
    const QString label = std::move(listTextBuf_);
    listTextBuf_.clear();
    ensureFormat();
    appendText([&label](qsizetype i) { return char16_t(label.at(i).unicode()); }, label.size());
}

// The list item a paragraph with these properties is, making the \pn list on first use.
Interpreter::ListItem Interpreter::listItem(const RawPara& para) {
    if (para.ls > 0)
        return ListItem{modelListForLs(para.ls), para.level, false};
    if (pnKind_ == PnKind::None || pnKind_ == PnKind::Cont)
        return ListItem{};
    if ((pnNewList_ || pnList_ == 0) && lists_.size() < size_t(kMaxLists)) {
        lists_.emplace_back();
        lists_.back().levels[pnLevel_] = pnDef_;
        pnList_ = int(lists_.size());
        pnNewList_ = false;
    }
    return ListItem{pnList_, pnLevel_, true};
}

// Whether the paragraph is a list item now; if so, it stays one whatever follows.
bool Interpreter::paraInList() {
    if (paraItem_.list == 0)
        paraItem_ = listItem(st().para);
    return paraItem_.list > 0;
}

// A \listlevel group has ended: its number format and text into the list being read.
void Interpreter::commitLevel() {
    levelDepth_ = 0;
    ListLevel& level = curLevel_;
    switch (levelNfc_) {
    case 1:
        level.style = ListUpperRoman;
        break;
    case 2:
        level.style = ListLowerRoman;
        break;
    case 3:
        level.style = ListUpperLetter;
        break;
    case 4:
        level.style = ListLowerLetter;
        break;
    case 23:
    case 255:
        level.style = ListBullet;
        break;
    default:
        level.style = ListDecimal;
        break;
    }
    // The text: its length in the first unit, the level numbers as units 0 to 8.
    QString text;
    if (!levelText_.isEmpty())
        text = levelText_.mid(1, levelText_.at(0).unicode());
    if (level.style == ListBullet) {
        QString bullet;
        for (QChar c : std::as_const(text)) {
            const char16_t u = c.unicode();
            if (u >= 0x20)
                bullet += u == 0xF0B7 ? QChar(0x2022) : u == 0xF0A7 ? QChar(0x25AA) : c;
        }
        level.bullet = levelNfc_ == 255   ? QString()
                       : bullet.isEmpty() ? QString(QChar(0x2022))
                                          : markText(bullet);
    } else {
        qsizetype first = -1, last = -1;
        for (qsizetype i = 0; i < text.size(); ++i)
            if (text.at(i).unicode() < kListLevels) {
                if (first < 0)
                    first = i;
                last = i;
            }
        if (first >= 0) {
            level.prefix = markText(text.left(first));
            level.suffix = markText(text.mid(last + 1));
        }
    }
    if (levelIndex_ < kListLevels)
        curList_.list.levels[levelIndex_++] = level;
}

void Interpreter::commitList() {
    listDepth_ = 0;
    if (levelDepth_ > 0)
        commitLevel();
    if (wordLists_.size() < size_t(kMaxLists))
        wordLists_.push_back(curList_);
}

void Interpreter::groupEnd(const State& closed) {
    if (closed.dest == Dest::FontTable && inFont_ && stack_.size() + 1 <= size_t(fontDepth_)) {
        commitFont(); // an entry without ';'
        inFont_ = false;
    }
    if (closed.dest == Dest::Pn && st().dest != Dest::Pn)
        finishPn();
    if (levelDepth_ > 0 && stack_.size() + 1 <= size_t(levelDepth_))
        commitLevel();
    if (listDepth_ > 0 && stack_.size() + 1 <= size_t(listDepth_))
        commitList();
    if (ovDepth_ > 0 && stack_.size() + 1 <= size_t(ovDepth_)) {
        if (ovLs_ > 0 && overrides_.size() < kMaxLists)
            overrides_.insert(ovLs_, ovId_);
        ovDepth_ = 0;
    }
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

void Interpreter::word(const Token& t) {
    const K k = keywords().find(t.ptr, t.len);
    State& s = st();
    const int param = t.param;
    const bool on = !t.hasParam || param != 0;

    if (ignorable_) {
        ignorable_ = false;
        if (!isDestination(k)) {
            s.dest = Dest::Skip;
            return;
        }
    }
    if (s.dest == Dest::Skip)
        return;
    if (isPictureDest(s.dest)) {
        pictureWord(s, k, param);
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
    // Document.
    case K::Ansi:
        ansiCodePage_ = 1252;
        return;
    case K::Mac:
        ansiCodePage_ = 10000;
        return;
    case K::Pc:
        ansiCodePage_ = 437;
        return;
    case K::Pca:
        ansiCodePage_ = 850;
        return;
    case K::AnsiCpg:
        if (t.hasParam && param > 0 && param < 100000)
            ansiCodePage_ = param;
        ++fontGeneration_;
        return;
    case K::Deff:
        deff_ = param;
        formatValid_ = false;
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
        skip_ = s.uc;
        return;
    }
    // Destinations.
    case K::SkipDest:
        s.dest = Dest::Skip;
        return;
    case K::FontTbl:
        s.dest = Dest::FontTable;
        return;
    case K::ColorTbl:
        s.dest = Dest::ColorTable;
        red_ = green_ = blue_ = 0;
        colorSet_ = false;
        return;
    case K::ListText:
        if (s.dest == Dest::Normal)
            s.dest = Dest::ListText;
        return;
    case K::Pn:
        if (s.dest == Dest::Normal) {
            s.dest = Dest::Pn;
            pnReadKind_ = PnKind::None;
            pnReadLevel_ = 0;
            pnReadStart_ = 1;
            pnReadBefore_.clear();
            pnReadAfter_.clear();
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
        if (s.dest == Dest::ListTable && levelDepth_ > 0) {
            s.dest = Dest::LevelText;
            levelText_.clear();
        } else {
            s.dest = Dest::Skip;
        }
        return;
    case K::Upr:
        s.uprOuter = s.dest;
        s.dest = Dest::Upr;
        return;
    case K::Ud:
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

    if (s.dest == Dest::FontTable) {
        switch (k) {
        case K::F:
            if (inFont_ && !fontNameDone_)
                commitFont();
            inFont_ = true;
            fontDepth_ = int(stack_.size());
            fontNumber_ = param;
            fontCharset_ = -1;
            fontCpg_ = -1;
            fontBytes_.clear();
            fontName_.clear();
            fontNameDone_ = false;
            return;
        case K::FCharset:
            if (inFont_)
                fontCharset_ = std::clamp(param, 0, 255);
            return;
        case K::Cpg:
            if (inFont_ && param > 0 && param < 100000)
                fontCpg_ = param;
            return;
        default:
            return;
        }
    }
    if (s.dest == Dest::ColorTable) {
        switch (k) {
        case K::Red:
            red_ = std::clamp(param, 0, 255);
            colorSet_ = true;
            return;
        case K::Green:
            green_ = std::clamp(param, 0, 255);
            colorSet_ = true;
            return;
        case K::Blue:
            blue_ = std::clamp(param, 0, 255);
            colorSet_ = true;
            return;
        default:
            return;
        }
    }
    if (s.dest == Dest::ListTable) {
        switch (k) {
        case K::ListDef:
            curList_ = WordList{};
            listDepth_ = int(stack_.size());
            levelIndex_ = 0;
            return;
        case K::ListLevelDef:
            curLevel_ = ListLevel{};
            levelNfc_ = 0;
            levelText_.clear();
            levelFont_ = false;
            levelDepth_ = int(stack_.size());
            return;
        case K::LevelNfc:
            levelNfc_ = param;
            return;
        case K::LevelStartAt:
            curLevel_.start = std::clamp(param, 0, 32767);
            return;
        case K::ListId:
            curList_.id = param;
            return;
        case K::F:
            s.fmt.font = param;
            levelFont_ = levelDepth_ > 0;
            return;
        default:
            return;
        }
    }
    if (s.dest == Dest::ListOverrides) {
        switch (k) {
        case K::ListOverride:
            ovId_ = ovLs_ = 0;
            ovDepth_ = int(stack_.size());
            return;
        case K::ListId:
            ovId_ = param;
            return;
        case K::Ls:
            ovLs_ = param;
            return;
        default:
            return;
        }
    }
    if (s.dest == Dest::Pn || s.dest == Dest::PnTxtA || s.dest == Dest::PnTxtB) {
        switch (k) {
        case K::PnLvl:
            pnReadLevel_ = std::clamp(param - 1, 0, kListLevels - 1);
            if (pnReadKind_ == PnKind::None)
                pnReadKind_ = PnKind::Decimal;
            return;
        case K::PnLvlBlt:
            pnReadKind_ = PnKind::Bullet;
            return;
        case K::PnLvlCont:
            pnReadKind_ = PnKind::Cont;
            return;
        case K::PnDec:
            pnReadKind_ = PnKind::Decimal;
            return;
        case K::PnUcLtr:
            pnReadKind_ = PnKind::UpperLetter;
            return;
        case K::PnLcLtr:
            pnReadKind_ = PnKind::LowerLetter;
            return;
        case K::PnUcRm:
            pnReadKind_ = PnKind::UpperRoman;
            return;
        case K::PnLcRm:
            pnReadKind_ = PnKind::LowerRoman;
            return;
        case K::PnStart:
            pnReadStart_ = std::clamp(param, 0, 32767); // as \levelstartat, which writes it
            return;
        case K::PnF:
            s.fmt.font = param;
            return;
        case K::F:
            s.fmt.font = param;
            return;
        default:
            return;
        }
    }

    // Normal text and list text.
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
        s.fmt.flags = on ? (s.fmt.flags | FBold) : (s.fmt.flags & ~FBold);
        return;
    case K::I:
        s.fmt.flags = on ? (s.fmt.flags | FItalic) : (s.fmt.flags & ~FItalic);
        return;
    case K::Ul:
        s.fmt.flags = on ? (s.fmt.flags | FUnderline) : (s.fmt.flags & ~FUnderline);
        return;
    case K::UlNone:
        s.fmt.flags &= ~FUnderline;
        return;
    case K::Strike:
        s.fmt.flags = on ? (s.fmt.flags | FStrike) : (s.fmt.flags & ~FStrike);
        return;
    case K::V:
        s.fmt.flags = on ? (s.fmt.flags | FHidden) : (s.fmt.flags & ~FHidden);
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
    case K::Intbl:
        s.para.intbl = true;
        return;
    case K::TableWord:
        if (wantsFormat_ && !s.nestProps)
            rowDef_.word(std::string_view(t.ptr, size_t(t.len)), t.hasParam, param, colors_);
        return;
    case K::Pard:
        if (pendingCellPar_) { // a paragraph starts: the \par before ended one
            pendingCellPar_ = false;
            endParagraph(pendingCellPara_);
        }
        rowDef_.endBorder();
        s.para = RawPara{};
        tabs_.clear();
        tabKind_ = TabLeft;
        pnKind_ = PnKind::None;
        return;
    case K::Ls:
        s.para.ls = std::max(param, 0);
        return;
    case K::Ilvl:
        s.para.level = std::uint8_t(std::clamp(param, 0, kListLevels - 1));
        return;
    case K::Ql:
        s.para.align = 0;
        return;
    case K::Qr:
        s.para.align = 1;
        return;
    case K::Qc:
        s.para.align = 2;
        return;
    case K::Qj:
        s.para.align = 3;
        return;
    case K::Li:
        s.para.left = std::clamp(param, -kMaxIndent, kMaxIndent);
        return;
    case K::Ri:
        s.para.right = std::clamp(param, -kMaxIndent, kMaxIndent);
        return;
    case K::Fi:
        s.para.first = std::clamp(param, -kMaxIndent, kMaxIndent);
        return;
    case K::Sb:
        s.para.before = std::clamp(param, 0, kMaxIndent);
        return;
    case K::Sa:
        s.para.after = std::clamp(param, 0, kMaxIndent);
        return;
    case K::Sl:
        s.para.line = std::clamp(param, -kMaxIndent, kMaxIndent);
        return;
    case K::SlMult:
        s.para.lineMultiple = on;
        return;
    case K::Keep:
        s.para.keep = on;
        return;
    case K::KeepN:
        s.para.keepNext = on;
        return;
    case K::TqR:
        tabKind_ = TabRight;
        return;
    case K::TqC:
        tabKind_ = TabCenter;
        return;
    case K::TqDec:
        tabKind_ = TabDecimal;
        return;
    case K::Tx:
        addTabStop(param);
        return;
    case K::Par:
        if (s.para.intbl) {
            // Maybe the last paragraph of a cell, whose end \cell is: decided by what follows.
            if (pendingCellPar_)
                endParagraph(pendingCellPara_);
            pendingCellPar_ = true;
            pendingCellPara_ = s.para;
            return;
        }
        endParagraph();
        return;
    case K::Sect:
        if (paraHasText_ || !listTextBuf_.isEmpty())
            endParagraph();
        else if (lineText_ && rowCellsUsed_ > 0) // ends the row, as it ends its line in find's text
            closeRow();
        return;
    case K::Row:
        if (wantsFormat_) {
            // The row's last cell ends; one left open after paragraphs that \par ended gets
            // an empty last paragraph, as find's text gets an empty line.
            if (pendingCellPar_ || paraHasText_ || textLen_ > 0 || !listTextBuf_.isEmpty() ||
                rowCellsUsed_ > rowCells_)
                endCell();
            else if (rowCellsUsed_ == 0) { // a row without cells: an empty line, as in find's text
                RawPara para = s.para;
                para.intbl = false;
                endParagraph(para);
            }
            pendingTabs_ = 0;
            if (rowCellsUsed_ > 0)
                closeRow();
            return;
        }
        pendingCellPar_ = false;
        endParagraph();
        return;
    case K::Cell:
        // The cells of a row past the most kept go on in its last one, a tab apart.
        if (wantsFormat_ && s.dest == Dest::Normal && rowCells_ < kMaxTableCells - 1) {
            endCell();
            return;
        }
        [[fallthrough]];
    case K::NestCell: // a nested table's cells: their text a tab apart in the outer cell
        dropLead();
        cellEnded_ = true;
        pendingCellPar_ = false;
        if (s.dest == Dest::Normal)
            ++pendingTabs_;
        if (pendingTabs_ > 1000) // an absurd row: keep the text, drop the gaps
            pendingTabs_ = 1000;
        return;
    case K::Line:
        emitChar(0x2028);
        return;
    case K::Tab:
        emitChar('\t');
        return;
    case K::EmDash:
        emitChar(0x2014);
        return;
    case K::EnDash:
        emitChar(0x2013);
        return;
    case K::EmSpace:
        emitChar(0x2003);
        return;
    case K::EnSpace:
        emitChar(0x2002);
        return;
    case K::QmSpace:
        emitChar(0x2005);
        return;
    case K::Bullet:
        emitChar(0x2022);
        return;
    case K::LQuote:
        emitChar(0x2018);
        return;
    case K::RQuote:
        emitChar(0x2019);
        return;
    case K::LDblQuote:
        emitChar(0x201C);
        return;
    case K::RDblQuote:
        emitChar(0x201D);
        return;
    case K::Zwj:
        emitChar(0x200D);
        return;
    case K::Zwnj:
        emitChar(0x200C);
        return;
    case K::LtrMark:
        emitChar(0x200E);
        return;
    case K::RtlMark:
        emitChar(0x200F);
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
    if (s.dest != Dest::Normal || overflow_ > 0 || !groupStart_ || k == K::Result) {
        s.dest = Dest::Skip;
        return;
    }
    switch (k) {
    case K::Pict:
        startPict(s);
        return;
    case K::ShpPict:
        s.dest = Dest::ShpPict;
        shpDepth_ = int(stack_.size());
        shpOpen_ = s.open;
        shpPicture_.reset();
        return;
    case K::Object:
        s.dest = Dest::Object;
        objDepth_ = int(stack_.size());
        objOpen_ = s.open;
        objPicture_.reset();
        std::fill(std::begin(objSize_), std::end(objSize_), 0);
        return;
    default: // \nonshppict: shown by readers that do not know \shppict; not here
        s.dest = Dest::Skip;
        nonShpDepth_ = int(stack_.size());
        nonShpOpen_ = s.open;
        return;
    }
}

void Interpreter::startPict(State& s) {
    s.dest = Dest::Picture;
    pictDepth_ = int(stack_.size());
    pictOpen_ = s.open;
    pict_.begin(wantsFormat_);
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
            pict_.setBlip(Blip(int(Blip::Png) + int(k) - int(K::PngBlip)));
        else if (k >= K::PicW && k <= K::PicScaleY)
            pict_.setSize(PictSize(int(k) - int(K::PicW)), param);
        return;
    case Dest::Object:
        switch (k) {
        case K::ObjW:
        case K::ObjH:
        case K::ObjScaleX:
        case K::ObjScaleY:
            objSize_[int(k) - int(K::ObjW)] = std::max(param, 0);
            return;
        case K::Result:
            s.dest = Dest::Result;
            return;
        default:
            return;
        }
    case Dest::Result:
    case Dest::ShpPict:
        if (k == K::Pict && groupStart_ && pictDepth_ == 0) {
            startPict(s);
        } else if (k == K::ShpPict && groupStart_ && s.dest == Dest::Result && shpDepth_ == 0) {
            s.dest = Dest::ShpPict;
            shpDepth_ = int(stack_.size());
            shpOpen_ = s.open;
            shpPicture_.reset();
        }
        return;
    default:
        return;
    }
}

// A picture read: into the \shppict or \object around it, else into the text.
void Interpreter::deliverPicture(Picture&& picture, const char* open, const char* end) {
    if (shpDepth_ > 0) {
        if (!shpPicture_)
            shpPicture_ = std::move(picture);
        return;
    }
    if (objDepth_ > 0) {
        if (!objPicture_)
            objPicture_ = std::move(picture);
        return;
    }
    if (picture.format == PictureNone && wantsFormat_)
        picture.rtf = QByteArray(open, end - open);
    emitPicture(std::move(picture));
}

void Interpreter::emitPicture(Picture&& picture) {
    const State& state = st();
    if (state.dest != Dest::Normal || (state.fmt.flags & FHidden))
        return;
    // As text would go in: ended cells and numbers first.
    if (pendingCellPar_) {
        pendingCellPar_ = false;
        endParagraph(pendingCellPara_);
    }
    beforeParagraphText();
    ensureFormat();
    if (pendingTabs_ > 0) {
        std::fill_n(textRoom(pendingTabs_), pendingTabs_, char16_t('\t'));
        textLen_ += pendingTabs_;
        pendingTabs_ = 0;
    }
    flushText();
    paraHasText_ = true;
    if (wantsFormat_ && pictures_.size() < size_t(kMaxPictures)) {
        pictures_.push_back(std::move(picture));
        b_.picture(int(pictures_.size()));
    }
}

// After a group has closed: the picture, \shppict or \object it ended.
void Interpreter::pictureGroupEnd() {
    const size_t depth = stack_.size() + 1; // of the group that closed
    const char* end = tok_.pos();
    if (pictDepth_ > 0 && depth <= size_t(pictDepth_)) {
        pictDepth_ = 0;
        deliverPicture(pict_.take(), pictOpen_, end);
    }
    if (shpDepth_ > 0 && depth <= size_t(shpDepth_)) {
        shpDepth_ = 0;
        if (shpPicture_) {
            Picture picture = std::move(*shpPicture_);
            shpPicture_.reset();
            const bool kept = picture.format == PictureNone && objDepth_ == 0;
            const size_t before = pictures_.size();
            deliverPicture(std::move(picture), shpOpen_, end);
            if (kept && pictures_.size() > before) {
                keptShp_ = int(pictures_.size());
                keptShpEnd_ = end;
            }
        }
    }
    if (objDepth_ > 0 && depth <= size_t(objDepth_)) {
        objDepth_ = 0;
        Picture picture = objPicture_ ? std::move(*objPicture_) : Picture{};
        objPicture_.reset();
        if (objSize_[0] > 0 && objSize_[1] > 0) {
            picture.width = scaledTwips(objSize_[0], objSize_[2]);
            picture.height = scaledTwips(objSize_[1], objSize_[3]);
        }
        if (wantsFormat_)
            picture.rtf = QByteArray(objOpen_, end - objOpen_);
        emitPicture(std::move(picture));
    }
    if (nonShpDepth_ > 0 && depth <= size_t(nonShpDepth_)) {
        nonShpDepth_ = 0;
        // Right after the kept \shppict, line breaks between: kept with it.
        const char* p = keptShpEnd_;
        while (p && p < nonShpOpen_ && (*p == '\r' || *p == '\n'))
            ++p;
        if (keptShp_ > 0 && p == nonShpOpen_ && size_t(keptShp_) == pictures_.size())
            pictures_.back().rtf.append(keptShpEnd_, end - keptShpEnd_);
        keptShp_ = 0;
    }
}

void Interpreter::run() {
    Token t;
    // Up to the first brace: isRtf has checked that "{\rtf" follows a BOM and blanks.
    stack_.push_back(State{});
    bool started = false;
    for (;;) {
        tok_.next(t);
        if (t.type == Tok::End)
            break;
        if (!started) {
            if (t.type == Tok::Open)
                started = true; // the top-level group is stack_[0]
            continue;
        }
        if (t.type == Tok::Open) {
            skip_ = 0;
            ignorable_ = false;
            if (overflow_ > 0 || stack_.size() >= size_t(kMaxGroupDepth)) {
                if (overflow_++ == 0)
                    overflowState_ = stack_.back();
                continue;
            }
            stack_.push_back(stack_.back());
            stack_.back().open = tok_.pos() - 1;
            groupStart_ = true;
            continue;
        }
        if (t.type == Tok::Close) {
            skip_ = 0;
            ignorable_ = false;
            if (overflow_ > 0) {
                if (overflow_ == overflowDestLevel_) { // the destination's group ends
                    st().dest = overflowDest_;
                    overflowDestLevel_ = 0;
                }
                if (--overflow_ == 0) { // back at the cap: what the deep groups set ends
                    dropLead();
                    stack_.back() = overflowState_;
                }
                continue;
            }
            if (stack_.size() == 1)
                break; // the top-level closing brace: what follows is ignored
            const State closed = stack_.back();
            stack_.pop_back();
            groupEnd(closed);
            groupStart_ = false;
            continue;
        }
        if (skip_ > 0) { // the fallback of \u
            if (t.type == Tok::Text) {
                const qsizetype n = std::min<qsizetype>(t.len, skip_);
                skip_ -= int(n);
                t.ptr += n;
                t.len -= n;
                if (t.len == 0)
                    continue;
            } else {
                --skip_;
                continue;
            }
        }
        switch (t.type) {
        case Tok::Text:
            ignorable_ = false;
            if (st().dest == Dest::Picture) {
                pict_.hexText(t.ptr, t.len);
                break;
            }
            emitBytes(reinterpret_cast<const unsigned char*>(t.ptr), t.len);
            break;
        case Tok::Hex: {
            ignorable_ = false;
            const unsigned char b = static_cast<unsigned char>(t.param);
            if (st().dest == Dest::FontTable) {
                if (inFont_ && !fontNameDone_ && fontBytes_.size() < 2 * kMaxFontName)
                    fontBytes_.append(char(b)); // a name byte, decoded at the end of the name
            } else if (st().dest != Dest::ColorTable) {
                emitBytes(&b, 1);
            }
            break;
        }
        case Tok::Word: {
            // One call: the compiler keeps the word's handling inline in this loop.
            const bool deep = overflow_ > 0 && overflowDestLevel_ == 0;
            const Dest before = st().dest;
            word(t);
            if (deep && st().dest != before) {
                overflowDestLevel_ = overflow_;
                overflowDest_ = before;
            }
            break;
        }
        case Tok::Symbol:
            if (t.symbol == '*') {
                ignorable_ = true;
                break;
            }
            ignorable_ = false;
            symbol(t.symbol);
            break;
        case Tok::Bin:
            ignorable_ = false;
            if (st().dest == Dest::Picture)
                pict_.binary(t.ptr, t.len);
            break; // binary data is no text
        default:
            break;
        }
        if (t.type != Tok::Symbol || t.symbol != '*')
            groupStart_ = false;
    }
    dropLead();
    if (pendingCellPar_) {
        pendingCellPar_ = false;
        endParagraph(pendingCellPara_);
    }
    // A last paragraph that was numbered is a list item, as in find's text, though no text
    // came after its number; cells ended at the end, without their row's end, make a line as
    // they make a paragraph.
    const bool content = paraHasText_ || textLen_ > 0 || !listTextBuf_.isEmpty() || paraNumbered_;
    if (content || pendingTabs_ > 0 || paragraphs_ == 0) {
        if (!content && (pendingTabs_ > 0 || cellEnded_)) // ended cells only: no number
            paraNumbered_ = true;
        endParagraph();
    } else {
        flushText();
        // Lists made for a paragraph that never came to be have no items.
        lists_.erase(lists_.begin() + std::min(lists_.size(), listsBefore_), lists_.end());
    }
    if (rowCellsUsed_ > 0)
        closeRow();
    if (wantsFormat_)
        b_.setLists(std::move(lists_));
    if (wantsFormat_ && !pictures_.empty())
        b_.setPictures(std::move(pictures_));
}

} // namespace

QString listNumberText(int style, int number) {
    switch (style) {
    case ListLowerLetter:
        return letters(number, false);
    case ListUpperLetter:
        return letters(number, true);
    case ListLowerRoman:
        return roman(number, false);
    case ListUpperRoman:
        return roman(number, true);
    default:
        return QString::number(number);
    }
}

void parseRtf(QByteArrayView bytes, Builder& builder) {
    Interpreter interpreter(bytes, builder);
    interpreter.run();
}

} // namespace qly::rtf
