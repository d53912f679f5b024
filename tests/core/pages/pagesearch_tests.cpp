#include "pages/pagesearch.h"
#include "settings/error.h"
#include "support/tempdir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>

using namespace qly;
using qlytest::TempDir;

namespace {
QString folderOf(const TempDir& dir) {
    return dir.path() + QLatin1Char('/');
}
QList<int> hits(const TempDir& dir, const QString& text, bool caseSensitive = false) {
    const PageSearchResult r = searchPages(folderOf(dir), text, caseSensitive);
    EXPECT_FALSE(r.stoppedEarly()) << r.error.toStdString();
    return r.pages;
}
} // namespace

TEST(TextMatcher, CaseIsIgnoredOnlyWithoutCaseSensitivity) {
    EXPECT_TRUE(TextMatcher("meeting", false).matches("THE MEETING IS AT NOON"));
    EXPECT_FALSE(TextMatcher("meeting", true).matches("THE MEETING IS AT NOON"));
    EXPECT_TRUE(TextMatcher("MEETING", false).matches("the meeting"));
    EXPECT_TRUE(TextMatcher("Meeting", true).matches("a Meeting"));
    // Accented and non-Latin letters have cases too.
    EXPECT_TRUE(TextMatcher(QString::fromUtf8("café"), false).matches(QString::fromUtf8("CAFÉ")));
    EXPECT_TRUE(TextMatcher(QString::fromUtf8("жук"), false).matches(QString::fromUtf8("ЖУК")));
    EXPECT_TRUE(TextMatcher(QString::fromUtf8("ΣΟΦΙΑ"), false).matches(QString::fromUtf8("σοφια")));
    EXPECT_FALSE(TextMatcher(QString::fromUtf8("é"), true).matches(QString::fromUtf8("É")));
    EXPECT_FALSE(TextMatcher(QString::fromUtf8("é"), false).matches("E"));
}

TEST(TextMatcher, BlanksAreSearchedAndLinesNeverJoin) {
    EXPECT_TRUE(TextMatcher("  ", false).matches("two  blanks"));
    EXPECT_FALSE(TextMatcher("  ", false).matches("one blank"));
    EXPECT_FALSE(TextMatcher("end start", false).matches("the end\r\nstart"));
    EXPECT_TRUE(TextMatcher("end", false).matches("the end\r\nstart"));
}

TEST(TextMatcher, FindsTheTextAtAnyPlaceAmongOtherScripts) {
    // Text is passed over several units at a time: a hit counts at any place among them, and
    // in the units left after the last such group; a letter outside ASCII may start one.
    const QString fillers[] = {QStringLiteral("plain text "), QString::fromUtf8("жук σοφία "),
                               QString::fromUtf8("日本語 Āā é")};
    for (const QString& filler : fillers) {
        for (int at = 0; at < 20; ++at) {
            const QString before = filler.repeated(3).left(at);
            const QString after = filler.left(at % 7);
            EXPECT_TRUE(TextMatcher("zanzibar", false).matches(before + "ZanziBar" + after)) << at;
            EXPECT_TRUE(TextMatcher("straße", false).matches(before + QString::fromUtf8("ſtrasse")))
                << at;
            EXPECT_FALSE(TextMatcher("zanzibar", false).matches(before + "Zanzibur" + after)) << at;
        }
    }
}

TEST(TextMatcher, UsesTheSystemLocaleForUpperCase) {
    // Registered a second time under a Turkish locale: there "i" upper-cases to a dotted
    // capital, so it finds "İ" and no longer finds the dotless "I".
    if (QLocale::system().language() != QLocale::Turkish)
        GTEST_SKIP() << "runs under a Turkish locale only";
    EXPECT_TRUE(TextMatcher("istanbul", false).matches(QString::fromUtf8("İSTANBUL")));
    EXPECT_FALSE(TextMatcher("istanbul", false).matches("ISTANBUL"));
}

TEST(PageSearch, ListsEachMatchingPageOnceInLetterOrderAndSkipsMissingFiles) {
    TempDir dir;
    dir.write("Z.rtf", "apple at the end");
    dir.write("C.rtf", "apple apple apple\r\nand apple again");
    dir.write("A.rtf", "An APPLE a day");
    dir.write("B.rtf", "pears only");
    dir.write("a.rtf", "apple in a file no page owns");
    dir.write("AA.rtf", "apple");
    EXPECT_EQ(hits(dir, "apple"), (QList<int>{0, 2, 25}));
    EXPECT_EQ(hits(dir, "apple", true), (QList<int>{2, 25}));
    EXPECT_EQ(hits(dir, "plum"), QList<int>{});
}

TEST(PageSearch, AnEmptyFolderOrNoFolderFindsNothing) {
    TempDir dir;
    EXPECT_EQ(hits(dir, "x"), QList<int>{});
    const PageSearchResult r = searchPages(dir.path("none/"), "x", false);
    EXPECT_TRUE(r.pages.isEmpty());
    EXPECT_FALSE(r.stoppedEarly());
}

TEST(PageSearch, ReadsRtfAndPlainTextPagesAndEmptyFiles) {
    TempDir dir;
    dir.write("A.rtf", "{\\rtf1\\ansi {\\b bold} words\\par second line}");
    dir.write("B.rtf", "plain words, not RTF");
    dir.write("C.rtf", "");
    dir.write("D.rtf", "\xEF\xBB\xBF  {\\rtf1 rtf after a byte-order mark\\par}");
    EXPECT_EQ(hits(dir, "words"), (QList<int>{0, 1}));
    EXPECT_EQ(hits(dir, "order mark"), QList<int>{3});
    // RTF pages are searched as text: no control words, groups do not split words, and a
    // paragraph end is a line break.
    EXPECT_EQ(hits(dir, "ansi"), QList<int>{});
    EXPECT_EQ(hits(dir, "bold words"), QList<int>{0});
    EXPECT_EQ(hits(dir, "words second"), QList<int>{});
    // An empty search text matches every page that has a file; the dialog never runs it.
    EXPECT_EQ(hits(dir, ""), (QList<int>{0, 1, 2, 3}));
}

TEST(PageSearch, ReadOnlyFilesAreSearchedAndDanglingLinksAreNoFiles) {
    TempDir dir;
    dir.write("E.rtf", "read only text");
    QFile::setPermissions(dir.path("E.rtf"), QFile::ReadOwner | QFile::ReadGroup);
    ASSERT_TRUE(QFile::link(dir.path("gone.rtf"), dir.path("G.rtf")));
    EXPECT_EQ(hits(dir, "text"), QList<int>{4});
}

TEST(PageSearch, AnUnreadablePageEndsTheSearchAndKeepsEarlierHits) {
    TempDir dir;
    dir.write("A.rtf", "needle");
    dir.write("C.rtf", "needle");
    dir.write("F.rtf", "needle");
    // A folder where a page file should be cannot be read, even by root.
    ASSERT_TRUE(QDir().mkpath(dir.path("D.rtf")));
    const PageSearchResult r = searchPages(folderOf(dir), "needle", false);
    EXPECT_EQ(r.pages, (QList<int>{0, 2}));
    ASSERT_TRUE(r.stoppedEarly());
    EXPECT_TRUE(r.error.startsWith(QStringLiteral("Cannot open file \"%1\". ")
                                       .arg(QDir::toNativeSeparators(dir.path("D.rtf")))))
        << r.error.toStdString();
    EXPECT_GT(r.error.size(), 20 + dir.path("D.rtf").size()); // the reason follows
}

TEST(PageSearch, AnUnreadablePageIsNotTakenForAMissingOne) {
    TempDir dir;
    dir.write("A.rtf", "needle");
    ASSERT_TRUE(QFile::link("/proc/self/mem", dir.path("B.rtf"))); // a read error
    const PageSearchResult r = searchPages(folderOf(dir), "needle", false);
    EXPECT_EQ(r.pages, QList<int>{0});
    EXPECT_TRUE(r.error.contains(dir.path("B.rtf"))) << r.error.toStdString();
}

TEST(TextMatcher, FoldsALetterWhoseUpperCaseIsSeveral) {
    EXPECT_TRUE(TextMatcher("STRASSE", false).matches(QString::fromUtf8("Hauptstraße 5")));
    EXPECT_TRUE(TextMatcher(QString::fromUtf8("straße"), false).matches("HAUPTSTRASSE"));
    EXPECT_TRUE(TextMatcher("s", false).matches(QString::fromUtf8("ß"))); // "SS" holds "S"
    EXPECT_FALSE(TextMatcher("strasse", true).matches(QString::fromUtf8("straße")));
}

TEST(PieceMatcher, FindsTheTextWherePiecesMeetAndStopsAtTheFirstHit) {
    // Every split into three pieces, some shorter than the search text; "STRASSE" is found
    // in six units ("straße"), the case-sensitive "straße" in as many.
    const QString text = QString::fromUtf8("ab Hauptstraße cd");
    const TextMatcher folding("STRASSE", false), exact(QString::fromUtf8("straße"), true),
        absent("STRASSEN", false);
    for (qsizetype i = 0; i <= text.size(); ++i) {
        for (qsizetype j = i; j <= text.size(); ++j) {
            const QStringView pieces[] = {QStringView(text).first(i),
                                          QStringView(text).sliced(i, j - i),
                                          QStringView(text).sliced(j)};
            for (const TextMatcher* matcher : {&folding, &exact, &absent}) {
                PieceMatcher search(*matcher, nullptr);
                int taken = 0;
                while (taken < 3 && search.take(pieces[taken]))
                    ++taken;
                EXPECT_EQ(search.found(), matcher != &absent) << i << " " << j;
                EXPECT_EQ(taken < 3, search.found()) << "no piece after the hit is asked for";
            }
            QString kept;
            PieceMatcher keeping(folding, &kept);
            for (QStringView piece : pieces)
                EXPECT_TRUE(keeping.take(piece)) << "a kept text is taken to its end";
            EXPECT_TRUE(keeping.found());
            EXPECT_EQ(kept, text);
        }
    }
}

TEST(PageSearch, TheShownPageIsSearchedInItsTextNotItsFile) {
    TempDir dir;
    dir.write("A.rtf", "{\\rtf1 saved\\par}");
    dir.write("C.rtf", "saved too");
    const ShownPage shown{0, "typed\r\nsince"};
    PageTextCache cache;
    EXPECT_EQ(searchPages(folderOf(dir), "typed", false, &cache, &shown).pages, QList<int>{0});
    EXPECT_EQ(searchPages(folderOf(dir), "saved", false, &cache, &shown).pages, QList<int>{2});
    const ShownPage unsavedB{1, "typed on a page without a file"};
    EXPECT_EQ(searchPages(folderOf(dir), "TYPED", false, &cache, &unsavedB).pages, QList<int>{1});
}

TEST(PageSearch, ACacheRereadsOnlyChangedPages) {
    TempDir dir;
    dir.write("A.rtf", "{\\rtf1 alpha\\par}");
    dir.write("B.rtf", "beta");
    dir.write("C.rtf", "gamma");
    PageTextCache cache;
    const auto search = [&](const QString& text) {
        const PageSearchResult r = searchPages(folderOf(dir), text, false, &cache);
        EXPECT_FALSE(r.stoppedEarly()) << r.error.toStdString();
        return r.pages;
    };
    EXPECT_EQ(search("ALPHA"), QList<int>{0});
    EXPECT_EQ(cache.filesRead(), 3);
    EXPECT_EQ(cache.bytesKept(), qsizetype(sizeof(QChar)) * (5 + 4 + 5));
    EXPECT_EQ(search("beta"), QList<int>{1});
    EXPECT_EQ(cache.filesRead(), 3); // nothing changed
    // Another file in a page's place (a save renames one into place), a file written over
    // with other text of the same size, a page deleted: each is seen.
    dir.write("A.tmp", "{\\rtf1 delta\\par}");
    ASSERT_EQ(
        std::rename(QFile::encodeName(dir.path("A.tmp")), QFile::encodeName(dir.path("A.rtf"))), 0);
    {
        QFile b(dir.path("B.rtf"));
        ASSERT_TRUE(b.open(QIODevice::ReadWrite));
        b.write("bet2");
        // Timestamps are coarser than this test is quick: the time of a later write.
        b.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    }
    ASSERT_TRUE(QFile::remove(dir.path("C.rtf")));
    EXPECT_EQ(search("delta"), QList<int>{0});
    EXPECT_EQ(search("bet2"), QList<int>{1});
    EXPECT_EQ(search("gamma"), QList<int>{});
    EXPECT_EQ(cache.filesRead(), 5);
}
