// Conversion between Quillery's document model and the editor's QTextDocument.
#include "richtextconvert.h"

#include "alignment.h"

#include <QColor>
#include <QFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace qly {
namespace {

static_assert(kCharsetProperty > QTextFormat::UserProperty);

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
        QTextBlockFormat bf;
        bf.setAlignment(qtAlignment(p.align));
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
        p.align = alignmentCode(b.blockFormat().alignment());
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
