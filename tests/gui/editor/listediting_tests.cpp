// Lists made in the editor: the commands, the keys of list items, and undo.
#include "editor/checklists.h"
#include "editor/listediting.h"
#include "editor/noteeditor.h"
#include "editor/richtextconvert.h"

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
