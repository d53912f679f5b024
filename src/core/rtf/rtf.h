#pragma once

#include "model/document.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace qly::rtf {

// True when the bytes start with "{\rtf", after an optional UTF-8 byte-order mark and
// white space. Anything else is a plain-text page.
bool isRtf(QByteArrayView bytes);

// A page file's bytes as a document: RTF when they are RTF, else plain text (UTF-8 when
// valid, else Windows-1252). Never fails.
Document readDocument(QByteArrayView bytes);

// A page file's plain text, as find searches it: paragraphs joined by "\r\n".
QString plainText(QByteArrayView bytes);

// A document's text as find sees its page: paragraphs joined by "\r\n", the cells of a table
// row by tabs (empty cells at the end of a row add none). List numbers are not in it.
QString documentText(const Document& document);

// The document as RTF that word processors read back with the same text and formatting.
QByteArray writeDocument(const Document& document);

} // namespace qly::rtf
