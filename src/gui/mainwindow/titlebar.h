#pragma once

#include <QFrame>

#include <vector>

class QComboBox;
class QToolButton;
class QWidget;

namespace qly {

// The window's own title bar `pnTitle`: the navigation panel on the left, the grip in the
// middle, the minimise and close buttons on the right. It lays out and paints; the main window
// connects the buttons to its handlers and moves itself when the grip is pressed.
class TitleBar : public QFrame {
    Q_OBJECT
public:
    explicit TitleBar(QWidget* parent = nullptr);

    QToolButton* sbStart() const { return m_sbStart; }
    QToolButton* sbPrev() const { return m_sbPrev; }
    QComboBox* cbNotes() const { return m_cbNotes; }
    QToolButton* sbNext() const { return m_sbNext; }
    QToolButton* sbMinimize() const { return m_sbMinimize; }
    QToolButton* sbClose() const { return m_sbClose; }
    QWidget* pnNav() const { return m_pnNav; }
    QWidget* pnClose() const { return m_pnClose; }
    QWidget* paintBox() const { return m_paintBox; }
    // The buttons and the page selector, which follow the title bar's height.
    std::vector<QWidget*> titleButtons() const;

    // The page colour, shown by the title bar and both of its panels.
    void setPageColor(const QColor& color);
    // The title buttons keep their left and top and take this height.
    void setTitleButtonHeight(int height);

signals:
    // A mouse button went down on the grip or on the title bar itself.
    void gripPressed(Qt::MouseButton button, QPoint globalPos);
    // The page selector's list is about to open: its entries' names (Qt::AccessibleTextRole)
    // may be set now, and the list shows them beside the letters.
    void pageListOpening();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintTitle();

    QWidget* m_pnNav = nullptr;
    QWidget* m_pnClose = nullptr;
    QWidget* m_paintBox = nullptr;
    QToolButton* m_sbStart = nullptr;
    QToolButton* m_sbPrev = nullptr;
    QComboBox* m_cbNotes = nullptr;
    QToolButton* m_sbNext = nullptr;
    QToolButton* m_sbMinimize = nullptr;
    QToolButton* m_sbClose = nullptr;
};

} // namespace qly
