#include "spelling/editorspelling.h"
#include "support/spellingfixture.h"
#include "support/tempdir.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace qly;
using qlytest::TempDir;

namespace {
constexpr int WaitMs = 20000;

// An editor with a page in it and spelling in the fixture's language.
class EditorSpellingTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(m_dir.path("dict"));
        qlytest::writeLatin1Dictionary(m_dir, "dict/xx_XX");
        m_editor.resize(400, 300);
        m_editor.show();
        m_spelling = new EditorSpelling(&m_editor, m_dir.path(), m_dir.path("qly.dic"));
    }

    void load(const QString& text) {
        m_editor.setPlainText(text);
        m_editor.document()->setModified(false);
    }

    void start() {
        QSignalSpy loaded(m_spelling, &EditorSpelling::dictionariesLoaded);
        SpellingSettings settings;
        settings.languages = {"xx_XX"};
        settings.languagesSet = true;
        m_spelling->apply(settings);
        ASSERT_TRUE(loaded.wait(WaitMs));
        ASSERT_TRUE(m_spelling->speller().hasDictionaries());
    }

    QStringList marked() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !m_spelling->refreshPending(); }, WaitMs));
        QStringList words;
        const QString text = m_editor.toPlainText();
        for (const auto& [start, length] : m_spelling->markedWords())
            words << text.mid(start, length);
        return words;
    }

    // The spelling items the menu gets for the word at position.
    QList<QAction*> menuFor(QMenu& menu, int position) {
        QTextCursor c(m_editor.document());
        c.setPosition(position);
        m_spelling->prepareMenu(&menu, m_editor.cursorRect(c).center());
        return menu.actions();
    }

    TempDir m_dir;
    QTextEdit m_editor;
    EditorSpelling* m_spelling = nullptr;
};
} // namespace

TEST_F(EditorSpellingTest, ViewingAPageMarksItWithoutChangingTheDocument) {
    load("the teh quick brwon\ncaf\u00e9 cafe https://brwon.example 42x");
    const QString html = m_editor.document()->toHtml();
    QSignalSpy changed(m_editor.document(), &QTextDocument::contentsChanged);
    start();
    EXPECT_EQ(marked(), QStringList({"teh", "brwon", "cafe"}));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(m_editor.document()->isModified());
    EXPECT_EQ(m_editor.document()->availableUndoSteps(), 0);
    EXPECT_EQ(m_editor.document()->toHtml(), html); // the underline is nowhere in the page
}

TEST_F(EditorSpellingTest, TheWordBeingTypedIsMarkedOnlyOnceTheCaretLeavesIt) {
    load("the ");
    start();
    QTextCursor c(m_editor.document());
    c.movePosition(QTextCursor::End);
    m_editor.setTextCursor(c);
    m_editor.setFocus();
    QTest::keyClicks(&m_editor, "qwik");
    EXPECT_EQ(marked(), QStringList());
    QTest::keyClicks(&m_editor, " ");
    EXPECT_EQ(marked(), QStringList({"qwik"}));
}

TEST_F(EditorSpellingTest, ASuggestionReplacesTheWordInOneUndoStepKeepingItsFormat) {
    load("the cafe");
    start();
    QTextCursor bold(m_editor.document());
    bold.setPosition(4);
    bold.setPosition(8, QTextCursor::KeepAnchor);
    QTextCharFormat f;
    f.setFontWeight(QFont::Bold);
    bold.mergeCharFormat(f);

    QMenu menu;
    menu.addAction("Undo");
    const QList<QAction*> items = menuFor(menu, 5);
    ASSERT_GE(items.size(), 5);
    EXPECT_EQ(items[0]->text(), QString::fromUtf16(u"caf\u00e9"));
    EXPECT_TRUE(items[items.size() - 5]->isSeparator());
    EXPECT_EQ(items[items.size() - 4]->objectName(), "spellAddToDictionary");
    EXPECT_EQ(items[items.size() - 3]->objectName(), "spellIgnoreAll");
    EXPECT_EQ(items.last()->text(), "Undo"); // the editor's own items follow
    items[0]->trigger();
    EXPECT_EQ(m_editor.toPlainText(), QString::fromUtf16(u"the caf\u00e9"));
    QTextCursor in(m_editor.document());
    in.setPosition(6);
    EXPECT_EQ(in.charFormat().fontWeight(), QFont::Bold);
    m_editor.undo(); // one step takes the whole replacement back
    EXPECT_EQ(m_editor.toPlainText(), "the cafe");
    in.setPosition(6);
    EXPECT_EQ(in.charFormat().fontWeight(), QFont::Bold);

    // A right word gets no spelling items, and the earlier ones are gone.
    EXPECT_EQ(menuFor(menu, 1).size(), 1);
}

TEST_F(EditorSpellingTest, AddedAndIgnoredWordsLoseTheirMarkAtOnce) {
    load("Quillerya teh Quillerya");
    start();
    ASSERT_EQ(marked(), QStringList({"Quillerya", "teh", "Quillerya"}));
    m_spelling->addToDictionary("Quillerya");
    EXPECT_EQ(marked(), QStringList({"teh"}));
    EXPECT_EQ(m_dir.read("qly.dic"), "Quillerya\n");
    m_spelling->ignoreAll("teh");
    EXPECT_EQ(marked(), QStringList());
    EXPECT_FALSE(m_editor.document()->isModified());
}

TEST_F(EditorSpellingTest, NextMisspellingGoesOnAndWrapsAround) {
    load("teh quick\nthe brwon");
    start();
    QTextCursor c(m_editor.document());
    c.setPosition(5);
    m_editor.setTextCursor(c);
    ASSERT_TRUE(m_spelling->goToNextMisspelling());
    EXPECT_EQ(m_editor.textCursor().position(), 14);
    ASSERT_TRUE(m_spelling->goToNextMisspelling());
    EXPECT_EQ(m_editor.textCursor().position(), 0);
}

TEST_F(EditorSpellingTest, SpellingOffTakesTheMarksAway) {
    load("teh");
    start();
    ASSERT_EQ(marked(), QStringList({"teh"}));
    SpellingSettings off;
    off.checkAsYouType = false;
    m_spelling->apply(off);
    EXPECT_EQ(marked(), QStringList());
    EXPECT_FALSE(m_spelling->goToNextMisspelling());
}

TEST_F(EditorSpellingTest, ALongParagraphIsCheckedWhereItIsOnScreen) {
    // One paragraph far longer than the screen, misspelt at both ends.
    load("teh " + QString("quick ").repeated(8000) + "brwon");
    start();
    EXPECT_EQ(marked(), QStringList({"teh"}));
    m_editor.moveCursor(QTextCursor::End);
    m_editor.ensureCursorVisible();
    EXPECT_TRUE(QTest::qWaitFor([&] { return marked() == QStringList({"brwon"}); }, WaitMs))
        << marked().join(' ').toStdString();
}

TEST_F(EditorSpellingTest, TheRestOfThePageIsCheckedWhileIdleAndAgainAfterAChange) {
    load(QString("the quick\n").repeated(3000));
    start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_spelling->pageChecked(); }, WaitMs));
    // A new page (as a page switch puts it in) is checked from its top again.
    load(QString("quick the\n").repeated(3000));
    EXPECT_FALSE(m_spelling->pageChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_spelling->pageChecked(); }, WaitMs));
}
