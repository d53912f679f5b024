// Conversion between Quillery's document model and the editor's QTextDocument.
#include "editor/richtextconvert.h"

#include "editor/richtextpictures.h"
#include "editor/richtexttables.h"
#include "model/alignment.h"
#include "rtf/rtflists.h"

#include <QColor>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHash>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>
#include <type_traits>

namespace qly {
namespace {

static_assert(kCharsetProperty > QTextFormat::UserProperty);
// The list styles' table names Qt's list styles by their values.
static_assert(QTextListFormat::ListDisc == -1 && QTextListFormat::ListDecimal == -4 &&
              QTextListFormat::ListLowerAlpha == -5 && QTextListFormat::ListUpperAlpha == -6 &&
              QTextListFormat::ListLowerRoman == -7 && QTextListFormat::ListUpperRoman == -8);

// The editor lays out in pixels at 96 per inch: 15 twips a pixel. Doubles carry twips
// through exactly (round(t / 15.0 * 15) == t), so nothing drifts.
constexpr double kTwipsPerPixel = 15.0;
double px(int twips) {
    return twips / kTwipsPerPixel;
}
int twips(double pixels) {
    return int(std::lround(pixels * kTwipsPerPixel));
}

QTextBlockFormat toQt(const Paragraph& p) {
    QTextBlockFormat bf;
    bf.setAlignment(qtAlignment(int(p.align)));
    if (p.list > 0 && (p.leftIndent || p.firstIndent))
        bf.setProperty(kListIndentProperty,
                       QVariant::fromValue(QList<int>{p.leftIndent, p.firstIndent}));
    else if (p.leftIndent)
        bf.setLeftMargin(px(p.leftIndent));
    if (p.rightIndent)
        bf.setRightMargin(px(p.rightIndent));
    if (p.firstIndent && p.list == 0)
        bf.setTextIndent(px(p.firstIndent));
    if (p.spaceBefore)
        bf.setTopMargin(px(p.spaceBefore));
    if (p.spaceAfter)
        bf.setBottomMargin(px(p.spaceAfter));
    if (p.lineSpacing != 0) {
        if (p.lineMultiple)
            bf.setLineHeight(p.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
        else if (p.lineSpacing > 0)
            bf.setLineHeight(px(p.lineSpacing), QTextBlockFormat::MinimumHeight);
        else
            bf.setLineHeight(px(-p.lineSpacing), QTextBlockFormat::FixedHeight);
    }
    if (p.keepTogether)
        bf.setNonBreakableLines(true);
    if (p.keepWithNext)
        bf.setProperty(kKeepWithNextProperty, true);
    if (!p.tabs.empty()) {
        QList<QTextOption::Tab> tabs;
        tabs.reserve(qsizetype(p.tabs.size()));
        for (const TabStop& t : p.tabs) {
            switch (t.kind) {
            case TabKind::Right:
                tabs.append(QTextOption::Tab(px(t.position), QTextOption::RightTab));
                break;
            case TabKind::Center:
                tabs.append(QTextOption::Tab(px(t.position), QTextOption::CenterTab));
                break;
            case TabKind::Decimal:
                tabs.append(
                    QTextOption::Tab(px(t.position), QTextOption::DelimiterTab, QLatin1Char('.')));
                break;
            default:
                tabs.append(QTextOption::Tab(px(t.position), QTextOption::LeftTab));
                break;
            }
        }
        bf.setTabPositions(tabs);
    }
    return bf;
}

// The block's format into the paragraph (its runs stay as they are).
void fromQt(const QTextBlockFormat& bf, Paragraph& p) {
    p.align = Alignment(alignmentCode(bf.alignment()));
    p.leftIndent = twips(bf.leftMargin());
    p.rightIndent = twips(bf.rightMargin());
    p.firstIndent = twips(bf.textIndent());
    p.spaceBefore = twips(bf.topMargin());
    p.spaceAfter = twips(bf.bottomMargin());
    switch (bf.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        if (bf.lineHeight() != 100) {
            p.lineSpacing = int(std::lround(bf.lineHeight() * 240.0 / 100.0));
            p.lineMultiple = true;
        }
        break;
    case QTextBlockFormat::MinimumHeight:
        p.lineSpacing = twips(bf.lineHeight());
        break;
    case QTextBlockFormat::FixedHeight:
        p.lineSpacing = -twips(bf.lineHeight());
        break;
    default:
        break;
    }
    p.lineMultiple = p.lineMultiple && p.lineSpacing != 0;
    p.keepTogether = bf.nonBreakableLines();
    p.keepWithNext = bf.boolProperty(kKeepWithNextProperty);
    const QList<QTextOption::Tab> tabs = bf.tabPositions();
    for (const QTextOption::Tab& t : tabs) {
        TabStop stop{twips(t.position), TabKind::Left};
        if (t.type == QTextOption::RightTab)
            stop.kind = TabKind::Right;
        else if (t.type == QTextOption::CenterTab)
            stop.kind = TabKind::Center;
        else if (t.type == QTextOption::DelimiterTab)
            stop.kind = TabKind::Decimal;
        p.tabs.push_back(stop);
    }
}

// A list's definition as one string: per level style, start, prefix, suffix, bullet, the
// numbers it shows and their separator.
QString listDefinition(const List& list) {
    QStringList levels;
    for (const ListLevel& l : list.levels)
        levels << QStringList{QString::number(int(l.style)),
                              QString::number(l.start),
                              l.prefix,
                              l.suffix,
                              l.bullet,
                              QString::number(l.numbers),
                              l.separator}
                      .join(QChar(0x1F));
    return levels.join(QChar(0x1E));
}

List listFromDefinition(const QString& text) {
    List list;
    const QStringList levels = text.split(QChar(0x1E));
    for (qsizetype k = 0; k < levels.size() && k < kListLevels; ++k) {
        const QStringList f = levels[k].split(QChar(0x1F));
        if (f.size() != 7)
            continue;
        ListLevel& l = list.levels[k];
        l.style =
            ListStyle(std::clamp(f[0].toInt(), int(ListStyle::Bullet), int(ListStyle::UpperRoman)));
        l.start = f[1].toInt();
        l.prefix = f[2];
        l.suffix = f[3];
        l.bullet = f[4];
        l.numbers = std::clamp(f[5].toInt(), 1, kListLevels);
        l.separator = f[6];
    }
    return list;
}

QTextListFormat toQt(const List& list, int id, int level) {
    const ListLevel& l = list.levels[level];
    QTextListFormat f;
    if (l.style == ListStyle::Bullet) {
        const char16_t b = l.bullet.isEmpty() ? 0 : l.bullet.at(0).unicode();
        f.setStyle(b == u'o' || b == 0x25E6 || b == 0x25CB   ? QTextListFormat::ListCircle
                   : b == 0x25AA || b == 0x25A0 || b == 0xA7 ? QTextListFormat::ListSquare
                                                             : QTextListFormat::ListDisc);
    } else {
        f.setStyle(QTextListFormat::Style(rtf::listStyleForm(l.style).qtStyle));
    }
    if (l.style != ListStyle::Bullet) {
        f.setNumberPrefix(l.prefix);
        f.setNumberSuffix(l.suffix);
    }
    f.setIndent(level + 1);
    f.setProperty(kListIdProperty, id);
    f.setProperty(kListDefinitionProperty, listDefinition(list));
    return f;
}

// A list made in the editor (Qt's list commands, pasted HTML) has no definition of ours:
// the level comes from Qt's format.
ListLevel levelFromQt(const QTextListFormat& f) {
    ListLevel l;
    if (f.style() == QTextListFormat::ListCircle)
        l.bullet = QString(QChar(0x25E6));
    else if (f.style() == QTextListFormat::ListSquare)
        l.bullet = QString(QChar(0x25AA));
    else
        l.style = rtf::listStyleOfQt(int(f.style()));
    if (l.style != ListStyle::Bullet) {
        l.prefix = f.numberPrefix();
        l.suffix = f.numberSuffix();
    }
    return l;
}

QTextCharFormat toQt(const CharFormat& f) {
    QTextCharFormat q;
    if (!f.font.isEmpty())
        q.setFontFamilies(QStringList{f.font});
    if (f.charset != 0)
        q.setProperty(kCharsetProperty, f.charset);
    if (f.size > 0)
        q.setFontPointSize(f.size);
    if (f.bold)
        q.setFontWeight(QFont::Bold);
    if (f.italic)
        q.setFontItalic(true);
    if (f.underline)
        q.setFontUnderline(true);
    if (f.strike)
        q.setFontStrikeOut(true);
    if (f.color)
        q.setForeground(QColor(QRgb(*f.color)));
    if (f.background)
        q.setBackground(QColor(QRgb(*f.background)));
    if (!f.link.isEmpty())
        setLinkLook(q, f.link);
    return q;
}

std::optional<std::uint32_t> colorOf(const QTextCharFormat& q, int property) {
    if (!q.hasProperty(property))
        return std::nullopt;
    const QBrush b = q.brushProperty(property);
    if (b.style() == Qt::NoBrush)
        return std::nullopt;
    return std::uint32_t(b.color().rgb() & 0xFFFFFF);
}

// Text without a family or size of its own is in the document's default font: the page
// names it, as the rich-edit control names its default font in the font table.
CharFormat fromQt(const QTextCharFormat& q, const QFont& defaultFont,
                  const QString& defaultFamily) {
    CharFormat f;
    const QStringList families = q.property(QTextFormat::FontFamilies).toStringList();
    f.font = families.isEmpty() ? q.property(QTextFormat::FontFamily).toString() : families.first();
    if (f.font.isEmpty())
        f.font = defaultFamily;
    f.charset = q.property(kCharsetProperty).toInt();
    if (q.hasProperty(QTextFormat::FontPointSize))
        f.size = std::round(q.fontPointSize() * 2) / 2;
    else if (defaultFont.pointSizeF() > 0)
        f.size = std::round(defaultFont.pointSizeF() * 2) / 2;
    f.bold = q.fontWeight() >= QFont::DemiBold;
    f.italic = q.fontItalic();
    f.underline = q.fontUnderline();
    f.strike = q.fontStrikeOut();
    f.color = colorOf(q, QTextFormat::ForegroundBrush);
    f.background = colorOf(q, QTextFormat::BackgroundBrush);
    if (q.isAnchor() && !q.anchorHref().isEmpty()) { // the look of its own, not the link's
        f.link = q.anchorHref();
        f.underline = q.boolProperty(kLinkUnderlineProperty);
        f.color = colorOf(q, kLinkColorProperty);
    }
    return f;
}

// Fills an editor's document: text in one format goes in as one insertion, so that a page
// whose formats seldom change goes in a few long insertions, as with Qt's own setPlainText.
class EditorFiller {
public:
    EditorFiller(QTextDocument* target, const Document& doc)
        : m_target(target), m_doc(doc), m_cursor(target) {}

    void fill() {
        m_cursor.beginEditBlock();
        const std::vector<Paragraph>& paragraphs = m_doc.paragraphs;
        for (size_t i = 0; i < paragraphs.size();) {
            const size_t end = tableEnd(m_doc, i);
            if (end == i) {
                put(paragraphs[i++]);
                continue;
            }
            // A table: its cells filled as pages are, each from its own end; the paragraph
            // after it goes into the block that follows it.
            flush();
            insertTable(m_cursor, m_doc, i, end, m_first,
                        [this](const QTextCursor& at, size_t from, size_t to, bool fresh) {
                            m_cursor = at;
                            m_first = fresh;
                            m_listBefore = true; // no paragraph goes in as a separator
                            for (size_t k = from; k < to; ++k)
                                put(m_doc.paragraphs[k]);
                            flush();
                        });
            m_first = true;
            m_listBefore = true;
            i = end;
        }
        flush();
        m_cursor.endEditBlock();
    }

private:
    void flush() {
        if (!m_pending.isEmpty())
            m_cursor.insertText(m_pending, m_lastQt);
        m_pending.clear();
    }

    // A paragraph in the block format of the one before goes into it as a paragraph
    // separator.
    void startBlock(const Paragraph& p) {
        QTextBlockFormat bf = toQt(p);
        if (m_first) {
            if (m_cursor.blockFormat() != bf) // a table's cells start alike
                m_cursor.setBlockFormat(bf);
            m_first = false;
        } else if (m_lastFormat && p.list == 0 && !m_listBefore && bf == m_blockBefore) {
            m_pending += QChar::ParagraphSeparator;
        } else {
            flush();
            m_cursor.insertBlock(bf);
        }
        m_blockBefore = std::move(bf);
        m_listBefore = p.list != 0;
    }

    // A deeper level's items under each item of a higher level are a list of their own, as
    // they number from the start again; a label that shows the higher levels' numbers ("2.1.")
    // has them in its prefix.
    void addToList(const Paragraph& p) {
        const int level = std::clamp(p.listLevel, 0, kListLevels - 1);
        const size_t index = size_t(p.list) - 1;
        const List& list = m_doc.lists[index];
        m_counters.next(list, index, level);
        auto& runs = m_runs[p.list];
        for (int k = level + 1; k < kListLevels; ++k)
            ++runs[size_t(k)];
        const auto key = std::make_tuple(p.list, level, runs[size_t(level)]);
        if (const auto it = m_lists.find(key); it != m_lists.end()) {
            it->second->add(m_cursor.block());
        } else {
            QTextListFormat f = toQt(list, p.list, level);
            if (list.levels[level].style != ListStyle::Bullet)
                f.setNumberPrefix(rtf::listLabelLead(list, m_counters.counts(index), level));
            m_lists.emplace(key, m_cursor.createList(f));
        }
        // Qt draws the item's mark in the block's character format: that of its text.
        if (!p.runs.empty() && (!m_lastFormat || !(*m_lastFormat == p.runs.front().format)))
            m_cursor.setBlockCharFormat(toQt(p.runs.front().format));
    }

    void put(const Paragraph& p) {
        startBlock(p);
        if (p.list > 0 && size_t(p.list) <= m_doc.lists.size())
            addToList(p);
        for (const TextRun& r : p.runs) {
            if (r.text.isEmpty())
                continue;
            if (!m_lastFormat || !(*m_lastFormat == r.format)) {
                flush();
                m_lastQt = toQt(r.format);
                m_lastFormat = &r.format;
            }
            if (r.picture > 0 && size_t(r.picture) <= m_doc.pictures.size()) {
                flush();
                m_cursor.insertImage(
                    pictureImageFormat(m_target, m_doc.pictures[size_t(r.picture) - 1], m_lastQt));
                continue;
            }
            m_pending += r.text;
        }
        // An empty line keeps the size of the text before (one that goes in as a separator
        // takes it from the text's format).
        if (p.runs.empty() && m_lastFormat && m_pending.isEmpty())
            m_cursor.setBlockCharFormat(m_lastQt);
    }

    QTextDocument* m_target;
    const Document& m_doc;
    QTextCursor m_cursor;
    bool m_first = true;
    const CharFormat* m_lastFormat = nullptr;
    QTextCharFormat m_lastQt;
    std::map<std::tuple<int, int, int>, QTextList*> m_lists; // by list, level and run
    std::map<int, std::array<int, kListLevels>> m_runs;      // by list: each level's run
    rtf::ListCounters m_counters{m_doc.lists.size()};
    QString m_pending; // text in m_lastQt not yet in the document
    QTextBlockFormat m_blockBefore;
    bool m_listBefore = false;
};

// The block's list, and the indents of its own that the item keeps.
void listItem(const QTextBlock& b, const QTextList* list, Paragraph& p, BlockPiece& piece) {
    const QTextListFormat f = list->format();
    const int level = std::clamp(f.indent() - 1, 0, kListLevels - 1);
    const int key = list->objectIndex();
    auto source = std::find_if(piece.lists.begin(), piece.lists.end(),
                               [key](const BlockPiece::ListSource& s) { return s.key == key; });
    if (source == piece.lists.end()) {
        BlockPiece::ListSource made;
        made.key = key;
        made.id = f.intProperty(kListIdProperty);
        made.defined = f.hasProperty(kListDefinitionProperty);
        if (made.defined)
            made.definition = f.stringProperty(kListDefinitionProperty);
        else
            made.shown = levelFromQt(f);
        made.level = level;
        source = piece.lists.insert(piece.lists.end(), std::move(made));
    }
    p.list = int(source - piece.lists.begin()) + 1;
    p.listLevel = level;
    const QList<int> indents = b.blockFormat().property(kListIndentProperty).value<QList<int>>();
    p.leftIndent = indents.size() == 2 ? indents[0] : 0;
    p.firstIndent = indents.size() == 2 ? indents[1] : 0;
}

} // namespace

void setLinkLook(QTextCharFormat& format, const QString& href) {
    if (!format.isAnchor()) {
        format.setProperty(kLinkUnderlineProperty, format.fontUnderline());
        if (format.hasProperty(QTextFormat::ForegroundBrush))
            format.setProperty(kLinkColorProperty, format.foreground());
    }
    format.setAnchor(true);
    format.setAnchorHref(href);
    format.setForeground(QGuiApplication::palette().color(QPalette::Link));
    format.setFontUnderline(true);
}

void clearLinkLook(QTextCharFormat& format) {
    if (!format.isAnchor())
        return;
    format.setAnchor(false);
    format.clearProperty(QTextFormat::AnchorHref);
    format.setFontUnderline(format.boolProperty(kLinkUnderlineProperty));
    if (format.hasProperty(kLinkColorProperty))
        format.setForeground(format.brushProperty(kLinkColorProperty));
    else
        format.clearForeground();
    format.clearProperty(kLinkUnderlineProperty);
    format.clearProperty(kLinkColorProperty);
}

QTextListFormat editorListFormat(const List& list, int id, int level) {
    return toQt(list, id, level);
}

List listOfEditorFormat(const QTextListFormat& format) {
    if (format.hasProperty(kListDefinitionProperty))
        return listFromDefinition(format.stringProperty(kListDefinitionProperty));
    List list;
    list.levels[std::clamp(format.indent() - 1, 0, kListLevels - 1)] = levelFromQt(format);
    return list;
}

QFont editorDefaultFont() {
    QFont font = QGuiApplication::font();
    font.setPointSize(10);
    return font;
}

QString realFamily(const QFont& font) {
    // By the font's key. Never destroyed: the page is still saved from an exit handler, after
    // the statics made since that handler was installed are gone.
    static auto& known = *new QHash<QString, QString>;
    const QString key = font.key();
    auto it = known.constFind(key);
    if (it == known.cend()) {
        QString family = QFontInfo(font).family();
        it = known.insert(key, family.isEmpty() ? font.family() : family);
    }
    return *it;
}

void setEditorDocument(QTextDocument* target, const Document& doc) {
    const bool undo = target->isUndoRedoEnabled();
    target->setUndoRedoEnabled(false); // also drops the history of the page before
    target->clear();
    resetPictureBudget(target);
    EditorFiller(target, doc).fill();
    target->setUndoRedoEnabled(undo);
    target->setModified(false);
}

Document editorDocument(const QTextDocument* source) {
    BlockConverter converter(source);
    PageBuilder page;
    BlockPiece piece;
    for (QTextBlock b = source->begin(); b.isValid(); b = b.next()) {
        b = converter.convert(b, piece);
        page.take(piece);
    }
    return page.finish();
}

// A page has few formats: each is converted once, by its index in the document.
BlockConverter::BlockConverter(const QTextDocument* source)
    : m_source(source), m_defaultFont(source->defaultFont()),
      m_defaultFamily(realFamily(m_defaultFont)),
      m_frames(!source->rootFrame()->childFrames().isEmpty()) {}

QTextBlock BlockConverter::partStart(const QTextBlock& b) const {
    const QTextTable* table = m_frames ? outermostTable(b) : nullptr;
    return table ? table->firstCursorPosition().block() : b;
}

QTextBlock BlockConverter::convert(const QTextBlock& first, BlockPiece& piece) {
    if (const QTextTable* table = m_frames ? outermostTable(first) : nullptr) {
        appendTable(table, piece.part, [&](const QTextBlock& b) { return paragraph(b, piece); });
        return table->lastCursorPosition().block(); // the table's last block
    }
    if (!m_frames || !isTableGap(first))
        piece.part.paragraphs.push_back(paragraph(first, piece));
    return first;
}

const CharFormat& BlockConverter::charFormat(const QTextFragment& frag) {
    auto it = m_charFormats.constFind(frag.charFormatIndex());
    if (it == m_charFormats.cend())
        it = m_charFormats.insert(frag.charFormatIndex(),
                                  fromQt(frag.charFormat(), m_defaultFont, m_defaultFamily));
    return *it;
}

void BlockConverter::appendFragment(const QTextFragment& frag, Paragraph& p, BlockPiece& piece) {
    if (frag.charFormat().isImageFormat()) { // a picture a character
        const std::optional<Picture> picture =
            pictureOfImage(m_source, frag.charFormat().toImageFormat());
        const CharFormat& f = charFormat(frag);
        std::vector<Picture>& pictures = piece.part.pictures;
        for (int i = 0; picture && i < frag.length(); ++i) {
            pictures.push_back(*picture);
            p.runs.push_back(
                TextRun{QString(QChar::ObjectReplacementCharacter), f, int(pictures.size())});
        }
        return;
    }
    QString text = frag.text();
    text.remove(QChar::ObjectReplacementCharacter);
    text.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
    if (text.isEmpty())
        return;
    const CharFormat& f = charFormat(frag);
    if (!p.runs.empty() && p.runs.back().format == f && p.runs.back().picture == 0)
        p.runs.back().text += text;
    else
        p.runs.push_back(TextRun{std::move(text), f});
}

Paragraph BlockConverter::paragraph(const QTextBlock& b, BlockPiece& piece) {
    auto format = m_blockFormats.constFind(b.blockFormatIndex());
    if (format == m_blockFormats.cend()) {
        Paragraph empty;
        fromQt(b.blockFormat(), empty);
        format = m_blockFormats.insert(b.blockFormatIndex(), empty);
    }
    Paragraph p = *format;
    if (const QTextList* list = b.textList())
        listItem(b, list, p, piece);
    for (auto it = b.begin(); !it.atEnd(); ++it)
        if (const QTextFragment frag = it.fragment(); frag.isValid())
            appendFragment(frag, p, piece);
    return p;
}

void PageBuilder::add(const BlockPiece& piece) {
    append(piece);
}

void PageBuilder::take(BlockPiece& piece) {
    append(piece);
    piece.part.paragraphs.clear(); // keeps its room for the next part
    piece.part.rows.clear();
    piece.part.pictures.clear();
    piece.lists.clear();
}

// A part's own numbers become the page's; a part that is not const is moved from.
template <typename Piece> void PageBuilder::append(Piece& piece) {
    constexpr bool copy = std::is_const_v<Piece>;
    const int rowBase = int(m_doc.rows.size());
    const int pictureBase = int(m_doc.pictures.size());
    for (auto& source : piece.part.paragraphs) {
        Paragraph p = copy ? Paragraph(source) : std::move(source);
        if (p.list > 0)
            p.list = modelList(piece.lists[size_t(p.list) - 1]);
        if (p.row > 0)
            p.row += rowBase;
        if (pictureBase > 0)
            for (TextRun& r : p.runs)
                if (r.picture > 0)
                    r.picture += pictureBase;
        m_doc.paragraphs.push_back(std::move(p));
    }
    for (auto& row : piece.part.rows)
        m_doc.rows.push_back(copy ? TableRow(row) : std::move(row));
    for (auto& picture : piece.part.pictures)
        m_doc.pictures.push_back(copy ? Picture(picture) : std::move(picture));
}

// The page's list that the editor's list is, made on first sight.
int PageBuilder::modelList(const BlockPiece::ListSource& source) {
    if (const auto it = m_seen.find(source.key); it != m_seen.end())
        return it->second;
    int model = source.id > 0 && m_byId.count(source.id) ? m_byId[source.id] : 0;
    if (model == 0) {
        m_doc.lists.push_back(source.defined ? listFromDefinition(source.definition) : List{});
        model = int(m_doc.lists.size());
        if (source.id > 0)
            m_byId[source.id] = model;
    }
    if (!source.defined)
        m_doc.lists[size_t(model) - 1].levels[source.level] = source.shown;
    m_seen.emplace(source.key, model);
    return model;
}

Document PageBuilder::finish() {
    if (m_doc.paragraphs.empty())
        m_doc.paragraphs.emplace_back();
    return std::move(m_doc);
}

} // namespace qly
