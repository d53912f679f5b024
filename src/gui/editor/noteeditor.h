#pragma once

#include <QTextEdit>

namespace qly {

// `Editor`: the rich-text control of the main window, whose text keeps a margin from the
// left and right edges.
class NoteEditor : public QTextEdit {
    Q_OBJECT
public:
    explicit NoteEditor(QWidget* parent = nullptr);

    // Sets the left and right inset of the text; does nothing when it is already so.
    void setTextInset(int inset);
    int textInset() const { return viewportMargins().left(); }

protected:
    // Pictures: pasted or dropped image data and image files go in as pictures; copied
    // pictures keep their form between pages and reach other programs as images.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent* event) override;
    // The Menu key arrives as a context menu event of its own.
    bool event(QEvent* event) override;
    // A click on a checklist box ticks it; Ctrl+click opens a link.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Moves the caret off the join between two parts of a long table, on the side it was
    // going to.
    void passTablePartJoin();
    // Shift+F10 and the Menu key: the right button's menu at the caret, as a mouse click there
    // would open it, with its first item active.
    void openMenuAtCaret();

    int m_lastPosition = 0;
    bool m_movingVertically = false;
    bool m_overLink = false;
};

} // namespace qly
