#include "mobile/mobilesizes.h"
#include "pages/pagecopies.h"
#include "pages/pagestore.h"
#include "pages/pageversions.h"
#include "pages/worddiff.h"
#include "support/tempdir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace qly;
using qlytest::TempDir;

// Texts in failures as text.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
namespace qly {
void PrintTo(const WordChange& c, std::ostream* os) {
    *os << "{" << int(c.kind) << ", \"" << c.text.toStdString() << "\"}";
}
} // namespace qly

namespace {
// A file with the given text and modification time (seconds after a fixed day).
void writeAt(const TempDir& dir, const QString& name, const QByteArray& text, int seconds) {
    dir.write(name, text);
    const QByteArray path = QFile::encodeName(dir.path(name));
    const time_t t = 1'780'000'000 + seconds;
    const utimbuf times{t, t};
    ASSERT_EQ(::utime(path.constData(), &times), 0);
}
QByteArray rtfPage(const char* text) {
    return QByteArray("{\\rtf1\\ansi ") + text + "\\par}";
}
} // namespace

TEST(PageCopies, NamesTheThreeSyncToolsPatterns) {
    const auto syncthing = syncCopyName("C.sync-conflict-20261210-143005-ABCD123.rtf");
    ASSERT_TRUE(syncthing);
    EXPECT_EQ(syncthing->page, 2);
    EXPECT_EQ(syncthing->tool, "Syncthing");
    EXPECT_EQ(syncthing->origin, "ABCD123");
    const auto nextcloud = syncCopyName("C (conflicted copy 2026-12-10 143005).rtf");
    ASSERT_TRUE(nextcloud);
    EXPECT_EQ(nextcloud->tool, "Nextcloud");
    const auto nextcloudUser = syncCopyName("Z (conflicted copy anna 2026-12-10 143005).rtf");
    ASSERT_TRUE(nextcloudUser);
    EXPECT_EQ(nextcloudUser->page, 25);
    EXPECT_EQ(nextcloudUser->origin, "anna");
    const auto dropbox = syncCopyName("A (Anna Berg's conflicted copy 2026-12-10).rtf");
    ASSERT_TRUE(dropbox);
    EXPECT_EQ(dropbox->page, 0);
    EXPECT_EQ(dropbox->tool, "Dropbox");
    EXPECT_EQ(dropbox->origin, "Anna Berg");
    EXPECT_TRUE(syncCopyName("A (Anna's conflicted copy 2026-12-10 (1)).rtf"));
    // Pages, versions, other files and near misses are no sync copies.
    for (const char* name :
         {"C.rtf", "C.1.rtf", "C.conflict-20261210-143005.rtf", "notes.rtf",
          "c.sync-conflict-20261210-143005-ABCD123.rtf",
          "C.sync-conflict-2026121-143005-ABCD123.rtf",
          "C.sync-conflict-20261210-143005-ABCD123.rtf.tmp",
          "AB (conflicted copy 2026-12-10 143005).rtf", "C (conflicted copy 2026-12-10).rtf"})
        EXPECT_FALSE(syncCopyName(QString::fromUtf8(name))) << name;
    EXPECT_EQ(conflictCopyPage("D.conflict-20261210-143005.rtf"), 3);
    EXPECT_EQ(conflictCopyPage("D.conflict-20261210-143005-2.rtf"), 3);
    EXPECT_EQ(conflictCopyPage("D.1.rtf"), -1);
}

TEST(PageCopies, ListsThePageNowThenEveryCopyNewestFirst) {
    TempDir dir;
    QDir().mkpath(dir.path("rtf"));
    QDir().mkpath(dir.path("backup"));
    writeAt(dir, "rtf/C.rtf", rtfPage("Now"), 100);
    writeAt(dir, "backup/C.1.rtf", rtfPage("Version one"), 50);
    writeAt(dir, "backup/C.2.rtf", rtfPage("Version two"), 40);
    writeAt(dir, "backup/C.conflict-20261210-143005.rtf", rtfPage("Ours"), 45);
    writeAt(dir, "rtf/C.sync-conflict-20261210-143005-ABCD123.rtf", rtfPage("Laptop"), 200);
    writeAt(dir, "rtf/C (conflicted copy 2026-12-10 143005).rtf", "Plain cloud text", 30);
    writeAt(dir, "rtf/C (Anna's conflicted copy 2026-12-10).rtf", rtfPage("Box"), 20);
    // Other pages' files and a link with a copy's name are not this page's copies.
    writeAt(dir, "rtf/D.sync-conflict-20261210-143005-ABCD123.rtf", rtfPage("D"), 300);
    writeAt(dir, "backup/D.1.rtf", rtfPage("D"), 300);
    ASSERT_EQ(::symlink("/etc/passwd",
                        QFile::encodeName(dir.path("backup/C.conflict-20261211-000000.rtf"))),
              0);

    const QList<PageCopy> copies = listPageCopies(dir.path("rtf"), dir.path("backup"), 2);
    QStringList lines;
    for (const PageCopy& c : copies)
        lines << c.firstLine;
    EXPECT_EQ(lines, QStringList({"Now", "Laptop", "Version one", "Ours", "Version two",
                                  "Plain cloud text", "Box"}));
    ASSERT_EQ(copies.size(), 7);
    EXPECT_EQ(copies[0].kind, PageCopyKind::Current);
    EXPECT_EQ(copies[1].kind, PageCopyKind::Synced);
    EXPECT_EQ(copies[1].tool, "Syncthing");
    EXPECT_EQ(copies[2].kind, PageCopyKind::Version);
    EXPECT_EQ(copies[2].version, 1);
    EXPECT_EQ(copies[3].kind, PageCopyKind::Conflict);
    EXPECT_TRUE(copies[3].deletable());
    EXPECT_FALSE(copies[2].deletable());
    EXPECT_EQ(copies[2].size, rtfPage("Version one").size());
    EXPECT_EQ(copies[2].modified.toSecsSinceEpoch(), 1'780'000'050);

    const std::array<int, 26> counts = countConflictCopies(dir.path("rtf"), dir.path("backup"));
    EXPECT_EQ(counts[2], 4);
    EXPECT_EQ(counts[3], 1);
    EXPECT_EQ(counts[0], 0);
}

TEST(PageCopies, ConflictCopiesOutliveTheRotationOfVersions) {
    TempDir dir;
    PageStore store(dir.path());
    store.setVersionsKept(2);
    QDir().mkpath(dir.path("rtf"));
    store.setCurrentPage(2);
    store.loadCurrentPage();
    Document d;
    d.paragraphs.push_back(Paragraph{Alignment::Left, {TextRun{"first", {}}}});
    store.saveCurrentPage(d);
    ASSERT_TRUE(store.versions().keepConflict(store.currentPageFile()));
    dir.write("rtf/C.sync-conflict-20261210-143005-ABCD123.rtf", rtfPage("theirs"));
    for (int i = 0; i < 6; ++i) {
        d.paragraphs[0].runs[0].text = QStringLiteral("save %1").arg(i);
        store.saveCurrentPage(d);
    }
    const std::array<int, 26> counts =
        countConflictCopies(store.pageFolder(), store.versions().folder());
    EXPECT_EQ(counts[2], 2);
    int versions = 0;
    for (const PageCopy& c : listPageCopies(store.pageFolder(), store.versions().folder(), 2))
        versions += c.kind == PageCopyKind::Version;
    EXPECT_EQ(versions, 2);
    // On a full drive only versions give way, never a conflict copy.
    while (store.versions().dropOldest(store.currentPageFile())) {
    }
    EXPECT_EQ(countConflictCopies(store.pageFolder(), store.versions().folder())[2], 2);
    // Go Mobile carries pages, not a sync tool's copies of them.
    EXPECT_EQ(mobilePageFiles(store.pageFolder()), QStringList({"C.rtf"}));
}

TEST(WordDiff, MarksRemovedAndAddedWords) {
    using K = WordChange::Kind;
    const QList<WordChange> changes =
        wordDiff(u"Buy milk and bread today.", u"Buy oat milk and jam today!");
    const QList<WordChange> expected = {
        {K::Same, "Buy "}, {K::Added, "oat "},  {K::Same, "milk and "}, {K::Removed, "bread"},
        {K::Added, "jam"}, {K::Same, " today"}, {K::Removed, "."},      {K::Added, "!"}};
    EXPECT_EQ(changes, expected);
    QString before, after;
    for (const WordChange& c : changes) {
        if (c.kind != K::Added)
            before += c.text;
        if (c.kind != K::Removed)
            after += c.text;
    }
    EXPECT_EQ(before, "Buy milk and bread today.");
    EXPECT_EQ(after, "Buy oat milk and jam today!");
    EXPECT_EQ(wordDiff(u"", u"new"), QList<WordChange>({{K::Added, "new"}}));
    EXPECT_EQ(wordDiff(u"same", u"same"), QList<WordChange>({{K::Same, "same"}}));
    EXPECT_EQ(wordTokens(u"Grüße, Welt\n").size(), 5);
}

TEST(PageCopies, RestoreKeepsThePageNowAsAVersion) {
    for (const int versionsKept : {5, 0}) {
        TempDir dir;
        PageStore store(dir.path());
        store.setVersionsKept(versionsKept);
        store.setCurrentPage(0);
        store.loadCurrentPage();
        QDir().mkpath(dir.path("rtf"));
        dir.write("rtf/A.rtf", rtfPage("mine"));
        store.loadCurrentPage();
        store.restoreCurrentPage(rtfPage("theirs"));
        EXPECT_EQ(dir.read("rtf/A.rtf"), rtfPage("theirs"));
        // The page now went to the versions (or, with none kept, to a kept copy): restoring
        // that brings it back.
        const QList<PageCopy> copies =
            listPageCopies(store.pageFolder(), store.versions().folder(), 0);
        ASSERT_EQ(copies.size(), 2) << versionsKept;
        EXPECT_EQ(copies[1].firstLine, "mine");
        EXPECT_EQ(copies[1].kind, versionsKept ? PageCopyKind::Version : PageCopyKind::Conflict);
        store.restoreCurrentPage(readPageFile(copies[1].path).bytes);
        EXPECT_EQ(dir.read("rtf/A.rtf"), rtfPage("mine"));
        // A page file that cannot be read is never replaced.
        ::chmod(QFile::encodeName(dir.path("rtf/A.rtf")).constData(), 0);
        if (::geteuid() != 0) {
            store.loadCurrentPage();
            EXPECT_ANY_THROW(store.restoreCurrentPage(rtfPage("x")));
        }
    }
}
