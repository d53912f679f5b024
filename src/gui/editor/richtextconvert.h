#pragma once

#include "model/document.h"

#include <QFont>
#include <QHash>
#include <QString>

#include <map>

class QTextBlock;
class QTextDocument;
class QTextFragment;
class QTextCharFormat;
class QTextListFormat;

namespace qly {

// The character set (RTF \fcharset) of a run, kept on the editor's QTextCharFormat under
// this user property so that a page keeps it through the editor.
inline constexpr int kCharsetProperty = 0x100000 /* QTextFormat::UserProperty */ + 0x351;
// A paragraph that stays on the page of the next one (Qt has no such block property).
inline constexpr int kKeepWithNextProperty = 0x100000 + 0x352;
// A list item's own indents in twips (left, first line): the list's indent is what shows.
inline constexpr int kListIndentProperty = 0x100000 + 0x353;
// On a QTextListFormat: the page's list it belongs to (1-based) and the list's whole
// definition, all levels, so that a list keeps what Qt does not show (start numbers,
// the levels not in use).
inline constexpr int kListIdProperty = 0x100000 + 0x354;
inline constexpr int kListDefinitionProperty = 0x100000 + 0x355;
// On a link's text: its own underline and colour, which the link's look covers.
inline constexpr int kLinkUnderlineProperty = 0x100000 + 0x356;
inline constexpr int kLinkColorProperty = 0x100000 + 0x357;

// Makes text of this format a link to `href`, drawn in the desktop's link colour and
// underlined; and back to plain text in its own look.
void setLinkLook(QTextCharFormat& format, const QString& href);
void clearLinkLook(QTextCharFormat& format);

// A list's format in the editor for one of its levels, and the list a format defines (a
// list made by Qt's own commands, without a definition of ours, as a default numbered list).
QTextListFormat editorListFormat(const List& list, int id, int level);
List listOfEditorFormat(const QTextListFormat& format);

// The editor's default font: the desktop's sans-serif at 10 points, under the desktop's name
// for it (often an alias such as "Sans Serif"): finding the family it stands for means loading
// the font, which start-up leaves to the layout of the page.
QFont editorDefaultFont();

// The family a font resolves to, for example "DejaVu Sans" for "Sans Serif": what saved pages
// and the Font window name, so that pages name a font other programs know and bold is
// offered. Found once for each font and kept.
QString realFamily(const QFont& font);

// Fills the editor's document from a page, replacing what it held (and its undo history).
// Automatic colours set no brush; alignment codes 0 left, 1 right, 2 centre, 3 justify;
// indents, spacing and tab stops in pixels at 96 per inch (15 twips a pixel).
void setEditorDocument(QTextDocument* target, const Document& doc);

// The editor's content as a page. Text without a font family or size of its own gets the
// document's default font's, so that a page always names its fonts.
Document editorDocument(const QTextDocument* source);

// A part of the editor's content converted on its own: one block's paragraph, a whole table
// (from its first block), or nothing (a block the editor keeps beside a table). Rows, pictures
// and lists are numbered within the part; PageBuilder numbers them through the page. A part
// holds only values, so that it may be read on any thread.
struct BlockPiece {
    // The editor's list that a paragraph of the part is an item of (Paragraph::list is 1 + its
    // index here), as the list was when the part was converted.
    struct ListSource {
        int key = 0; // the list's object index in its document: the same list, the same key
        int id = 0;  // the page's list it was loaded as; 0: made in the editor
        bool defined = false;
        QString definition; // all its levels, as loaded
        int level = 0;      // the level it shows
        ListLevel shown;    // without a definition: that level as Qt draws it
    };

    Document part; // paragraphs, rows and pictures of the part; lists stay empty
    std::vector<ListSource> lists;
};

// Converts the editor's content a part at a time, converting each block and character format
// once. It keeps format indexes, which a document reuses for other formats once it is
// cleared: use one converter only while the document is not changed.
class BlockConverter {
public:
    explicit BlockConverter(const QTextDocument* source);

    // Adds the part that starts at block `first` to `piece`; returns the part's last block.
    QTextBlock convert(const QTextBlock& first, BlockPiece& piece);
    // The block the part holding block `b` starts at: a table's first block, else `b`.
    QTextBlock partStart(const QTextBlock& b) const;

private:
    const CharFormat& charFormat(const QTextFragment& frag);
    void appendFragment(const QTextFragment& frag, Paragraph& p, BlockPiece& piece);
    Paragraph paragraph(const QTextBlock& b, BlockPiece& piece);

    const QTextDocument* m_source;
    const QFont m_defaultFont;
    const QString m_defaultFamily;
    const bool m_frames; // the document holds tables
    QHash<int, Paragraph> m_blockFormats;
    QHash<int, CharFormat> m_charFormats;
};

// Puts the converted parts of a document together, in the order of their blocks, into a page.
class PageBuilder {
public:
    void add(const BlockPiece& piece);
    // Moves what the part holds into the page, leaving it empty for the next part.
    void take(BlockPiece& piece);
    Document finish();

private:
    template <typename Piece> void append(Piece& piece);
    int modelList(const BlockPiece::ListSource& source);

    Document m_doc;
    std::map<int, int> m_seen; // the editor's lists by key and the page's lists they are
    std::map<int, int> m_byId; // the page's lists by the id they had when loaded
};

} // namespace qly
