// The RTF reader and writer on hand-made input: every rule they follow, one group at a time.
#include "rtf/rtf.h"
#include "rtf/rtflists.h"
#include "rtf/rtfreader.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

using namespace qly;
using qly::rtf::plainText;
using qly::rtf::readDocument;
using qly::rtf::writeDocument;

namespace {

QString text(const char* rtf) {
    return plainText(QByteArrayView(rtf, qsizetype(strlen(rtf))));
}
QString text(const QByteArray& rtf) {
    return plainText(rtf);
}
Document doc(const char* rtf) {
    return readDocument(QByteArray(rtf));
}
QString u(const char16_t* s) {
    return QString::fromUtf16(s);
}

// Text of one paragraph.
QString para(const Document& d, size_t i) {
    QString s;
    for (const TextRun& r : d.paragraphs.at(i).runs)
        s += r.text;
    return s;
}

} // namespace

TEST(RtfDetect, RtfAfterBomAndBlanks) {
    EXPECT_TRUE(rtf::isRtf("{\\rtf1 x}"));
    EXPECT_TRUE(rtf::isRtf("\xEF\xBB\xBF \r\n\t{\\rtf1 x}"));
    EXPECT_FALSE(rtf::isRtf("x{\\rtf1 x}"));
    EXPECT_FALSE(rtf::isRtf("{\\rt"));
    EXPECT_FALSE(rtf::isRtf(""));
}

TEST(RtfPlainFallback, Utf8AndWindows1252) {
    EXPECT_EQ(text("caf\xC3\xA9\nline 2"), u(u"café\r\nline 2"));
    EXPECT_EQ(text("caf\xE9\r\n\x80"), u(u"café\r\n€"));
    EXPECT_EQ(text("\xEF\xBB\xBFhi"), u(u"hi"));
    const Document d = doc("a\r\nb\rc\n");
    ASSERT_EQ(d.paragraphs.size(), 4u);
    EXPECT_EQ(para(d, 0), "a");
    EXPECT_EQ(para(d, 2), "c");
    EXPECT_TRUE(d.paragraphs[3].runs.empty());
    EXPECT_EQ(doc("").paragraphs.size(), 1u);
}

TEST(RtfReader, ParagraphsAndFinalParMark) {
    EXPECT_EQ(text("{\\rtf1 Hello\\par World\\par\n}"), "Hello\r\nWorld");
    EXPECT_EQ(text("{\\rtf1 Hello\\par World}"), "Hello\r\nWorld");
    EXPECT_EQ(text("{\\rtf1 Hello\\par\\par}"), "Hello\r\n");
    EXPECT_EQ(doc("{\\rtf1 Hello\\par}").paragraphs.size(), 1u);
    EXPECT_EQ(doc("{\\rtf1 Hello\\par\\par}").paragraphs.size(), 2u);
    EXPECT_EQ(doc("{\\rtf1 }").paragraphs.size(), 1u);
    EXPECT_EQ(doc("{\\rtf1 \\par}").paragraphs.size(), 1u);
    EXPECT_EQ(text("{\\rtf1 a\\\nb\\\r\nc}"), "a\r\nb\r\nc");
}

TEST(RtfReader, DelimiterAndLineBreaks) {
    EXPECT_EQ(text("{\\rtf1 \\b  x\\b0 y}"), " xy");
    EXPECT_EQ(text("{\\rtf1 a\r\nb\nc}"), "abc");
    EXPECT_EQ(text("{\\rtf1 a\\line b\\tab c}"), u(u"a\u2028b\tc"));
    EXPECT_EQ(text("{\\rtf1 \\{\\}\\\\}"), "{}\\");
}

TEST(RtfReader, SpecialCharacters) {
    EXPECT_EQ(
        text("{\\rtf1 \\lquote\\rquote\\ldblquote\\rdblquote\\emdash\\endash\\bullet\\~\\-\\_}"),
        u(u"\u2018\u2019\u201C\u201D\u2014\u2013\u2022\u00A0\u00AD\u2011"));
}

TEST(RtfReader, UnicodeAndSkipping) {
    EXPECT_EQ(text("{\\rtf1 \\u1055?\\u1088?}"), u(u"Пр"));
    EXPECT_EQ(text("{\\rtf1 \\u-3913?}"), u(u"\uF0B7"));
    EXPECT_EQ(text("{\\rtf1 \\uc0\\u-10179\\u-8704 x}"), u(u"\U0001F600x")); // surrogate pair
    EXPECT_EQ(text("{\\rtf1 \\uc2\\u1055\\'cf\\'f0x}"), u(u"Пx"));           // \'hh counts one
    EXPECT_EQ(text("{\\rtf1 \\uc2\\u1055 ab c}"), u(u"П c"));
    EXPECT_EQ(text("{\\rtf1 \\uc1\\u1055\\par x}"), u(u"Пx"));           // a control word counts
    EXPECT_EQ(text("{\\rtf1 \\uc3\\u1055{b}c}"), u(u"Пbc"));             // a brace ends the skip
    EXPECT_EQ(text("{\\rtf1 {\\uc2 \\u1055 ab}\\u1056 ab}"), u(u"ПРb")); // \uc is scoped
    EXPECT_EQ(text("{\\rtf1 \\uc1\\u1055\\bin3 abcx}"), u(u"Пx"));       // \bin counts one
    EXPECT_EQ(text("{\\rtf1 \\u65 ?}"), u(u"A"));
}

TEST(RtfReader, CodePages) {
    EXPECT_EQ(text("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}"), u(u"При"));
    EXPECT_EQ(text("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset204 Arial;}{\\f1\\fcharset161 Arial;}}"
                   "\\f0\\'cf\\f1\\'e1\\f0 x}"),
              u(u"Пαx"));
    EXPECT_EQ(
        text("{\\rtf1{\\fonttbl{\\f0\\fcharset128 MS Gothic;}}\\f0\\'82\\'a0\\'83\\'41\\'82 }"),
        u(u"あア ")); // a lone lead byte is dropped; the blank after \'hh is text
    EXPECT_EQ(text("{\\rtf1{\\fonttbl{\\f0\\fcharset128 MS Gothic;}}\\f0\\'83A}"), u(u"ア"));
    EXPECT_EQ(text("{\\rtf1{\\fonttbl{\\f0\\fcharset134 SimSun;}}\\f0\\'c4\\'e3\\'ba\\'c3}"),
              u(u"你好"));
    EXPECT_EQ(text("{\\rtf1{\\fonttbl{\\f0\\fcharset129 Gulim;}}\\f0\\'c7\\'d1}"), u(u"한"));
    EXPECT_EQ(text("{\\rtf1{\\fonttbl{\\f0\\fcharset136 MingLiU;}}\\f0\\'a4\\'a4}"), u(u"中"));
    EXPECT_EQ(text("{\\rtf1{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset2 Symbol;}}"
                   "\\f1\\'b7 a\\f0 a}"),
              u(u"\u2022 αa"));
    EXPECT_EQ(text("{\\rtf1\\ansi \\'e9\\'80}"), u(u"é€"));
}

// UTF-8 spread over \'hh escapes, Mac pages as TextEdit writes them, nested-table text.
TEST(RtfReader, Utf8MacAndNestedTableText) {
    EXPECT_EQ(
        text(
            "{\\rtf1\\ansi\\ansicpg65001{\\fonttbl{\\f0\\fnil\\fcharset0 Caf\\'c3\\'a9 Sans;}}\\f0 "
            "caf\\'c3\\'a9 \\'e2\\'80\\'94 \\'f0\\'9f\\'98\\'80\\par}"),
        u(u"café — 😀"));
    EXPECT_EQ(doc("{\\rtf1\\ansi\\ansicpg65001{\\fonttbl{\\f0\\fcharset0 Caf\\'c3\\'a9;}}\\f0 x}")
                  .paragraphs[0]
                  .runs[0]
                  .format.font,
              u(u"Café"));
    EXPECT_EQ(text("{\\rtf1\\ansi{\\fonttbl{\\f0\\cpg65001 A;}}\\f0\\'d0\\'9f\\'c3x\\'e2\\'80}"),
              u(u"П\uFFFDx")); // a broken sequence, and one cut short by the end
    EXPECT_EQ(text("{\\rtf1\\mac\\ansicpg10001{\\fonttbl\\f0\\fnil\\fcharset78 HiraKakuPro-W3;}"
                   "\\f0 \\'93\\'fa\\'96\\{\\'8c\\'ea\\'fd}"),
              u(u"日本語©"));
    EXPECT_EQ(text("{\\rtf1\\mac{\\fonttbl{\\f0\\fcharset89 A;}{\\f1\\fcharset85 "
                   "B;}}\\f0\\'8f\\f1\\'e1 \\f0\\'a5}"),
              u(u"Пα •"));
    EXPECT_EQ(text("{\\rtf1\\mac \\'8e}"), u(u"é"));
    EXPECT_EQ(text("{\\rtf1 \\trowd\\cellx900\\pard\\intbl a\\cell{\\*\\nesttableprops "
                   "inner\\nestrow}\\row}"),
              "a\tinner");
}

TEST(RtfReader, ParagraphFormatting) {
    const Document d =
        doc("{\\rtf1 \\pard\\qj\\li720\\ri-360\\fi-360\\sb120\\sa240\\sl360\\slmult1\\keep\\keepn"
            "\\tqr\\tx5000\\tqc\\tx3000\\tqdec\\tx4000\\tx1000 a\\par b\\par"
            "\\pard\\sl-300\\slmult0 c\\par\\pard{\\li99 d\\par}}");
    ASSERT_EQ(d.paragraphs.size(), 4u);
    const Paragraph& p = d.paragraphs[0];
    EXPECT_EQ(p.align, Alignment::Justify);
    EXPECT_EQ(
        std::vector<int>({p.leftIndent, p.rightIndent, p.firstIndent, p.spaceBefore, p.spaceAfter}),
        std::vector<int>({720, -360, -360, 120, 240}));
    EXPECT_EQ(p.lineSpacing, 360);
    EXPECT_TRUE(p.lineMultiple && p.keepTogether && p.keepWithNext);
    EXPECT_EQ(p.tabs, (std::vector<TabStop>{{1000, TabKind::Left},
                                            {3000, TabKind::Center},
                                            {4000, TabKind::Decimal},
                                            {5000, TabKind::Right}}));
    Paragraph second = d.paragraphs[1];
    second.runs = p.runs;
    EXPECT_EQ(second, p);
    EXPECT_EQ(d.paragraphs[2].lineSpacing, -300); // exactly 15 points
    EXPECT_FALSE(d.paragraphs[2].lineMultiple);
    EXPECT_TRUE(d.paragraphs[2].tabs.empty());
    EXPECT_EQ(d.paragraphs[3].leftIndent, 99); // group-scoped, in force at the \par inside
    const QByteArray rtf = writeDocument(d);
    EXPECT_TRUE(
        rtf.contains("\\pard\\qj\\li720\\ri-360\\fi-360\\sb120\\sa240\\sl360\\slmult1\\keep\\keepn"
                     "\\tx1000\\tqc\\tx3000\\tqdec\\tx4000\\tqr\\tx5000 a"));
    EXPECT_EQ(readDocument(rtf), d);
    // Absurd values are held to a page's width; tab stops are capped.
    QByteArray many = "{\\rtf1 \\li99999999";
    for (int i = 0; i < 1000; ++i)
        many += "\\tx" + QByteArray::number(i * 7);
    const Document capped = readDocument(many + " x}");
    EXPECT_EQ(capped.paragraphs[0].leftIndent, 31680);
    EXPECT_EQ(capped.paragraphs[0].tabs.size(), 64u);
}

TEST(RtfReader, DeffAndPlain) {
    const Document d = doc("{\\rtf1\\deff1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Times;}}"
                           "\\'cf\\f0 a\\plain\\'cf}");
    ASSERT_EQ(d.paragraphs.size(), 1u);
    const auto& runs = d.paragraphs[0].runs;
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].text, u(u"П"));
    EXPECT_EQ(runs[0].format.font, "Times");
    EXPECT_EQ(runs[0].format.charset, 204);
    EXPECT_EQ(runs[1].format.font, "Arial");
    EXPECT_EQ(runs[2].format.font, "Times");
    EXPECT_EQ(runs[2].text, u(u"П"));
}

TEST(RtfReader, FontTableShapes) {
    // One group per font, \falt, \panose, a name in \'hh.
    Document d =
        doc("{\\rtf1{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}"
            "Times New Roman{\\*\\falt Times};}{\\f1\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}"
            "{\\f2\\fnil\\fcharset0 Sans}}\\f0 a\\f1 b\\f2 c}");
    ASSERT_EQ(d.paragraphs[0].runs.size(), 3u);
    EXPECT_EQ(d.paragraphs[0].runs[0].format.font, "Times New Roman");
    EXPECT_EQ(d.paragraphs[0].runs[1].format.font, u(u"宋体"));
    EXPECT_EQ(d.paragraphs[0].runs[2].format.font, "Sans");
    // No group per font.
    d = doc("{\\rtf1{\\fonttbl\\f0\\fswiss Helvetica;\\f1\\fmodern Courier;}\\f1 x\\f0 y}");
    ASSERT_EQ(d.paragraphs[0].runs.size(), 2u);
    EXPECT_EQ(d.paragraphs[0].runs[0].format.font, "Courier");
    EXPECT_EQ(d.paragraphs[0].runs[1].format.font, "Helvetica");
}

TEST(RtfReader, ColourTables) {
    Document d = doc("{\\rtf1{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                     "\\cf1 a\\cf0 b\\highlight2 c\\cb0 d\\chcbpat1 e}");
    auto& r = d.paragraphs[0].runs;
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0].format.color, 0xFF0000u);
    EXPECT_FALSE(r[1].format.color);
    EXPECT_EQ(r[2].format.background, 0x0000FFu);
    EXPECT_FALSE(r[3].format.background);
    EXPECT_EQ(r[4].format.background, 0xFF0000u);
    // Without an empty entry 0.
    d = doc(
        "{\\rtf1{\\colortbl\\red0\\green128\\blue0;\\red1\\green2\\blue3;}\\cf0 a\\cf1 b\\cf7 c}");
    auto& r2 = d.paragraphs[0].runs;
    ASSERT_EQ(r2.size(), 3u);
    EXPECT_EQ(r2[0].format.color, 0x008000u);
    EXPECT_EQ(r2[1].format.color, 0x010203u);
    EXPECT_FALSE(r2[2].format.color);
}

TEST(RtfReader, CharacterFormatting) {
    Document d = doc("{\\rtf1 \\b\\i\\ul\\strike\\fs36 a\\b0\\i0\\ulnone\\strike0 b\\uldb c\\ul0 d"
                     "\\ulwave e\\ulc2 f\\ulnone{\\ul g}h\\plain i}");
    auto& r = d.paragraphs[0].runs;
    ASSERT_EQ(r.size(), 7u);
    EXPECT_TRUE(r[0].format.bold && r[0].format.italic && r[0].format.underline &&
                r[0].format.strike);
    EXPECT_EQ(r[0].format.size, 18.0);
    EXPECT_EQ(r[1].text, "b");
    EXPECT_FALSE(r[1].format.bold || r[1].format.italic || r[1].format.underline ||
                 r[1].format.strike);
    EXPECT_TRUE(r[2].format.underline);  // \uldb
    EXPECT_FALSE(r[3].format.underline); // \ul0
    EXPECT_EQ(r[4].text, "efg");         // \ulwave; \ulc is a colour, not a variant
    EXPECT_TRUE(r[4].format.underline);
    EXPECT_EQ(r[5].text, "h"); // \ulnone, and the group of g restored it
    EXPECT_FALSE(r[5].format.underline);
    EXPECT_EQ(r[6].text, "i");
    EXPECT_EQ(r[6].format.size, 12.0);
}

TEST(RtfReader, Alignment) {
    Document d =
        doc("{\\rtf1 \\qc a\\par \\qr b\\par\\pard c\\par\\qj d\\par\\ql e\\par{\\qc f\\par}g}");
    ASSERT_EQ(d.paragraphs.size(), 7u);
    using A = Alignment;
    const A want[] = {A::Center, A::Right, A::Left, A::Justify, A::Left, A::Center, A::Left};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(d.paragraphs[size_t(i)].align, want[i]) << i;
}

TEST(RtfReader, FieldsPicturesHiddenDestinations) {
    EXPECT_EQ(text("{\\rtf1 a{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}b}"), "alinkb");
    EXPECT_EQ(text("{\\rtf1 a{\\field{\\fldinst PAGE}{\\fldrslt 1}}b}"), "a1b");
    EXPECT_EQ(text("{\\rtf1 a{\\pict\\pngblip 89504e47}{\\*\\shppict{\\pict "
                   "00}}{\\nonshppict{\\pict 00}}b}"),
              "ab");
    EXPECT_EQ(text("{\\rtf1 a{\\v hidden}\\v x\\v0 b}"), "ab");
    EXPECT_EQ(
        text("{\\rtf1 a{\\*\\unknowndest text}{\\*\\generator Riched20;}{\\info{\\title t}}b}"),
        "ab");
    EXPECT_EQ(text("{\\rtf1 a{\\*\\foo{\\bin4 }}}}}}b}"), "ab");
    EXPECT_EQ(text("{\\rtf1 {\\upr{ansi}{\\*\\ud{uni}}}}"), "uni");
}

TEST(RtfReader, ListNumbers) {
    // \pntext and \*\pn together: the text of \pntext only.
    EXPECT_EQ(text("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}"
                   "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
                   "\\f0 one\\par"
                   "{\\pntext\\f1\\'B7\\tab}two\\par}"),
              u(u"\u2022\tone\r\n\u2022\ttwo"));
    // \*\pn alone.
    EXPECT_EQ(text("{\\rtf1 {\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}one\\par"
                   "{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}two\\par\\pard three}"),
              "1.\tone\r\n2.\ttwo\r\nthree");
    EXPECT_EQ(text("{\\rtf1 {\\listtext 1.\\tab}a\\par}"), "1.\ta");
}

TEST(RtfReader, Tables) {
    EXPECT_EQ(
        text("{\\rtf1 \\trowd\\cellx100\\cellx200\\cellx300\\pard\\intbl A\\cell\\cell C\\cell\\row"
             "\\trowd\\pard\\intbl D\\cell E\\cell F\\cell\\row\\pard after\\par}"),
        "A\t\tC\r\nD\tE\tF\r\nafter");
    // A section break ends a row's line with the gaps of the cells ended after its text, and
    // a \par after its last cell as a line of its own: the page opened holds find's text.
    for (const char* rtf :
         {"{\\rtf t\\cell\\nestcell\\sect}", "{\\rtf t\\cell\\nestcell\\sect u\\par}",
          "{\\rtf x\\intbl\\cell\\par\\sect\\par}"})
        EXPECT_EQ(rtf::documentText(doc(rtf)), text(rtf)) << rtf;
}

// Word's shape of a table: row borders for cells without their own, merges both ways,
// shading as a pattern over a background, a nested table's text in its outer cell. Written
// back and read again, it is the same table.
TEST(RtfTables, MergesBordersAndShadingSurviveWriting) {
    const Document d = doc(
        "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
        "\\trowd\\trgaph108\\trleft-108\\trqc\\trbrdrt\\brdrs\\brdrw10\\trbrdrv\\brdrs"
        "\\brdrw20\\brdrcf1\\clvmgf\\clmgf\\clcbpat2\\cellx1000\\clmrg\\cellx2000"
        "\\clbrdrl\\brdrnone\\clshdng5000\\cellx3000"
        "\\pard\\intbl\\qc a\\par b\\cell\\pard\\intbl\\cell\\pard\\intbl\\itap2 x\\nestcell y"
        "\\nestcell{\\*\\nesttableprops\\trowd\\cellx500\\cellx900\\nestrow}{\\nonesttables\\par}"
        "\\pard\\intbl\\itap1 c\\cell\\row"
        "\\trowd\\trgaph108\\trleft-108\\clvmrg\\cellx2000\\cellx3000"
        "\\pard\\intbl\\cell\\pard\\intbl d\\cell\\row\\pard after\\par}");
    ASSERT_EQ(d.rows.size(), 2u);
    const TableRow& r = d.rows[0];
    EXPECT_EQ(r.left, -108);
    EXPECT_EQ(r.gap, 108);
    EXPECT_EQ(r.align, Alignment::Center);
    ASSERT_EQ(r.cells.size(), 3u);
    EXPECT_EQ(r.cells[0].right, 1000);
    EXPECT_EQ(r.cells[0].merge, CellMerge::First);
    EXPECT_EQ(r.cells[0].vmerge, CellMerge::First);
    EXPECT_EQ(r.cells[1].merge, CellMerge::Continue);
    EXPECT_EQ(r.cells[0].shading, 0x0000FFu);
    EXPECT_EQ(r.cells[2].shading, 0x808080u); // half black over white
    EXPECT_EQ(r.cells[0].borders[BorderTop], (Border{10, std::nullopt}));
    EXPECT_EQ(r.cells[0].borders[BorderRight], (Border{20, 0xFF0000u})); // the inside border
    EXPECT_EQ(r.cells[0].borders[BorderLeft], Border{});                 // no outer left
    EXPECT_EQ(r.cells[2].borders[BorderLeft], Border{});                 // its own: none
    EXPECT_EQ(d.rows[1].cells[0].vmerge, CellMerge::Continue);
    // Paragraphs: a, b in cell 0; an empty cell 1; the nested row and c in cell 2.
    ASSERT_EQ(d.paragraphs.size(), 8u);
    const int cellOf[] = {0, 0, 1, 2, 2, 0, 1};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(d.paragraphs[size_t(i)].row, i < 5 ? 1 : 2);
        EXPECT_EQ(d.paragraphs[size_t(i)].cell, cellOf[i]);
    }
    EXPECT_EQ(para(d, 3), "x\ty");
    EXPECT_EQ(para(d, 4), "c");
    EXPECT_EQ(d.paragraphs[0].align, Alignment::Center);
    EXPECT_EQ(d.paragraphs[7].row, 0);
    EXPECT_EQ(para(d, 7), "after");
    const QByteArray written = writeDocument(d);
    EXPECT_EQ(readDocument(written), d);
    EXPECT_EQ(writeDocument(readDocument(written)), written);
    EXPECT_EQ(plainText(written), "a\r\nb\t\tx\ty\r\nc\r\n\td\r\nafter");
}

// Rows without \row, cells without definitions, a definition of more cells than any row
// holds, a million rows of a definition of 63 cells: every paragraph names a row and a cell
// that exist, and the rows hold the cells their paragraphs use.
TEST(RtfTables, HostileRowsStayBounded) {
    const Document open = doc("{\\rtf1\\pard\\intbl a\\cell b\\pard c\\par}");
    ASSERT_EQ(open.rows.size(), 1u);
    EXPECT_EQ(open.rows[0].cells.size(), 2u); // c follows an ended cell: of the row
    EXPECT_EQ(open.rows[0].cells[1].right, 2880);
    QByteArray wide = "{\\rtf1\\trowd";
    for (int i = 0; i < 100000; ++i)
        wide += "\\cellx" + QByteArray::number(i);
    wide += "\\pard\\intbl x\\cell";
    for (int i = 0; i < 1000000; ++i)
        wide += "\\row";
    const Document d = readDocument(wide + "}");
    ASSERT_EQ(d.rows.size(), 1u);
    EXPECT_EQ(d.rows[0].cells.size(), 1u);
    EXPECT_LE(d.paragraphs.size(), 1000001u);
    EXPECT_EQ(readDocument(writeDocument(d)), d);
}

TEST(RtfReader, BracesAndTrailingBytes) {
    EXPECT_EQ(text(QByteArray("{\\rtf1 abc\\par}\0\0", 17)), "abc");
    EXPECT_EQ(text("{\\rtf1 abc}}} more}"), "abc");
    EXPECT_EQ(text("{\\rtf1 abc{\\b def"), "abcdef");
    EXPECT_EQ(text("{\\rtf1 a\\'4"), "a"); // \'04 is a control character: no text
    EXPECT_EQ(text("{\\rtf1 a\\'"), "a");
}

TEST(RtfReader, HostileInput) {
    // Deep nesting: no recursion; text past the cap is kept at the cap's depth, braces are
    // counted, what the deep groups set ends with them, destinations there stay hidden.
    QByteArray deep = "{\\rtf1 a";
    deep += QByteArray(100000, '{');
    deep += "deep\\b{\\*\\x{{hidden}}}{\\info x} bold";
    deep += QByteArray(100000, '}');
    deep += "b}";
    EXPECT_EQ(text(deep), "adeep boldb");
    const Document deepDoc = readDocument(deep);
    ASSERT_EQ(deepDoc.paragraphs[0].runs.size(), 3u);
    EXPECT_TRUE(deepDoc.paragraphs[0].runs[1].format.bold);
    EXPECT_FALSE(deepDoc.paragraphs[0].runs[2].format.bold);
    // Long control words and huge parameters.
    QByteArray longWord =
        "{\\rtf1 \\" + QByteArray(1000, 'x') + " a\\fs99999999999999999999 b\\u99999999999 c}";
    EXPECT_EQ(readDocument(longWord).paragraphs.size(), 1u);
    // \bin beyond the end.
    EXPECT_EQ(text("{\\rtf1 a\\bin999999 xyz}"), "a");
    EXPECT_EQ(text("{\\rtf1 a\\bin-5 b}"), "ab");
    // Many font and colour entries are capped.
    QByteArray fonts = "{\\rtf1{\\fonttbl";
    for (int i = 0; i < 10000; ++i)
        fonts += "{\\f" + QByteArray::number(i) + " F;}";
    fonts += "}{\\colortbl";
    for (int i = 0; i < 10000; ++i)
        fonts += "\\red1;";
    fonts += "}\\f9999\\cf9999 x}";
    EXPECT_EQ(text(fonts), "x");
}

TEST(RtfWriter, Shape) {
    Document d;
    Paragraph p;
    p.align = Alignment::Center;
    CharFormat f;
    f.font = "Arial";
    f.size = 11;
    f.bold = true;
    f.color = 0xFF0000;
    p.runs.push_back(TextRun{u(u"a{b}\\c é€ П 😀\tx\u2028y"), f});
    d.paragraphs.push_back(p);
    d.paragraphs.push_back(Paragraph{});
    const QByteArray rtf = writeDocument(d);
    EXPECT_TRUE(rtf.startsWith(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}"));
    EXPECT_TRUE(rtf.contains("{\\colortbl ;\\red255\\green0\\blue0;}"));
    EXPECT_TRUE(
        rtf.contains("a\\{b\\}\\\\c \\'e9\\'80 \\u1055? \\u-10179?\\u-8704?\\tab x\\line y\\par"));
    EXPECT_EQ(rtf.count("\\par"), 4); // \pard twice, \par twice
    EXPECT_EQ(readDocument(rtf), d);
}

TEST(RtfWriter, RoundTripFormats) {
    Document d;
    const char* fonts[] = {"Arial", "Times New Roman", "", "DejaVu Sans"};
    for (int i = 0; i < 16; ++i) {
        Paragraph p;
        p.align = Alignment(i % 4);
        for (int j = 0; j < 5; ++j) {
            CharFormat f;
            f.font = fonts[(i + j) % 4];
            f.charset = j == 3 ? 204 : 0;
            f.size = 8 + (i + j) % 7 * 1.5;
            f.bold = (i + j) & 1;
            f.italic = (i + j) & 2;
            f.underline = (i * j) & 1;
            f.strike = j == 2;
            if (j & 1)
                f.color = 0x102030u * unsigned(j);
            if (i & 1)
                f.background = 0xFFFF00u - unsigned(i);
            p.runs.push_back(TextRun{QStringLiteral("run %1.%2 ").arg(i).arg(j) + u(u"ÄП"), f});
        }
        d.paragraphs.push_back(p);
    }
    const QByteArray once = writeDocument(d);
    const Document back = readDocument(once);
    EXPECT_EQ(back, d);
    EXPECT_EQ(writeDocument(back), once);
}

TEST(RtfWriter, EmptyDocument) {
    Document d;
    d.paragraphs.push_back(Paragraph{});
    const QByteArray rtf = writeDocument(d);
    EXPECT_EQ(readDocument(rtf), d);
    EXPECT_EQ(plainText(rtf), "");
}

// Lists in Word's form (list table, \ls, \ilvl) and the rich-edit form (\pn), read as lists
// without their number text, written back in both forms with a fallback number.
TEST(RtfLists, BothFormsReadAndWritten) {
    const Document d = doc(
        "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}{\\*\\listtable{\\list"
        "{\\listlevel\\levelnfc23\\levelstartat1{\\leveltext\\'01\\u-3913 ?;}{\\levelnumbers;}\\f1}"
        "{\\listlevel\\levelnfc4\\levelstartat3{\\leveltext\\'03(\\'01);}{\\levelnumbers\\'02;}}"
        "\\listid7}}"
        "{\\*\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}}"
        "{\\listtext\\f1\\'b7\\tab}\\pard\\ls1\\ilvl0 one\\par{\\listtext "
        "(c)\\tab}\\pard\\ls1\\ilvl1 two\\par"
        "\\pard{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody\\pnucrm\\pnstart4{\\pntxta .}}three\\par"
        "{\\pntext 2.\\tab}{\\*\\pn\\pnlvlbody\\pnucrm\\pnstart4{\\pntxta .}}four\\par"
        "\\pard{\\listtext 9.\\tab}plain\\par}");
    ASSERT_EQ(d.lists.size(), 2u);
    EXPECT_EQ(d.lists[0].levels[0].style, ListStyle::Bullet);
    EXPECT_EQ(d.lists[0].levels[0].bullet, u(u"\u2022"));
    const ListLevel& letters = d.lists[0].levels[1];
    EXPECT_EQ(std::tuple(letters.style, letters.start, letters.prefix, letters.suffix),
              std::tuple(ListStyle::LowerLetter, 3, QString("("), QString(")")));
    const ListLevel& roman = d.lists[1].levels[0];
    EXPECT_EQ(std::tuple(roman.style, roman.start, roman.suffix),
              std::tuple(ListStyle::UpperRoman, 4, QString(".")));
    std::vector<std::pair<int, int>> items;
    for (const Paragraph& p : d.paragraphs)
        items.emplace_back(p.list, p.listLevel);
    EXPECT_EQ(items, (std::vector<std::pair<int, int>>{{1, 0}, {1, 1}, {2, 0}, {2, 0}, {0, 0}}));
    EXPECT_EQ(para(d, 0), "one");
    EXPECT_EQ(para(d, 4), "9.\tplain"); // not a list item: its number text is text
    const QByteArray rtf = writeDocument(d);
    EXPECT_EQ(readDocument(rtf), d);
    EXPECT_EQ(writeDocument(readDocument(rtf)), rtf);
    EXPECT_TRUE(rtf.contains("{\\leveltext\\'03(\\'01);}"));
    // The rich-edit form first: LibreOffice takes the list from whichever form comes last.
    EXPECT_TRUE(rtf.contains("\\pard{\\*\\pn\\pnlvlbody\\pnucrm"));
    EXPECT_TRUE(rtf.contains("}}\\ls2\\ilvl0{\\pntext IV.\\tab}"));
    EXPECT_TRUE(rtf.contains("{\\pntext \\u8226\\'95\\tab}")); // a bullet every reader shows
    // Find's text keeps the numbers as the file spells them.
    EXPECT_EQ(text(rtf), u(u"•\tone\r\n(c)\ttwo\r\nIV.\tthree\r\nV.\tfour\r\n9.\tplain"));
}

TEST(RtfLists, HostileListsAreCapped) {
    QByteArray many = "{\\rtf1{\\*\\listtable";
    for (int i = 0; i < 3000; ++i)
        many += "{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}\\listid" +
                QByteArray::number(i) + "}";
    many += "}{\\*\\listoverridetable";
    for (int i = 0; i < 3000; ++i)
        many += "{\\listoverride\\listid" + QByteArray::number(i) + "\\ls" +
                QByteArray::number(i + 1) + "}";
    many += "}";
    for (int i = 0; i < 3000; ++i)
        many += "\\pard\\ls" + QByteArray::number(i + 1) + "\\ilvl99 x\\par";
    const Document d = readDocument(many + "}");
    EXPECT_EQ(d.lists.size(), 1024u);
    EXPECT_EQ(d.paragraphs.at(0).listLevel, 8);
    EXPECT_EQ(d.paragraphs.at(2999).list, 0);
    EXPECT_EQ(readDocument(writeDocument(d)), d);
    // A picture that claims gigabytes and a row of a million cells: what is allocated
    // follows the input, not the claims.
    EXPECT_EQ(
        text("{\\rtf1 a{\\pict\\pngblip\\picw2000000000\\pich2000000000\\bin2000000000 xx}b}"),
        "a");
    QByteArray cells = "{\\rtf1 \\trowd\\cellx100\\pard\\intbl ";
    for (int i = 0; i < 1000000; ++i)
        cells += "\\cell ";
    const Document row = readDocument(cells + "x\\row}");
    ASSERT_EQ(row.rows.size(), 1u);
    ASSERT_EQ(row.rows[0].cells.size(), size_t(kMaxTableCells));
    ASSERT_EQ(row.paragraphs.size(), size_t(kMaxTableCells));
    EXPECT_EQ(row.paragraphs.back().runs.at(0).text, QString(1000, '\t') + "x"); // gaps capped
    // A thousand nested list groups: no recursion, text kept.
    const QByteArray deep = "{\\rtf1 " + QByteArray(1000, '{') + "\\ls1\\ilvl3{\\listtext x}y" +
                            QByteArray(1000, '}') + "}";
    EXPECT_EQ(text(deep), "xy");
}

// A paragraph numbered by \pn whose \ls names no list shows its number as text once a row,
// where find's text has it: a page gains no numbers in its cells by being opened.
TEST(RtfLists, NumberTextInTableCellsIsFindsText) {
    for (const char* rtf : {"{\\rtf\\ls1{\\pn}\\cell",
                            "{\\rtf1\\pard\\intbl\\ls1{\\pn} first cell\\cell second\\cell\\row}",
                            "{\\rtf1\\pard\\intbl\\ls1{\\pn}\\cell second\\cell\\row next\\par}",
                            "{\\rtf1\\pard\\intbl\\ls1{\\pn}\\cell\\row}"}) {
        const Document d = doc(rtf);
        EXPECT_EQ(rtf::documentText(d), text(rtf)) << rtf;
        EXPECT_EQ(readDocument(writeDocument(d)), d) << rtf;
    }
    EXPECT_EQ(text("{\\rtf1\\pard\\intbl\\ls1{\\pn} first cell\\cell second\\cell\\row}"),
              "1\t first cell\tsecond");
}

// Numbers that run on across levels ("2.1."), as word processors write them: read, numbered
// as they number them, and written back so that each kind of reader sees the same labels.
TEST(RtfLists, MultiLevelLabels) {
    const Document d =
        doc("{\\rtf1{\\*\\listtable{\\list"
            "{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}"
            "{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext\\'04\\'00.\\'01.;}"
            "{\\levelnumbers\\'01\\'03;}}\\listid5}}"
            "{\\*\\listoverridetable{\\listoverride\\listid5\\listoverridecount0\\ls1}}"
            "\\pard\\ls1\\ilvl0 a\\par\\pard\\ls1\\ilvl0 b\\par\\pard\\ls1\\ilvl1 c\\par"
            "\\pard\\ls1\\ilvl1 d\\par\\pard\\ls1\\ilvl0 e\\par\\pard\\ls1\\ilvl1 f\\par}");
    ASSERT_EQ(d.lists.size(), 1u);
    const ListLevel& sub = d.lists[0].levels[1];
    EXPECT_EQ(std::tuple(sub.prefix, sub.numbers, sub.separator, sub.suffix),
              std::tuple(QString(), 2, QString("."), QString(".")));
    const QByteArray rtf = writeDocument(d);
    EXPECT_EQ(readDocument(rtf), d);
    EXPECT_TRUE(rtf.contains("{\\leveltext\\'04\\'00.\\'01.;}{\\levelnumbers\\'01\\'03;}"));
    EXPECT_EQ(text(rtf), "1.\ta\r\n2.\tb\r\n2.1.\tc\r\n2.2.\td\r\n3.\te\r\n3.1.\tf");
    EXPECT_TRUE(rtf.contains("{\\listtext 2.1.\\tab}"));
    EXPECT_TRUE(rtf.contains("{\\pntext 3.\\tab}"));
    // Overrides of one list that change no level (AbiWord gives each level its own) are one
    // list; one that changes levels (Word's restart) is a list of its own.
    const QByteArray table =
        "{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}"
        "{\\listlevel\\levelnfc0{\\leveltext\\'04\\'00.\\'01.;}}\\listid1}}{\\*\\listoverridetable"
        "{\\listoverride\\listoverridecount0\\listid1\\ls1}{\\listoverride\\listoverridecount0"
        "\\listid1\\ls2}{\\listoverride\\listoverridecount1{\\lfolevel}\\listid1\\ls3}}";
    EXPECT_EQ(text(table + "\\pard\\ls1\\ilvl0 a\\par\\pard\\ls2\\ilvl1 b\\par\\pard\\ls3"
                           "\\ilvl0 c\\par}"),
              "a\r\nb\r\nc"); // find's text: no labels where the file has none
    const Document shared =
        doc(table + "\\pard\\ls1\\ilvl0 a\\par\\pard\\ls2\\ilvl1 b\\par\\pard\\ls3\\ilvl0 c\\par}");
    EXPECT_EQ(text(writeDocument(shared)), "1.\ta\r\n1.1.\tb\r\n1.\tc");
    // The lists a user makes label their levels so.
    List made = rtf::newList(ListStyle::Decimal);
    rtf::ListCounters counters(1);
    QStringList labels;
    for (int level : {0, 1, 1, 2, 0})
        counters.next(made, 0, level), labels << rtf::listLabel(made, counters.counts(0), level);
    EXPECT_EQ(labels, (QStringList{"1.", "1.1.", "1.2.", "1.2.1.", "2."}));
    EXPECT_EQ(rtf::listLabel(rtf::newList(ListStyle::Bullet), counters.counts(0), 1), u(u"◦"));
}

// HYPERLINK fields' results open their address; other fields and in-document links are text.
TEST(RtfLinks, HyperlinkFieldsAreLinks) {
    const Document d =
        doc("{\\rtf1 a {\\field{\\*\\fldinst{HYPERLINK \"http://x.org/\\\\q\" \\\\o \"tip\"}}"
            "{\\fldrslt{\\ul\\cf1 x}{ site}}} b {\\field{\\*\\fldinst HYPERLINK \\\\l \"mark\"}"
            "{\\fldrslt here}} {\\field{\\*\\fldinst PAGE}{\\fldrslt 3}}\\par}");
    QStringList links;
    for (const TextRun& r : d.paragraphs.at(0).runs)
        links << r.format.link;
    EXPECT_EQ(para(d, 0), "a x site b here 3");
    EXPECT_EQ(links, (QStringList{"", "http://x.org/\\q", "http://x.org/\\q", ""}));
    const QByteArray rtf = writeDocument(d);
    EXPECT_EQ(readDocument(rtf), d);
    EXPECT_EQ(text(rtf), "a x site b here 3");
    Document own = d;
    own.paragraphs[0].runs[1].format.link = u(u"https://bücher.example/ä?q=\\x{y}");
    own.paragraphs[0].runs[2].format.link = own.paragraphs[0].runs[1].format.link;
    const Document ownBack = readDocument(writeDocument(own));
    EXPECT_EQ(ownBack.paragraphs[0].runs[1].format.link,
              "https://b%C3%BCcher.example/%C3%A4?q=\\x{y}");
    EXPECT_EQ(readDocument(writeDocument(ownBack)), ownBack);
    EXPECT_EQ(rtf::hyperlinkTarget("HYPERLINK www.a.org"), "www.a.org");
    EXPECT_EQ(rtf::hyperlinkTarget("HYPERLINK \"unclosed"), "");
}
