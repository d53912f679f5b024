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
        EXPECT_EQ(qly::rtf::plainText(bytes), joined);
        const QByteArray written = qly::rtf::writeDocument(doc);
        const qly::Document again = qly::rtf::readDocument(written);
        if (qly::rtf::isRtf(bytes))
            EXPECT_EQ(again, doc);
        EXPECT_EQ(qly::rtf::writeDocument(again), written);
    }
}
