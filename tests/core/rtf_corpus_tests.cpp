// Replays the fuzzer's corpus (fuzz/corpus/rtf) and the hand-made samples (tests/rtf/samples)
// through the reader and the writer with the invariants of fuzz/fuzz_rtf.cpp.
#include "rtf/rtf.h"

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
        SCOPED_TRACE(path.toStdString());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const qly::Document doc = qly::rtf::readDocument(bytes);
        ASSERT_FALSE(doc.paragraphs.empty());
        QString joined;
        for (size_t i = 0; i < doc.paragraphs.size(); ++i) {
            if (i)
                joined += QLatin1String("\r\n");
            for (const qly::TextRun& r : doc.paragraphs[i].runs) {
                EXPECT_FALSE(r.text.isEmpty());
                joined += r.text;
            }
        }
        if (doc.lists.empty()) { // list items carry no number text in the model
            EXPECT_EQ(qly::rtf::plainText(bytes), joined);
        }
        const QByteArray written = qly::rtf::writeDocument(doc);
        const qly::Document again = qly::rtf::readDocument(written);
        if (qly::rtf::isRtf(bytes)) {
            EXPECT_EQ(again, doc);
        }
        EXPECT_EQ(qly::rtf::writeDocument(again), written);
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
    EXPECT_EQ(d.paragraphs[0].align, qly::AlignCenter);
    EXPECT_EQ(d.paragraphs[4].align, qly::AlignRight);
    EXPECT_EQ(d.paragraphs[5].align, qly::AlignJustify);
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
    EXPECT_EQ(d.paragraphs[0].align, qly::AlignCenter);
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
    EXPECT_EQ(d.paragraphs[1].align, qly::AlignCenter);
}

TEST(RtfSamples, TextEdit) {
    const QByteArray bytes = sample("textedit.rtf");
    EXPECT_EQ(
        qly::rtf::plainText(bytes),
        QString::fromUtf8(
            "TextEdit sample café red\r\nПривет 你好 \r\n😀\r\nbold italicunderstruck\r\nlast"));
    const qly::Document d = qly::rtf::readDocument(bytes);
    EXPECT_EQ(formatOf(d, "red").color, 0xFB0007u);
    EXPECT_EQ(d.paragraphs[1].align, qly::AlignCenter);
    EXPECT_TRUE(formatOf(d, "struck").strike);
    EXPECT_EQ(formatOf(d, "TextEdit").font, "Helvetica");
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
