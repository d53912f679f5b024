#pragma once

#include "model/document.h"

#include <QTextBlock>
#include <QTextCursor>

#include <vector>

class QKeyEvent;
class QTextCursor;
class QTextDocument;
class QTextEdit;

namespace qly {

// Making lists in the editor. Each command is one undo step. A list item's level is its
// list format's indent less one; the items of one page list share its id and definition.

// Bullets and Numbering: the paragraphs of the selection (or the caret's) become items of a
// list of that style, joining the list just before them; when all already are, they stop
// being list items.
// The paragraphs the cursor's selection touches (the caret's alone without one), in order.
std::vector<QTextBlock> selectedBlocks(const QTextCursor& cursor);

void toggleList(QTextCursor cursor, ListStyle style);
// Increase and Decrease Indent: list items go one level deeper or higher (0 to 8); other
// paragraphs are indented by half an inch more or less.
void changeIndent(QTextCursor cursor, int delta);
// Numbers the page's lists again as word processors do: a level's items under each item of
// a higher level count from the start, with the higher numbers before their own ("2.1.").
// Joins the edit block before it, so that it is part of the command that needed it.
void renumberLists(QTextDocument* document);

// The keys of list items: Tab and Shift+Tab at an item's start change its level, Enter on an
// empty item ends the list, Backspace at its start removes its mark. Whether it took the key.
bool listKeyPressed(QTextEdit* editor, QKeyEvent* event);

} // namespace qly
