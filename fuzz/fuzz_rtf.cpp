// libFuzzer target for the RTF codec: the reader must not crash, leak or misbehave on any
// bytes, and what it reads must survive the writer: read(write(read(x))) == read(x).
#include "rtf/rtf.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qly::Document doc = qly::rtf::readDocument(bytes);
    check(!doc.paragraphs.empty(), "a document has a paragraph");
    const QString plain = qly::rtf::plainText(bytes);
    QString joined;
    for (size_t i = 0; i < doc.paragraphs.size(); ++i) {
        if (i)
            joined += QLatin1String("\r\n");
        for (const qly::TextRun& r : doc.paragraphs[i].runs) {
            check(!r.text.isEmpty(), "no empty runs");
            joined += r.text;
        }
    }
    // List items carry no number text in the model; find's text has it.
    check(!doc.lists.empty() || plain == joined, "plain text is the model's text");
    for (const qly::Paragraph& p : doc.paragraphs)
        check(p.list >= 0 && size_t(p.list) <= doc.lists.size() && p.listLevel >= 0 &&
                  p.listLevel < qly::kListLevels,
              "list items name a list and a level");
    const QByteArray written = qly::rtf::writeDocument(doc);
    check(qly::rtf::isRtf(written), "the writer writes RTF");
    const qly::Document again = qly::rtf::readDocument(written);
    // A plain-text page has the default format (size 0), which RTF spells as 12 points.
    if (qly::rtf::isRtf(bytes))
        check(again == doc, "read(write(doc)) == doc");
    check(qly::rtf::writeDocument(again) == written, "the second save is byte-stable");
    check(qly::rtf::readDocument(written) == again, "reading is deterministic");
    return 0;
}
