#pragma once
// The control words the RTF reader knows, found by name in a hash table built once.

#include "rtf/rtfreader.h"

#include <QtGlobal>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>

namespace qly::rtf {

// In groups, each a range the reader dispatches on (its first and last member are named there).
enum class Keyword : std::uint8_t {
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
    FldInst,
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
    // words of the font, colour and list tables and of \pn, which mean nothing elsewhere
    FCharset,
    Cpg,
    Red,
    Green,
    Blue,
    PnLvlBody, // legacy list numbering (\*\pn)
    PnLvlCont,
    PnLvl,
    PnStyle, // pndec, pnucrm, ...: one of the list styles (rtflists.h)
    PnStart,
    PnF,
    ListDef, // Word lists
    ListLevelDef,
    LevelNfc,
    LevelStartAt,
    ListId,
    ListOverride,
    ListOverrideCount,
    // character formatting (\f is a word of the font table too)
    F,
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
    // special characters
    Line,
    Tab,
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
    // paragraph properties (\ls is a word of the list override table too)
    Pard,
    Intbl,
    TableWord, // a word of a row's definition (rtftables.h)
    Ls,
    Ilvl,
    Ql, // in the order of Alignment
    Qr,
    Qc,
    Qj,
    Li,
    Ri,
    Fi,
    Sb,
    Sa,
    Sl,
    SlMult,
    Tx,
    TqR, // in the order of TabKind
    TqC,
    TqDec,
    Keep,
    KeepN,
    // the ends of paragraphs, cells and rows
    Par,
    Sect,
    Cell,
    Row,
    NestCell,
    // pictures and objects
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

// Whether the word starts a destination: a group read apart from the page's text.
inline bool isDestination(Keyword k) {
    return k >= Keyword::SkipDest && k <= Keyword::Result;
}

// The character a word stands for (\line, \tab, \emdash, ...); 0 for other words.
inline char16_t characterOfWord(Keyword k) {
    // In the order of the keywords from EmDash to RtlMark.
    constexpr char16_t kCharacters[] = {0x2014, 0x2013, 0x2003, 0x2002, 0x2005, 0x2022, 0x2018,
                                        0x2019, 0x201C, 0x201D, 0x200D, 0x200C, 0x200E, 0x200F};
    static_assert(std::size(kCharacters) == size_t(Keyword::RtlMark) - size_t(Keyword::EmDash) + 1);
    if (k >= Keyword::EmDash && k <= Keyword::RtlMark)
        return kCharacters[size_t(k) - size_t(Keyword::EmDash)];
    return k == Keyword::Line ? char16_t(0x2028) : k == Keyword::Tab ? char16_t('\t') : char16_t(0);
}

// The character a control symbol stands for (\~, \-, \_, a backslash before a tab); 0 for
// the others.
inline char16_t characterOfSymbol(char c) {
    switch (c) {
    case '~':
        return 0x00A0;
    case '-':
        return 0x00AD;
    case '_':
        return 0x2011;
    case '\t':
        return '\t';
    default:
        return 0;
    }
}

constexpr std::uint32_t hashName(const char* s, qsizetype n) {
    std::uint32_t h = 2166136261u;
    for (qsizetype i = 0; i < n; ++i)
        h = (h ^ static_cast<unsigned char>(s[i])) * 16777619u;
    return h;
}

// Open addressing over the names; inline, as it is asked once for every control word.
class KeywordTable {
public:
    struct Entry {
        std::string_view name;
        Keyword keyword = Keyword::Unknown;
    };

    KeywordTable();
    Keyword find(const char* s, qsizetype n) const {
        if (n > kMaxControlWord)
            return Keyword::Unknown;
        std::uint32_t i = hashName(s, n) & kMask;
        while (m_slots[i].keyword != Keyword::Unknown) {
            if (qsizetype(m_slots[i].name.size()) == n &&
                std::memcmp(m_slots[i].name.data(), s, size_t(n)) == 0)
                return m_slots[i].keyword;
            i = (i + 1) & kMask;
        }
        return Keyword::Unknown;
    }

private:
    void add(const Entry& e);

    static constexpr std::uint32_t kMask = 1023;
    Entry m_slots[kMask + 1] = {};
};

// The table, built on first use.
const KeywordTable& keywordTable();

} // namespace qly::rtf
