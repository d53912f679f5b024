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

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace qly::rtf {
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
        : tok_(bytes.data(), bytes.data() + bytes.size()), b_(builder),
          wantsFormat_(builder.wantsFormat()), keywords_(keywordTable()) {
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
               pendingTabs_ == 0 && (paraNumbered_ || !pn_.numbered()) && listTextBuf_.isEmpty() &&
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
    void keepListText(const char16_t* s, qsizetype n);
    void emitChar(char16_t c) { emitUnits(&c, 1); }
    void emitDecoded(const DecodedUnits& d) {
        if (d.count > 0)
            emitUnits(d.units, d.count);
    }
    void emitBytes(const unsigned char* s, qsizetype n);
    bool tableBytes(Dest dest, const unsigned char* s, qsizetype n);
    void dropLead() { decoder_.reset(); }
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
    bool paragraphWord(State& s, K k, const Token& t);
    bool breakWord(State& s, K k);
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
    const KeywordTable& keywords_;
    std::vector<State> stack_;
    int overflow_ = 0;       // groups past kMaxGroupDepth still open
    int skip_ = 0;           // characters still to skip after \u
    bool ignorable_ = false; // the last token was \*

    // Document properties.
    int ansiCodePage_ = 1252;
    int deff_ = 0;

    // Fonts, colours and the code page of the current font.
    CodePages codePages_;
    FontTable fonts_{codePages_};
    ColorTable colors_;
    int cpCacheFont_ = INT32_MIN;
    int cpCacheGeneration_ = -1;
    const CodePage* cpCache_ = nullptr;
    ByteDecoder decoder_;

    // Lists of the document in order of first use, for the builder.
    std::vector<List> lists_;
    PnNumbering pn_;
    WordListTable wordLists_;
    QString listTextBuf_; // \listtext of the paragraph, while it may still become a list item
    ListItem paraItem_;   // the paragraph's list item, once its number text was dropped
    ListItem listItem(const RawPara& para);
    bool paraInList();
    void emitListText();

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
    size_t listsBefore_ = 0;          // lists made before the paragraph being read
    std::vector<TabStop> tabs_;       // of the paragraph being read
    TabKind tabKind_ = TabKind::Left; // of the next \tx
    Paragraph paraOut_;               // handed to the builder at each paragraph end
    // Groups past kMaxGroupDepth: their text is kept at the cap's depth. A destination that
    // starts there hides text until its group closes.
    State overflowState_;
    int overflowDestLevel_ = 0;
    Dest overflowDest_ = Dest::Normal;
};

const CodePage& Interpreter::currentCodePage() {
    const int number = st().fmt.font < 0 ? deff_ : st().fmt.font;
    if (number != cpCacheFont_ || fonts_.generation() != cpCacheGeneration_ || !cpCache_) {
        const Font* f = fonts_.find(number);
        cpCache_ = &codePages_.get(f ? f->codePage : ansiCodePage_);
        cpCacheFont_ = number;
        cpCacheGeneration_ = fonts_.generation();
    }
    return *cpCache_;
}

CharFormat Interpreter::resolve(const RawFormat& raw) {
    CharFormat f;
    if (const Font* font = fonts_.find(raw.font < 0 ? deff_ : raw.font)) {
        f.font = font->name;
        f.charset = font->charset;
    }
    f.size = raw.halfPoints / 2.0;
    f.bold = raw.flags & FBold;
    f.italic = raw.flags & FItalic;
    f.underline = raw.flags & FUnderline;
    f.strike = raw.flags & FStrike;
    f.color = colors_.at(raw.fg);
    f.background = colors_.at(raw.bg);
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
    b_.setFormat(resolve(lastFormat_));
}

// Called before text goes into the paragraph: list numbers from \pn and tabs of ended cells.
void Interpreter::beforeParagraphText() {
    if (!listTextBuf_.isEmpty() && st().dest != Dest::ListText && !paraInList())
        emitListText();
    if (paraNumbered_ || !pn_.numbered() || paraHadListText_ || st().dest == Dest::ListText)
        return;
    paraNumbered_ = true;
    if (!pn_.showsNumber())
        return;
    if (wantsFormat_ && paraInList()) { // the list shows the number
        pn_.count();
        return;
    }
    const QString label = pn_.label();
    emitUnits(reinterpret_cast<const char16_t*>(label.constData()), label.size());
}

void Interpreter::flushPendingTabs() {
    if (pendingTabs_ > 0) {
        std::fill_n(textRoom(pendingTabs_), pendingTabs_, char16_t('\t'));
        textLen_ += pendingTabs_;
        pendingTabs_ = 0;
    }
}

void Interpreter::endPendingCellParagraph() {
    if (pendingCellPar_) {
        pendingCellPar_ = false;
        endParagraph(pendingCellPara_);
    }
}

void Interpreter::emitUnitsSlow(const char16_t* s, qsizetype n) {
    State& state = st();
    switch (state.dest) {
    case Dest::Normal:
    case Dest::ListText:
        break;
    case Dest::FontTable:
        fonts_.nameUnits(s, n, ansiCodePage_);
        return;
    case Dest::PnTxtB:
        pn_.textBefore(s, n);
        return;
    case Dest::PnTxtA:
        pn_.textAfter(s, n);
        return;
    case Dest::LevelText:
        wordLists_.levelUnits(s, n);
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
        paraHadListText_ = true;
        if (wantsFormat_) {
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
    if (pendingTabs_ > 0) { // the gaps of ended cells go before it, as in find's text
        listTextBuf_ += QString(pendingTabs_, QLatin1Char('\t'));
        pendingTabs_ = 0;
    }
    for (qsizetype i = 0; i < n; ++i) // what the text buffer would keep; bounded by the input
        if (s[i] >= 0x20 || s[i] == '\t')
            listTextBuf_ += QChar(s[i]);
}

// Bytes of the destinations that hold no page text; false for those that do.
bool Interpreter::tableBytes(Dest dest, const unsigned char* s, qsizetype n) {
    switch (dest) {
    case Dest::LevelText: // placeholders (bytes below 0x20) kept as they are
        // In the level's own font when it names one, else in the document's code page.
        wordLists_.levelBytes(
            s, n, wordLists_.levelHasFont() ? currentCodePage() : codePages_.get(ansiCodePage_));
        return true;
    case Dest::ColorTable:
        if (colors_.separators(s, n))
            formatValid_ = false;
        return true;
    case Dest::FontTable:
        if (fonts_.nameBytes(s, n, ansiCodePage_))
            formatValid_ = false;
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
            emitDecoded(decoder_.doubleByte(cp, s[i]));
        return;
    }
    if (cp.isUtf8()) {
        for (qsizetype i = 0; i < n; ++i)
            emitDecoded(decoder_.utf8(cp, s[i]));
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
    const TabStop tab{std::clamp(position, 0, kMaxIndent), tabKind_};
    tabKind_ = TabKind::Left;
    auto it = std::lower_bound(tabs_.begin(), tabs_.end(), tab.position,
                               [](const TabStop& t, int pos) { return t.position < pos; });
    if (it != tabs_.end() && it->position == tab.position)
        *it = tab;
    else if (tabs_.size() < size_t(kMaxTabStops))
        tabs_.insert(it, tab);
}

// The paragraph's format for the builder, and its place in a list and in a table.
void Interpreter::fillParagraph(const RawPara& para, bool cellEnd) {
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
    pn_.paragraphEnded(paraNumbered_, item);
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

void Interpreter::endParagraph(const RawPara& para, bool cellEnd) {
    dropLead();
    endPendingCellParagraph();
    if (!listTextBuf_.isEmpty() && !paraInList())
        emitListText();
    // Numbering that comes after the text numbers the next paragraph; the end of a cell is no
    // end of a line in find's text, and numbers nothing.
    if (!paraHasText_ && !cellEnd)
        beforeParagraphText();
    flushText();
    pendingTabs_ = 0;
    if (wantsFormat_)
        fillParagraph(para, cellEnd);
    else
        pn_.paragraphEnded(paraNumbered_, ListItem{});
    paraItem_ = ListItem{};
    listTextBuf_.clear();
    b_.paragraphEnd(paraOut_);
    ++paragraphs_;
    listsBefore_ = lists_.size();
    paraHasText_ = false;
    // The cells of a row are one line of find's text: a number shown in one is the row's.
    paraHadListText_ = cellEnd && paraHadListText_;
    paraNumbered_ = cellEnd && paraNumbered_;
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
    paraHadListText_ = paraNumbered_ = false;
    b_.rowEnd(rowDef_.row(rowCellsUsed_));
    ++rowsRead_;
    rowCells_ = rowCellsUsed_ = 0;
}

// Not a list item after all: the number text is text of the paragraph.
void Interpreter::emitListText() {
    const QString label = std::move(listTextBuf_);
    listTextBuf_.clear();
    ensureFormat();
    appendText([&label](qsizetype i) { return char16_t(label.at(i).unicode()); }, label.size());
}

// The list item a paragraph with these properties is, making its list on first use.
ListItem Interpreter::listItem(const RawPara& para) {
    if (para.ls > 0)
        return ListItem{wordLists_.modelList(para.ls, lists_), para.level, false};
    return pn_.item(lists_);
}

// Whether the paragraph is a list item now; if so, it stays one whatever follows.
bool Interpreter::paraInList() {
    if (paraItem_.list == 0)
        paraItem_ = listItem(st().para);
    return paraItem_.list > 0;
}

void Interpreter::groupEnd(const State& closed) {
    const size_t depth = stack_.size();
    if (closed.dest == Dest::FontTable && fonts_.groupEnd(depth, ansiCodePage_))
        formatValid_ = false;
    if (closed.dest == Dest::Pn && st().dest != Dest::Pn)
        pn_.finish(paraNumbered_);
    wordLists_.groupEnd(depth);
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
    const K k = keywords_.find(t.ptr, t.len);
    State& s = st();
    if (ignorable_) {
        ignorable_ = false;
        if (!isDestination(k)) {
            s.dest = Dest::Skip;
            return;
        }
    }
    if (k == K::Unknown || s.dest == Dest::Skip)
        return;
    if (isPictureDest(s.dest)) {
        pictureWord(s, k, t.param);
        return;
    }
    if (s.dest == Dest::Upr) {
        if (k == K::Ud)
            s.dest = s.uprOuter;
        return;
    }
    if (k <= K::U) {
        documentWord(s, k, t);
        return;
    }
    if (isDestination(k)) {
        destinationWord(s, k);
        return;
    }
    if (s.dest != Dest::Normal && tableWord(s, k, t))
        return;
    if (!paragraphWord(s, k, t) && !breakWord(s, k))
        characterWord(s, k, t);
}

void Interpreter::documentWord(State& s, K k, const Token& t) {
    const int param = t.param;
    switch (k) {
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
        fonts_.changed();
        return;
    case K::Deff:
        deff_ = param;
        formatValid_ = false;
        return;
    case K::Uc:
        s.uc = std::clamp(param, 0, 0xFFFF);
        return;
    case K::U: {
        const int v = (param < 0 ? param + 65536 : param) & 0xFFFF;
        dropLead();
        if (s.dest != Dest::ColorTable && v != 0)
            emitChar(char16_t(v));
        skip_ = s.uc;
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
        colors_.begin();
        return;
    case K::ListText:
        if (s.dest == Dest::Normal)
            s.dest = Dest::ListText;
        return;
    case K::Pn:
        if (s.dest == Dest::Normal) {
            s.dest = Dest::Pn;
            pn_.begin();
        }
        return;
    case K::PnTxtB:
    case K::PnTxtA:
        if (s.dest == Dest::Pn)
            s.dest = k == K::PnTxtB ? Dest::PnTxtB : Dest::PnTxtA;
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
        s.dest =
            s.dest == Dest::ListTable && wordLists_.beginLevelText() ? Dest::LevelText : Dest::Skip;
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
        if (k == K::F && fonts_.beginEntry(param, int(stack_.size()), ansiCodePage_))
            formatValid_ = false;
        else if (k == K::FCharset)
            fonts_.setCharset(param);
        else if (k == K::Cpg)
            fonts_.setCodePage(param);
        return true;
    case Dest::ColorTable:
        colors_.word(k, param);
        return true;
    case Dest::ListTable:
        if (k == K::F) {
            s.fmt.font = param;
            wordLists_.setLevelFont();
        } else {
            wordLists_.listWord(k, param, int(stack_.size()));
        }
        return true;
    case Dest::ListOverrides:
        wordLists_.overrideWord(k, param, int(stack_.size()));
        return true;
    case Dest::Pn:
    case Dest::PnTxtA:
    case Dest::PnTxtB:
        if (k == K::PnF || k == K::F)
            s.fmt.font = param;
        else
            pn_.word(k, std::string_view(t.ptr, size_t(t.len)), param);
        return true;
    default:
        return false;
    }
}

// Paragraph properties; false for other words.
bool Interpreter::paragraphWord(State& s, K k, const Token& t) {
    const int param = t.param;
    const bool on = !t.hasParam || param != 0;
    RawPara& para = s.para;
    switch (k) {
    case K::Intbl:
        para.intbl = true;
        return true;
    case K::TableWord:
        if (wantsFormat_ && !s.nestProps)
            rowDef_.word(std::string_view(t.ptr, size_t(t.len)), t.hasParam, param,
                         colors_.colors());
        return true;
    case K::Pard:
        endPendingCellParagraph(); // a paragraph starts: the \par before ended one
        rowDef_.endBorder();
        para = RawPara{};
        tabs_.clear();
        tabKind_ = TabKind::Left;
        pn_.clear();
        return true;
    case K::Ls:
        para.ls = std::max(param, 0);
        return true;
    case K::Ilvl:
        para.level = std::uint8_t(std::clamp(param, 0, kListLevels - 1));
        return true;
    case K::Ql:
    case K::Qr:
    case K::Qc:
    case K::Qj:
        para.align = Alignment(int(k) - int(K::Ql)); // in the order of Alignment
        return true;
    case K::Li:
        para.left = std::clamp(param, -kMaxIndent, kMaxIndent);
        return true;
    case K::Ri:
        para.right = std::clamp(param, -kMaxIndent, kMaxIndent);
        return true;
    case K::Fi:
        para.first = std::clamp(param, -kMaxIndent, kMaxIndent);
        return true;
    case K::Sb:
        para.before = std::clamp(param, 0, kMaxIndent);
        return true;
    case K::Sa:
        para.after = std::clamp(param, 0, kMaxIndent);
        return true;
    case K::Sl:
        para.line = std::clamp(param, -kMaxIndent, kMaxIndent);
        return true;
    case K::SlMult:
        para.lineMultiple = on;
        return true;
    case K::Keep:
        para.keep = on;
        return true;
    case K::KeepN:
        para.keepNext = on;
        return true;
    case K::TqR:
    case K::TqC:
    case K::TqDec:
        tabKind_ = TabKind(int(TabKind::Right) + int(k) - int(K::TqR)); // in the order of TabKind
        return true;
    case K::Tx:
        addTabStop(param);
        return true;
    default:
        return false;
    }
}

// The ends of paragraphs, cells and rows; false for other words.
bool Interpreter::breakWord(State& s, K k) {
    switch (k) {
    case K::Par:
        if (s.para.intbl) {
            // Maybe the last paragraph of a cell, whose end \cell is: decided by what follows.
            if (pendingCellPar_)
                endParagraph(pendingCellPara_);
            pendingCellPar_ = true;
            pendingCellPara_ = s.para;
        } else {
            endParagraph();
        }
        return true;
    case K::Sect:
        if (paraHasText_ || !listTextBuf_.isEmpty())
            endParagraph();
        else if (lineText_ && rowCellsUsed_ > 0) // ends the row, as it ends its line in find's text
            closeRow();
        return true;
    case K::Row:
        endRow(s);
        return true;
    case K::Cell:
        // The cells of a row past the most kept go on in its last one, a tab apart.
        if (wantsFormat_ && s.dest == Dest::Normal && rowCells_ < kMaxTableCells - 1) {
            endCell();
            return true;
        }
        [[fallthrough]];
    case K::NestCell: // a nested table's cells: their text a tab apart in the outer cell
        dropLead();
        cellEnded_ = true;
        pendingCellPar_ = false;
        if (s.dest == Dest::Normal)
            pendingTabs_ = std::min(pendingTabs_ + 1, 1000); // an absurd row: drop the gaps
        return true;
    default:
        return false;
    }
}

void Interpreter::endRow(State& s) {
    if (!wantsFormat_) {
        pendingCellPar_ = false;
        if (!paraHasText_ && pendingTabs_ > 0) // ended cells only: no number, as in the model
            paraNumbered_ = true;
        endParagraph();
        return;
    }
    // The row's last cell ends; one left open after paragraphs that \par ended gets an empty
    // last paragraph, as find's text gets an empty line.
    if (pendingCellPar_ || paraHasText_ || textLen_ > 0 || !listTextBuf_.isEmpty() ||
        rowCellsUsed_ > rowCells_) {
        endCell();
    } else if (rowCellsUsed_ == 0) { // a row without cells: an empty line, as in find's text
        RawPara para = s.para;
        para.intbl = false;
        endParagraph(para);
    }
    pendingTabs_ = 0;
    if (rowCellsUsed_ > 0)
        closeRow();
}

// The character a word stands for (\line, \emdash, ...); 0 for other words.
char16_t specialCharacter(K k) {
    switch (k) {
    case K::Line:
        return 0x2028;
    case K::Tab:
        return '\t';
    case K::EmDash:
        return 0x2014;
    case K::EnDash:
        return 0x2013;
    case K::EmSpace:
        return 0x2003;
    case K::EnSpace:
        return 0x2002;
    case K::QmSpace:
        return 0x2005;
    case K::Bullet:
        return 0x2022;
    case K::LQuote:
        return 0x2018;
    case K::RQuote:
        return 0x2019;
    case K::LDblQuote:
        return 0x201C;
    case K::RDblQuote:
        return 0x201D;
    case K::Zwj:
        return 0x200D;
    case K::Zwnj:
        return 0x200C;
    case K::LtrMark:
        return 0x200E;
    case K::RtlMark:
        return 0x200F;
    default:
        return 0;
    }
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
        if (const char16_t c = specialCharacter(k))
            emitChar(c);
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
    if (picture.format == PictureFormat::None && wantsFormat_)
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
    const auto ends = [depth](int& open) {
        const bool ended = open > 0 && depth <= size_t(open);
        if (ended)
            open = 0;
        return ended;
    };
    const char* end = tok_.pos();
    if (ends(pictDepth_))
        deliverPicture(pict_.take(), pictOpen_, end);
    if (ends(shpDepth_))
        shpPictEnd(end);
    if (ends(objDepth_))
        objectEnd(end);
    if (ends(nonShpDepth_))
        nonShpPictEnd(end);
}

void Interpreter::shpPictEnd(const char* end) {
    if (!shpPicture_)
        return;
    Picture picture = std::move(*shpPicture_);
    shpPicture_.reset();
    const bool kept = picture.format == PictureFormat::None && objDepth_ == 0;
    const size_t before = pictures_.size();
    deliverPicture(std::move(picture), shpOpen_, end);
    if (kept && pictures_.size() > before) {
        keptShp_ = int(pictures_.size());
        keptShpEnd_ = end;
    }
}

void Interpreter::objectEnd(const char* end) {
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

// Right after the kept \shppict, line breaks between: kept with it.
void Interpreter::nonShpPictEnd(const char* end) {
    const char* p = keptShpEnd_;
    while (p && p < nonShpOpen_ && (*p == '\r' || *p == '\n'))
        ++p;
    if (keptShp_ > 0 && p == nonShpOpen_ && size_t(keptShp_) == pictures_.size())
        pictures_.back().rtf.append(keptShpEnd_, end - keptShpEnd_);
    keptShp_ = 0;
}

void Interpreter::openGroup() {
    skip_ = 0;
    ignorable_ = false;
    if (overflow_ > 0 || stack_.size() >= size_t(kMaxGroupDepth)) {
        if (overflow_++ == 0)
            overflowState_ = stack_.back();
        return;
    }
    stack_.push_back(stack_.back());
    stack_.back().open = tok_.pos() - 1;
    groupStart_ = true;
}

// False when the top-level group has closed: what follows is ignored.
bool Interpreter::closeGroup() {
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
        return true;
    }
    if (stack_.size() == 1)
        return false;
    const State closed = stack_.back();
    stack_.pop_back();
    groupEnd(closed);
    groupStart_ = false;
    return true;
}

// The fallback of \u: true when the token was skipped whole.
bool Interpreter::skipFallback(Token& t) {
    if (t.type != Tok::Text) {
        --skip_;
        return true;
    }
    const qsizetype n = std::min<qsizetype>(t.len, skip_);
    skip_ -= int(n);
    t.ptr += n;
    t.len -= n;
    return t.len == 0;
}

void Interpreter::token(const Token& t) {
    switch (t.type) {
    case Tok::Text:
        ignorable_ = false;
        if (st().dest == Dest::Picture)
            pict_.hexText(t.ptr, t.len);
        else
            emitBytes(reinterpret_cast<const unsigned char*>(t.ptr), t.len);
        break;
    case Tok::Hex: {
        ignorable_ = false;
        const unsigned char b = static_cast<unsigned char>(t.param);
        if (st().dest == Dest::FontTable)
            fonts_.nameByte(char(b)); // a name byte, decoded at the end of the name
        else if (st().dest != Dest::ColorTable)
            emitBytes(&b, 1);
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
            return; // the group has still only begun
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
    groupStart_ = false;
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
            started = t.type == Tok::Open; // the top-level group is stack_[0]
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
        if (skip_ > 0 && skipFallback(t))
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

void parseRtf(QByteArrayView bytes, Builder& builder) {
    Interpreter interpreter(bytes, builder);
    interpreter.run();
}

} // namespace qly::rtf
