#pragma once

class QKeyEvent;
class QPoint;
class QTextCursor;
class QTextEdit;

namespace qly {

// Checklists in the editor: paragraphs that start with a box, ☐ or ☑, followed by a space.
// They are text, so that every reader shows them; each change is one undo step.

// Checklist: the paragraphs of the selection (or the caret's) get an open box; when all have
// one, the boxes go.
void toggleChecklist(QTextCursor cursor);
// Ticks or unticks the box of the caret's paragraph; whether it has one.
bool tickBox(QTextCursor cursor);
// A click at `pos` (the viewport's) on a paragraph's box ticks it; whether it was on one.
bool boxClicked(QTextEdit* editor, const QPoint& pos);
// Ctrl+Space ticks the caret's item; Enter after an item starts the next with an open box,
// Enter on an empty item ends the checklist. Whether it took the key.
bool checklistKeyPressed(QTextEdit* editor, QKeyEvent* event);

} // namespace qly
