#include "pages/pagestore.h"
#include "pages/recovery.h"
#include "rtf/rtf.h"
#include "settings/atomicfile.h"
#include "settings/error.h"
#include "support/tempdir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace qly;
using qlytest::TempDir;

namespace {
Document oneLine(const QString& text) {
    Document d;
    d.paragraphs.push_back(Paragraph{Alignment::Left, {TextRun{text, {}}}});
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
    forceFolders(dir.path("a/b/c/"));
    EXPECT_TRUE(QFileInfo(dir.path("a/b/c")).isDir());
    dir.write("file", "x");
    forceFolders(dir.path("file/sub")); // cannot be made: silently nothing
    forceFolders(QString());
    EXPECT_EQ(dir.read("file"), "x");
}

TEST(PageFile, AMissingFileIsNoFileAndAnythingElseUnreadableIsUnreadable) {
    TempDir dir;
    dir.write("plain.rtf", "just text");
    EXPECT_TRUE(readPageFile(dir.path("plain.rtf")).isRead());
    EXPECT_EQ(readPageFile(dir.path("plain.rtf")).bytes, "just text");
    EXPECT_EQ(readPageFile(dir.path("none.rtf")).status, PageFileRead::Status::NoFile);

    // A folder, links (to a file, to nothing), a pipe in the page's place; a file far too large.
    QDir().mkpath(dir.path("folder.rtf"));
    ASSERT_TRUE(QFile::link(dir.path("plain.rtf"), dir.path("link.rtf")));
    ASSERT_TRUE(QFile::link(dir.path("gone"), dir.path("dangling.rtf")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.path("fifo.rtf")).constData(), 0600), 0);
    QFile huge(dir.path("huge.rtf"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(MaxPageFileSize + 1));
    huge.close();
    for (const char* name : {"folder.rtf", "link.rtf", "dangling.rtf", "fifo.rtf", "huge.rtf"}) {
        const PageFileRead r = readPageFile(dir.path(name));
        EXPECT_EQ(r.status, PageFileRead::Status::Unreadable) << name;
        EXPECT_FALSE(r.reason.isEmpty()) << name;
        EXPECT_TRUE(r.bytes.isEmpty()) << name;
    }
    try {
        readPageFile(dir.path("folder.rtf")).bytesOrRaise(dir.path("folder.rtf"));
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(dir.path("folder.rtf")));
    }
}

TEST(PageStore, AnUnreadablePageIsNeverWrittenOver) {
    TempDir dir;
    PageStore store(dir.path());
    forceFolders(store.pageFolder());
    ASSERT_TRUE(QFile::link("/proc/self/mem", dir.path("rtf/C.rtf")));
    store.setCurrentPage(2);
    const PageStore::Load load = store.loadCurrentPage();
    EXPECT_EQ(load.status, PageFileRead::Status::Unreadable);
    EXPECT_TRUE(store.currentPageReadOnly());
    store.saveCurrentPage(oneLine("would overwrite"));
    EXPECT_EQ(QFileInfo(dir.path("rtf/C.rtf")).symLinkTarget(), "/proc/self/mem");
    // Another page is an ordinary page again.
    store.setCurrentPage(3);
    EXPECT_EQ(store.loadCurrentPage().status, PageFileRead::Status::NoFile);
    EXPECT_FALSE(store.currentPageReadOnly());
    store.saveCurrentPage(oneLine("D"));
    EXPECT_TRUE(QFileInfo(dir.path("rtf/D.rtf")).isFile());
}

TEST(PageStore, AProgramThatDoesNotKnowItsFolderHasNoPages) {
    PageStore store{QString()};
    EXPECT_TRUE(store.pageFolder().isEmpty());
    store.setCurrentPage(0);
    EXPECT_TRUE(store.currentPageFile().isEmpty());
    EXPECT_NO_THROW(store.saveCurrentPage(oneLine("nowhere")));
    EXPECT_FALSE(QFileInfo::exists("/rtf"));
}

TEST(AtomicFile, LeftoversOfCutWritesAreRemovedOnlyWhenOurs) {
    TempDir dir;
    dir.write("A.rtf", "page");
    dir.write("A.rtf.x7Yq2P", "cut short");
    dir.write("A.rtf.old-01", "not a name of ours");
    dir.write("B.rtf.kept", "other name");
    dir.write("notes.txt.abcdef", "not a page");
    QDir().mkpath(dir.path("A.rtf.folder"));
    // Written after the program started: some writer is at work on it.
    QFile fresh(dir.path("A.rtf.Zz9Zz9"));
    ASSERT_TRUE(fresh.open(QIODevice::WriteOnly));
    fresh.close();
    QFile old(dir.path("A.rtf.x7Yq2P"));
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                QFileDevice::FileModificationTime));
    old.close();
    QFile kept(dir.path("A.rtf.old-01"));
    ASSERT_TRUE(kept.open(QIODevice::ReadWrite));
    ASSERT_TRUE(kept.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
    kept.close();
    EXPECT_EQ(removeLeftoverTemporaries(dir.path(), {"A.rtf", "B.rtf"}), 1);
    QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, (QStringList{"A.rtf", "A.rtf.Zz9Zz9", "A.rtf.folder", "A.rtf.old-01",
                                 "B.rtf.kept", "notes.txt.abcdef"}));
}

TEST(PageStore, SaveWritesRtfThatLoadsBack) {
    TempDir dir;
    PageStore store(dir.path());
    forceFolders(store.pageFolder());
    store.setCurrentPage(0);
    store.saveCurrentPage(oneLine("Hello {world} \\ é"));
    const QByteArray bytes = dir.read("rtf/A.rtf");
    EXPECT_TRUE(rtf::isRtf(bytes));
    EXPECT_EQ(textOf(store.loadCurrentPage().document), "Hello {world} \\ é");
    // No temporary file is left beside the page.
    EXPECT_EQ(QDir(store.pageFolder()).entryList(QDir::Files), QStringList{"A.rtf"});
}

TEST(PageStore, AFailedSaveRaisesAndKeepsTheOldFile) {
    TempDir dir;
    dir.write("rtf", "a file where the page folder should be");
    PageStore store(dir.path());
    store.setCurrentPage(1);
    try {
        store.saveCurrentPage(oneLine("lost?"));
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Cannot create file " + dir.path("rtf/B.rtf") + ": Not a directory");
    }
    EXPECT_EQ(dir.read("rtf"), "a file where the page folder should be");
}

TEST(PageVersions, TenChangingSavesKeepFiveCompleteVersionsNewestFirst) {
    TempDir dir;
    PageStore store(dir.path());
    forceFolders(store.pageFolder());
    store.setVersionsKept(PageVersions::DefaultCount);
    store.setCurrentPage(2);
    for (int i = 1; i <= 10; ++i)
        store.saveCurrentPage(oneLine(QStringLiteral("save %1").arg(i)));
    store.saveCurrentPage(oneLine("save 10")); // unchanged: no version
    EXPECT_EQ(QDir(dir.path("backup")).entryList(QDir::Files),
              (QStringList{"C.1.rtf", "C.2.rtf", "C.3.rtf", "C.4.rtf", "C.5.rtf"}));
    for (int n = 1; n <= 5; ++n) {
        const PageFileRead version =
            readPageFile(dir.path(QStringLiteral("backup/C.%1.rtf").arg(n)));
        EXPECT_EQ(textOf(rtf::readDocument(version.bytes)), QStringLiteral("save %1").arg(10 - n));
    }
    EXPECT_EQ(textOf(store.loadCurrentPage().document), "save 10");
}

TEST(PageVersions, ZeroKeepsNone) {
    TempDir dir;
    PageStore store(dir.path());
    forceFolders(store.pageFolder());
    store.setVersionsKept(0);
    store.setCurrentPage(0);
    store.saveCurrentPage(oneLine("one"));
    store.saveCurrentPage(oneLine("two"));
    EXPECT_FALSE(QFileInfo::exists(dir.path("backup")));
}

// A deleted page's last text: the newest version, and with no versions kept a version all
// the same that writes over none kept before.
TEST(PageVersions, AGivenTextIsKeptWhateverTheCount) {
    TempDir dir;
    const QString page = dir.path("rtf/C.rtf");
    const PageVersions five(dir.path("backup"), 5);
    ASSERT_TRUE(five.keepText(page, "first"));
    EXPECT_EQ(five.keepText(page, "second").value(), dir.path("backup/C.1.rtf"));
    EXPECT_EQ(dir.read("backup/C.2.rtf"), "first");
    const PageVersions none(dir.path("backup"), 0);
    EXPECT_EQ(none.keepText(page, "third").value(), dir.path("backup/C.3.rtf"));
    EXPECT_EQ(dir.read("backup/C.1.rtf"), "second");
    EXPECT_EQ(dir.read("backup/C.3.rtf"), "third");
}

TEST(Recovery, EveryCopyIsOfferedAndOneOlderThanItsPageSaysSo) {
    TempDir dir;
    PageStore store(dir.path());
    forceFolders(store.pageFolder());
    RecoveryStore recovery(dir.path());
    ASSERT_TRUE(recovery.write(2, oneLine("unsaved C")));
    ASSERT_TRUE(recovery.write(3, oneLine("older D")));
    QFile copy(recovery.copyFile(3));
    ASSERT_TRUE(copy.open(QIODevice::ReadWrite));
    ASSERT_TRUE(copy.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                 QFileDevice::FileModificationTime));
    copy.close();
    store.setCurrentPage(3);
    store.saveCurrentPage(oneLine("synced D")); // the page file written after its copy
    const QList<RecoveryStore::Pending> pending = recovery.pending(store.pageFolder());
    ASSERT_EQ(pending.size(), 2);
    EXPECT_EQ(pending[0].index, 2);
    EXPECT_FALSE(pending[0].pageChangedSince);
    EXPECT_EQ(pending[1].index, 3);
    EXPECT_TRUE(pending[1].pageChangedSince);
    EXPECT_EQ(textOf(recovery.read(3)), "older D");
    EXPECT_TRUE(recovery.copyFile(2).startsWith(dir.path("recovery/")));
    // A folder that cannot be made fails silently.
    dir.write("blocked", "a file");
    EXPECT_FALSE(RecoveryStore(dir.path("blocked")).write(0, oneLine("x")));
}

TEST(Recovery, TheUsersCopiesOfAFolderLiveInTheStateFolderByTheFoldersHash) {
    qputenv("XDG_STATE_HOME", "/state");
    const QString one = RecoveryStore::forUser("/media/me/STICK/Quillery/").folder();
    const QString two = RecoveryStore::forUser("/home/me/Quillery/").folder();
    const QString noSeparator = RecoveryStore::forUser("/media/me/STICK/Quillery").folder();
    qunsetenv("XDG_STATE_HOME");
    EXPECT_TRUE(one.startsWith("/state/quillery/recovery/")) << one.toStdString();
    EXPECT_NE(one, two);
    EXPECT_EQ(one, noSeparator);
}

TEST(FolderLock, ASecondHolderOfTheFolderSeesItInUse) {
    TempDir dir;
    FolderLock first(dir.path());
    EXPECT_TRUE(first.held());
    EXPECT_FALSE(first.otherUser());
    EXPECT_FALSE(FolderLock(dir.path()).held());
}

TEST(FolderLock, ALockFileThatIsNotThisUsersOwnCannotHideTheCopies) {
    // A link in the lock file's place, and (as root, who can give a file away) another user's
    // lock file: the folder may be another user's, and the copies are offered all the same.
    TempDir dir;
    ASSERT_TRUE(QFile::link(dir.path("elsewhere"), dir.path(FolderLock::FileName)));
    const FolderLock linked(dir.path());
    EXPECT_TRUE(linked.held());
    EXPECT_TRUE(linked.otherUser());
    EXPECT_FALSE(QFileInfo::exists(dir.path("elsewhere")));
    if (::geteuid() != 0)
        return;
    QFile::remove(dir.path(FolderLock::FileName));
    dir.write(FolderLock::FileName, "");
    ASSERT_EQ(::chown(QFile::encodeName(dir.path(FolderLock::FileName)).constData(), 65534, 65534),
              0);
    const FolderLock theirs(dir.path());
    EXPECT_TRUE(theirs.held());
    EXPECT_TRUE(theirs.otherUser());
}

// backup/ and recovery/ made links to another folder (another user's private pages): nothing
// the program does writes, removes or offers anything there.
class LinkedFolders : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(dir.path("private"));
        dir.write("private/A.rtf", "{\\rtf1\\ansi private A\\par}");
        dir.write("private/A.1.rtf", "{\\rtf1\\ansi private version\\par}");
        forceFolders(store.pageFolder());
        dir.write("rtf/A.rtf", "{\\rtf1\\ansi shared A\\par}");
    }
    void link(const char* name) { ASSERT_TRUE(QFile::link(dir.path("private"), dir.path(name))); }
    // Everything the program can do to versions and recovery copies.
    void useEverything(const RecoveryStore& recovery) {
        store.setCurrentPage(0);
        store.loadCurrentPage();
        for (const char* text : {"one", "two", "three"})
            store.saveCurrentPage(oneLine(text));
        store.versions().dropOldest(store.pageFile(0));
        (void)store.versions().keepConflict(store.pageFile(0));
        recovery.write(0, oneLine("typed"));
        for (const RecoveryStore::Pending& copy : recovery.pending(store.pageFolder()))
            recovery.read(copy.index);
        recovery.remove(0);
    }
    QStringList privateFiles() const {
        QStringList files;
        for (const QString& name : QDir(dir.path("private")).entryList(QDir::Files, QDir::Name))
            files << name + '=' + QString::fromLatin1(dir.read("private/" + name));
        return files;
    }
    TempDir dir;
    PageStore store{dir.path()};
};

TEST_F(LinkedFolders, LinksThereAtTheStartAreRefusedAndAFolderBesideIsUsed) {
    link("backup");
    link("recovery");
    const QStringList before = privateFiles();
    store.setVersionsKept(5);
    const RecoveryStore recovery(dir.path());
    EXPECT_EQ(store.versions().refusedLink(), dir.path("backup"));
    EXPECT_EQ(recovery.refusedLink(), dir.path("recovery"));
    EXPECT_EQ(store.versions().folder(), dir.path("backup.2/"));
    EXPECT_EQ(recovery.folder(), dir.path("recovery.2/"));
    EXPECT_TRUE(recovery.pending(store.pageFolder()).isEmpty());
    useEverything(recovery);
    EXPECT_EQ(privateFiles(), before);
    EXPECT_EQ(QDir(dir.path("backup.2")).entryList(QDir::Files).size(),
              3); // 2 versions, 1 conflict
    EXPECT_TRUE(recovery.write(1, oneLine("kept beside")));
    EXPECT_EQ(textOf(recovery.read(1)), "kept beside");
}

TEST_F(LinkedFolders, LinksPutInPlaceLaterAreNotFollowed) {
    store.setVersionsKept(5);
    const RecoveryStore recovery(dir.path());
    EXPECT_TRUE(store.versions().refusedLink().isEmpty());
    store.setCurrentPage(0);
    store.loadCurrentPage();
    store.saveCurrentPage(oneLine("first"));
    ASSERT_TRUE(recovery.write(0, oneLine("typed")));
    // Swapped for links once the program runs.
    ASSERT_TRUE(QDir(dir.path("backup")).removeRecursively());
    ASSERT_TRUE(QDir(dir.path("recovery")).removeRecursively());
    link("backup");
    link("recovery");
    const QStringList before = privateFiles();
    useEverything(recovery);
    EXPECT_EQ(privateFiles(), before);
    EXPECT_EQ(textOf(store.loadCurrentPage().document), "three"); // the page itself is saved
}

// Another program (a sync client, an editor) writes aside and renames over the page.
class ForeignChange : public ::testing::Test {
protected:
    void SetUp() override {
        forceFolders(store.pageFolder());
        dir.write("rtf/B.rtf", "{\\rtf1\\ansi read text\\par}");
        store.setCurrentPage(1);
        ASSERT_EQ(textOf(store.loadCurrentPage().document), "read text");
    }
    void replaceOnDisk(const QByteArray& bytes) {
        dir.write("rtf/B.rtf.sync", bytes);
        ASSERT_TRUE(::rename(QFile::encodeName(dir.path("rtf/B.rtf.sync")).constData(),
                             QFile::encodeName(dir.path("rtf/B.rtf")).constData()) == 0);
    }
    QStringList backups() const {
        return QDir(dir.path("backup")).entryList(QDir::Files, QDir::Name);
    }
    TempDir dir;
    PageStore store{dir.path()};
};

TEST_F(ForeignChange, APageOnlyViewedIsNeverWrittenAndTheOtherFileIsTaken) {
    using Outcome = PageStore::Save::Outcome;
    EXPECT_EQ(store.saveCurrentPage(Document(), false).outcome, Outcome::Unchanged);
    // Rewritten with the same bytes: no change at all.
    replaceOnDisk("{\\rtf1\\ansi read text\\par}");
    EXPECT_EQ(store.currentPageDiskChange(), PageStore::DiskChange::None);
    replaceOnDisk("{\\rtf1\\ansi their text\\par}");
    EXPECT_EQ(store.currentPageDiskChange(), PageStore::DiskChange::Replaced);
    EXPECT_EQ(store.saveCurrentPage(Document(), false).outcome, Outcome::TakenFromDisk);
    EXPECT_EQ(dir.read("rtf/B.rtf"), "{\\rtf1\\ansi their text\\par}");
    QFile::remove(dir.path("rtf/B.rtf"));
    EXPECT_EQ(store.currentPageDiskChange(), PageStore::DiskChange::Removed);
    EXPECT_EQ(store.saveCurrentPage(Document(), false).outcome, Outcome::TakenFromDisk);
    EXPECT_FALSE(QFileInfo::exists(dir.path("rtf/B.rtf")));
    EXPECT_TRUE(backups().isEmpty());
}

TEST_F(ForeignChange, BothChangedKeepsTheOtherFileAsAConflictVersionWhateverTheCount) {
    store.setVersionsKept(0);
    store.setCurrentPage(1);
    store.loadCurrentPage();
    replaceOnDisk("{\\rtf1\\ansi their text\\par}");
    const PageStore::Save save = store.saveCurrentPage(oneLine("my text"));
    EXPECT_EQ(save.outcome, PageStore::Save::Outcome::Conflict);
    EXPECT_EQ(textOf(store.loadCurrentPage().document), "my text");
    ASSERT_EQ(backups().size(), 1);
    EXPECT_TRUE(
        QRegularExpression("^B\\.conflict-\\d{8}-\\d{6}\\.rtf$").match(backups()[0]).hasMatch())
        << backups()[0].toStdString();
    EXPECT_EQ(save.conflictFile, dir.path("backup/") + backups()[0]);
    EXPECT_EQ(dir.read("backup/" + backups()[0]), "{\\rtf1\\ansi their text\\par}");
    // Our own save is no change of the other program's.
    EXPECT_EQ(store.saveCurrentPage(oneLine("more")).outcome, PageStore::Save::Outcome::Written);
    EXPECT_EQ(backups().size(), 1);
}

TEST_F(ForeignChange, AFileThatBecameALinkIsNotWrittenThrough) {
    dir.write("outside", "outside text");
    QFile::remove(dir.path("rtf/B.rtf"));
    ASSERT_TRUE(QFile::link(dir.path("outside"), dir.path("rtf/B.rtf")));
    EXPECT_THROW(store.saveCurrentPage(oneLine("my text")), Error);
    EXPECT_EQ(dir.read("outside"), "outside text");
    EXPECT_TRUE(QFileInfo(dir.path("rtf/B.rtf")).isSymLink());
}

TEST_F(ForeignChange, APageFolderSwappedForALinkIsNeitherReadNorWrittenThrough) {
    // The store holds the page folder open; then it goes, and a link to another folder (another
    // user's pages) takes its place.
    QDir().mkpath(dir.path("private"));
    dir.write("private/B.rtf", "{\\rtf1\\ansi private B\\par}");
    ASSERT_EQ(::rename(QFile::encodeName(dir.path("rtf")).constData(),
                       QFile::encodeName(dir.path("rtf.old")).constData()),
              0);
    ASSERT_TRUE(QFile::link(dir.path("private"), dir.path("rtf")));
    try {
        store.saveCurrentPage(oneLine("my text"));
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith("Cannot create file " + dir.path("rtf/B.rtf") +
                                           ": The page folder " + dir.path("rtf") +
                                           " was replaced by a symbolic link"))
            << e.message().toStdString();
    }
    const PageStore::Load load = store.loadCurrentPage();
    EXPECT_EQ(load.status, PageFileRead::Status::Unreadable);
    EXPECT_TRUE(load.document.paragraphs.empty());
    EXPECT_EQ(QDir(dir.path("private")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"B.rtf"});
    EXPECT_EQ(dir.read("private/B.rtf"), "{\\rtf1\\ansi private B\\par}");
}

TEST(PageStore, APageFolderLinkedAtTheStartIsFollowedAndOpenedAgainWhenPutBack) {
    TempDir dir;
    QDir().mkpath(dir.path("stick/notes"));
    ASSERT_TRUE(QFile::link(dir.path("stick/notes"), dir.path("rtf")));
    PageStore store(dir.path());
    store.setCurrentPage(0);
    store.loadCurrentPage();
    store.saveCurrentPage(oneLine("on the stick"));
    EXPECT_TRUE(rtf::isRtf(dir.read("stick/notes/A.rtf")));
    // The stick pulled, then put back: the folder behind the link is another one.
    ASSERT_TRUE(QDir(dir.path("stick")).removeRecursively());
    EXPECT_THROW(store.saveCurrentPage(oneLine("pulled")), Error);
    QDir().mkpath(dir.path("stick/notes"));
    store.saveCurrentPage(oneLine("put back"));
    EXPECT_EQ(textOf(store.loadCurrentPage().document), "put back");
    EXPECT_TRUE(rtf::isRtf(dir.read("stick/notes/A.rtf")));
}
