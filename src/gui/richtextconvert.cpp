// Conversion between Quillery's document model and the editor's QTextDocument.
#include "richtextconvert.h"

#include "alignment.h"

#include <QColor>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace qly {
namespace {

static_assert(kCharsetProperty > QTextFormat::UserProperty);

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
    bf.setAlignment(qtAlignment(p.align));
    if (p.leftIndent)
        bf.setLeftMargin(px(p.leftIndent));
    if (p.rightIndent)
        bf.setRightMargin(px(p.rightIndent));
    if (p.firstIndent)
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
            case TabRight:
                tabs.append(QTextOption::Tab(px(t.position), QTextOption::RightTab));
                break;
            case TabCenter:
                tabs.append(QTextOption::Tab(px(t.position), QTextOption::CenterTab));
                break;
            case TabDecimal:
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
    p.align = alignmentCode(bf.alignment());
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
        TabStop stop{twips(t.position), TabLeft};
        if (t.type == QTextOption::RightTab)
            stop.kind = TabRight;
        else if (t.type == QTextOption::CenterTab)
            stop.kind = TabCenter;
        else if (t.type == QTextOption::DelimiterTab)
            stop.kind = TabDecimal;
        p.tabs.push_back(stop);
    }
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
CharFormat fromQt(const QTextCharFormat& q, const QFont& defaultFont) {
    CharFormat f;
    const QStringList families = q.property(QTextFormat::FontFamilies).toStringList();
    f.font = families.isEmpty() ? q.property(QTextFormat::FontFamily).toString() : families.first();
    if (f.font.isEmpty())
        f.font = defaultFont.family();
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
    return f;
}

} // namespace

QFont editorDefaultFont() {
    QFont font = QGuiApplication::font();
    font.setPointSize(10);
    const QString family = QFontInfo(font).family();
    if (!family.isEmpty())
        font.setFamilies(QStringList{family});
    return font;
}

void setEditorDocument(QTextDocument* target, const Document& doc) {
    const bool undo = target->isUndoRedoEnabled();
    target->setUndoRedoEnabled(false); // also drops the history of the page before
    target->clear();
    QTextCursor cursor(target);
    cursor.beginEditBlock();
    bool first = true;
    const CharFormat* lastFormat = nullptr;
    QTextCharFormat lastQt;
    for (const Paragraph& p : doc.paragraphs) {
        const QTextBlockFormat bf = toQt(p);
        if (first) {
            cursor.setBlockFormat(bf);
            first = false;
        } else {
            cursor.insertBlock(bf);
        }
        for (const TextRun& r : p.runs) {
            if (r.text.isEmpty())
                continue;
            if (!lastFormat || !(*lastFormat == r.format)) {
                lastQt = toQt(r.format);
                lastFormat = &r.format;
            }
            cursor.insertText(r.text, lastQt);
        }
        if (p.runs.empty() && lastFormat) // an empty line keeps the size of the text before
            cursor.setBlockCharFormat(lastQt);
    }
    cursor.endEditBlock();
    target->setUndoRedoEnabled(undo);
    target->setModified(false);
}

Document editorDocument(const QTextDocument* source) {
    Document doc;
    const QFont defaultFont = source->defaultFont();
    for (QTextBlock b = source->begin(); b.isValid(); b = b.next()) {
        Paragraph p;
        fromQt(b.blockFormat(), p);
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid())
                continue;
            QString text = frag.text();
            text.remove(QChar::ObjectReplacementCharacter);
            text.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
            if (text.isEmpty())
                continue;
            CharFormat f = fromQt(frag.charFormat(), defaultFont);
            if (!p.runs.empty() && p.runs.back().format == f)
                p.runs.back().text += text;
            else
                p.runs.push_back(TextRun{std::move(text), std::move(f)});
        }
        doc.paragraphs.push_back(std::move(p));
    }
    if (doc.paragraphs.empty())
        doc.paragraphs.emplace_back();
    return doc;
}

} // namespace qly
