#pragma once

#include <QMenu>

#include <memory>

class QActionGroup;

namespace qly {

class MenuStyle;

// `rxMainMenu`: the main window's one menu, opened from the title bar's first button. It draws
// its own items, takes their pictures from `ToolbarImages` by their tags, and paints a banner
// in an 18-pixel margin beside the top level. Items carry their tag in QAction::data().
class MainMenu : public QMenu {
    Q_OBJECT
public:
    explicit MainMenu(QWidget* parent = nullptr);
    ~MainMenu() override;

    // An item by its name, such as "EditCopyItem" or "FormatAlignCenterItem".
    QAction* item(const QString& name) const;
    QMenu* noteMenu() const { return m_noteMenu; }
    QMenu* editMenu() const { return m_editMenu; }
    QMenu* formatMenu() const { return m_formatMenu; }

    // The strip beside the top level's items, in the menu's own coordinates.
    QRect marginRect() const;

    // The picture rule: a tag above 9 names picture tag - 11, otherwise the index stays.
    static void RxMainMenuGetImageIndex(const QAction* item, int& imageIndex);
    // Paints the banner: the gradient, the bevel and the product name written upwards.
    static void rxMainMenuDrawMargin(QPainter& painter, const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QAction* addItem(QMenu* menu, const char* name, const QString& caption, int tag = 0,
                     const QKeySequence& shortcut = QKeySequence());
    QMenu* addSubmenu(const char* name, const QString& caption);
    void assignImages();

    std::unique_ptr<MenuStyle> m_style;
    QMenu* m_noteMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_formatMenu = nullptr;
    QActionGroup* m_alignGroup = nullptr;
};

} // namespace qly
