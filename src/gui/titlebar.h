#pragma once

#include <QFrame>

class QComboBox;
class QToolButton;
class QWidget;

namespace qly {

// The window's own title bar `pnTitle`: the navigation panel on the left, the grip in the
// middle, the minimise and close buttons on the right. It only lays out and paints; the
// main window connects the buttons to its handlers.
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

    // The page colour, shown by the title bar and both of its panels.
    void setPageColor(const QColor& color);
    // The title buttons are the title bar's height minus 2.
    void setTitleButtonHeight(int height);

private:
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
