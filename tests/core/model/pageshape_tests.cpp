// Merging runs that look the same, and when a page is better broken anywhere.
#include "model/pageshape.h"

#include <gtest/gtest.h>

using namespace qly;

namespace {

CharFormat bold() {
    CharFormat f;
    f.bold = true;
    return f;
}

// One paragraph of `count` one-letter runs, alternately bold and plain, with a space after
// every `wordLength` letters (none when 0).
Paragraph alternating(int count, int wordLength) {
    Paragraph p;
    for (int i = 0; i < count; ++i) {
        QString text(QChar(u'a' + i % 26));
        if (wordLength && i % wordLength == wordLength - 1)
            text += QLatin1Char(' ');
        p.runs.push_back(TextRun{text, i % 2 ? bold() : CharFormat{}});
    }
    return p;
}

} // namespace

TEST(MergeAlikeRuns, JoinsNeighboursInOneFormatAndKeepsEverythingElse) {
    Document doc;
    doc.paragraphs.push_back(Paragraph{Alignment::Center,
                                       {TextRun{"a", {}}, TextRun{"b", {}}, TextRun{"c", bold()},
                                        TextRun{"d", bold()}, TextRun{"e", {}}}});
    doc.paragraphs.push_back(Paragraph{Alignment::Left, {TextRun{"f", {}}}});
    doc.paragraphs.emplace_back();
    mergeAlikeRuns(doc);
    ASSERT_EQ(doc.paragraphs.size(), 3u);
    EXPECT_EQ(doc.paragraphs[0],
              (Paragraph{Alignment::Center,
                         {TextRun{"ab", {}}, TextRun{"cd", bold()}, TextRun{"e", {}}}}));
    EXPECT_EQ(doc.paragraphs[1], (Paragraph{Alignment::Left, {TextRun{"f", {}}}}));
    EXPECT_TRUE(doc.paragraphs[2].runs.empty());
}

TEST(WantsWrapAnywhere, OnlyForLongStretchesWithoutABreak) {
    // Ordinary words in one long paragraph, alternating formats included.
    Document words;
    words.paragraphs.push_back(alternating(300'000, 6));
    EXPECT_FALSE(wantsWrapAnywhere(words));

    // A long word is cheap when it is one run, costly when it alternates formats.
    Document longWord;
    longWord.paragraphs.push_back(Paragraph{Alignment::Left, {TextRun{QString(5000, u'x'), {}}}});
    EXPECT_FALSE(wantsWrapAnywhere(longWord));
    Document runs;
    runs.paragraphs.push_back(alternating(20'000, 0));
    EXPECT_TRUE(wantsWrapAnywhere(runs));

    // A pasted block of base64 without a space.
    Document block;
    block.paragraphs.push_back(Paragraph{Alignment::Left, {TextRun{QString(200'000, u'Q'), {}}}});
    EXPECT_TRUE(wantsWrapAnywhere(block));
}

TEST(HasUniformParagraphs, NothingButTheTextMayDiffer) {
    Document doc;
    doc.paragraphs.push_back(Paragraph{Alignment::Left, {TextRun{"one", {}}}});
    doc.paragraphs.push_back(Paragraph{Alignment::Left, {}});
    doc.paragraphs.push_back(Paragraph{Alignment::Left, {TextRun{"three", {}}}});
    EXPECT_TRUE(hasUniformParagraphs(doc));
    Document centred = doc;
    centred.paragraphs[1].align = Alignment::Center;
    EXPECT_FALSE(hasUniformParagraphs(centred));
    Document boldLine = doc;
    boldLine.paragraphs[2].runs[0].format = bold();
    EXPECT_FALSE(hasUniformParagraphs(boldLine));
    Document emptyFirst = doc;
    emptyFirst.paragraphs[0].runs.clear();
    EXPECT_FALSE(hasUniformParagraphs(emptyFirst));
}
