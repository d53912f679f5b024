// Checklist boxes and links found in a note's text.
#include "model/inlinemarks.h"

#include <gtest/gtest.h>

using namespace qly;

TEST(InlineMarks, ChecklistBoxes) {
    EXPECT_EQ(boxTicked(u"\u2610 milk"_qs), false);
    EXPECT_EQ(boxTicked(u"\u2611 milk"_qs), true);
    EXPECT_EQ(boxTicked(u" \u2611 milk"_qs), std::nullopt); // only at the paragraph's start
    EXPECT_EQ(boxTicked(QString()), std::nullopt);
    EXPECT_EQ(toggledBox(kBoxOpen), kBoxTicked);
    EXPECT_EQ(toggledBox(kBoxTicked), kBoxOpen);
}

TEST(InlineMarks, LinksEndingAtACaret) {
    const auto url = [](const QString& text) {
        const std::optional<FoundLink> link = linkEndingAt(text, text.size());
        return link ? link->url : QString();
    };
    EXPECT_EQ(url("see https://example.org"), "https://example.org");
    EXPECT_EQ(url("HTTP://Example.org/a?b=c"), "HTTP://Example.org/a?b=c");
    EXPECT_EQ(url("(www.example.org)."), "http://www.example.org");
    EXPECT_EQ(url("mail ann.lee+notes@mail.example.com,"), "mailto:ann.lee+notes@mail.example.com");
    EXPECT_EQ(url("file:///home/ann/plan.odt"), "file:///home/ann/plan.odt");
    EXPECT_EQ(url("https://en.wikipedia.org/wiki/Tea_(meal)"),
              "https://en.wikipedia.org/wiki/Tea_(meal)");
    for (const char* plain : {"http://", "www.", "www.x.", "ann@", "a@b", "example.org", "", "."})
        EXPECT_EQ(url(plain), QString()) << plain;
    const std::optional<FoundLink> link = linkEndingAt("go to www.a.org now", 15);
    ASSERT_TRUE(link);
    EXPECT_EQ(std::pair(link->start, link->length), std::pair(qsizetype(6), qsizetype(9)));
}
