// Replace on the page, Find next across pages, Redo, the pages' names and where each page was
// left, as the main window runs them. Runs on the offscreen platform.
#include "editor/editorcommands.h"
#include "find/findform.h"
#include "find/replaceform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainmenu.h"
#include "mainwindow/titlebar.h"
#include "support/mainwindowfixture.h"
#include "support/modaldialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace qly;

namespace {

class PageNavigation : public qlytest::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        QDir().mkpath(folder().path("rtf"));
    }
    // Runs Replace from the main window with `act` on the dialog.
    static void replace(MainForm& main, const std::function<void(ReplaceForm&)>& act) {
        EXPECT_TRUE(qlytest::actOnModal(
            ReplaceForm::staticMetaObject, [&] { main.replaceClicked(); },
            [&](QWidget& w) {
                act(static_cast<ReplaceForm&>(w));
                static_cast<ReplaceForm&>(w).closeButton()->click();
            }));
    }
    static QString letter(MainForm& main) { return main.titleBar()->cbNotes()->currentText(); }
    static QString selected(MainForm& main) { return main.editor()->textCursor().selectedText(); }
};

} // namespace

TEST_F(PageNavigation, ReplaceAllIsOneUndoStepInTheFirstReplacedCharactersFormat) {
    folder().write("rtf/A.rtf", "{\\rtf1\\ansi {\\b C}at and cat,\\par a cat; Cattle}");
    auto main = startMainWindow();
    QTextEdit* editor = main->editor();
    const QString before = editor->toPlainText();
    replace(*main, [](ReplaceForm& form) {
        form.findEdit()->setText("cat");
        form.replaceEdit()->setText("dog");
        form.wholeWordsBox()->setChecked(true);
        form.replaceAllButton()->click();
        EXPECT_EQ(form.statusLabel()->text(), "3 replaced");
    });
    EXPECT_EQ(editor->toPlainText(), "dog and dog,\na dog; Cattle");
    // The first replacement took the bold of the "C" it replaced, the others stayed plain.
    QTextCursor c(editor->document());
    c.setPosition(1);
    EXPECT_TRUE(c.charFormat().font().bold());
    c.setPosition(10);
    EXPECT_FALSE(c.charFormat().font().bold());
    editor->undo();
    EXPECT_EQ(editor->toPlainText(), before);
    // Redo follows what can be done again, in both menus.
    QAction* redo = main->mainMenu()->editRedoItem();
    EXPECT_TRUE(redo->isEnabled());
    redo->trigger();
    EXPECT_EQ(editor->toPlainText(), "dog and dog,\na dog; Cattle");
    EXPECT_FALSE(redo->isEnabled());
}

TEST_F(PageNavigation, ReplaceGoesFromMatchToMatchOnThePageOnly) {
    folder().write("rtf/A.rtf", "one cat, two Cat");
    folder().write("rtf/B.rtf", "cat on B");
    auto main = startMainWindow();
    replace(*main, [&](ReplaceForm& form) {
        form.findEdit()->setText("cat");
        form.replaceEdit()->setText("owl");
        form.caseSensitiveBox()->setChecked(true);
        form.replaceButton()->click(); // selects the first
        EXPECT_EQ(selected(*main), "cat");
        form.replaceButton()->click(); // replaces it; "Cat" is not a match
        EXPECT_EQ(main->editor()->toPlainText(), "one owl, two Cat");
        EXPECT_EQ(form.statusLabel()->text(), "Replaced; no more matches on this page");
    });
    EXPECT_EQ(letter(*main), "A");
    // F3 goes on with Replace's search, to the next page.
    main->findNextClicked();
    EXPECT_EQ(letter(*main), "B");
    EXPECT_EQ(selected(*main), "cat");
}

TEST_F(PageNavigation, FindNextWalksTheMatchesPageByPageAndWraps) {
    folder().write("rtf/C.rtf", "{\\rtf1\\ansi kiwi one\\par and KIWI two}");
    folder().write("rtf/G.rtf", "a kiwi on G");
    folder().write("rtf/X.rtf", "no fruit");
    auto main = startMainWindow();
    // Nothing searched yet: F3 opens Find, and its search is the one F3 goes on with.
    EXPECT_TRUE(qlytest::actOnModal(
        FindForm::staticMetaObject, [&] { main->findNextClicked(); },
        [](QWidget& w) {
            auto& form = static_cast<FindForm&>(w);
            form.searchEdit()->setText("kiwi");
            form.searchButton()->click();
            form.cancelButton()->click();
        }));
    EXPECT_EQ(main->lastSearch().text, "kiwi");
    const auto step = [&](bool forward) {
        forward ? main->findNextClicked() : main->findPreviousClicked();
        return letter(*main) + ":" +
               QString::number(main->editor()->textCursor().selectionStart()) + " " +
               main->findStatus();
    };
    EXPECT_EQ(step(true), "C:0 match 1 of 2 on C");
    EXPECT_EQ(step(true), "C:13 ");
    EXPECT_EQ(step(true), "G:2 match 1 of 1 on G");
    EXPECT_EQ(step(true), "C:0 match 1 of 2 on C"); // past Z to A
    EXPECT_EQ(step(false), "G:2 match 1 of 1 on G");
    EXPECT_EQ(step(false), "C:13 match 2 of 2 on C");
}

TEST_F(PageNavigation, EachPageComesBackWhereItWasLeft) {
    QByteArray text;
    for (int i = 1; i <= 300; ++i)
        text += "line " + QByteArray::number(i) + "\r\n";
    folder().write("rtf/A.rtf", text);
    folder().write("rtf/B.rtf", "short page B");
    {
        auto main = startMainWindow();
        QTextEdit* editor = main->editor();
        QTextCursor c(editor->document());
        c.setPosition(100);
        c.setPosition(104, QTextCursor::KeepAnchor);
        editor->setTextCursor(c);
        QScrollBar* bar = editor->verticalScrollBar();
        ASSERT_TRUE(QTest::qWaitFor([&] { return bar->maximum() > 10 * bar->pageStep(); }));
        bar->setValue(bar->maximum() / 2);
        const int top = editor->cursorForPosition(QPoint(0, 0)).position();
        main->sbNextClick();
        // A page shown for the first time opens at its top.
        EXPECT_EQ(editor->textCursor().position(), 0);
        main->sbPrevClick();
        EXPECT_EQ(editor->textCursor().anchor(), 100);
        EXPECT_EQ(editor->textCursor().position(), 104);
        EXPECT_EQ(editor->cursorForPosition(QPoint(0, 0)).position(), top);
        main->close();
    }
    {
        // After a restart too; B's file shrank meanwhile: its place falls back to its end.
        const QByteArray ini = folder().read("qly.ini");
        ASSERT_TRUE(ini.contains("[Positions]"));
        QByteArray moved = ini;
        moved.replace("[Positions]", "[Positions]\nB=50,60,0");
        folder().write("qly.ini", moved);
        auto main = startMainWindow();
        EXPECT_EQ(main->editor()->textCursor().position(), 104);
        main->sbNextClick();
        EXPECT_EQ(main->editor()->textCursor().position(),
                  main->editor()->document()->characterCount() - 1);
        main->close();
    }
}

TEST_F(PageNavigation, TheSelectorsListNamesThePagesByTheirFirstLine) {
    folder().write("rtf/B.rtf",
                   "{\\rtf1\\ansi \\par Groceries for the whole long week ahead\\par milk}");
    auto main = startMainWindow();
    main->editor()->setPlainText("Typed on A");
    QComboBox* notes = main->titleBar()->cbNotes();
    notes->showPopup();
    EXPECT_EQ(notes->itemData(0, Qt::AccessibleTextRole).toString(), "A  Typed on A");
    EXPECT_EQ(notes->itemData(1, Qt::AccessibleTextRole).toString(),
              QString("B  Groceries for the whole long") + QChar(0x2026));
    EXPECT_EQ(notes->itemData(2, Qt::AccessibleTextRole).toString(), "C");
    notes->hidePopup();
    EXPECT_EQ(notes->currentText(), "A"); // the closed selector shows the letter
}
