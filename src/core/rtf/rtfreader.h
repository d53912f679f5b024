#pragma once
// The RTF reader's layers: a tokenizer over bytes, an interpreter with an explicit group
// stack, and the builder interface that receives runs and paragraph ends.

#include "model/document.h"

#include <QByteArrayView>
#include <QString>

namespace qly::rtf {

// Limits against hostile input.
inline constexpr int kMaxGroupDepth =
    512;                                // deeper groups are counted, their text kept at this depth
inline constexpr int kMaxFonts = 4096;  // font table entries kept
inline constexpr int kMaxColors = 4096; // colour table entries kept
inline constexpr int kMaxLists = 1024;  // lists kept (of the list table, and in use)
inline constexpr int kMaxControlWord = 32; // longer control words are unknown words

// Receives what the interpreter reads, in document order.
class Builder {
public:
    virtual ~Builder() = default;
    // Whether setFormat is wanted; a plain-text builder says no and saves the work.
    virtual bool wantsFormat() const { return true; }
    // The format of the text that follows.
    virtual void setFormat(const CharFormat&) {}
    // Text in the current format (never empty, no control characters but tab).
    virtual void text(const QChar* s, qsizetype n) = 0;
    // The document's lists, once at the end (only when wantsFormat says yes).
    virtual void setLists(std::vector<List>) {}
    // The end of a table row: the paragraphs ended since the row before that name it are its
    // cells' (only when wantsFormat says yes).
    virtual void rowEnd(TableRow) {}
    // A picture at this point of the paragraph, in the current format: the index'th (from 1)
    // of those given to setPictures (only when wantsFormat says yes).
    virtual void picture(int /*index*/) {}
    // The document's pictures, once at the end, when it has any.
    virtual void setPictures(std::vector<Picture>) {}
    // The end of a paragraph with its format, a paragraph without runs (only filled in when
    // wantsFormat says yes).
    virtual void paragraphEnd(const Paragraph& format) = 0;
};

// The value of a hex digit; -1 for any other byte.
inline int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c |= 0x20;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// An address as ASCII, the rest (and '"') as percent-encoded UTF-8: how links are kept.
QString asciiAddress(const QString& address);
// The address of a field instruction `HYPERLINK "address"`; empty for other fields.
QString hyperlinkTarget(const QString& instruction);

// The number of a list item as a list of this style shows it: "3", "c", "III" (rtflists.h).
QString listNumberText(ListStyle style, int number);

// Reads RTF bytes (they must start with "{\rtf" after an optional BOM and white space; this
// is not checked) into the builder. Never fails; every document gives at least one
// paragraph end.
void parseRtf(QByteArrayView bytes, Builder& builder);

} // namespace qly::rtf
