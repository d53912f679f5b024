// Replays the fuzzer's corpus (fuzz/corpus/rtf) and the hand-made samples (tests/rtf/samples)
// through the reader, the writer and find's scanner with the fuzz target's invariants.
#include "rtf/rtf.h"
#include "rtf/rtftext.h"
#include "support/rtfinvariants.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QStringList corpusFiles() {
    QStringList out;
    for (const char* dir : {"/fuzz/corpus/rtf", "/tests/rtf/samples"}) {
        QDir d(QStringLiteral(QLY_SOURCE_DIR) + QLatin1String(dir));
        for (const QString& name : d.entryList(QDir::Files, QDir::Name))
            out << d.filePath(name);
    }
    return out;
}

} // namespace

TEST(RtfCorpus, EveryFileKeepsTheInvariants) {
    const QStringList files = corpusFiles();
    ASSERT_GE(files.size(), 20);
    for (const QString& path : files) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        const QStringList failed = qlytest::rtfInvariantFailures(f.readAll());
        EXPECT_TRUE(failed.isEmpty())
            << path.toStdString() << ": " << failed.join(", ").toStdString();
    }
}

// Find's scanner passes over what holds no text without reading it, and must still read the
// reader's text: the shapes where that is easiest to get wrong, with the text they give.
TEST(RtfScanner, ReadsTheReadersTextWhereItSkipsAhead) {
    const std::pair<QByteArray, QString> cases[] = {
        // binary data with braces in a skipped group and in a picture
        {"{\\rtf1 a{\\*\\foo \\bin4 }}{{ x}b{\\pict\\bin3 {{{}c\\par}", "abc"},
        // escaped braces and backslashes in a skipped group
        {"{\\rtf1 a{\\info \\} \\{ \\\\}b\\par}", "ab"},
        // a fallback of one byte, of none, of two; a fallback cut by a group
        {"{\\rtf1 \\u233xz\\uc0\\u233 z\\uc2\\u233\\'e9\\'e9z{\\u233}z\\par}",
         QString::fromUtf8("\u00e9z\u00e9z\u00e9z\u00e9z")},
        // a character set named after text: the bytes after it decode by it
        {"{\\rtf1r\\mac\\f1\\'\\f\\'e2", QString::fromUtf8("r\u201a")},
        // numbering, hidden text, cells a tab apart
        {"{\\rtf1{\\*\\pn\\pnlvlbody\\pndec{\\pntxta .}}one\\par two{\\v hid}\\par"
         "\\pard\\intbl A\\cell B\\cell\\row}",
         "1.\tone\r\n2.\ttwo\r\nA\tB"},
    };
    for (const auto& [rtf, text] : cases) {
        EXPECT_EQ(qly::rtf::scanText(rtf), qly::rtf::plainText(rtf)) << rtf.toStdString();
        EXPECT_EQ(qly::rtf::scanText(rtf), text) << rtf.toStdString();
    }
    // Text read straight into the buffer: \uN of every length, signed, saturated and at the
    // very end; runs longer than sixteen bytes with a tab, a brace and high bytes in them.
    for (const QByteArray& rtf :
         {QByteArray(
              "{\\rtf1 \\uc0\\u9\\u65 \\u1084\\u12345\\u1234567\\u-10179\\u99999999999 x\\u65"),
          QByteArray("{\\rtf1 abcdefghijklmnopq\trstuvwxyz{\\b more than sixteen bytes}\xe9t\xe9 "
                     "abcdefghijklmnopqrstuvwxyz\\u233\\'e9\\u233 x\\par}")})
        EXPECT_EQ(qly::rtf::scanText(rtf), qly::rtf::plainText(rtf)) << rtf.toStdString();
    // Groups deeper than the reader keeps, inside a skipped group, end a pending lead byte.
    const QByteArray deep = "{\\rtf1{\\fonttbl{\\f1\\fcharset128 G;}}\\f1 \\'82{\\*\\x" +
                            QByteArray(600, '{') + QByteArray(600, '}') + "}\\'a0\\par}";
    EXPECT_EQ(qly::rtf::scanText(deep), qly::rtf::plainText(deep));
}

TEST(RtfScanner, AScannerKeptFromPageToPageKeepsItsBufferToThePagesSize) {
    // Text right after \* is read as one token, 40,000 bytes asking for room at once, more
    // than a piece: the buffer once doubled for it on every page, until it could not be had.
    const QByteArray page = "{\\rtf1{\\*" + QByteArray(40000, 'a') + "}\\par}";
    const QString text = qly::rtf::plainText(page);
    struct Joined final : qly::rtf::TextSink {
        QString text;
        bool take(QStringView piece) override {
            text += piece;
            return true;
        }
    };
    qly::rtf::TextScanner scanner;
    for (int i = 0; i < 64; ++i) {
        Joined joined;
        scanner.scan(page, joined);
        ASSERT_EQ(joined.text, text) << i;
    }
}

namespace {

QByteArray sample(const char* name) {
    QFile f(QStringLiteral(QLY_SOURCE_DIR "/tests/rtf/samples/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const qly::CharFormat& formatOf(const qly::Document& d, const QString& needle) {
    for (const qly::Paragraph& p : d.paragraphs)
        for (const qly::TextRun& r : p.runs)
            if (r.text.contains(needle))
                return r.format;
    static const qly::CharFormat none;
    ADD_FAILURE() << "no run holds " << needle.toStdString();
    return none;
}

} // namespace

// Hand-made samples in the shapes that the rich-edit control, WPF and TextEdit write.
TEST(RtfSamples, RichEdit20) {
    const QByteArray bytes = sample("richedit20.rtf");
    EXPECT_EQ(qly::rtf::plainText(bytes),
              QString::fromUtf8(
                  "Title\r\nPlain italic under strike marked café Привет\r\n•\tbullet one\r\n"
                  "•\tbullet two\r\nright\r\njustified\r\n"));
    const qly::Document d = qly::rtf::readDocument(bytes);
    ASSERT_EQ(d.paragraphs.size(), 7u); // the last \par is the final mark: no 8th paragraph
    EXPECT_EQ(d.paragraphs[0].align, qly::Alignment::Center);
    EXPECT_EQ(d.paragraphs[4].align, qly::Alignment::Right);
    EXPECT_EQ(d.paragraphs[5].align, qly::Alignment::Justify);
    EXPECT_TRUE(formatOf(d, "Title").bold);
    EXPECT_EQ(formatOf(d, "Title").color, 0xFF0000u);
    EXPECT_EQ(formatOf(d, "Title").size, 14.0);
    EXPECT_TRUE(formatOf(d, "italic").italic);
    EXPECT_TRUE(formatOf(d, "under").underline);
    EXPECT_TRUE(formatOf(d, "strike").strike);
    EXPECT_EQ(formatOf(d, "marked").background, 0xFFFF00u);
    EXPECT_EQ(formatOf(d, QString::fromUtf8("Привет")).font, "Arial CYR");
    EXPECT_EQ(formatOf(d, QString::fromUtf8("Привет")).charset, 204);
    // The bullets are a list; its mark is not text of the items.
    ASSERT_EQ(d.lists.size(), 1u);
    EXPECT_EQ(d.lists[0].levels[0].bullet, QString::fromUtf8("•"));
    EXPECT_EQ(d.paragraphs[2].list, 1);
    EXPECT_EQ(d.paragraphs[3].list, 1);
    EXPECT_EQ(d.paragraphs[4].list, 0);
}

TEST(RtfSamples, Msftedit541WithTrailingNul) {
    const QByteArray bytes = sample("msftedit541.rtf");
    ASSERT_TRUE(bytes.endsWith('\0'));
    EXPECT_EQ(
        qly::rtf::plainText(bytes),
        QString::fromUtf8(
            "English naïve résumé\r\nРусский текст\r\nΕλληνικά\r\n日本語\r\n中文\r\nemoji 😀 end"));
    const qly::Document d = qly::rtf::readDocument(bytes);
    EXPECT_EQ(formatOf(d, QString::fromUtf8("日本語")).color, 0x00B050u);
    EXPECT_EQ(formatOf(d, QString::fromUtf8("日本語")).font, "MS Gothic");
    EXPECT_EQ(formatOf(d, QString::fromUtf8("中文")).charset, 134);
    EXPECT_EQ(formatOf(d, "English").size, 11.0);
}

TEST(RtfSamples, RichEdit10) {
    const QByteArray bytes = sample("riched20_10.rtf");
    EXPECT_EQ(qly::rtf::plainText(bytes),
              QString::fromUtf8("Centered bold\r\nred on yellow 🛳 한국어 中文\r\nline "
                                "one\u2028line two\ttabbed"));
    const qly::Document d = qly::rtf::readDocument(bytes);
    EXPECT_EQ(d.paragraphs[0].align, qly::Alignment::Center);
    EXPECT_EQ(formatOf(d, "red on").color, 0xFF0000u);
    EXPECT_EQ(formatOf(d, "red on").background, 0xFFFF00u);
}

TEST(RtfSamples, WpfRichTextBox) {
    const QByteArray bytes = sample("wpf_richtextbox.rtf");
    EXPECT_EQ(qly::rtf::plainText(bytes),
              QString::fromUtf8("Hello bold and red Привет\r\nSecond paragraph αβγ"));
    const qly::Document d = qly::rtf::readDocument(bytes);
    EXPECT_EQ(formatOf(d, "Hello").font, "Segoe UI"); // \deff2
    EXPECT_EQ(formatOf(d, "Hello").color, 0x000000u); // a colour table without an empty entry 0
    EXPECT_EQ(formatOf(d, "red").color, 0xFF0000u);
    EXPECT_TRUE(formatOf(d, "bold").bold);
    EXPECT_EQ(d.paragraphs[1].align, qly::Alignment::Center);
}

TEST(RtfSamples, TextEdit) {
    const QByteArray bytes = sample("textedit.rtf");
    EXPECT_EQ(
        qly::rtf::plainText(bytes),
        QString::fromUtf8(
            "TextEdit sample café red\r\nПривет 你好 \r\n😀\r\nbold italicunderstruck\r\nlast"));
    const qly::Document d = qly::rtf::readDocument(bytes);
    EXPECT_EQ(formatOf(d, "red").color, 0xFB0007u);
    EXPECT_EQ(d.paragraphs[1].align, qly::Alignment::Center);
    EXPECT_TRUE(formatOf(d, "struck").strike);
    EXPECT_EQ(formatOf(d, "TextEdit").font, "Helvetica");
}

// The one table (a cell two columns wide, one two rows tall, a cell of two paragraphs) as
// LibreOffice, AbiWord and pandoc write it: the same rows, cells and cell text; find's text
// keeps a row's cells a tab apart.
TEST(RtfSamples, TablesOfThreeWriters) {
    const QStringList cells[3] = {
        {"A1", "B1 wide"}, {"A2 tall", "B2", "C2 one C2 two"}, {"", "B3", "C3"}};
    for (const char* name : {"libreoffice_table.rtf", "abiword_table.rtf", "pandoc_table.rtf"}) {
        SCOPED_TRACE(name);
        const QByteArray bytes = sample(name);
        EXPECT_TRUE(qly::rtf::plainText(bytes).contains("A2 tall\tB2"));
        const qly::Document d = qly::rtf::readDocument(bytes);
        ASSERT_EQ(d.rows.size(), 3u);
        QStringList seen[3];
        for (const qly::Paragraph& p : d.paragraphs) {
            if (p.row == 0)
                continue;
            QStringList& row = seen[p.row - 1];
            while (row.size() <= p.cell)
                row << QString();
            QString text;
            for (const qly::TextRun& r : p.runs)
                text += r.text;
            QString& cell = row[p.cell];
            cell = (cell + ' ' + text).trimmed();
        }
        const bool pandoc = QByteArray(name).startsWith("pandoc"); // it writes no spans
        for (int r = 0; r < 3; ++r) {
            QStringList want = cells[r];
            if (pandoc && r == 0)
                want << "";
            EXPECT_EQ(seen[r], want);
            EXPECT_EQ(d.rows[size_t(r)].cells.size(), size_t(want.size()));
        }
        if (pandoc)
            continue;
        EXPECT_EQ(d.rows[1].cells[0].vmerge, qly::CellMerge::First);
        EXPECT_EQ(d.rows[2].cells[0].vmerge, qly::CellMerge::Continue);
        EXPECT_EQ(d.rows[0].cells[1].right, d.rows[1].cells[2].right); // the wide cell
        EXPECT_GT(d.rows[0].cells[0].borders[qly::BorderLeft].width, 0);
    }
    const qly::Document lo = qly::rtf::readDocument(sample("libreoffice_table.rtf"));
    EXPECT_EQ(lo.rows[0].cells[0].shading, 0xFFFF00u);
    EXPECT_EQ(lo.rows[0].cells[0].borders[qly::BorderTop].color, 0x808080u);
}

// Load, save, load: a rich-edit page neither grows nor changes after the first save.
TEST(RtfSamples, LoadSaveLoadIsStable) {
    for (const char* name : {"richedit20.rtf", "msftedit541.rtf", "riched20_10.rtf",
                             "wpf_richtextbox.rtf", "textedit.rtf"}) {
        SCOPED_TRACE(name);
        const qly::Document first = qly::rtf::readDocument(sample(name));
        const QByteArray save1 = qly::rtf::writeDocument(first);
        const qly::Document second = qly::rtf::readDocument(save1);
        EXPECT_EQ(second, first);
        EXPECT_EQ(second.paragraphs.size(), first.paragraphs.size());
        EXPECT_EQ(qly::rtf::writeDocument(second), save1);
    }
}
