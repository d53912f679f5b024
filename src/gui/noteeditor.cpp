#include "noteeditor.h"

namespace qly {

NoteEditor::NoteEditor(QWidget* parent) : QTextEdit(parent) {
    setObjectName(QStringLiteral("Editor"));
}

void NoteEditor::setTextInset(int inset) {
    const QMargins margins(inset, 0, inset, 0);
    if (viewportMargins() != margins)
        setViewportMargins(margins);
}

} // namespace qly
