#pragma once

#include "document.h"

class QTextDocument;

namespace qly {

// Fills the editor's document from a page, replacing what it held.
void setEditorDocument(QTextDocument* target, const Document& doc);

// The editor's content as a page.
Document editorDocument(const QTextDocument* source);

} // namespace qly
