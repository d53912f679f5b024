#pragma once

#include "pages/pagepositions.h"
#include "pages/pagestore.h"
#include "pages/textmatches.h"
#include "settings/mainsettings.h"

#include <QImage>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <QWindow>

#include <memory>

class QFrame;
class QTextEdit;

namespace qly {

class Announcer;
class CopyNotice;
class EditorCommands;
class EditorSpelling;
class MainMenu;
class PageNames;
class RecoveryKeeper;
class Minimizer;
class PageLoader;
class PageWatcher;
class TitleBar;
class TitleSplitter;

// The main window: one page of notes in `Editor` under the window's own title bar.
class MainForm : public QWidget {
    Q_OBJECT
public:
    explicit MainForm(QWidget* parent = nullptr);
    ~MainForm() override;

    QTextEdit* editor() const { return m_editor; }
    TitleBar* titleBar() const { return m_titleBar; }
    Minimizer* minimizer() const { return m_minimizer; }
    MainMenu* mainMenu() const { return m_mainMenu; }
    EditorCommands* commands() const { return m_commands; }
    EditorSpelling* spelling() const { return m_spelling; }
    TitleSplitter* splitter() const { return m_splitter; }
    PageStore& pages() { return m_pages; }
    // The settings of section "Main" as the program runs with them.
    MainSettings& runningSettings() { return m_settings; }
    QImage& snapshot() { return m_snapshot; }

    // Switches the editor to page `index`: selects it, saves the page left, loads the chosen
    // one and applies its colour. Raises Error when the page left cannot be saved; the editor
    // then keeps its page, and the selector shows its letter again.
    void switchToPage(int index);
    // The selector's own change: a user's pick, ignored while the window is not active.
    void cbNotesChange();
    void sbPrevClick();
    void sbNextClick();
    void saveCurrentPage();
    // Writes section "Main", the page in the editor and its colour. Runs any number of times
    // (logout checkpoints, signals, Go Mobile, the close); each failure is reported once in the
    // error box. True when everything was written.
    bool saveSession();
    void loadPageColor();
    void savePageColor();
    // Sets the page colour on the editor, then on the title bar's panels.
    void applyPageColor(int bgrColor);
    int pageColor() const;

    // Stay-on-top as the flag says (also while the floating button is shown).
    void applyStayOnTop(bool onTop);

    // A later start of the program asks this one to come forward.
    void bringForward();

    // The title bar: the main menu button, the grip and the splitter under it.
    void sbStartClick();
    void pnTitleMouseDown(Qt::MouseButton button);
    void splitterMoved();
    // The title bar's height on the screen for the height in the settings.
    static int shownTitleHeight(int titleHeight);
    // The frame around the window in which a press resizes it.
    static constexpr int ResizeBorder = 4;
    // How long after showing the window waits for its first paint before the work that
    // follows it.
    static constexpr int FirstPaintWaitMs = 500;

    // Commands of the main menu.
    void findClicked();
    // F3 and Shift+F3: the next or previous match of the last search, on this page and then on
    // the pages after (or before) it; Find when nothing was searched yet.
    void findNextClicked();
    void findPreviousClicked();
    // Replace on the page shown.
    void replaceClicked();
    // The search F3 goes on with: the last one of Find or Replace.
    const MatchRule& lastSearch() const { return m_lastSearch; }
    // The page's name, its letter and its first line, as the selector's list shows it.
    QString pageName(int index);
    // What the last step of Find next said ("match 3 of 7 on C"); empty on the same page.
    const QString& findStatus() const { return m_findStatus; }
    // Where page `index` was left, as kept for its next showing.
    PagePosition pagePosition(int index) const { return m_positions[validPageIndex(index)]; }
    void printClicked();
    // Saves the page in the editor, then opens Go Mobile (which copies the files on disk).
    void goMobileClicked();
    // "Page history" for the page shown, saved first so that its file is the page now.
    void historyClicked();
    // Puts the copy at path (a version or conflict copy of the page shown) in the page; the
    // page now becomes its newest version. Raises Error when it cannot.
    void restorePageCopy(const QString& path);
    // Looks for conflict copies (ours, Go Mobile's and sync tools'), off the GUI thread: the
    // pages that have them are marked in the selector's list, and new ones are named in a
    // notice that offers their history. Call it whenever copies may have appeared.
    void checkConflictCopies();
    // How many conflict copies page `index` had at the last look.
    int conflictCopyCount(int index) const { return m_conflictCounts[validPageIndex(index)]; }
    CopyNotice* copyNotice() const { return m_copyNotice; }
    void optionsClicked();
    void showAbout();
    void showHelp();
    void exitClicked();

    // The one-time teardown at the end (close, SIGTERM): leaves the clipboard and saves the
    // session. Later calls do nothing.
    void formDestroyed();
    // From now on messages are kept for the next start to show, not shown in a box: the
    // program is closing, and nothing may hold the close.
    void keepReportsForNextStart();

signals:
    // The window has closed and shut down: the program may end.
    void closed();
    // The window has painted for the first time (or did not within a moment of showing):
    // what the first picture does not need may follow.
    void firstPainted();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void formCreated();
    void formShown();
    void formActivated();
    void buildLayout();
    // The keys of the main menu's commands and of the title bar.
    void addKeyboardCommands();
    void openMainMenuFromKeyboard();
    // The current page file into the editor: an unreadable file is said once and shown
    // as an empty, read-only page.
    void loadCurrentPage();
    void removeLeftoversOfCutWrites();
    // The caret, selection and view of the page in the editor, kept for its next showing. The
    // view's first character comes from the last look at the view unless `lookNow`: at the
    // exit after the display connection broke, the editor cannot be asked where its text is.
    void keepPagePosition(bool lookNow);
    int viewTop() const;
    // Puts them back once the page's text is in the editor and the window shows it.
    void restorePagePosition();
    void findAgain(bool forward);
    void selectMatch(const TextMatch& match);
    // The names in the selector's list, taken as it opens.
    void namePagesInList();
    void sayFindStatus(const QString& text);
    void offerRecovery();
    // What the last close kept to say, shown without holding the window; returns the pages
    // whose save failed at that close.
    QList<int> showClosingNotes();
    void reportUnwritableFolder();
    // Another program changed the page shown: taken at once while nothing was typed on it.
    void pageChangedOnDisk();
    void formResized();
    void formPainted();
    void firstPaintDone();
    Qt::Edges resizeEdgesAt(QPoint pos) const;
    bool floatingButtonShown() const;

    MainSettings m_settings;
    PageStore m_pages;
    QImage m_snapshot;
    TitleBar* m_titleBar = nullptr;
    // Says the new page's name when the page changes.
    Announcer* m_announcer = nullptr;
    TitleSplitter* m_splitter = nullptr;
    MainMenu* m_mainMenu = nullptr;
    EditorCommands* m_commands = nullptr;
    EditorSpelling* m_spelling = nullptr;
    QWidget* m_editorPanel = nullptr;
    QTextEdit* m_editor = nullptr;
    PageLoader* m_pageLoader = nullptr;
    Minimizer* m_minimizer = nullptr;
    RecoveryKeeper* m_recovery = nullptr;
    PageWatcher* m_pageWatcher = nullptr;
    std::unique_ptr<PageNames> m_pageNames;
    CopyNotice* m_copyNotice = nullptr;
    std::array<int, PageCount> m_conflictCounts{};
    QSet<QString> m_knownConflictCopies;
    bool m_announceCopies = true; // new copies are named in the notice
    int m_copyScan = 0;           // the latest look for copies: earlier answers are dropped
    std::array<PagePosition, PageCount> m_positions{};
    bool m_positionPending = false; // the page's position waits for its text or the window
    int m_viewTop = 0;              // the first character in view, looked at after scrolling
    bool m_viewTopQueued = false;
    MatchRule m_lastSearch;
    QString m_findStatus;
    bool m_destroyed = false;
    bool m_firstPainted = false;
    bool m_spellingChosen = false; // the options dialog set the section "Spelling"
    QPointer<QWindow> m_lastFocusWindow;
};

} // namespace qly
