#include "editor/checklists.h"

#include "editor/listediting.h"

#include "model/inlinemarks.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <vector>

namespace qly {
namespace {

const QString kNewItem = QString(QChar(kBoxOpen)) + QLatin1Char(' ');

bool hasBox(const QTextBlock& block) {
    return boxTicked(block.text()).has_value();
}

// The box with the space after it, if any.
void removeBox(const QTextBlock& block) {
    QTextCursor c(block);
    const bool space = block.text().size() > 1 && block.text().at(1) == u' ';
    c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, space ? 2 : 1);
    c.removeSelectedText();
}

} // namespace

void toggleChecklist(QTextCursor cursor) {
    const std::vector<QTextBlock> blocks = selectedBlocks(cursor);
    const bool all = std::all_of(blocks.begin(), blocks.end(), hasBox);
    cursor.beginEditBlock();
    for (const QTextBlock& b : blocks) {
        if (all)
            removeBox(b);
        else if (!hasBox(b))
            QTextCursor(b).insertText(kNewItem);
    }
    cursor.endEditBlock();
}

bool tickBox(QTextCursor cursor) {
    const QTextBlock block = cursor.block();
    const std::optional<bool> ticked = boxTicked(block.text());
    if (!ticked)
        return false;
    QTextCursor c(block);
    c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    const QTextCharFormat format = c.charFormat();
    c.insertText(QString(QChar(*ticked ? kBoxOpen : kBoxTicked)), format);
    return true;
}

bool boxClicked(QTextEdit* editor, const QPoint& pos) {
    if (editor->isReadOnly())
        return false;
    const QTextCursor at = editor->cursorForPosition(pos);
    const QTextBlock block = at.block();
    if (!hasBox(block) || at.position() - block.position() > 1)
        return false;
    // On the box itself: between its left edge and the next character's.
    QTextCursor edge(block);
    const int left = editor->cursorRect(edge).left();
    edge.movePosition(QTextCursor::NextCharacter);
    const QRect after = editor->cursorRect(edge);
    if (pos.x() < left || pos.x() > after.left() || pos.y() < after.top() ||
        pos.y() > after.bottom())
        return false;
    return tickBox(edge);
}

bool checklistKeyPressed(QTextEdit* editor, QKeyEvent* event) {
    if (editor->isReadOnly())
        return false;
    QTextCursor cursor = editor->textCursor();
    const QTextBlock block = cursor.block();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Space && mods == Qt::ControlModifier)
        return tickBox(cursor);
    const bool enter =
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mods == Qt::NoModifier;
    if (!enter || cursor.hasSelection() || !hasBox(block) ||
        cursor.position() - block.position() < 1)
        return false;
    cursor.beginEditBlock();
    if (block.text().trimmed().size() <= 1) {
        removeBox(block);
    } else {
        cursor.insertBlock();
        cursor.insertText(kNewItem);
    }
    cursor.endEditBlock();
    editor->setTextCursor(cursor);
    editor->ensureCursorVisible();
    return true;
}

} // namespace qly
