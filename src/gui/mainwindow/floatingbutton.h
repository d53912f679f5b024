#pragma once

#include <QPoint>
#include <QWidget>

class QMenu;
class QToolButton;

namespace qly {

// The primary screen's width, and the work-area height: the bottom of its available area.
int primaryScreenWidth();
int workAreaHeight();

// The floating button `pnMin`: a small window of its own, 34 x 50, above all others and
// without a taskbar entry. The grip `Image1` on top drags it and snaps it to the screen's
// edges; `SpeedButton1` below asks for the main window to come back.
class FloatingButton : public QWidget {
    Q_OBJECT
public:
    // popupMenu is the grip's context menu; it is not owned.
    explicit FloatingButton(QMenu* popupMenu);

    QWidget* grip() const { return m_grip; }
    QToolButton* restoreButton() const { return m_restoreButton; }
    bool dragging() const { return m_dragging; }
    void clearDrag() { m_dragging = false; }

signals:
    void restoreClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The drag, shared by `pnMin` and `Image1`: pos is the pointer in the pressed control.
    // The Menu key (or Shift+F10) and the arrows on the button; true when the key was used.
    bool handleKey(QKeyEvent* event);
    void pnMinMouseDown(QWidget* control, QMouseEvent* event);
    void pnMinMouseMove(QWidget* control, QMouseEvent* event);
    void pnMinMouseUp(QWidget* control, QMouseEvent* event);
    void followPointer(QWidget* control, QMouseEvent* event);

    QMenu* m_popupMenu;
    QWidget* m_grip = nullptr;
    QToolButton* m_restoreButton = nullptr;
    bool m_dragging = false;
    QPoint m_anchor;
};

} // namespace qly
