// Lists made in the editor: the commands, the keys of list items, and undo.
#include "editor/checklists.h"
#include "editor/links.h"
#include "editor/listediting.h"
#include "editor/noteeditor.h"
#include "editor/richtextconvert.h"
#include "rtf/rtf.h"
#include "support/messageboxes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <gtest/gtest.h>

using namespace qly;

namespace {

// Each block's label as the editor shows it; "" for a paragraph that is no list item.
QStringList labels(const QTextDocument& doc) {
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        out << (b.textList() ? b.textList()->itemText(b) : QString());
    return out;
}

QTextCursor blockCursor(QTextDocument& doc, int block) {
    return QTextCursor(doc.findBlockByNumber(block));
}

} // namespace

TEST(ListEditing, CommandsAreOneUndoStepEach) {
    NoteEditor editor;
    QTextDocument& doc = *editor.document();
    editor.setPlainText("a\nb\nc\nd");
    QTextCursor all(&doc);
    all.select(QTextCursor::Document);
    toggleList(all, ListStyle::Decimal);
    EXPECT_EQ(labels(doc), (QStringList{"1.", "2.", "3.", "4."}));
    QTextCursor bc = blockCursor(doc, 1);
    bc.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    changeIndent(bc, 1);
    EXPECT_EQ(labels(doc), (QStringList{"1.", "1.1.", "1.2.", "2."}));
    changeIndent(blockCursor(doc, 2), 1);
    EXPECT_EQ(labels(doc), (QStringList{"1.", "1.1.", "1.1.1.", "2."}));
    doc.undo();
    EXPECT_EQ(labels(doc), (QStringList{"1.", "1.1.", "1.2.", "2."}));
    // Saved as one list with its levels.
    const Document page = editorDocument(&doc);
    ASSERT_EQ(page.lists.size(), 1u);
    std::vector<int> levels;
    for (const Paragraph& p : page.paragraphs)
        levels.push_back(p.list == 1 ? p.listLevel : -1);
    EXPECT_EQ(levels, (std::vector<int>{0, 1, 1, 0}));
    // A list before the paragraphs goes on through them; the same command again ends them.
    editor.moveCursor(QTextCursor::End);
    editor.textCursor().insertBlock(QTextBlockFormat());
    editor.textCursor().insertText("e");
    toggleList(editor.textCursor(), ListStyle::Decimal);
    EXPECT_EQ(labels(doc).last(), "3.");
    toggleList(all, ListStyle::Decimal);
    EXPECT_EQ(labels(doc), (QStringList{"", "", "", "", ""}));
    toggleList(all, ListStyle::Bullet);
    EXPECT_EQ(doc.begin().textList()->format().style(), QTextListFormat::ListDisc);
}

TEST(ListEditing, KeysOfListItems) {
    NoteEditor editor;
    QTextDocument& doc = *editor.document();
    editor.setPlainText("a\nb");
    QTextCursor all(&doc);
    all.select(QTextCursor::Document);
    toggleList(all, ListStyle::Decimal);
    editor.setTextCursor(blockCursor(doc, 1));
    QTest::keyClick(&editor, Qt::Key_Tab);
    EXPECT_EQ(labels(doc), (QStringList{"1.", "1.1."}));
    EXPECT_EQ(doc.findBlockByNumber(1).text(), "b"); // no tab typed
    QTest::keyClick(&editor, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(labels(doc), (QStringList{"1.", "2."}));
    // Enter makes an item; Enter on that empty item ends the list.
    editor.moveCursor(QTextCursor::End);
    QTest::keyClick(&editor, Qt::Key_Return);
    EXPECT_EQ(labels(doc), (QStringList{"1.", "2.", "3."}));
    QTest::keyClick(&editor, Qt::Key_Return);
    EXPECT_EQ(labels(doc), (QStringList{"1.", "2.", ""}));
    EXPECT_EQ(doc.blockCount(), 3);
    // Backspace at an item's start takes its number, not its text.
    editor.setTextCursor(blockCursor(doc, 1));
    QTest::keyClick(&editor, Qt::Key_Backspace);
    EXPECT_EQ(labels(doc), (QStringList{"1.", "", ""}));
    EXPECT_EQ(doc.findBlockByNumber(1).text(), "b");
    doc.undo();
    EXPECT_EQ(labels(doc), (QStringList{"1.", "2.", ""}));
}

TEST(ListEditing, ChecklistBoxesTickByClickAndKey) {
    NoteEditor editor;
    editor.resize(400, 300);
    editor.show();
    QTextDocument& doc = *editor.document();
    editor.setPlainText("milk");
    toggleChecklist(editor.textCursor());
    EXPECT_EQ(doc.toPlainText(), u"\u2610 milk"_qs);
    // A click on the box ticks it, one undo step; a click on the text does not.
    QTextCursor box(&doc);
    const QRect before = editor.cursorRect(box);
    box.movePosition(QTextCursor::NextCharacter);
    const QPoint onBox((before.left() + editor.cursorRect(box).left()) / 2, before.center().y());
    QTest::mouseClick(editor.viewport(), Qt::LeftButton, {}, onBox);
    EXPECT_EQ(doc.toPlainText(), u"\u2611 milk"_qs);
    doc.undo();
    EXPECT_EQ(doc.toPlainText(), u"\u2610 milk"_qs);
    QTest::mouseClick(editor.viewport(), Qt::LeftButton, {}, onBox + QPoint(40, 0));
    EXPECT_EQ(doc.toPlainText(), u"\u2610 milk"_qs);
    QTest::keyClick(&editor, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(doc.toPlainText(), u"\u2611 milk"_qs);
    // Enter starts the next item; Enter on that empty item ends the checklist.
    editor.moveCursor(QTextCursor::End);
    QTest::keyClick(&editor, Qt::Key_Return);
    EXPECT_EQ(doc.toPlainText(), u"\u2611 milk\n\u2610 "_qs);
    QTest::keyClick(&editor, Qt::Key_Return);
    EXPECT_EQ(doc.toPlainText(), u"\u2611 milk\n"_qs);
    QTextCursor all(&doc);
    all.select(QTextCursor::Document);
    toggleChecklist(all);
    EXPECT_EQ(doc.toPlainText(), u"\u2611 milk\n\u2610 "_qs); // a box where there was none
    toggleChecklist(all);
    EXPECT_EQ(doc.toPlainText(), u"milk\n"_qs);
}

// An address typed becomes a link when its word ends, in an undo step of its own; links go
// to the page and back as HYPERLINK fields, and a page only viewed stays unmodified.
TEST(ListEditing, TypedAddressesBecomeLinks) {
    NoteEditor editor;
    QTextDocument& doc = *editor.document();
    QTest::keyClicks(&editor, "see https://example.org now");
    const auto hrefAt = [&doc](int position) {
        QTextCursor c(&doc);
        c.setPosition(position);
        return c.charFormat().anchorHref();
    };
    EXPECT_EQ(hrefAt(5), "https://example.org");
    EXPECT_EQ(hrefAt(3), QString());
    EXPECT_EQ(hrefAt(25), QString()); // "now" is text
    doc.undo();                       // "now" typed
    doc.undo();                       // the link made
    EXPECT_EQ(doc.toPlainText(), "see https://example.org ");
    EXPECT_EQ(hrefAt(5), QString());
    doc.redo();
    const Document page = editorDocument(&doc);
    ASSERT_EQ(page.paragraphs.at(0).runs.size(), 3u);
    const TextRun& link = page.paragraphs[0].runs[1];
    EXPECT_EQ(std::tuple(link.text, link.format.link, link.format.underline),
              std::tuple(QString("https://example.org"), QString("https://example.org"), false));
    const QByteArray rtf = rtf::writeDocument(page);
    EXPECT_TRUE(rtf.contains("{\\field{\\*\\fldinst HYPERLINK \"https://example.org\"}{\\fldrslt"));
    const Document back = rtf::readDocument(rtf);
    EXPECT_EQ(back, page);
    QTextDocument viewed;
    setEditorDocument(&viewed, back);
    EXPECT_FALSE(viewed.isModified());
    QTextCursor c(&viewed);
    c.setPosition(5);
    EXPECT_TRUE(c.charFormat().fontUnderline());
    EXPECT_EQ(editorDocument(&viewed), page);
    // Mail addresses and www. names too; a pasted address as well.
    editor.clear();
    QTest::keyClicks(&editor, "ann@example.com\t");
    EXPECT_EQ(hrefAt(1), "mailto:ann@example.com");
    QGuiApplication::clipboard()->setText("www.example.org/a");
    editor.paste();
    EXPECT_EQ(hrefAt(20), "http://www.example.org/a");
}

// Where nothing can open an address (no desktop handler here), a box names it.
TEST(ListEditing, ALinkNothingCanOpenIsNamed) {
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        GTEST_SKIP() << "a desktop handler could open the address here";
    NoteEditor editor;
    const QStringList boxes =
        qlytest::answerMessageBoxes([&] { openLink(&editor, "https://example.org/x"); });
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains("https://example.org/x")) << boxes[0].toStdString();
}
