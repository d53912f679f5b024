#pragma once
// Find's text of a page without the document model: one pass over the RTF that keeps only
// what decides the text (destinations, fonts' code pages, hidden text, cells, numbering) and
// skips the rest of a group that holds no text, or a picture's data, at memory speed.

#include "rtf/codepage.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace qly::rtf {

// Text units in a buffer that grows without writing to what it has not been given: the
// memory it holds but does not use is never touched.
class UnitBuffer {
public:
    char16_t* data() { return m_units.get(); }
    qsizetype capacity() const { return m_capacity; }
    // Room for n units at least, the first `kept` of them kept.
    void reserve(qsizetype n, qsizetype kept);

private:
    std::unique_ptr<char16_t[]> m_units;
    qsizetype m_capacity = 0;
};

// Takes a page's text piece by piece as the scanner reads it, so that the whole text need
// never be in memory at once. Pieces keep a surrogate pair together.
class TextSink {
public:
    virtual ~TextSink() = default;
    // The next piece of the text; false when the rest is not needed (the scan stops soon).
    virtual bool take(QStringView piece) = 0;
};

// Gives the same text as plainText (the reader's text), paragraphs joined by "\r\n".
// Keeps its buffers and code pages from one page to the next; one per thread.
class TextScanner {
public:
    TextScanner();
    ~TextScanner();
    TextScanner(const TextScanner&) = delete;
    TextScanner& operator=(const TextScanner&) = delete;

    // The page file's text: RTF when the bytes are RTF, else plain text.
    QString text(QByteArrayView bytes);

    // The text stays in the scanner's buffer until the next call.
    QStringView scan(QByteArrayView bytes);

    // The text in pieces of about `pieceUnits` units, in a buffer of that size.
    void scan(QByteArrayView bytes, TextSink& sink, qsizetype pieceUnits = 32768);

private:
    class Pass;
    CodePages m_codePages;
    UnitBuffer m_out;
    QString m_plain; // a plain-text page's text
};

// One page's text with a scanner of its own.
QString scanText(QByteArrayView bytes);

} // namespace qly::rtf
