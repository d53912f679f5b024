// Pages through the loader into a shown editor: complete, editable, laid out behind the first
// screen, with the editor's own properties kept.
#include "editor/noteeditor.h"
#include "editor/pageloader.h"
#include "editor/richtextconvert.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace qly;

namespace {

Document lines(int count) {
    Document doc;
    for (int i = 0; i < count; ++i)
        doc.paragraphs.push_back(Paragraph{
            Alignment::Left, {TextRun{QStringLiteral("line %1 of the page").arg(i), {}}}});
    return doc;
}

// One paragraph of one-letter runs without a space, alternately bold and plain.
Document alternatingRuns(int count) {
    CharFormat bold;
    bold.bold = true;
    Paragraph p;
    for (int i = 0; i < count; ++i)
        p.runs.push_back(TextRun{QString(QChar(u'a' + i % 26)), i % 2 ? bold : CharFormat{}});
    return Document{{p}};
}

class PageLoaderTest : public ::testing::Test {
protected:
    PageLoaderTest() : m_loader(&m_editor) {
        m_editor.resize(400, 340);
        m_editor.document()->setDocumentMargin(1);
        m_editor.setFont(QFont(QStringLiteral("Sans Serif"), 10));
    }
    void showEditor() {
        m_editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_editor));
    }
    void waitSettled() {
        for (int i = 0; i < 400 && m_loader.settling(); ++i)
            QTest::qWait(25);
    }

    NoteEditor m_editor;
    PageLoader m_loader;
};

} // namespace

TEST_F(PageLoaderTest, LargePageIsCompleteEditableAndLaidOutAfterTheFirstScreen) {
    showEditor();
    const Document page = lines(40'000);
    m_loader.showPage(page);
    EXPECT_TRUE(m_loader.settling());
    // Only the top is laid out at first; the caret is at the start.
    EXPECT_EQ(m_editor.document()->lastBlock().layout()->lineCount(), 0);
    EXPECT_EQ(m_editor.textCursor().position(), 0);
    QSignalSpy settled(&m_loader, &PageLoader::settled);
    waitSettled();
    EXPECT_FALSE(m_loader.settling());
    EXPECT_EQ(settled.count(), 1);
    EXPECT_GT(m_editor.document()->lastBlock().layout()->lineCount(), 0);

    EXPECT_EQ(editorDocument(m_editor.document()).paragraphs.size(), page.paragraphs.size());
    m_editor.moveCursor(QTextCursor::End);
    QTest::keyClicks(&m_editor, QStringLiteral("!"));
    EXPECT_TRUE(m_editor.toPlainText().endsWith(QLatin1String("line 39999 of the page!")));
    // The editor's own font and margin belong to it, not to the page.
    EXPECT_EQ(m_editor.document()->defaultFont().family(), QStringLiteral("Sans Serif"));
    EXPECT_EQ(m_editor.document()->documentMargin(), 1);
}

// The caret waits at the start with nothing selected: the first key adds to the page.
TEST_F(PageLoaderTest, TheFirstKeyTypedAddsToThePage) {
    showEditor();
    m_loader.showPage(lines(3));
    QTest::keyClicks(&m_editor, QStringLiteral("x"));
    EXPECT_EQ(m_editor.toPlainText(), QStringLiteral("xline 0 of the page\nline 1 of the page\n"
                                                     "line 2 of the page"));
}

// A page loaded before the window shows has only its first screen laid out when the window
// first shows; the rest follows once it has painted, or at once when the page is needed.
TEST_F(PageLoaderTest, APageLoadedAtStartUpShowsItsFirstScreenFirstAndLosesNothing) {
    const auto allShown = [](const QTextDocument* doc) {
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            if (!b.isVisible())
                return false;
        return true;
    };
    QTextDocument* doc = m_editor.document();
    m_loader.showPage(lines(500));
    m_editor.show(); // lays the page out for its size, before any paint
    EXPECT_GT(doc->firstBlock().layout()->lineCount(), 0);
    EXPECT_FALSE(doc->lastBlock().isVisible());
    QTest::keyClicks(&m_editor, QStringLiteral("x"));
    EXPECT_TRUE(allShown(doc));
    EXPECT_TRUE(m_editor.toPlainText().startsWith(QLatin1String("xline 0 of the page\n")));
    EXPECT_TRUE(m_editor.toPlainText().endsWith(QLatin1String("\nline 499 of the page")));

    // What reads the page first gets all of it.
    NoteEditor other;
    PageLoader loader(&other);
    other.resize(300, 200);
    loader.showPage(lines(400));
    other.show();
    ASSERT_FALSE(other.document()->lastBlock().isVisible());
    loader.finishPending();
    EXPECT_TRUE(allShown(other.document()));
    EXPECT_EQ(editorDocument(other.document()).paragraphs.size(), 400u);

    // Left alone, the page is whole and laid out to its end after the first paint.
    NoteEditor third;
    PageLoader thirdLoader(&third);
    thirdLoader.showPage(lines(300));
    third.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&third));
    for (int i = 0; i < 200 && thirdLoader.settling(); ++i)
        QTest::qWait(10);
    EXPECT_TRUE(allShown(third.document()));
    EXPECT_GT(third.document()->lastBlock().layout()->lineCount(), 0);
}

TEST_F(PageLoaderTest, TypingEndsTheSettling) {
    showEditor();
    m_loader.showPage(lines(40'000));
    ASSERT_TRUE(m_loader.settling());
    QTest::keyClicks(&m_editor, QStringLiteral("x"));
    EXPECT_FALSE(m_loader.settling());
}

TEST_F(PageLoaderTest, ManyFormatChangesWithoutASpaceKeepEveryFormatAndBreakAnywhere) {
    showEditor();
    const Document page = alternatingRuns(20'000);
    m_loader.showPage(page);
    waitSettled();
    EXPECT_FALSE(m_loader.settling());
    EXPECT_EQ(m_editor.wordWrapMode(), QTextOption::WrapAnywhere);
    Document back = editorDocument(m_editor.document());
    ASSERT_EQ(back.paragraphs.size(), 1u);
    ASSERT_EQ(back.paragraphs[0].runs.size(), page.paragraphs[0].runs.size());
    EXPECT_TRUE(back.paragraphs[0].runs[1].format.bold);
    EXPECT_FALSE(back.paragraphs[0].runs[2].format.bold);

    // An ordinary page next: words wrap at their boundaries again.
    m_loader.showPage(lines(10));
    EXPECT_EQ(m_editor.wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
}

TEST_F(PageLoaderTest, HeavyPageWaitsForTheWindowToPaintUnlessItIsAskedFor) {
    m_loader.showPage(alternatingRuns(20'000));
    EXPECT_TRUE(m_loader.pending());
    EXPECT_TRUE(m_editor.document()->isEmpty());
    showEditor();
    for (int i = 0; i < 200 && m_loader.pending(); ++i)
        QTest::qWait(10);
    EXPECT_FALSE(m_loader.pending());
    EXPECT_EQ(m_editor.document()->characterCount(), 20'001);

    // Hidden again (the window minimised to the tray), and asked for before any paint.
    m_editor.hide();
    m_loader.showPage(alternatingRuns(30'000));
    ASSERT_TRUE(m_loader.pending());
    m_loader.finishPending();
    EXPECT_FALSE(m_loader.pending());
    EXPECT_EQ(m_editor.document()->characterCount(), 30'001);

    // A key typed before the first paint goes to the whole page, at its start.
    m_editor.hide();
    m_loader.showPage(alternatingRuns(30'000));
    ASSERT_TRUE(m_loader.pending());
    QTest::keyClick(&m_editor, Qt::Key_X);
    EXPECT_FALSE(m_loader.pending());
    EXPECT_EQ(m_editor.document()->characterCount(), 30'002);
    EXPECT_TRUE(m_editor.toPlainText().startsWith(QLatin1String("xab")));
}

TEST_F(PageLoaderTest, ParagraphsAlikeButForTheirTextGoInAsTheyWouldOneByOne) {
    showEditor();
    CharFormat courier;
    courier.font = QStringLiteral("Courier New");
    courier.size = 9;
    Document page;
    page.paragraphs.assign(5, Paragraph{Alignment::Center, {}});
    page.paragraphs[0].runs.push_back(TextRun{QStringLiteral("first line"), courier});
    page.paragraphs[2].runs.push_back(TextRun{QStringLiteral("third\tline"), courier});
    QTextDocument oneByOne;
    oneByOne.setDefaultFont(m_editor.document()->defaultFont());
    setEditorDocument(&oneByOne, page);

    m_loader.showPage(page);
    EXPECT_EQ(editorDocument(m_editor.document()), editorDocument(&oneByOne));
    EXPECT_FALSE(m_editor.document()->isUndoAvailable());
    EXPECT_FALSE(m_editor.document()->isModified());
}

TEST_F(PageLoaderTest, LongPlainPageGoesInStepByStepAndKeepsWhatIsTypedMeanwhile) {
    const Document page = lines(110'000); // 2.4 million characters
    m_loader.showPage(page);
    ASSERT_TRUE(m_loader.pending());
    showEditor();
    while (m_editor.document()->characterCount() < 2 && m_loader.pending())
        QCoreApplication::processEvents();
    ASSERT_TRUE(m_loader.pending()); // a first step in, more to come
    // Typed then: the rest of the page goes in first, the keys go where the caret waits.
    QTest::keyClicks(&m_editor, QStringLiteral("typed"));
    EXPECT_FALSE(m_loader.pending());
    QStringList text;
    for (const Paragraph& p : page.paragraphs)
        text << p.runs.front().text;
    EXPECT_TRUE(m_editor.toPlainText() == QLatin1String("typed") + text.join(QLatin1Char('\n')));
    EXPECT_EQ(m_editor.textCursor().position(), 5);
}
