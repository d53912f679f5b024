// libFuzzer target for the RTF codec: the reader must not crash, leak or misbehave on any
// bytes, and what it reads must survive the writer: read(write(read(x))) == read(x).
#include "rtf/rtf.h"

#include <QRegularExpression>

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
    for (const qly::Paragraph& p : doc.paragraphs)
        for (const qly::TextRun& r : p.runs) {
            check(!r.text.isEmpty(), "no empty runs");
            check(r.picture >= 0 && size_t(r.picture) <= doc.pictures.size(),
                  "picture runs name a picture");
            check(r.picture == 0 || r.text == QString(QChar::ObjectReplacementCharacter),
                  "a picture run holds one object replacement character");
        }
    // List items carry no number text in the model; find's text has it. Past its most cells,
    // a row's cells are counted apart in find's text and in the model's: runs of tabs as one.
    static const QRegularExpression runs(QStringLiteral("\t+"));
    const QString tab = QStringLiteral("\t");
    check(!doc.lists.empty() ||
              QString(plain).replace(runs, tab) == qly::rtf::documentText(doc).replace(runs, tab),
          "plain text is the model's text");
    for (const qly::Paragraph& p : doc.paragraphs) {
        check(p.list >= 0 && size_t(p.list) <= doc.lists.size() && p.listLevel >= 0 &&
                  p.listLevel < qly::kListLevels,
              "list items name a list and a level");
        check(p.row >= 0 && size_t(p.row) <= doc.rows.size() &&
                  (p.row == 0 ||
                   (p.cell >= 0 && size_t(p.cell) < doc.rows[size_t(p.row) - 1].cells.size())),
              "table paragraphs name a row and a cell");
    }
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
