#include "editor/noteeditor.h"

#include "editor/checklists.h"
#include "editor/links.h"
#include "editor/listediting.h"
#include "editor/richtextpictures.h"
#include "editor/richtexttables.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextImageFormat>
#include <QTextTable>

namespace qly {

NoteEditor::NoteEditor(QWidget* parent) : QTextEdit(parent) {
    setObjectName(QStringLiteral("Editor"));
    connect(this, &QTextEdit::cursorPositionChanged, this, &NoteEditor::passTablePartJoin);
    viewport()->setMouseTracking(true); // the pointer shows where a link is
}

void NoteEditor::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) ||
        (event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier)) {
        event->accept();
        openMenuAtCaret();
        return;
    }
    const int wordEnd = textCursor().selectionStart();
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ControlModifier)) {
        if (const QString href = linkAtCaret(this); !href.isEmpty()) {
            openLink(this, href);
            return;
        }
    }
    if (checklistKeyPressed(this, event) || listKeyPressed(this, event)) {
        wordEnded(this, event, wordEnd);
        return;
    }
    const bool vertical = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    const QTextCursor before = textCursor();
    m_movingVertically = vertical;
    QTextEdit::keyPressEvent(event);
    m_movingVertically = false;
    QTextCursor cursor = textCursor();
    const QTextBlock join = cursor.block();
    const QTextTable* from = vertical ? outermostTable(before.block()) : nullptr;
    if (from && isTablePartJoin(join)) {
        // Up and Down go on to the next part's row in the same column, as within one table.
        const bool down = event->key() == Qt::Key_Down;
        const QTextTable* to = outermostTable(down ? join.next() : join.previous());
        const int column = from->cellAt(before.position()).column();
        const QTextTableCell cell = to->cellAt(down ? 0 : to->rows() - 1, column);
        cursor.setPosition(cell.firstCursorPosition().position(), cursor.hasSelection()
                                                                      ? QTextCursor::KeepAnchor
                                                                      : QTextCursor::MoveAnchor);
        setTextCursor(cursor);
    }
    wordEnded(this, event, wordEnd);
    passTablePartJoin();
}

bool NoteEditor::event(QEvent* event) {
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        openMenuAtCaret();
        return true;
    }
    return QTextEdit::event(event);
}

void NoteEditor::openMenuAtCaret() {
    ensureCursorVisible();
    const QPoint at = cursorRect().center();
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(viewport(), &menu);
    // The menu's own Down key makes its first item active, as the arrows go on from there.
    if (QWidget* popup = QApplication::activePopupWidget()) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::sendEvent(popup, &down);
    }
}

void NoteEditor::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier &&
        boxClicked(this, pos))
        return;
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::ControlModifier) {
        if (const QString href = anchorAt(pos); !href.isEmpty()) {
            openLink(this, href);
            return;
        }
    }
    QTextEdit::mousePressEvent(event);
}

void NoteEditor::mouseMoveEvent(QMouseEvent* event) {
    QTextEdit::mouseMoveEvent(event);
    const bool onLink = !anchorAt(event->position().toPoint()).isEmpty();
    if (onLink != m_overLink) {
        m_overLink = onLink;
        viewport()->setCursor(onLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
        viewport()->setToolTip(onLink ? tr("Ctrl+click to open") : QString());
    }
}

void NoteEditor::passTablePartJoin() {
    if (m_movingVertically)
        return;
    QTextCursor cursor = textCursor();
    const QTextBlock block = cursor.block();
    if (isTablePartJoin(block)) {
        const bool forward = cursor.position() >= m_lastPosition;
        const QTextCursor::MoveMode mode =
            cursor.hasSelection() ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
        cursor.setPosition(forward ? block.next().position()
                                   : block.previous().position() + block.previous().length() - 1,
                           mode);
        setTextCursor(cursor); // comes back here, off the join
        return;
    }
    m_lastPosition = cursor.position();
}

void NoteEditor::setTextInset(int inset) {
    const QMargins margins(inset, 0, inset, 0);
    if (viewportMargins() != margins)
        setViewportMargins(margins);
}

bool NoteEditor::canInsertFromMimeData(const QMimeData* source) const {
    return holdsPictures(source) || QTextEdit::canInsertFromMimeData(source);
}

void NoteEditor::insertFromMimeData(const QMimeData* source) {
    const QLatin1String picturesType(kPicturesMimeType);
    const QLatin1String richText("application/x-qrichtext");
    if (source->hasFormat(picturesType) && source->hasFormat(richText)) {
        // A copy from a page: its pictures go into this page under names of their own.
        const QString html = addCopiedPictures(document(), source->data(picturesType),
                                               QString::fromUtf8(source->data(richText)));
        textCursor().insertFragment(QTextDocumentFragment::fromHtml(html, document()));
        ensureCursorVisible();
        return;
    }
    // Image data without text (a screenshot, a copied picture), or image files.
    if (!source->hasText() || source->hasUrls()) {
        const std::vector<Picture> pictures = picturesFromMimeData(source);
        if (!pictures.empty()) {
            QTextCursor cursor = textCursor();
            cursor.beginEditBlock();
            for (const Picture& p : pictures)
                cursor.insertImage(pictureImageFormat(document(), p, cursor.charFormat()));
            cursor.endEditBlock();
            setTextCursor(cursor);
            ensureCursorVisible();
            return;
        }
    }
    const int from = textCursor().selectionStart();
    QTextEdit::insertFromMimeData(source);
    makeLinksIn(document(), from, textCursor().position());
}

QMimeData* NoteEditor::createMimeDataFromSelection() const {
    QMimeData* copied = QTextEdit::createMimeDataFromSelection();
    if (!selectionHasPictures(textCursor())) // text only: its HTML is made when asked for
        return copied;
    const QString html = copied->html();
    // Other programs get the pictures in the HTML; a page gets them with their form and RTF.
    auto* out = new QMimeData;
    QString text = copied->text();
    text.remove(QChar::ObjectReplacementCharacter);
    out->setText(text);
    out->setHtml(htmlWithPictureData(document(), html));
    out->setData(QLatin1String("application/x-qrichtext"), html.toUtf8());
    out->setData(QLatin1String(kPicturesMimeType), picturesOfHtml(document(), html));
    delete copied;
    return out;
}

} // namespace qly
