// Find next and Replace's matching, the pages' names and the positions kept for each page.
#include "pages/pagenames.h"
#include "pages/pagepositions.h"
#include "pages/textmatches.h"
#include "settings/profile.h"
#include "support/tempdir.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace qly;
using qlytest::TempDir;

namespace {
QList<qsizetype> starts(const QString& text, const MatchRule& rule) {
    QList<qsizetype> out;
    for (const TextMatch& m : findMatches(text, rule))
        out.append(m.start);
    return out;
}
} // namespace

TEST(TextMatches, CaseAndWholeWordsDecideWhatMatches) {
    const QString text = QStringLiteral("Cat, cat! Scatter the CATS; cat_tail cat");
    EXPECT_EQ(starts(text, {"cat", false, false}), (QList<qsizetype>{0, 5, 11, 22, 28, 37}));
    EXPECT_EQ(starts(text, {"cat", true, false}), (QList<qsizetype>{5, 11, 28, 37}));
    EXPECT_EQ(starts(text, {"cat", false, true}), (QList<qsizetype>{0, 5, 37}));
    // Matches never overlap; an empty search matches nothing.
    EXPECT_EQ(starts(QStringLiteral("aaaa"), {"aa", true, false}), (QList<qsizetype>{0, 2}));
    EXPECT_TRUE(findMatches(text, {}).isEmpty());
    // A search that starts or ends with a non-word character is whole where its letters are.
    EXPECT_EQ(starts(QStringLiteral("a-b a-bc"), {"a-b", true, true}), (QList<qsizetype>{0}));
}

TEST(TextMatches, NextMatchGoesFromTheSelection) {
    const QList<TextMatch> m{{2, 3}, {10, 3}, {20, 3}};
    EXPECT_EQ(nextMatchIndex(m, 0, 0, true), 0);
    EXPECT_EQ(nextMatchIndex(m, 2, 5, true), 1); // the match selected: the one after it
    EXPECT_EQ(nextMatchIndex(m, 3, 3, true), 1); // the caret inside a match
    EXPECT_EQ(nextMatchIndex(m, 20, 23, true), -1);
    EXPECT_EQ(nextMatchIndex(m, 10, 13, false), 0);
    EXPECT_EQ(nextMatchIndex(m, 2, 5, false), -1);
    EXPECT_EQ(nextMatchIndex(m, 99, 99, false), 2);
    EXPECT_EQ(nextMatchIndex({}, 0, 0, true), -1);
}

TEST(TextMatches, TheNextPageWrapsAndComesBackToTheCurrentOneLast) {
    std::array<bool, PageCount> has{};
    EXPECT_EQ(nextPageWithMatch(has, 3, true), -1);
    has[2] = has[6] = true; // C and G
    EXPECT_EQ(nextPageWithMatch(has, 2, true), 6);
    EXPECT_EQ(nextPageWithMatch(has, 6, true), 2);  // past Z to A
    EXPECT_EQ(nextPageWithMatch(has, 2, false), 6); // before A to Z
    EXPECT_EQ(nextPageWithMatch(has, 0, false), 6);
    has[6] = false;
    EXPECT_EQ(nextPageWithMatch(has, 2, true), 2); // the only page: itself, from its other end
}

TEST(PageNames, TheFirstLineWithTextNamesThePageCutToThirtyCharacters) {
    EXPECT_EQ(pageFirstLine(u"\r\n  \r\n\tShopping   list \r\nmilk"),
              QStringLiteral("Shopping list"));
    EXPECT_EQ(pageFirstLine(u"\uFFFC\u2029Notes\u2029"), QStringLiteral("Notes"));
    EXPECT_EQ(pageFirstLine(u" \r\n \r\n"), QString());
    const QString longLine = pageFirstLine(QString(40, u'x'));
    EXPECT_EQ(longLine.size(), PageNameLength);
    EXPECT_EQ(longLine.back(), QChar(0x2026));
    EXPECT_EQ(pageFirstLine(QString(30, u'y')), QString(30, u'y'));
    EXPECT_EQ(pageListName(2, QStringLiteral("Shopping list")), QStringLiteral("C  Shopping list"));
    EXPECT_EQ(pageListName(25, QString()), QStringLiteral("Z"));
}

TEST(PageNames, FilesAreReadForTheirStartAndAgainWhenTheyChange) {
    TempDir dir;
    dir.write("B.rtf", "{\\rtf1\\ansi {\\b Groceries}\\par milk\\par}");
    dir.write("C.rtf", "plain first\r\nsecond");
    PageNames names(dir.path() + QLatin1Char('/'));
    EXPECT_EQ(names.firstLine(1), QStringLiteral("Groceries"));
    EXPECT_EQ(names.firstLine(2), QStringLiteral("plain first"));
    EXPECT_EQ(names.firstLine(3), QString()); // no file
    dir.write("B.rtf", "{\\rtf1\\ansi Changed and longer\\par}");
    EXPECT_EQ(names.firstLine(1), QStringLiteral("Changed and longer"));
    QFile::remove(dir.path("C.rtf"));
    EXPECT_EQ(names.firstLine(2), QString());
}

TEST(PagePositions, KeptInTheirOwnSectionAndReadBackSafely) {
    TempDir dir;
    const QString ini = dir.path("qly.ini");
    dir.write("qly.ini", "[Main]\nActivePage=2\n[Positions]\nD=1,2\nE=-1,0,0\nF=x,1,1\n");
    std::array<PagePosition, PageCount> positions{};
    positions[0] = {120, 120, 80};
    positions[2] = {5, 9, 0};
    {
        Profile profile(ini);
        writePagePositions(profile, positions);
    }
    const QByteArray written = dir.read("qly.ini");
    EXPECT_TRUE(written.contains("A=120,120,80"));
    EXPECT_FALSE(written.contains("B=")); // never moved from its top
    EXPECT_TRUE(written.contains("ActivePage=2"));
    const auto back = readPagePositions(Profile(ini));
    EXPECT_EQ(back[0], (PagePosition{120, 120, 80}));
    EXPECT_EQ(back[2], (PagePosition{5, 9, 0}));
    // Hand-edited values that are not three numbers of zero or more open the page at its top.
    for (int i : {3, 4, 5})
        EXPECT_TRUE(back[i].atStart()) << i;
}

TEST(PagePositions, APlacePastTheEndGoesToTheEnd) {
    EXPECT_EQ((PagePosition{50, 70, 40}.clampedTo(60)), (PagePosition{50, 60, 40}));
    EXPECT_EQ((PagePosition{50, 70, 65}.clampedTo(0)), (PagePosition{0, 0, 0}));
}
