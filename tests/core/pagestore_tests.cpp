#include "error.h"
#include "pagestore.h"
#include "rtf/rtf.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace qly;
using qlytest::TempDir;

namespace {
Document oneLine(const QString& text) {
    Document d;
    d.paragraphs.push_back(Paragraph{AlignLeft, {TextRun{text, {}}}});
    return d;
}
QString textOf(const Document& d) {
    QString s;
    for (const Paragraph& p : d.paragraphs)
        for (const TextRun& r : p.runs)
            s += r.text;
    return s;
}
} // namespace

TEST(PageStore, PathsAndNavigation) {
    EXPECT_EQ(pageFolderFor("/opt/q"), "/opt/q/rtf/");
    EXPECT_EQ(pageFolderFor("/opt/q/"), "/opt/q/rtf/");
    PageStore store("/opt/q/");
    EXPECT_EQ(store.pageFile(2), "/opt/q/rtf/C.rtf");
    store.setCurrentPage(25);
    EXPECT_EQ(store.currentPageFile(), "/opt/q/rtf/Z.rtf");
    EXPECT_EQ(store.rememberedPageIndex(), 25);
    EXPECT_EQ(PageStore::previousIndex(0), 25);
    EXPECT_EQ(PageStore::nextIndex(25), 0);
    EXPECT_EQ(PageStore::nextIndex(3), 4);
}

TEST(PageStore, ForceFoldersCreatesParentsAndIgnoresFailures) {
    TempDir dir;
    ForceFolders(dir.path("a/b/c/"));
    EXPECT_TRUE(QFileInfo(dir.path("a/b/c")).isDir());
    dir.write("file", "x");
    ForceFolders(dir.path("file/sub")); // cannot be made: silently nothing
    ForceFolders(QString());
    EXPECT_EQ(dir.read("file"), "x");
}

TEST(PageStore, LoadsRtfPlainTextAndFailsOnAMissingFile) {
    TempDir dir;
    dir.write("plain.rtf", "just text");
    EXPECT_EQ(textOf(PageStore::loadPage(dir.path("plain.rtf"))), "just text");
    EXPECT_THROW(PageStore::loadPage(dir.path("none.rtf")), Error);
    try {
        PageStore::loadPage(dir.path("none.rtf"));
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Failed to Load Stream");
    }
}

TEST(PageStore, SaveWritesRtfThatLoadsBack) {
    TempDir dir;
    PageStore store(dir.path());
    ForceFolders(store.pageFolder());
    store.setCurrentPage(0);
    store.SaveCurrentPage(oneLine("Hello {world} \\ é"));
    const QByteArray bytes = dir.read("rtf/A.rtf");
    EXPECT_TRUE(rtf::isRtf(bytes));
    EXPECT_EQ(textOf(PageStore::loadPage(store.currentPageFile())), "Hello {world} \\ é");
    // No temporary file is left beside the page.
    EXPECT_EQ(QDir(store.pageFolder()).entryList(QDir::Files), QStringList{"A.rtf"});
}

TEST(PageStore, AFailedSaveRaisesAndKeepsTheOldFile) {
    TempDir dir;
    dir.write("rtf", "a file where the page folder should be");
    PageStore store(dir.path());
    store.setCurrentPage(1);
    try {
        store.SaveCurrentPage(oneLine("lost?"));
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Cannot create file " + dir.path("rtf/B.rtf"));
    }
    EXPECT_EQ(dir.read("rtf"), "a file where the page folder should be");
}
