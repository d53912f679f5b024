// The find dialog on its own and as the main window runs it. Runs on the offscreen platform.
#include "find/findform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/titlebar.h"
#include "settings/programpaths.h"
#include "support/mainwindowfixture.h"
#include "support/messageboxes.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace qly;
using qlytest::answerMessageBoxes;
using qlytest::TempDir;

namespace {

QStringList entries(const FindForm& form) {
    QStringList letters;
    for (int i = 0; i < form.pageList()->count(); ++i)
        letters << form.pageList()->item(i)->text();
    return letters;
}

void clickEntry(FindForm& form, const QString& letter) {
    QListWidget* list = form.pageList();
    const QList<QListWidgetItem*> found = list->findItems(letter, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << letter.toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(found.first()).center());
}

void doubleClickEntry(FindForm& form, const QString& letter) {
    QListWidget* list = form.pageList();
    const QList<QListWidgetItem*> found = list->findItems(letter, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << letter.toStdString();
    const QPoint at = list->visualItemRect(found.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

void search(FindForm& form, const QString& text, bool caseSensitive = false) {
    form.searchEdit()->setText(text);
    form.caseSensitiveBox()->setChecked(caseSensitive);
    QTest::mouseClick(form.searchButton(), Qt::LeftButton);
}

class FindDialog : public ::testing::Test {
protected:
    QString folder() const { return m_dir.path() + "/"; }
    void page(const QString& letter, const QByteArray& bytes) const {
        m_dir.write(letter + ".rtf", bytes);
    }
    std::unique_ptr<FindForm> open() {
        auto form = std::make_unique<FindForm>(folder());
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }

    TempDir m_dir;
};

} // namespace

TEST_F(FindDialog, OpensWithTheLayoutAndStateOfTheDialog) {
    auto form = open();
    EXPECT_EQ(form->objectName(), "FindForm");
    EXPECT_EQ(form->windowTitle(), "Find");
    EXPECT_EQ(form->size(), QSize(408, 265));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()); // not resizable
    struct Expected {
        const char* name;
        QRect geometry;
        const char* caption;
    };
    const Expected controls[] = {
        {"SearchEdit", {48, 16, 265, 21}, nullptr}, {"Bevel1", {8, 68, 305, 5}, nullptr},
        {"RichEdit2", {48, 96, 265, 160}, nullptr}, {"Button1", {324, 16, 75, 25}, "Search"},
        {"Button2", {324, 52, 75, 25}, "OK"},       {"Button3", {324, 88, 75, 25}, "Cancel"},
    };
    for (const Expected& c : controls) {
        auto* w = form->findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_TRUE(w) << c.name;
        EXPECT_EQ(w->geometry(), c.geometry) << c.name;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(QString(b->text()).remove('&'), QLatin1String(c.caption)) << c.name;
        }
    }
    const std::pair<const char*, QPoint> labels[] = {
        {"Label2", {8, 20}}, {"Label1", {8, 76}}, {"Label3", {48, 76}}};
    const char* labelTexts[] = {"Text:", "Page:", "Fast preview:"};
    for (int i = 0; i < 3; ++i) {
        auto* label = form->findChild<QLabel*>(QLatin1String(labels[i].first));
        ASSERT_TRUE(label) << labels[i].first;
        EXPECT_EQ(label->pos(), labels[i].second);
        EXPECT_EQ(QString(label->text()).remove('&'), QLatin1String(labelTexts[i]));
        // The caption is not clipped.
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    }
    // The check box keeps its place and grows only as far as its caption needs.
    QCheckBox* check = form->caseSensitiveBox();
    EXPECT_EQ(QString(check->text()).remove('&'), "Case sensitive");
    EXPECT_EQ(check->geometry().topLeft(), QPoint(48, 44));
    EXPECT_EQ(check->height(), 17);
    EXPECT_EQ(check->width(), qMax(97, check->sizeHint().width()));
    EXPECT_LT(check->geometry().right(), 313); // still clear of the buttons' column

    // The list shows whole 13-pixel rows inside its 160 pixels.
    QListWidget* list = form->pageList();
    EXPECT_EQ(list->geometry().topLeft(), QPoint(8, 96));
    EXPECT_EQ(list->width(), 33);
    EXPECT_LE(list->height(), 160);
    EXPECT_EQ((list->height() - 2 * list->frameWidth()) % 13, 0);
    EXPECT_GT(list->height(), 160 - 13);

    EXPECT_TRUE(form->searchEdit()->hasFocus());
    EXPECT_FALSE(form->caseSensitiveBox()->isChecked());
    EXPECT_TRUE(form->searchButton()->isDefault());
    EXPECT_TRUE(form->searchButton()->isEnabled());
    EXPECT_FALSE(form->okButton()->isEnabled());
    EXPECT_TRUE(form->chosenPage().isEmpty());
    EXPECT_EQ(form->previewEditor()->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Base));

    // Tab order: OK, Cancel, Case sensitive, text, list, preview, Search.
    const QList<QWidget*> order = {
        form->okButton(), form->cancelButton(),  form->caseSensitiveBox(), form->searchEdit(),
        form->pageList(), form->previewEditor(), form->searchButton()};
    QList<QWidget*> stops;
    QWidget* w = form->okButton();
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            stops << w;
        w = w->nextInFocusChain();
    } while (w != form->okButton() && stops.size() < 20);
    EXPECT_EQ(stops, order);
    QTest::keyClick(form->searchEdit(), Qt::Key_Tab);
    EXPECT_TRUE(form->pageList()->hasFocus());
    QTest::keyClick(form->pageList(), Qt::Key_Tab);
    EXPECT_TRUE(form->previewEditor()->hasFocus());
    QTest::keyClick(form->previewEditor(), Qt::Key_Tab);
    EXPECT_TRUE(form->searchButton()->hasFocus());
}

TEST_F(FindDialog, ListsEachMatchingPageOnceInLetterOrder) {
    page("Q", "{\\rtf1\\ansi Meeting notes\\par meeting again\\par}");
    page("B", "the MEETING at noon");
    page("K", "nothing here");
    page("Y", "meeting, meeting, meeting");
    auto form = open();
    search(*form, "meeting");
    EXPECT_EQ(entries(*form), (QStringList{"B", "Q", "Y"}));
    search(*form, "meeting", true);
    EXPECT_EQ(entries(*form), (QStringList{"Q", "Y"}));
    search(*form, "MEETING", true);
    EXPECT_EQ(entries(*form), (QStringList{"B"}));
    EXPECT_TRUE(form->searchButton()->isEnabled());
    EXPECT_TRUE(form->pageList()->hasFocus()); // the hits take the focus from the button
    EXPECT_FALSE(form->okButton()->isEnabled());
}

TEST_F(FindDialog, AnEmptyTextListsNothingAndBlanksAreSearched) {
    page("A", "two  blanks");
    page("C", "none");
    auto form = open();
    search(*form, "two");
    ASSERT_EQ(entries(*form), QStringList{"A"});
    search(*form, "");
    EXPECT_TRUE(entries(*form).isEmpty());
    EXPECT_TRUE(form->searchButton()->isEnabled());
    search(*form, "  ");
    EXPECT_EQ(entries(*form), QStringList{"A"});
}

TEST_F(FindDialog, EnterSearchesAndEscapeCancels) {
    page("D", "dog");
    auto form = open();
    QTest::keyClicks(form->searchEdit(), "do");
    QTest::keyClick(form->searchEdit(), Qt::Key_Return);
    EXPECT_EQ(entries(*form), QStringList{"D"});
    EXPECT_TRUE(form->isVisible());
    QTest::keyClick(form->searchEdit(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Rejected);
}

TEST_F(FindDialog, FromTheKeyboardTheListTakesTheFocusAndEnterOpensTheHit) {
    page("A", "plum");
    page("C", "plum");
    auto form = open();
    EXPECT_EQ(form->findChild<QLabel*>("Label1")->buddy(), form->pageList());
    EXPECT_EQ(form->findChild<QLabel*>("Label3")->buddy(), form->previewEditor());
    QTest::keyClicks(form->searchEdit(), "plum");
    QTest::keyClick(form->searchEdit(), Qt::Key_Return);
    EXPECT_EQ(form->hitCountLabel()->text(), "2 pages found");
    EXPECT_TRUE(form->pageList()->hasFocus());
    EXPECT_FALSE(form->okButton()->isEnabled()); // nothing chosen yet
    QTest::keyClick(form->pageList(), Qt::Key_Down);
    EXPECT_TRUE(form->okButton()->isDefault());
    QTest::keyClick(form->pageList(), Qt::Key_Return);
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->chosenPage(), "C");

    auto again = open();
    search(*again, "none such");
    EXPECT_EQ(again->hitCountLabel()->text(), "No page found");
    EXPECT_TRUE(again->searchButton()->isDefault());
}

TEST_F(FindDialog, AClickPreviewsTheChosenPageAndASecondSearchDisablesOk) {
    page("E", "{\\rtf1\\ansi first {\\b bold} line\\par second line\\par}");
    page("G", "first line of G");
    auto form = open();
    search(*form, "first");
    clickEntry(*form, "G");
    EXPECT_EQ(form->chosenPage(), "G");
    EXPECT_TRUE(form->okButton()->isEnabled());
    EXPECT_EQ(form->previewEditor()->toPlainText(), "first line of G");
    clickEntry(*form, "E");
    EXPECT_EQ(form->chosenPage(), "E");
    EXPECT_EQ(form->previewEditor()->toPlainText(), "first bold line\nsecond line");

    search(*form, "second");
    EXPECT_FALSE(form->okButton()->isEnabled());
    EXPECT_TRUE(form->previewEditor()->toPlainText().isEmpty());
    EXPECT_EQ(entries(*form), QStringList{"E"});
    clickEntry(*form, "E");
    EXPECT_TRUE(form->okButton()->isEnabled());
    QTest::mouseClick(form->okButton(), Qt::LeftButton);
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->chosenPage(), "E");
}

TEST_F(FindDialog, ArrowKeysAndRepeatedClicksPreviewToo) {
    page("A", "word on A");
    page("B", "word on B");
    auto form = open();
    search(*form, "word");
    clickEntry(*form, "A");
    QTest::keyClick(form->pageList(), Qt::Key_Down);
    EXPECT_EQ(form->chosenPage(), "B");
    EXPECT_EQ(form->previewEditor()->toPlainText(), "word on B");
    // Clicking the selected entry again reloads its preview, discarding what was typed there.
    form->previewEditor()->setPlainText("typed into the preview");
    clickEntry(*form, "B");
    EXPECT_EQ(form->previewEditor()->toPlainText(), "word on B");
    EXPECT_EQ(m_dir.read("B.rtf"), "word on B");
}

// A long page shows at once: complete, from its start, with only its top laid out.
TEST_F(FindDialog, ALongPagePreviewsFromItsStartLaidOutLater) {
    QByteArray rtf = "{\\rtf1\\ansi ";
    for (int i = 0; i < 20'000; ++i)
        rtf += "line " + QByteArray::number(i) + " of a long page\\par\n";
    page("L", rtf + "the end}");
    auto form = open();
    search(*form, "the end");
    clickEntry(*form, "L");
    const QTextEdit* preview = form->previewEditor();
    EXPECT_EQ(preview->document()->blockCount(), 20'001);
    EXPECT_EQ(preview->document()->lastBlock().text(), "the end");
    EXPECT_EQ(preview->textCursor().position(), 0);
    EXPECT_FALSE(preview->textCursor().hasSelection());
    EXPECT_EQ(preview->document()->lastBlock().layout()->lineCount(), 0);
}

TEST_F(FindDialog, AnUnreadablePageEndsTheSearchWithAnErrorAndKeepsEarlierPages) {
    page("B", "target");
    page("H", "target");
    page("T", "target");
    // A folder in place of a page file cannot be read, even by root.
    ASSERT_TRUE(QDir().mkpath(m_dir.path("M.rtf")));
    auto form = open();
    const QStringList boxes = answerMessageBoxes([&] { search(*form, "target"); });
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("Cannot open file \"" + m_dir.path("M.rtf") + "\". "))
        << boxes[0].toStdString();
    EXPECT_TRUE(boxes[0].endsWith("."));
    EXPECT_EQ(entries(*form), (QStringList{"B", "H"}));
    EXPECT_TRUE(form->searchButton()->isEnabled());
    EXPECT_FALSE(form->okButton()->isEnabled());
}

TEST_F(FindDialog, APageThatCannotBeReadOnAClickKeepsThePreviousChoice) {
    page("C", "cat on C");
    page("F", "cat on F");
    auto form = open();
    search(*form, "cat");
    clickEntry(*form, "C");
    QFile::remove(m_dir.path("F.rtf"));
    ASSERT_TRUE(QDir().mkpath(m_dir.path("F.rtf")));
    const QStringList boxes = answerMessageBoxes([&] { clickEntry(*form, "F"); });
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(m_dir.path("F.rtf")));
    EXPECT_EQ(form->chosenPage(), "C");
    EXPECT_EQ(form->previewEditor()->toPlainText(), "cat on C");
    EXPECT_TRUE(form->okButton()->isEnabled());

    // A double click on it shows the error and keeps the dialog open.
    const QStringList again = answerMessageBoxes([&] { doubleClickEntry(*form, "F"); });
    EXPECT_GE(again.size(), 1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->chosenPage(), "C");

    // A page whose file has gone since the search is an error too, never an empty preview.
    QDir(m_dir.path("F.rtf")).removeRecursively();
    EXPECT_EQ(answerMessageBoxes([&] { clickEntry(*form, "F"); }).size(), 1);
    EXPECT_EQ(form->previewEditor()->toPlainText(), "cat on C");
}

TEST_F(FindDialog, ADoubleClickChoosesAndCloses) {
    page("P", "pig");
    auto form = open();
    // On an empty list a double click does nothing.
    QTest::mouseDClick(form->pageList()->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(form->isVisible());
    search(*form, "pig");
    doubleClickEntry(*form, "P");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->chosenPage(), "P");
}

namespace {

// The main window in a folder of its own, with the find dialog driven while it is modal.
class MainFormFind : public qlytest::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        QDir().mkpath(folder().path("rtf"));
    }
    std::unique_ptr<MainForm> start() { return startMainWindow(); }
    // Runs Find from the main window; dialog acts on the dialog once it is shown.
    static void find(MainForm& main, const std::function<void(FindForm&)>& dialog) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<FindForm*>(QApplication::activeModalWidget());
            ASSERT_TRUE(form);
            EXPECT_EQ(form->parentWidget(), &main);
            ran = true;
            dialog(*form);
            if (form->isVisible())
                form->reject();
        });
        main.findClicked();
        EXPECT_TRUE(ran);
    }
    static QString shownPage(MainForm& main) { return main.titleBar()->cbNotes()->currentText(); }
};

} // namespace

TEST_F(MainFormFind, SearchesAndPreviewsTheShownPageAsTheEditorHoldsIt) {
    folder().write("rtf/A.rtf", "saved words");
    folder().write("rtf/B.rtf", "saved on B");
    auto main = start();
    ASSERT_EQ(main->editor()->toPlainText(), "saved words");
    main->editor()->setPlainText("typed words");
    find(*main, [](FindForm& f) {
        search(f, "typed");
        EXPECT_EQ(entries(f), QStringList{"A"});
        clickEntry(f, "A");
        EXPECT_EQ(f.previewEditor()->toPlainText(), "typed words");
        search(f, "saved");
        EXPECT_EQ(entries(f), QStringList{"B"}); // the other pages as their files hold them
    });
    EXPECT_EQ(main->editor()->toPlainText(), "typed words");
    EXPECT_EQ(folder().read("rtf/A.rtf"), "saved words"); // cancelled: nothing saved
}

TEST_F(MainFormFind, OkSwitchesToTheChosenPage) {
    folder().write("rtf/K.rtf", "{\\rtf1\\ansi kiwi\\par}");
    folder().write("rtf/L.rtf", "kiwi too");
    auto main = start();
    main->editor()->setPlainText("left on A");
    find(*main, [](FindForm& f) {
        search(f, "KIWI");
        clickEntry(f, "L");
        QTest::mouseClick(f.okButton(), Qt::LeftButton);
    });
    EXPECT_EQ(shownPage(*main), "L");
    EXPECT_EQ(main->pages().rememberedPageIndex(), 11);
    EXPECT_EQ(main->editor()->toPlainText(), "kiwi too");
    EXPECT_EQ(main->editor()->textCursor().selectedText(), "kiwi"); // the match, found again
    EXPECT_TRUE(folder().read("rtf/A.rtf").contains("left on A"));
}

TEST_F(MainFormFind, ADoubleClickClosesTheDialogAndSwitches) {
    folder().write("rtf/K.rtf", "{\\rtf1\\ansi kiwi\\par}");
    auto main = start();
    find(*main, [](FindForm& f) {
        search(f, "kiwi");
        doubleClickEntry(f, "K");
    });
    EXPECT_EQ(shownPage(*main), "K");
    EXPECT_EQ(main->editor()->toPlainText(), "kiwi");
}

TEST_F(MainFormFind, ChoosingTheShownPageSavesItAndLoadsItAgain) {
    folder().write("rtf/A.rtf", "apple");
    auto main = start();
    main->editor()->setPlainText("apple and a pear typed since");
    find(*main, [](FindForm& f) {
        search(f, "apple");
        doubleClickEntry(f, "A");
    });
    EXPECT_EQ(shownPage(*main), "A");
    EXPECT_TRUE(folder().read("rtf/A.rtf").contains("pear typed since"));
    EXPECT_EQ(main->editor()->toPlainText(), "apple and a pear typed since");
    // Loaded again from the file: the editor's undo history is gone.
    EXPECT_FALSE(main->editor()->document()->isUndoAvailable());
}

TEST_F(MainFormFind, CancelLeavesThePageAsItIs) {
    folder().write("rtf/M.rtf", "melon");
    auto main = start();
    main->editor()->setPlainText("unsaved");
    find(*main, [](FindForm& f) {
        search(f, "melon");
        clickEntry(f, "M");
        QTest::mouseClick(f.cancelButton(), Qt::LeftButton);
    });
    EXPECT_EQ(shownPage(*main), "A");
    EXPECT_EQ(main->editor()->toPlainText(), "unsaved");
    EXPECT_FALSE(QFile::exists(folder().path("rtf/A.rtf")));
}
