#pragma once

#include <QString>

class QKeyEvent;
class QTextDocument;
class QTextEdit;
class QWidget;

namespace qly {

// Links in the editor: web and mail addresses typed or pasted become links when their word
// ends, each in an undo step of its own, so that Undo turns a just-made link back into text.

// The word ending at `position` becomes a link when it is an address; whether it did.
bool makeLinkEndingAt(QTextDocument* document, int position);
// Every address in [from, to) becomes a link (pasted text).
void makeLinksIn(QTextDocument* document, int from, int to);
// A key that ends a word (Space, Tab, Enter) has been typed with the caret at `position`
// before it: the word before it may become a link.
void wordEnded(QTextEdit* editor, const QKeyEvent* event, int position);
// Opens the address with the desktop's handler; when none can, says so in a box naming it.
void openLink(QWidget* parent, const QString& href);
// The address of the link at the caret (on either side of it); empty when none.
QString linkAtCaret(const QTextEdit* editor);

} // namespace qly
