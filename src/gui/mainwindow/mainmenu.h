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

    // An item by its object name, such as "EditCopyItem"; for tests and diagnostics. The
    // program reaches its items through the accessors below.
    QAction* item(const QString& name) const;
    QMenu* noteMenu() const { return m_noteMenu; }
    QMenu* editMenu() const { return m_editMenu; }
    QMenu* formatMenu() const { return m_formatMenu; }

    QAction* noteFindItem() const { return m_noteFindItem; }
    QAction* noteFindNextItem() const { return m_noteFindNextItem; }
    QAction* noteFindPreviousItem() const { return m_noteFindPreviousItem; }
    QAction* notePrintItem() const { return m_notePrintItem; }
    QAction* noteGoMobileItem() const { return m_noteGoMobileItem; }
    QAction* noteHistoryItem() const { return m_noteHistoryItem; }
    QAction* exitItem() const { return m_exitItem; }
    QAction* editUndoItem() const { return m_editUndoItem; }
    QAction* editRedoItem() const { return m_editRedoItem; }
    QAction* editReplaceItem() const { return m_editReplaceItem; }
    QAction* editCutItem() const { return m_editCutItem; }
    QAction* editCopyItem() const { return m_editCopyItem; }
    QAction* editPasteItem() const { return m_editPasteItem; }
    QAction* editSelectAllItem() const { return m_editSelectAllItem; }
    QAction* formatFontItem() const { return m_formatFontItem; }
    QAction* formatColorItem() const { return m_formatColorItem; }
    QAction* formatAlignLeftItem() const { return m_formatAlignLeftItem; }
    QAction* formatAlignCenterItem() const { return m_formatAlignCenterItem; }
    QAction* formatAlignRightItem() const { return m_formatAlignRightItem; }
    QAction* formatBulletsItem() const { return m_formatBulletsItem; }
    QAction* formatNumberingItem() const { return m_formatNumberingItem; }
    QAction* formatChecklistItem() const { return m_formatChecklistItem; }
    QAction* formatIndentItem() const { return m_formatIndentItem; }
    QAction* formatOutdentItem() const { return m_formatOutdentItem; }
    QAction* optionsItem() const { return m_optionsItem; }
    QAction* helpItem() const { return m_helpItem; }
    QAction* aboutItem() const { return m_aboutItem; }
    // The alignment item whose tag is the alignment code (0 left, 1 right, 2 centre), if any.
    QAction* alignItem(int code) const;

    // The strip beside the top level's items, in the menu's own coordinates.
    QRect marginRect() const;

    // The picture rule: a tag above 9 names picture tag - 11, otherwise the index stays.
    static void imageIndexOf(const QAction* item, int& imageIndex);
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
    QAction* m_noteFindItem = nullptr;
    QAction* m_noteFindNextItem = nullptr;
    QAction* m_noteFindPreviousItem = nullptr;
    QAction* m_notePrintItem = nullptr;
    QAction* m_noteGoMobileItem = nullptr;
    QAction* m_noteHistoryItem = nullptr;
    QAction* m_exitItem = nullptr;
    QAction* m_editUndoItem = nullptr;
    QAction* m_editRedoItem = nullptr;
    QAction* m_editReplaceItem = nullptr;
    QAction* m_editCutItem = nullptr;
    QAction* m_editCopyItem = nullptr;
    QAction* m_editPasteItem = nullptr;
    QAction* m_editSelectAllItem = nullptr;
    QAction* m_formatFontItem = nullptr;
    QAction* m_formatColorItem = nullptr;
    QAction* m_formatAlignLeftItem = nullptr;
    QAction* m_formatAlignCenterItem = nullptr;
    QAction* m_formatAlignRightItem = nullptr;
    QAction* m_formatBulletsItem = nullptr;
    QAction* m_formatNumberingItem = nullptr;
    QAction* m_formatChecklistItem = nullptr;
    QAction* m_formatIndentItem = nullptr;
    QAction* m_formatOutdentItem = nullptr;
    QAction* m_optionsItem = nullptr;
    QAction* m_helpItem = nullptr;
    QAction* m_aboutItem = nullptr;
};

} // namespace qly
