// The page model through the editor's QTextDocument and back, and RTF files through the
// editor: load, save, load must be byte-stable after the first save.
#include "editor/noteeditor.h"
#include "editor/richtextconvert.h"
#include "rtf/rtf.h"
#include "rtf/rtflists.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <gtest/gtest.h>

#include <cmath>

using namespace qly;

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QStringList sampleFiles() {
    QStringList out;
    for (const char* dir : {"/tests/rtf/samples", "/fuzz/corpus/rtf"}) {
        QDir d(QStringLiteral(QLY_SOURCE_DIR) + QLatin1String(dir));
        for (const QString& name : d.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name))
            out << d.filePath(name);
    }
    return out;
}

Document throughEditor(const Document& d) {
    QTextDocument doc;
    setEditorDocument(&doc, d);
    return editorDocument(&doc);
}

} // namespace

TEST(RichTextConvert, ModelSurvivesTheEditor) {
    Document d;
    const char* fonts[] = {"DejaVu Sans", "Liberation Mono", "Liberation Serif"};
    for (int i = 0; i < 8; ++i) {
        Paragraph p;
        p.align = Alignment(i % 4);
        if (i % 2) { // indents, spacing, line spacing and tab stops, in odd twips
            p.leftIndent = 717 * i;
            p.rightIndent = 13 * i;
            p.firstIndent = -361;
            p.spaceBefore = 7 * i;
            p.spaceAfter = 241;
            p.lineSpacing = i == 1 ? 276 : i == 3 ? 301 : -299;
            p.lineMultiple = i == 1;
            p.keepTogether = i == 3;
            p.keepWithNext = i == 7;
            p.tabs = {{1001, TabKind::Left},
                      {2003, TabKind::Center},
                      {3007, TabKind::Decimal},
                      {4013, TabKind::Right}};
        }
        if (i == 5) { // an empty line
            d.paragraphs.push_back(p);
            continue;
        }
        for (int j = 0; j < 4; ++j) {
            CharFormat f;
            f.font = fonts[(i + j) % 3];
            f.charset = j == 2 ? 204 : 0;
            f.size = 9 + j * 1.5;
            f.bold = j & 1;
            f.italic = i & 1;
            f.underline = (i + j) % 3 == 1;
            f.strike = j == 3;
            if (j % 2)
                f.color = 0x123456u + unsigned(i);
            if (i % 3 == 0)
                f.background = 0xFFFF00u;
            p.runs.push_back(
                TextRun{QString::fromUtf16(u"t%1 Пр 😀\tx\u2028y ").arg(i * 10 + j), f});
        }
        d.paragraphs.push_back(p);
    }
    EXPECT_EQ(throughEditor(d), d);
}

// Paragraphs in one block format go in with the text around them: formats changing inside
// and across them, empty lines and a list among them all come back, and an empty line takes
// the size of the text before it.
TEST(RichTextConvert, ParagraphsInOneFormatSurviveTheEditor) {
    CharFormat big, bold;
    big.font = bold.font = QStringLiteral("DejaVu Sans");
    big.size = 14;
    bold.size = 10;
    bold.bold = true;
    Document d;
    d.lists.push_back(List{});
    const auto add = [&d](std::vector<TextRun> runs, int list = 0) {
        Paragraph p;
        p.runs = std::move(runs);
        p.list = list;
        d.paragraphs.push_back(std::move(p));
    };
    add({{"one", big}});
    add({{"two ", big}, {"bold", bold}});
    add({{"three", bold}, {" big", big}});
    add({}); // empty, after text in the big size
    add({{"item", big}}, 1);
    add({{"after the list", big}});
    add({});
    add({});
    add({{"end", bold}});
    QTextDocument doc;
    setEditorDocument(&doc, d);
    EXPECT_EQ(editorDocument(&doc), d);
    ASSERT_EQ(doc.blockCount(), 9);
    for (int empty : {3, 6, 7})
        EXPECT_EQ(doc.findBlockByNumber(empty).charFormat().fontPointSize(), 14) << empty;
    EXPECT_NE(doc.findBlockByNumber(4).textList(), nullptr);
    EXPECT_EQ(doc.findBlockByNumber(5).textList(), nullptr);
}

TEST(RichTextConvert, EditorBasics) {
    QTextDocument doc;
    Document d;
    d.paragraphs.resize(1);
    CharFormat f;
    f.bold = true;
    f.color = 0xFF0000;
    d.paragraphs[0].align = Alignment::Center;
    d.paragraphs[0].runs.push_back(TextRun{"Hi", f});
    setEditorDocument(&doc, d);
    EXPECT_EQ(doc.blockCount(), 1);
    EXPECT_EQ(doc.toPlainText(), "Hi");
    EXPECT_EQ(doc.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    const QTextCharFormat cf = doc.begin().begin().fragment().charFormat();
    EXPECT_EQ(cf.fontWeight(), QFont::Bold);
    EXPECT_EQ(cf.foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(cf.hasProperty(QTextFormat::BackgroundBrush)); // automatic: no brush
    EXPECT_FALSE(doc.isUndoAvailable());
    // An empty editor is one empty paragraph.
    QTextDocument empty;
    EXPECT_EQ(editorDocument(&empty).paragraphs.size(), 1u);
}

// A page without font names or sizes (plain text) gets the editor's default font.
TEST(RichTextConvert, DefaultFontIsNamed) {
    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    Document d;
    d.paragraphs.resize(1);
    d.paragraphs[0].runs.push_back(TextRun{"plain", {}});
    setEditorDocument(&doc, d);
    const Document back = editorDocument(&doc);
    ASSERT_EQ(back.paragraphs.at(0).runs.size(), 1u);
    EXPECT_EQ(back.paragraphs[0].runs[0].format.font, "DejaVu Sans");
    EXPECT_EQ(back.paragraphs[0].runs[0].format.size, 10.0);
}

TEST(RichTextConvert, SampleFilesThroughTheEditor) {
    const QStringList files = sampleFiles();
    ASSERT_GE(files.size(), 5);
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        Document first = rtf::readDocument(readFile(path));
        const Document edited = throughEditor(first);
        const QFont defaultFont = QTextDocument().defaultFont();
        // Plain text, RTF without a font table: the default font, by its family.
        for (Paragraph& p : first.paragraphs)
            for (TextRun& r : p.runs) {
                if (r.format.font.isEmpty())
                    r.format.font = realFamily(defaultFont);
                if (r.format.size == 0)
                    r.format.size = std::round(defaultFont.pointSizeF() * 2) / 2;
            }
        for (Paragraph& p : first.paragraphs) { // a merged-away cell shows no paragraph
            const TableCell* c =
                p.row > 0 ? &first.rows[size_t(p.row) - 1].cells[size_t(p.cell)] : nullptr;
            if (c && p.runs.empty() &&
                (c->merge == CellMerge::Continue || c->vmerge == CellMerge::Continue)) {
                Paragraph plain;
                plain.row = p.row;
                plain.cell = p.cell;
                p = plain;
            }
        }
        EXPECT_EQ(edited, first);
        // Load, save, load, save: the second save equals the first.
        const QByteArray save1 = rtf::writeDocument(edited);
        const QByteArray save2 = rtf::writeDocument(throughEditor(rtf::readDocument(save1)));
        EXPECT_EQ(save1, save2);
        EXPECT_EQ(rtf::readDocument(save1).paragraphs.size(), first.paragraphs.size());
    }
}

namespace {

// A page that opens and ends with a table: a cell merged with the one to its right, one
// merged with the one below, a cell of two paragraphs, cells of other widths in the second
// row, borders and shading.
TableCell cell(int right, CellMerge merge = CellMerge::None, CellMerge vmerge = CellMerge::None) {
    TableCell c;
    c.right = right;
    c.merge = merge;
    c.vmerge = vmerge;
    return c;
}

TableRow row(int left, int gap, Alignment align, std::vector<TableCell> cells) {
    TableRow r;
    r.left = left;
    r.gap = gap;
    r.align = align;
    r.cells = std::move(cells);
    return r;
}

Document tablePage() {
    Document d;
    CharFormat f;
    f.font = "DejaVu Sans";
    f.size = 10;
    auto cellText = [&](int row, int cell, const char* text) {
        Paragraph p(Alignment::Left, {});
        if (*text)
            p.runs.push_back(TextRun{text, f});
        p.row = row;
        p.cell = cell;
        d.paragraphs.push_back(p);
    };
    TableCell a = cell(1000, CellMerge::First);
    a.shading = 0xFFFF00u;
    a.borders[BorderTop] = Border{10, 0xFF0000u};
    a.borders[BorderLeft] = Border{20, std::nullopt};
    d.rows = {
        row(-108, 108, Alignment::Center,
            {a, cell(3000, CellMerge::Continue), cell(5000, CellMerge::None, CellMerge::First)}),
        row(-108, 108, Alignment::Center,
            {cell(2000), cell(3000), cell(5000, CellMerge::None, CellMerge::Continue)})};
    cellText(1, 0, "wide");
    cellText(1, 1, "");
    cellText(1, 2, "tall");
    cellText(1, 2, "second paragraph");
    cellText(2, 0, "narrow");
    cellText(2, 1, "");
    cellText(2, 2, "");
    d.paragraphs.push_back(Paragraph(Alignment::Left, {TextRun{"between", f}}));
    for (int i = 0; i < 2; ++i)
        cellText(3, i, "x");
    d.rows.push_back(row(0, 0, Alignment::Left, {cell(1440), cell(2880)}));
    return d;
}

} // namespace

// Tables are QTextTables in the editor, on the grid of their cell edges, merged cells
// spanning, and come back with the same rows, cells, widths, merges, borders and shading.
// A table made in the editor (pasted HTML) is saved as a table and is stable from then on.
TEST(RichTextConvert, TablesThroughTheEditor) {
    const Document page = tablePage();
    QTextDocument doc;
    setEditorDocument(&doc, page);
    QTextTable* table = QTextCursor(doc.begin()).currentTable();
    if (!table)
        table = QTextCursor(doc.begin().next()).currentTable();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 4); // edges 1000, 2000, 3000, 5000
    EXPECT_EQ(table->cellAt(0, 0).columnSpan(), 3);
    EXPECT_EQ(table->cellAt(0, 3).rowSpan(), 2);
    EXPECT_EQ(table->cellAt(1, 1).columnSpan(), 2);
    const QList<QTextLength> widths = table->format().columnWidthConstraints();
    ASSERT_EQ(widths.size(), 4);
    EXPECT_NEAR(widths[0].rawValue(), 1108 * 100.0 / 5108, 1e-9); // from the row's left edge
    EXPECT_EQ(table->cellAt(0, 0).format().background().color(), QColor(Qt::yellow));
    EXPECT_EQ(editorDocument(&doc), page);
    EXPECT_EQ(doc.toPlainText().count("tall"), 1);

    QTextDocument pasted;
    pasted.setHtml("<p>before</p><table border=1><tr><td colspan=2>ab</td><td rowspan=2>c</td>"
                   "</tr><tr><td>d</td><td>e</td></tr></table><p>after</p>");
    const Document fromHtml = editorDocument(&pasted);
    ASSERT_EQ(fromHtml.rows.size(), 2u);
    ASSERT_EQ(fromHtml.rows[0].cells.size(), 2u); // the wide cell, the tall one
    EXPECT_EQ(fromHtml.rows[0].cells[1].vmerge, CellMerge::First);
    ASSERT_EQ(fromHtml.rows[1].cells.size(), 3u);
    EXPECT_EQ(fromHtml.rows[1].cells[2].vmerge, CellMerge::Continue);
    EXPECT_EQ(fromHtml.rows[0].cells[0].right, fromHtml.rows[1].cells[1].right);
    EXPECT_TRUE(rtf::documentText(fromHtml).contains("before\r\nab\tc\r\nd\te\r\n"));
    const QByteArray save1 = rtf::writeDocument(fromHtml);
    const QByteArray save2 = rtf::writeDocument(throughEditor(rtf::readDocument(save1)));
    EXPECT_EQ(save1, save2);
}

// Lists keep their kinds, levels and numbering through the editor; lists made in the editor
// (Qt's list commands, pasted HTML) are saved as lists and come back as lists.
// A long table goes into the editor as parts, each a table on the whole table's columns, cut
// where no merged cell reaches over, and comes back as the one table it was. Its rows end their
// first cells at edges of their own: more than the grid has columns, though a part alone
// has fewer.
namespace {

// A table of 400 rows of four cells that ends its rows' first cells at edges of their own and
// merges the last cells of rows 98 to 102, then a paragraph.
Document longTable() {
    Document page;
    CharFormat f;
    f.font = "DejaVu Sans";
    f.size = 10;
    for (int r = 0; r < 400; ++r) {
        const bool merged = r >= 98 && r <= 102; // the last cells of five rows, one cell
        const CellMerge vmerge = !merged   ? CellMerge::None
                                 : r == 98 ? CellMerge::First
                                           : CellMerge::Continue;
        page.rows.push_back(
            row(0, 108, Alignment::Left,
                {cell(100 + r / 2), cell(3000), cell(4500), cell(6000, {}, vmerge)}));
        for (int c = 0; c < 4; ++c) {
            Paragraph p(Alignment::Left, {});
            if (c < 3 || vmerge != CellMerge::Continue)
                p.runs.push_back(TextRun{QString("r%1 c%2").arg(r).arg(c), f});
            p.row = r + 1;
            p.cell = c;
            page.paragraphs.push_back(p);
        }
    }
    page.paragraphs.push_back(Paragraph(Alignment::Left, {TextRun{"after", f}}));
    return page;
}

} // namespace

TEST(RichTextConvert, LongTablesGoInAsPartsAndComeBackWhole) {
    const Document page = longTable();
    const int rows = int(page.rows.size());
    QTextDocument doc;
    setEditorDocument(&doc, page);
    const QList<QTextFrame*> parts = doc.rootFrame()->childFrames();
    ASSERT_GT(parts.size(), 1);
    int seen = 0;
    for (QTextFrame* frame : parts) {
        const auto* part = qobject_cast<QTextTable*>(frame);
        ASSERT_TRUE(part);
        EXPECT_EQ(part->columns(), 4);
        if (seen <= 98 && seen + part->rows() > 98) {
            EXPECT_EQ(part->cellAt(98 - seen, 3).rowSpan(), 5);
        }
        seen += part->rows();
    }
    EXPECT_EQ(seen, rows);
    EXPECT_EQ(editorDocument(&doc), page);
}

// The caret passes the join between two parts of a long table as it passes a row: Down and
// Up keep its column, other moves go on in their direction, and nothing typed lands between.
TEST(RichTextConvert, TheCaretPassesBetweenTablePartsAsWithinOneTable) {
    NoteEditor editor;
    editor.resize(600, 400);
    setEditorDocument(editor.document(), longTable());
    const QList<QTextFrame*> parts = editor.document()->rootFrame()->childFrames();
    ASSERT_GT(parts.size(), 1);
    auto* first = qobject_cast<QTextTable*>(parts[0]);
    auto* second = qobject_cast<QTextTable*>(parts[1]);
    using Place = std::pair<const QTextTable*, int>; // the table part and the column
    const auto cellOf = [](const QTextCursor& c) {
        const QTextTable* t = c.currentTable();
        return t ? Place(t, t->cellAt(c).column()) : Place();
    };
    const auto place = [&](QTextTable* t, int r, int c) {
        editor.setTextCursor(t->cellAt(r, c).firstCursorPosition());
    };
    place(first, first->rows() - 1, 2);
    QTest::keyClick(&editor, Qt::Key_Down);
    EXPECT_EQ(cellOf(editor.textCursor()), Place(second, 2));
    EXPECT_EQ(second->cellAt(editor.textCursor()).row(), 0);
    QTest::keyClick(&editor, Qt::Key_Up);
    EXPECT_EQ(cellOf(editor.textCursor()), Place(first, 2));
    // Right from the end of the part's last cell, Left from the start of the next part's first.
    editor.setTextCursor(first->lastCursorPosition());
    QTest::keyClick(&editor, Qt::Key_Right);
    EXPECT_EQ(cellOf(editor.textCursor()), Place(second, 0));
    QTest::keyClick(&editor, Qt::Key_Left);
    EXPECT_EQ(editor.textCursor().position(), first->lastCursorPosition().position());
    QTest::keyClicks(&editor, "x");
    EXPECT_EQ(editorDocument(editor.document()).rows.size(), 400u); // still one table
}

TEST(RichTextConvert, ListsThroughTheEditor) {
    Document d;
    d.lists.resize(2);
    d.lists[0].levels[1] = ListLevel{ListStyle::LowerRoman, 3, "(", ")", {}};
    d.lists[1].levels[0].bullet = QString(QChar(0x25AA));
    const std::pair<int, int> items[] = {{1, 0}, {1, 1}, {1, 1}, {0, 0}, {2, 0}, {1, 0}};
    for (auto [list, level] : items) {
        Paragraph p(Alignment::Left, {TextRun{"item", {}}});
        p.list = list;
        p.listLevel = level;
        p.leftIndent = list ? 720 : 0;
        p.firstIndent = list ? -360 : 0;
        d.paragraphs.push_back(p);
    }
    QTextDocument doc;
    setEditorDocument(&doc, d);
    const QTextList* roman = doc.findBlockByNumber(1).textList();
    ASSERT_TRUE(roman);
    EXPECT_EQ(roman->format().style(), QTextListFormat::ListLowerRoman);
    EXPECT_EQ(roman->count(), 2);
    EXPECT_EQ(doc.findBlockByNumber(4).textList()->format().style(), QTextListFormat::ListSquare);
    EXPECT_EQ(doc.findBlockByNumber(0).textList(), doc.findBlockByNumber(5).textList());
    EXPECT_EQ(doc.findBlockByNumber(0).blockFormat().leftMargin(), 0); // the list's indent shows
    const Document back = editorDocument(&doc);
    for (size_t i = 0; i < d.paragraphs.size(); ++i) // lists renumbered in order of first use
        d.paragraphs[i].runs = back.paragraphs[i].runs;
    EXPECT_EQ(back, d);

    for (const char* html : {"<ul><li>a</li><li>b<ol><li>c</li></ol></li></ul>", ""}) {
        QTextDocument made;
        QTextCursor c(&made);
        if (*html) {
            c.insertHtml(QString::fromLatin1(html));
        } else {
            c.insertText("a");
            c.createList(QTextListFormat::ListDisc);
            c.insertBlock();
            c.insertText("b");
        }
        const Document saved = rtf::readDocument(rtf::writeDocument(editorDocument(&made)));
        ASSERT_FALSE(saved.lists.empty()) << html;
        EXPECT_EQ(saved.paragraphs.at(0).list, 1);
        EXPECT_EQ(saved.paragraphs.at(1).list, 1);
        EXPECT_EQ(saved.lists[0].levels[0].style, ListStyle::Bullet);
        QTextDocument reloaded;
        setEditorDocument(&reloaded, saved);
        ASSERT_TRUE(reloaded.begin().textList());
        EXPECT_EQ(reloaded.begin().textList()->count(), 2);
        if (*html) {
            EXPECT_EQ(saved.paragraphs.at(2).listLevel, 1);
            EXPECT_EQ(saved.lists.at(size_t(saved.paragraphs[2].list) - 1).levels[1].style,
                      ListStyle::Decimal);
        }
    }
}

// Numbers run on across levels in the editor as on paper, and the list stays one list.
TEST(RichTextConvert, MultiLevelNumbersThroughTheEditor) {
    Document d;
    d.lists.push_back(rtf::newList(ListStyle::Decimal));
    for (int level : {0, 0, 1, 1, 0, 1}) {
        Paragraph p(Alignment::Left, {TextRun{"item", {}}});
        p.list = 1;
        p.listLevel = level;
        d.paragraphs.push_back(p);
    }
    QTextDocument doc;
    setEditorDocument(&doc, d);
    QStringList labels;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        labels << b.textList()->itemText(b);
    EXPECT_EQ(labels, (QStringList{"1.", "2.", "2.1.", "2.2.", "3.", "3.1."}));
    const Document back = editorDocument(&doc);
    for (size_t i = 0; i < d.paragraphs.size(); ++i) // the runs take the editor's font
        d.paragraphs[i].runs = back.paragraphs.at(i).runs;
    EXPECT_EQ(back, d);
}

// Each list style keeps its kind and start in every form it takes: Word's list table, the
// rich-edit numbering that older readers take alone, and Qt's list made in the editor.
TEST(RichTextConvert, EveryListStyleInEveryForm) {
    const std::pair<ListStyle, QTextListFormat::Style> styles[] = {
        {ListStyle::Bullet, QTextListFormat::ListDisc},
        {ListStyle::Decimal, QTextListFormat::ListDecimal},
        {ListStyle::LowerLetter, QTextListFormat::ListLowerAlpha},
        {ListStyle::UpperLetter, QTextListFormat::ListUpperAlpha},
        {ListStyle::LowerRoman, QTextListFormat::ListLowerRoman},
        {ListStyle::UpperRoman, QTextListFormat::ListUpperRoman}};
    for (const auto& [style, qtStyle] : styles) {
        Document d;
        d.lists.resize(1);
        d.lists[0].levels[0] = ListLevel{style, 3, "(", ")", QString(QChar(0x2022))};
        if (style == ListStyle::Bullet)
            d.lists[0].levels[0].prefix = d.lists[0].levels[0].suffix = QString();
        d.paragraphs.push_back(Paragraph(Alignment::Left, {TextRun{"item", {}}}));
        d.paragraphs[0].list = 1;
        const QByteArray rtf = rtf::writeDocument(d);
        EXPECT_EQ(rtf::readDocument(rtf).lists, d.lists) << int(style);
        const qsizetype tables = rtf.indexOf("{\\*\\listtable");
        QByteArray pnOnly = rtf.left(tables) + rtf.mid(rtf.indexOf("}\n\\pard", tables) + 2);
        pnOnly.replace("\\ls1\\ilvl0", "");
        const ListLevel pn = rtf::readDocument(pnOnly).lists.at(0).levels[0];
        EXPECT_EQ(std::tuple(pn.style, pn.start), std::tuple(style, 3)) << int(style);
        QTextDocument editor;
        setEditorDocument(&editor, d);
        EXPECT_EQ(editor.begin().textList()->format().style(), qtStyle);
        QTextDocument made;
        QTextCursor(&made).createList(qtStyle);
        EXPECT_EQ(editorDocument(&made).lists.at(0).levels[0].style, style) << int(style);
    }
}

// Pages name the editor's default font by the family it resolves to, never by an alias, so
// that other programs know it; bold text in it is saved bold.
TEST(RichTextConvert, DefaultFontIsSavedUnderItsRealFamilyAndTakesBold) {
    const QFont font = editorDefaultFont();
    const QString family = realFamily(font);
    EXPECT_EQ(family, QFontInfo(font).family());
    for (const char* alias : {"Sans Serif", "sans-serif", "Sans"})
        EXPECT_NE(family, QLatin1String(alias));
    QTextDocument doc;
    doc.setDefaultFont(font);
    QTextCursor c(&doc);
    c.insertText("some text");
    c.select(QTextCursor::Document);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.mergeCharFormat(bold);
    const QByteArray page = rtf::writeDocument(editorDocument(&doc));
    EXPECT_TRUE(page.contains(" " + family.toUtf8() + ";}")) << page.constData();
    EXPECT_TRUE(page.contains("\\b ")) << page.constData();
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
