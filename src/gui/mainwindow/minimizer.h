#pragma once

#include <QObject>

#include <memory>

class QAction;
class QComboBox;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace qly {

class FloatingButton;
class PageStore;
struct MainSettings;

// Where the main window goes when it is minimised, and how it comes back: a taskbar entry
// (mode 0), the tray icon `RxTrayIcon` (mode 1) or the floating button `pnMin` (mode 2).
// The minimise hook and the restore hook run on every minimise and restore, whoever asks
// for it: the title bar, the window manager, the tray icon, the floating button, or a later
// start of the program.
class Minimizer : public QObject {
    Q_OBJECT
public:
    enum class State { Normal, Taskbar, Tray, FloatingButton };

    // The window's saved geometry, the button's position and the mode live in settings;
    // the page selector and the page store give the remembered page.
    Minimizer(QWidget* window, MainSettings& settings, QComboBox* pageSelector, PageStore& pages);
    ~Minimizer() override;

    // The mode a minimise uses: any value but 1 and 2 is the taskbar, and the tray falls
    // back to the floating button while the desktop has no tray to show the icon in.
    static int effectiveMode(int minimizeTo, bool trayAvailable);

    void minimize(); // sbMinimizeClick
    void restore();  // restore, RxTrayIconClick, the floating button, a second start
    State state() const { return m_state; }
    bool floatingButtonShown() const { return m_state == State::FloatingButton; }

    // The button's drag stops whenever the main window is shown.
    void clearDrag();
    // While the button is shown, its position becomes "MinimizedLeft" and "MinimizedTop".
    void keepButtonPosition();

    // Made when first asked for.
    FloatingButton* floatingButton();
    QSystemTrayIcon* trayIcon();
    QMenu* popupMenu();

signals:
    // "Exit" in the popup menu: the main window closes.
    void exitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void minimizeHook(int mode);
    void restoreHook();
    void leaveMinimizedState();
    void showMainWindow();

    QWidget* m_window;
    MainSettings& m_settings;
    QComboBox* m_pageSelector;
    PageStore& m_pages;
    State m_state = State::Normal;
    std::unique_ptr<QMenu> m_popupMenu;
    QAction* m_restoreItem = nullptr;
    std::unique_ptr<FloatingButton> m_pnMin;
    QSystemTrayIcon* m_trayIcon = nullptr;
};

} // namespace qly
