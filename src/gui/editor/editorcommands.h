#pragma once

#include <QColor>
#include <QObject>

#include <functional>

class QAction;
class QColorDialog;
class QMenu;
class QTextEdit;
class QWidget;

namespace qly {

class FontDialog;
class MainMenu;
class NoteEditor;

// The editing and formatting commands of the main window's editor, reached from the editor's
// context menu `pmEditor` and from the Edit and Format submenus of the main menu, and the
// rules by which those items' enabled and checked states follow the selection and clipboard.
class EditorCommands : public QObject {
    Q_OBJECT
public:
    // pageColorPicked sets a confirmed page colour on the editor and the title bar and stores it.
    EditorCommands(QWidget* window, NoteEditor* editor, MainMenu* mainMenu,
                   std::function<void(const QColor&)> pageColorPicked);
    ~EditorCommands() override;

    QMenu* pmEditor() const { return m_pmEditor; }
    FontDialog* fontDialog();
    QColorDialog* colorDialog();
    bool updatingMenu() const { return m_updatingMenu; }

    // The editor's own properties: border, scroll bars, selection colours, text inset.
    void setUpEditor();
    // The text keeps 5 pixels from the left and right edges; cheap when already so.
    void insetTextRect();

    // Opens the editor's context menu for the viewport position pos (as a right click there
    // would); editorMenuRequested goes first so the menu can be fitted to the place.
    void popupEditorMenu(const QPoint& pos);

    void undoClicked();
    void redoClicked();
    void cutClicked();
    void copyClicked();
    void pasteClicked();
    void selectAllClicked();
    void fontClicked();
    void colorClicked();
    void alignClicked(QAction* item);

    void selectionChanged();
    void updateCutCopyItems();
    void updatePasteItems();

    // Listening to clipboard changes, from the end of the window's creation to its destruction.
    void joinClipboardChain();
    void leaveClipboardChain();

signals:
    void editorMenuRequested(const QPoint& pos);

private:
    // Bullets, Numbering, Checklist and the indent items, with their keys in the editor.
    void listCommands();
    QAction* addItem(const char* name, const QString& caption, const QKeySequence& shortcut,
                     void (EditorCommands::*handler)());

    QWidget* m_window;
    NoteEditor* m_editor;
    MainMenu* m_mainMenu;
    std::function<void(const QColor&)> m_pageColorPicked;
    QMenu* m_pmEditor = nullptr;
    QAction* m_redoItem = nullptr;
    QAction* m_cutItem = nullptr;
    QAction* m_copyItem = nullptr;
    QAction* m_pasteItem = nullptr;
    FontDialog* m_fontDialog = nullptr;
    QColorDialog* m_colorDialog = nullptr;
    QColor m_lastColor = Qt::black;
    bool m_updatingMenu = false;
    QMetaObject::Connection m_clipboardConnection;
};

} // namespace qly
