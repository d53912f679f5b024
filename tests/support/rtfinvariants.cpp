#include "support/rtfinvariants.h"

#include "rtf/rtf.h"
#include "rtf/rtftext.h"

namespace qlytest {
namespace {

// Runs of tabs as one: past its most cells, a row's cells are counted apart in find's text
// and in the model's. (Not by a regular expression, which gives up on a lone surrogate.)
QString evenGaps(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] != u'\t' || i == 0 || text[i - 1] != u'\t')
            out += text[i];
    return out;
}

// The scanner's text as a sink takes it, in pieces of a few units, each of which must keep a
// character of two units whole.
struct Pieces final : qly::rtf::TextSink {
    QString text;
    bool whole = true;
    bool take(QStringView piece) override {
        whole = whole && (text.isEmpty() || !text.back().isHighSurrogate() ||
                          !piece.front().isLowSurrogate());
        text += piece;
        return true;
    }
};

} // namespace

QStringList rtfInvariantFailures(QByteArrayView bytes) {
    QStringList failed;
    const auto check = [&failed](bool ok, const char* what) {
        if (!ok && !failed.contains(QLatin1String(what)))
            failed << QLatin1String(what);
    };
    const qly::Document doc = qly::rtf::readDocument(bytes);
    check(!doc.paragraphs.empty(), "a document has a paragraph");
    for (const qly::Paragraph& p : doc.paragraphs) {
        for (const qly::TextRun& r : p.runs) {
            check(!r.text.isEmpty(), "no empty runs");
            check(r.picture >= 0 && size_t(r.picture) <= doc.pictures.size(),
                  "picture runs name a picture");
            check(r.picture == 0 || r.text == QString(QChar::ObjectReplacementCharacter),
                  "a picture run holds one object replacement character");
        }
        check(p.list >= 0 && size_t(p.list) <= doc.lists.size() && p.listLevel >= 0 &&
                  p.listLevel < qly::kListLevels,
              "list items name a list and a level");
        check(p.row >= 0 && size_t(p.row) <= doc.rows.size() &&
                  (p.row == 0 ||
                   (p.cell >= 0 && size_t(p.cell) < doc.rows[size_t(p.row) - 1].cells.size())),
              "table paragraphs name a row and a cell");
    }
    const QString plain = qly::rtf::plainText(bytes);
    check(qly::rtf::scanText(bytes) == plain, "find's scanner reads the reader's text");
    Pieces pieces;
    qly::rtf::TextScanner().scan(bytes, pieces, 5);
    check(pieces.text == plain && pieces.whole, "find's scanner gives its text in whole pieces");
    // List items carry no number text in the model; find's text has it.
    check(!doc.lists.empty() || evenGaps(plain) == evenGaps(qly::rtf::documentText(doc)),
          "find's text is the model's text");

    const QByteArray written = qly::rtf::writeDocument(doc);
    check(qly::rtf::isRtf(written), "the writer writes RTF");
    const qly::Document again = qly::rtf::readDocument(written);
    // A plain-text page has the default format (size 0), which RTF spells as 12 points.
    if (qly::rtf::isRtf(bytes))
        check(again == doc, "read(write(doc)) == doc");
    check(qly::rtf::writeDocument(again) == written, "the second save is byte-stable");
    check(qly::rtf::readDocument(written) == again, "reading is deterministic");
    check(qly::rtf::scanText(written) == qly::rtf::plainText(written),
          "find's scanner reads the writer's text as the reader does");
    return failed;
}

} // namespace qlytest
