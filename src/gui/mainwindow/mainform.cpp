#include "mainwindow/mainform.h"

#include "dialogs/aboutform.h"
#include "dialogs/desktopfont.h"
#include "dialogs/errorbox.h"
#include "dialogs/optionsform.h"
#include "editor/editorcommands.h"
#include "editor/noteeditor.h"
#include "editor/pageloader.h"
#include "editor/richtextconvert.h"
#include "find/findform.h"
#include "find/replaceform.h"
#include "help/helpoperations.h"
#include "history/aside.h"
#include "history/copynotice.h"
#include "history/historyform.h"
#include "mainwindow/mainmenu.h"
#include "mainwindow/minimizer.h"
#include "mainwindow/pagewatcher.h"
#include "mainwindow/recoverykeeper.h"
#include "mainwindow/titlebar.h"
#include "mainwindow/titlesplitter.h"
#include "mainwindow/windowroles.h"
#include "mobile/mobileform.h"
#include "model/bgrcolor.h"
#include "model/contrast.h"
#include "model/pageletters.h"
#include "pages/closingnotes.h"
#include "pages/pagecopies.h"
#include "pages/pagenames.h"
#include "pages/pagesearch.h"
#include "pages/pageversions.h"
#include "platform/announcer.h"
#include "platform/windowmove.h"
#include "print/previewform.h"
#include "print/printjob.h"
#include "rtf/rtf.h"
#include "settings/atomicfile.h"
#include "settings/error.h"
#include "settings/profile.h"
#include "settings/programpaths.h"
#include "spelling/editorspelling.h"
#include "spelling/personalwords.h"
#include "spelling/spellingsettings.h"
#include "window/titlemath.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace qly {

MainForm::MainForm(QWidget* parent) : QWidget(parent), m_pages(programDir()) {
    setObjectName(QStringLiteral("TMainForm"));
    installWindowRoles();
    setWindowTitle(QApplication::applicationName());
    buildLayout();
    // Activation: the focus comes back to this window from another window of the program
    // (a dialog closing), not from another program.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* now) {
        if (now && now == windowHandle() && m_lastFocusWindow && m_lastFocusWindow != now)
            formActivated();
        m_lastFocusWindow = now;
    });
    formCreated();
    // Changes a crash kept from their pages are offered once the window is up.
    QTimer::singleShot(0, this, &MainForm::offerRecovery);
}

MainForm::~MainForm() {
    formDestroyed();
    showReportsAgain();
}

void MainForm::buildLayout() {
    // The window's controls use the desktop's font: 8 points at its usual size.
    setFont(designedFont());
    m_titleBar = new TitleBar(this);
    m_splitter = new TitleSplitter(m_titleBar, this);

    m_editorPanel = new QWidget(this);
    m_editorPanel->setObjectName(QStringLiteral("Panel4"));
    auto* editor = new NoteEditor(m_editorPanel);
    m_editor = editor;
    m_recovery = new RecoveryKeeper(m_editor, programDir(), this);
    m_pageWatcher = new PageWatcher(this);
    connect(m_pageWatcher, &PageWatcher::changed, this, &MainForm::pageChangedOnDisk);
    // A sync tool puts its conflict copies beside the pages.
    connect(m_pageWatcher, &PageWatcher::changed, this, &MainForm::checkConflictCopies);
    m_copyNotice = new CopyNotice(m_editorPanel);
    connect(m_copyNotice, &CopyNotice::historyRequested, this, [this](int page) {
        runGuarded(this, [this, page] {
            if (page != m_pages.rememberedPageIndex())
                switchToPage(page);
            historyClicked();
        });
    });
    // Copies kept while Quillery was closed are named once the window is up.
    connect(this, &MainForm::firstPainted, this, &MainForm::checkConflictCopies);
    m_pageLoader = new PageLoader(editor);
    // A page that waited for the window to paint is its file's text when it comes, not typing.
    connect(m_pageLoader, &PageLoader::filled, m_recovery,
            [this] { m_recovery->pageLoaded(m_pages.rememberedPageIndex()); });
    connect(m_pageLoader, &PageLoader::filled, this, &MainForm::restorePagePosition);
    // Where the view starts is looked at once scrolling has settled.
    connect(m_editor->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (std::exchange(m_viewTopQueued, true))
            return;
        QTimer::singleShot(0, this, [this] {
            m_viewTopQueued = false;
            if (!m_positionPending && !m_pageLoader->pending())
                m_viewTop = viewTop();
        });
    });
    m_mainMenu = new MainMenu(this);
    m_commands = new EditorCommands(this, editor, m_mainMenu, [this](const QColor& color) {
        applyPageColor(bgrFromColor(color));
        savePageColor();
    });
    m_commands->setUpEditor();
    m_spelling = new EditorSpelling(editor, programDir(), PersonalWords::pathFor(programPath()));
    m_spelling->setErrorHandler([this](const QString& message) { showErrorBox(this, message); });
    m_spelling->setMenuOpener([this](const QPoint& pos) { m_commands->popupEditorMenu(pos); });
    connect(m_commands, &EditorCommands::editorMenuRequested, m_spelling,
            [this](const QPoint& pos) { m_spelling->prepareMenu(m_commands->pmEditor(), pos); });
    auto* panelLayout = new QVBoxLayout(m_editorPanel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(m_editor);
    // The notice of conflict copies stands above the page, never over its text.
    panelLayout->insertWidget(0, m_copyNotice);

    auto* layout = new QVBoxLayout(this);
    // The sizing frame: a press on it resizes the window.
    layout->setContentsMargins(ResizeBorder, ResizeBorder, ResizeBorder, ResizeBorder);
    layout->setSpacing(0);
    layout->addWidget(m_titleBar);
    layout->addWidget(m_splitter);
    layout->addWidget(m_editorPanel, 1);

    connect(m_titleBar->cbNotes(), &QComboBox::activated, this,
            [this] { runGuarded(this, [this] { cbNotesChange(); }); });
    connect(m_titleBar->sbPrev(), &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { sbPrevClick(); }); });
    connect(m_titleBar->sbNext(), &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { sbNextClick(); }); });
    m_minimizer = new Minimizer(this, m_settings, m_titleBar->cbNotes(), m_pages);
    connect(m_titleBar->sbMinimize(), &QToolButton::clicked, m_minimizer, &Minimizer::minimize);
    connect(m_minimizer, &Minimizer::exitRequested, this, &MainForm::exitClicked);
    connect(m_titleBar->sbClose(), &QToolButton::clicked, this, &QWidget::close);

    // The title bar, its grip and splitter, and the main menu.
    setMouseTracking(true);
    qApp->installEventFilter(this);
    connect(m_titleBar->sbStart(), &QToolButton::clicked, this, &MainForm::sbStartClick);
    connect(m_titleBar, &TitleBar::gripPressed, this,
            [this](Qt::MouseButton button) { pnTitleMouseDown(button); });
    connect(m_splitter, &TitleSplitter::moved, this, &MainForm::splitterMoved);
    const auto menuItem = [this](QAction* item, void (MainForm::*handler)()) {
        connect(item, &QAction::triggered, this,
                [this, handler] { runGuarded(this, [this, handler] { (this->*handler)(); }); });
    };
    menuItem(m_mainMenu->noteFindItem(), &MainForm::findClicked);
    menuItem(m_mainMenu->noteFindNextItem(), &MainForm::findNextClicked);
    menuItem(m_mainMenu->noteFindPreviousItem(), &MainForm::findPreviousClicked);
    menuItem(m_mainMenu->editReplaceItem(), &MainForm::replaceClicked);
    connect(m_titleBar, &TitleBar::pageListOpening, this, &MainForm::namePagesInList);
    menuItem(m_mainMenu->notePrintItem(), &MainForm::printClicked);
    menuItem(m_mainMenu->noteGoMobileItem(), &MainForm::goMobileClicked);
    menuItem(m_mainMenu->noteHistoryItem(), &MainForm::historyClicked);
    menuItem(m_mainMenu->exitItem(), &MainForm::exitClicked);
    menuItem(m_mainMenu->optionsItem(), &MainForm::optionsClicked);
    menuItem(m_mainMenu->helpItem(), &MainForm::showHelp);
    menuItem(m_mainMenu->aboutItem(), &MainForm::showAbout);
    addKeyboardCommands();
}

void MainForm::addKeyboardCommands() {
    // Find, Find next, Replace, Redo and Print act from anywhere in the window; the menu shows
    // their keys. Redo's keys reach the editor first where it knows them as its own.
    for (QAction* item :
         {m_mainMenu->noteFindItem(), m_mainMenu->noteFindNextItem(),
          m_mainMenu->noteFindPreviousItem(), m_mainMenu->editReplaceItem(),
          m_mainMenu->editRedoItem(), m_mainMenu->notePrintItem(), m_mainMenu->noteHistoryItem()}) {
        item->setShortcutContext(Qt::WindowShortcut);
        addAction(item);
    }
    const auto key = [this](const QKeySequence& keys, auto handler) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, handler);
    };
    key(QKeySequence(Qt::Key_F10), [this] { openMainMenuFromKeyboard(); });
    key(QKeySequence(Qt::ALT | Qt::Key_M), [this] { openMainMenuFromKeyboard(); });
    // Spelling: the next misspelt word with its menu. Shift+F10 and the Menu key are the
    // editor's own (its menu at the caret, first item active).
    key(QKeySequence(Qt::Key_F7), [this] { m_spelling->nextMisspellingClicked(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_PageUp),
        [this] { runGuarded(this, [this] { sbPrevClick(); }); });
    key(QKeySequence(Qt::CTRL | Qt::Key_PageDown),
        [this] { runGuarded(this, [this] { sbNextClick(); }); });
    // The page in the editor is named for a screen reader, and named again when it changes;
    // the new name is also said, since the focus stays where it is.
    m_announcer = new Announcer(this);
    const auto namePage = [this](int index) {
        const QString name = tr("Page %1").arg(pageLetter(validPageIndex(index)));
        m_editor->setAccessibleName(name);
        m_announcer->announce(name);
    };
    connect(m_titleBar->cbNotes(), &QComboBox::currentIndexChanged, this, namePage);
    namePage(m_titleBar->cbNotes()->currentIndex());
}

void MainForm::openMainMenuFromKeyboard() {
    if (floatingButtonShown())
        return;
    sbStartClick();
    // The first item is active, as the menu's own Down key makes it: its submenu stays shut
    // (setActiveAction would open it), and the arrows and Enter work at once.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(m_mainMenu, &down);
}

void MainForm::formCreated() {
    try {
        // 1: the snapshot that printing draws from.
        m_snapshot = QImage(80, 80, QImage::Format_RGB888);
        m_snapshot.fill(Qt::white);
        // 5: the window draws its own title bar.
        setWindowFlag(Qt::FramelessWindowHint, true);

        // The program must know its folder: everything it keeps lives there.
        if (programDir().isEmpty())
            throw Error(QStringLiteral("The program's folder is not known"));
        removeLeftoversOfCutWrites();

        // 7: section "Main".
        const Profile profile(programSettingsFile());
        if (const QString report = profile.takeReadErrorReport(); !report.isEmpty())
            showErrorBox(nullptr, report);
        m_pages.setVersionsKept(profile.readInteger(
            QStringLiteral("Backup"), QStringLiteral("Versions"), PageVersions::DefaultCount));
        // On a full drive a recovery copy, like the page, comes before old versions.
        m_recovery->setMakeRoom(
            [versions = m_pages.versions(), folder = m_pages.pageFolder()](int index) {
                return versions.dropOldest(pageFilePath(folder, index));
            });
        const QSize screen = QGuiApplication::primaryScreen()
                                 ? QGuiApplication::primaryScreen()->geometry().size()
                                 : QSize(1024, 768);
        m_settings = MainSettings::read(profile, screen.width(), screen.height());
        m_positions = readPagePositions(profile);
        m_titleBar->setFixedHeight(shownTitleHeight(m_settings.titleHeight));
        setAttribute(Qt::WA_AlwaysShowToolTips, m_settings.showHint);
        // Dictionaries load away from the window once it has painted.
        const SpellingSettings spelling = SpellingSettings::read(profile);
        connect(
            this, &MainForm::firstPainted, m_spelling,
            [this, spelling] { m_spelling->apply(spelling); }, Qt::SingleShotConnection);

        // 8: the page list, and the page "ActivePage" names.
        QComboBox* notes = m_titleBar->cbNotes();
        notes->clear();
        for (int i = 0; i < PageCount; ++i)
            notes->addItem(pageLetter(i));
        notes->setCurrentIndex(validPageIndex(m_settings.activePage));

        // 9, 10: the page and its colour.
        m_pages.setCurrentPage(notes->currentIndex());
        // A page folder that is missing is created by the load.
        loadCurrentPage();
        loadPageColor();

        // 12, 13: the menu state, and listening to the clipboard.
        m_commands->selectionChanged();
        m_commands->joinClipboardChain();
    } catch (const Error& e) {
        showMessage(nullptr, QStringLiteral("Initialization failed\n\n%1").arg(e.message()));
    } catch (const std::exception& e) {
        showMessage(
            nullptr,
            QStringLiteral("Initialization failed\n\n%1").arg(QString::fromLocal8Bit(e.what())));
    }
    // 14, 15: the geometry as read, and the title buttons.
    setGeometry(m_settings.left, m_settings.top, m_settings.width, m_settings.height);
    m_titleBar->setTitleButtonHeight(titleButtonHeight(m_titleBar->height()));
}

void MainForm::loadCurrentPage() {
    PageStore::Load page = m_pages.loadCurrentPage();
    m_pageLoader->showPage(std::move(page.document));
    m_editor->setReadOnly(m_pages.currentPageReadOnly());
    // An empty page starts in the editor's own format, not in the page before's.
    if (page.status != PageFileRead::Status::Read)
        m_editor->setCurrentCharFormat(QTextCharFormat());
    if (page.status == PageFileRead::Status::NoFile)
        forceFolders(m_pages.pageFolder());
    m_recovery->pageLoaded(m_pages.rememberedPageIndex());
    m_pageWatcher->watch(m_pages.pageFolder(), m_pages.currentPageFile());
    m_positionPending = true;
    m_viewTop = 0;
    restorePagePosition();
    if (page.status != PageFileRead::Status::Unreadable)
        return;
    showErrorBox(this, QStringLiteral("Cannot read the page file %1 (%2). The page is shown "
                                      "empty and read-only, and its file is left as it is")
                           .arg(QDir::toNativeSeparators(m_pages.currentPageFile()), page.reason));
}

void MainForm::removeLeftoversOfCutWrites() {
    QStringList pages;
    for (int i = 0; i < PageCount; ++i)
        pages.append(QFileInfo(m_pages.pageFile(i)).fileName());
    m_pages.removeLeftoverTemporaries();
    removeLeftoverTemporaries(m_recovery->store().folder(), pages);
    const QFileInfo settings(programSettingsFile());
    removeLeftoverTemporaries(settings.path(), {settings.fileName()});
}

void MainForm::formShown() {
    m_minimizer->clearDrag();
    applyStayOnTop(m_settings.stayOnTop || floatingButtonShown());
    activateWindow();
    raise();
    m_editor->setFocus();
    restorePagePosition();
    // Asking the clipboard may wait on another program: done once the window has painted. A
    // window the others cover has nothing to paint; it waits a moment at most.
    if (m_firstPainted)
        QTimer::singleShot(0, m_commands, &EditorCommands::updatePasteItems);
    else
        QTimer::singleShot(FirstPaintWaitMs, this, &MainForm::firstPaintDone);
}

void MainForm::firstPaintDone() {
    if (m_firstPainted)
        return;
    m_firstPainted = true;
    m_commands->updatePasteItems();
    emit firstPainted();
}

void MainForm::formActivated() {
    applyStayOnTop(m_settings.stayOnTop);
}

void MainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    formShown();
}

void MainForm::applyStayOnTop(bool onTop) {
    if (QWindow* w = windowHandle()) {
        if (w->flags().testFlag(Qt::WindowStaysOnTopHint) != onTop)
            w->setFlag(Qt::WindowStaysOnTopHint, onTop);
    } else {
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    }
}

bool MainForm::floatingButtonShown() const {
    return m_minimizer->floatingButtonShown();
}

void MainForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        showHelpContents();
        return;
    }
    if (floatingButtonShown())
        return;
    QWidget::keyPressEvent(event);
}

void MainForm::switchToPage(int index) {
    m_titleBar->cbNotes()->setCurrentIndex(index);
    keepPagePosition(true);
    try {
        saveCurrentPage();
    } catch (...) {
        // The editor keeps its page, and the selector (so the title and ActivePage) says so.
        m_titleBar->cbNotes()->setCurrentIndex(m_pages.rememberedPageIndex());
        throw;
    }
    m_pages.setCurrentPage(index);
    loadCurrentPage();
    loadPageColor();
}

void MainForm::cbNotesChange() {
    if (!isActiveWindow())
        return;
    switchToPage(m_titleBar->cbNotes()->currentIndex());
}

void MainForm::sbPrevClick() {
    switchToPage(PageStore::previousIndex(m_titleBar->cbNotes()->currentIndex()));
}

void MainForm::sbNextClick() {
    switchToPage(PageStore::nextIndex(m_titleBar->cbNotes()->currentIndex()));
}

void MainForm::saveCurrentPage() {
    if (m_pages.currentPageReadOnly())
        return; // a page whose file cannot be read is never written
    m_pageLoader->finishPending();
    // A page only viewed is never written: it would put back text another program replaced.
    const bool edited = m_recovery->edited();
    PageStore::Save save;
    try {
        save = m_pages.saveCurrentPage(edited ? editorDocument(m_editor->document()) : Document(),
                                       edited);
    } catch (...) {
        // The typed text goes to a recovery copy, which the next start offers; one made at the
        // close says so.
        m_recovery->keepNow();
        if (keepingReportsForLater()) {
            const int index = m_pages.rememberedPageIndex();
            if (!ClosingNotes(m_recovery->store().folder()).addUnsavedPage(index))
                ClosingNotes(m_recovery->userStore().folder()).addUnsavedPage(index);
        }
        throw;
    }
    using Outcome = PageStore::Save::Outcome;
    if (save.outcome == Outcome::Written || save.outcome == Outcome::Conflict) {
        m_recovery->pageSaved();
        m_pageWatcher->watch(m_pages.pageFolder(), m_pages.currentPageFile());
    }
    if (save.outcome == Outcome::Conflict)
        checkConflictCopies();
    if (save.outcome == Outcome::Conflict)
        showMessage(this, QStringLiteral("Another program changed page %1 while you were writing "
                                         "on it. Your text is saved in the page; the other text "
                                         "is kept in %2")
                              .arg(pageLetter(m_pages.rememberedPageIndex()),
                                   QDir::toNativeSeparators(save.conflictFile)));
}

void MainForm::pageChangedOnDisk() {
    if (m_destroyed || m_pageLoader->pending() || m_recovery->edited() ||
        m_pages.currentPageReadOnly() ||
        m_pages.currentPageDiskChange() == PageStore::DiskChange::None)
        return;
    if (m_pages.currentPageDiskChange() == PageStore::DiskChange::Removed &&
        !m_editor->document()->isEmpty()) {
        // Deleted by another program while shown: the text shown is all that is left of it.
        const int page = m_pages.rememberedPageIndex();
        const IoResult<QString> kept = m_pages.versions().keepText(
            m_pages.currentPageFile(), rtf::writeDocument(editorDocument(m_editor->document())));
        if (!kept) {
            // The text stays shown, so it can still be copied or saved by typing.
            m_copyNotice->showText(tr("Page %1 was deleted by another program. Its text could "
                                      "not be kept (%2), so it stays shown.")
                                       .arg(pageLetter(page), kept.reason()),
                                   page);
            return;
        }
        m_copyNotice->showText(tr("Page %1 was deleted by another program. Its last text is "
                                  "kept in its history.")
                                   .arg(pageLetter(page)),
                               page);
    }
    // The caret and the view stay where they were, as far as the new text reaches.
    const int caret = m_editor->textCursor().position();
    const int scroll = m_editor->verticalScrollBar()->value();
    loadCurrentPage();
    m_pageLoader->finishPending();
    QTextCursor cursor(m_editor->document());
    cursor.setPosition(qBound(0, caret, m_editor->document()->characterCount() - 1));
    m_editor->setTextCursor(cursor);
    m_editor->verticalScrollBar()->setValue(scroll);
}

void MainForm::reportUnwritableFolder() {
    const QString folder =
        QFileInfo(m_pages.pageFolder()).isDir() ? m_pages.pageFolder() : programDir();
    if (folder.isEmpty() || ::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return;
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    showErrorBox(this, QStringLiteral("The notes folder %1 cannot be written (%2). Pages cannot "
                                      "be saved there; what you type is kept in %3 and offered "
                                      "when Quillery next starts with this folder")
                           .arg(QDir::toNativeSeparators(folder), reason,
                                QDir::toNativeSeparators(m_recovery->userStore().folder())));
}

void MainForm::offerRecovery() {
    // What is wrong with the folders around the pages is said once at the start, before the
    // copies are offered.
    QStringList folderProblems;
    if (const QString problem = pageFolderProblem(m_pages.pageFolder()); !problem.isEmpty())
        folderProblems << problem;
    const auto refused = [&folderProblems](const QString& link, const QString& used,
                                           const QString& what) {
        if (!link.isEmpty())
            folderProblems << QStringLiteral("The folder %1 is a symbolic link, which Quillery "
                                             "does not follow; %2 are kept in %3 instead")
                                  .arg(QDir::toNativeSeparators(link), what,
                                       QDir::toNativeSeparators(used));
    };
    refused(m_pages.versions().refusedLink(), m_pages.versions().folder(),
            QStringLiteral("earlier versions of the pages"));
    refused(m_recovery->store().refusedLink(), m_recovery->store().folder(),
            QStringLiteral("recovery copies"));
    for (const QString& problem : folderProblems)
        showErrorBox(this, problem);
    reportUnwritableFolder();
    const QList<int> unsavedAtClose = showClosingNotes();
    m_recovery->offerPending(
        this, m_pages.pageFolder(), unsavedAtClose,
        [this](int index, const Document& doc, bool pageChangedSince) {
            runGuarded(this, [&] {
                if (index != m_pages.rememberedPageIndex())
                    switchToPage(index);
                m_pageLoader->finishPending();
                // The page file as it is now goes to the versions before the copy replaces it.
                if (pageChangedSince) {
                    const IoResult<QString> kept =
                        m_pages.versions().keepConflict(m_pages.currentPageFile());
                    if (!kept)
                        throw Error(QStringLiteral("The page file %1 cannot be kept as a version "
                                                   "(%2), so the copy is not restored yet")
                                        .arg(QDir::toNativeSeparators(m_pages.currentPageFile()),
                                             kept.reason()));
                }
                // The recovered text is the page's unsaved text: saved by the usual rule.
                setEditorDocument(m_editor->document(), doc);
            });
        });
}

void MainForm::loadPageColor() {
    const Profile profile(programSettingsFile());
    applyPageColor(readPageColor(profile, m_titleBar->cbNotes()->currentIndex()));
}

void MainForm::savePageColor() {
    Profile profile(programSettingsFile());
    writePageColor(profile, m_titleBar->cbNotes()->currentIndex(), pageColor());
}

void MainForm::applyPageColor(int bgrColor) {
    QPalette pal = m_editor->palette();
    pal.setColor(QPalette::Base, colorFromBgr<QColor>(bgrColor));
    // Text without a colour of its own, and the caret, stand out on the page whatever the
    // desktop's theme: a dark theme's white text would vanish on the light page colours.
    const QColor text = colorFromBgr<QColor>(readableTextColor(bgrColor));
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        pal.setColor(group, QPalette::Text, text);
    m_editor->setPalette(pal);
    m_titleBar->setPageColor(m_editor->palette().color(QPalette::Base));
}

int MainForm::pageColor() const {
    return bgrFromColor(m_editor->palette().color(QPalette::Base));
}

void MainForm::bringForward() {
    // Back from the taskbar, the tray or the floating button, then to the front.
    m_minimizer->restore();
}

void MainForm::findClicked() {
    FindForm form(m_pages.pageFolder(), this);
    // The page on screen is searched as it is here: with what was typed since it was saved.
    m_pageLoader->finishPending();
    if (m_recovery->edited())
        form.setShownPage(m_pages.rememberedPageIndex(), m_editor->document());
    const int accepted = form.exec();
    if (!form.searchedText().isEmpty())
        m_lastSearch = {form.searchedText(), form.searchedCaseSensitive(), false};
    if (accepted != QDialog::Accepted)
        return;
    const int index = m_titleBar->cbNotes()->findText(form.chosenPage(),
                                                      Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return;
    switchToPage(index);
    // The text found is selected and shown, as the search matched it.
    m_pageLoader->finishPending();
    const QList<TextMatch> matches = findMatches(m_editor->document()->toRawText(), m_lastSearch);
    if (!matches.isEmpty())
        selectMatch(matches.front());
}

void MainForm::findNextClicked() {
    findAgain(true);
}

void MainForm::findPreviousClicked() {
    findAgain(false);
}

void MainForm::findAgain(bool forward) {
    if (m_lastSearch.isEmpty())
        return findClicked();
    m_pageLoader->finishPending();
    const int start = m_pages.rememberedPageIndex();
    const auto matchesShown = [this] {
        return findMatches(m_editor->document()->toRawText(), m_lastSearch);
    };
    QList<TextMatch> matches = matchesShown();
    const QTextCursor cursor = m_editor->textCursor();
    if (const qsizetype i =
            nextMatchIndex(matches, cursor.selectionStart(), cursor.selectionEnd(), forward);
        i >= 0) {
        selectMatch(matches[i]);
        sayFindStatus(QString());
        return;
    }
    // The other pages as their files hold them; the page shown as the editor holds it.
    std::array<bool, PageCount> hasMatch{};
    const PageSearchResult found = searchPages(m_pages.pageFolder(), m_lastSearch.text,
                                               m_lastSearch.caseSensitive, &pageTexts());
    for (int page : found.pages)
        hasMatch[page] = true;
    hasMatch[start] = !matches.isEmpty();
    int from = start;
    for (int page = nextPageWithMatch(hasMatch, from, forward); page >= 0;
         page = nextPageWithMatch(hasMatch, from, forward)) {
        if (page != m_pages.rememberedPageIndex()) {
            switchToPage(page);
            m_pageLoader->finishPending();
            matches = matchesShown();
        }
        from = page;
        if (matches.isEmpty()) { // the file's text matched, the page's does not: go on
            hasMatch[page] = false;
            continue;
        }
        const qsizetype i = forward ? 0 : matches.size() - 1;
        selectMatch(matches[i]);
        sayFindStatus(
            page == start
                ? QString()
                : tr("match %1 of %2 on %3").arg(i + 1).arg(matches.size()).arg(pageLetter(page)));
        return;
    }
    if (found.stoppedEarly())
        throw Error(found.error);
    sayFindStatus(tr("\"%1\" was not found").arg(m_lastSearch.text));
}

void MainForm::selectMatch(const TextMatch& match) {
    QTextCursor cursor(m_editor->document());
    cursor.setPosition(int(match.start));
    cursor.setPosition(int(match.end()), QTextCursor::KeepAnchor);
    m_editor->setTextCursor(cursor);
    m_editor->ensureCursorVisible();
}

void MainForm::sayFindStatus(const QString& text) {
    m_findStatus = text;
    // Under the title bar for a moment, and to a screen reader as the page's description.
    m_editor->setAccessibleDescription(text);
    if (text.isEmpty() || !isVisible())
        return;
    QWidget* title = m_titleBar->paintBox();
    QToolTip::showText(title->mapToGlobal(QPoint(0, title->height())), text, title, QRect(), 4000);
}

void MainForm::replaceClicked() {
    m_pageLoader->finishPending();
    ReplaceForm form(m_editor, this);
    MatchRule rule = m_lastSearch;
    // A selection within a line is what is to be replaced.
    const QString selected = m_editor->textCursor().selectedText();
    if (!selected.isEmpty() && selected.size() <= 200 &&
        !selected.contains(QChar::ParagraphSeparator))
        rule.text = selected;
    form.setRule(rule);
    form.exec();
    if (!form.rule().isEmpty())
        m_lastSearch = form.rule();
}

int MainForm::viewTop() const {
    return m_editor->cursorForPosition(QPoint(0, 0)).position();
}

void MainForm::keepPagePosition(bool lookNow) {
    // A page whose position was not put back yet keeps the one it had.
    if (m_positionPending || m_pageLoader->pending())
        return;
    if (lookNow)
        m_viewTop = viewTop();
    const QTextCursor cursor = m_editor->textCursor();
    m_positions[validPageIndex(m_pages.rememberedPageIndex())] = {cursor.anchor(),
                                                                  cursor.position(), m_viewTop};
}

void MainForm::restorePagePosition() {
    if (!m_positionPending || m_pageLoader->pending() || !m_editor->isVisible())
        return;
    m_positionPending = false;
    QTextDocument* doc = m_editor->document();
    const PagePosition at = m_positions[validPageIndex(m_pages.rememberedPageIndex())].clampedTo(
        doc->characterCount() - 1);
    m_viewTop = at.top;
    if (at.atStart())
        return; // the page opens at its top, as it loaded
    // The page is laid out as far as the place needs it.
    m_pageLoader->finishPending();
    QTextCursor cursor(doc);
    cursor.setPosition(at.anchor);
    cursor.setPosition(at.caret, QTextCursor::KeepAnchor);
    m_editor->setTextCursor(cursor);
    // The line that was at the top of the view is at its top again.
    const QTextBlock block = doc->findBlock(at.top);
    qreal y = doc->documentLayout()->blockBoundingRect(block).top(); // laid out to there
    if (const QTextLayout* layout = block.layout(); layout && layout->lineCount() > 0)
        y = layout->position().y() + layout->lineForTextPosition(at.top - block.position()).y();
    QScrollBar* bar = m_editor->verticalScrollBar();
    bar->setValue(int(std::ceil(y)));
    // The view's first pixel row is in that line, as it was when it was kept: a line's place
    // and the editor's hit test may differ by the line's leading.
    const int lastStep = bar->value() + 4 * m_editor->fontMetrics().height();
    while (m_editor->cursorForPosition(QPoint(0, 0)).position() < at.top &&
           bar->value() < std::min(bar->maximum(), lastStep))
        bar->setValue(bar->value() + 1);
}

QString MainForm::pageName(int index) {
    index = validPageIndex(index);
    if (index != m_pages.rememberedPageIndex()) {
        if (!m_pageNames)
            m_pageNames = std::make_unique<PageNames>(m_pages.pageFolder());
        return pageListName(index, m_pageNames->firstLine(index));
    }
    // The page shown is named as it is now, typing included: its first lines are enough.
    QString start;
    for (QTextBlock b = m_editor->document()->begin(); b.isValid() && start.size() < 4096;
         b = b.next()) {
        start += b.text() + QLatin1Char('\n');
        if (!pageFirstLine(start).isEmpty())
            break;
    }
    return pageListName(index, pageFirstLine(start));
}

void MainForm::namePagesInList() {
    QComboBox* notes = m_titleBar->cbNotes();
    for (int i = 0; i < notes->count(); ++i) {
        // A page with conflict copies is marked, in words and in bold.
        const int copies = m_conflictCounts[validPageIndex(i)];
        const QString mark = copies == 0   ? QString()
                             : copies == 1 ? tr(" \u2014 a conflict copy")
                                           : tr(" \u2014 %1 conflict copies").arg(copies);
        notes->setItemData(i, pageName(i) + mark, Qt::AccessibleTextRole);
        QFont font = notes->font();
        font.setBold(copies > 0);
        notes->setItemData(i, copies > 0 ? QVariant(font) : QVariant(), Qt::FontRole);
    }
}

void MainForm::checkConflictCopies() {
    if (m_destroyed)
        return;
    const int scan = ++m_copyScan;
    runAside<QList<ConflictCopyFile>>(
        this,
        [pageFolder = m_pages.pageFolder(), backupFolder = m_pages.versions().folder()] {
            return listConflictCopies(pageFolder, backupFolder);
        },
        [this, scan](QList<ConflictCopyFile> files) {
            if (scan != m_copyScan || m_destroyed)
                return;
            m_conflictCounts = {};
            QSet<QString> seen;
            QList<int> newPages;
            int newCopies = 0;
            QStringList tools;
            for (const ConflictCopyFile& file : files) {
                ++m_conflictCounts[file.page];
                seen.insert(file.path);
                if (m_knownConflictCopies.contains(file.path))
                    continue;
                ++newCopies;
                if (!newPages.contains(file.page))
                    newPages.append(file.page);
                if (!file.tool.isEmpty() && !tools.contains(file.tool))
                    tools.append(file.tool);
            }
            m_knownConflictCopies = seen;
            std::sort(newPages.begin(), newPages.end());
            tools.sort();
            if (std::exchange(m_announceCopies, true) && !newPages.isEmpty())
                m_copyNotice->showFor(newPages, newCopies, tools);
            // An open list shows the marks at once.
            if (m_titleBar->cbNotes()->view()->isVisible())
                namePagesInList();
        });
}

void MainForm::historyClicked() {
    // The page now is its file: what was typed goes there first.
    saveCurrentPage();
    const int page = m_pages.rememberedPageIndex();
    HistoryForm form(
        page, m_pages.pageFolder(), m_pages.versions().folder(),
        m_editor->palette().color(QPalette::Base),
        [this](const QString& path) { restorePageCopy(path); }, this);
    m_copyNotice->hide();
    form.exec();
    // Copies deleted or made by a restore there are no news.
    m_announceCopies = false;
    checkConflictCopies();
}

void MainForm::restorePageCopy(const QString& path) {
    const PageFileRead copy = readPageFile(path);
    const QByteArray& bytes = copy.bytesOrRaise(path);
    saveCurrentPage();
    m_pages.restoreCurrentPage(bytes);
    loadCurrentPage();
    m_pageLoader->finishPending();
}
void MainForm::printClicked() {
    QPrinter& printer = selectedPrinter();
    if (printer.printerName().isEmpty()) {
        showMessage(this, tr("No printer installed"));
        return;
    }
    PreviewForm preview(this, printer, m_snapshot, programSettingsFile(), m_settings.showHint);
    captureScreenRect(m_editor, m_snapshot);
    preview.exec();
}
void MainForm::goMobileClicked() {
    // Go Mobile copies the page files as they lie on disk: the page in the editor first goes
    // to its file, as a page switch would write it. A failure here keeps the dialog closed.
    saveCurrentPage();
    MobileForm form(this);
    // Conflict copies a copy kept in this folder are marked and named like any other.
    connect(&form, &MobileForm::conflictCopiesKept, this, [this] { checkConflictCopies(); });
    form.exec();
}
void MainForm::optionsClicked() {
    OptionsForm form(this);
    form.setAlwaysOnTop(m_settings.stayOnTop);
    form.setShowHints(m_settings.showHint);
    form.setMinimizeMode(m_settings.minimizeTo);
    QList<std::pair<QString, QString>> languages;
    for (const DictionaryFile& d : m_spelling->availableDictionaries())
        languages.append({d.code, languageName(d.code)});
    form.setSpelling(m_spelling->settings().checkAsYouType, m_spelling->settings().skipCapitals,
                     languages, m_spelling->languagesInUse());
    if (form.exec() != QDialog::Accepted)
        return;
    SpellingSettings spelling = m_spelling->settings();
    spelling.checkAsYouType = form.checkSpelling();
    spelling.skipCapitals = form.skipCapitals();
    spelling.languages = form.spellingLanguages();
    spelling.languagesSet = true;
    m_spelling->apply(spelling);
    // Written with the other settings at the end of the session.
    m_spellingChosen = true;
    m_settings.showHint = form.showHints();
    setAttribute(Qt::WA_AlwaysShowToolTips, m_settings.showHint);
    m_settings.stayOnTop = form.alwaysOnTop();
    applyStayOnTop(m_settings.stayOnTop);
    // The mode counts from the next minimise on.
    m_settings.minimizeTo = form.minimizeMode();
}
void MainForm::showAbout() {
    AboutForm about(this);
    about.exec();
}
void MainForm::showHelp() {
    showHelpContents();
}
void MainForm::exitClicked() {
    close();
}

void MainForm::closeEvent(QCloseEvent* event) {
    formDestroyed();
    event->accept();
    emit closed();
}

void MainForm::formDestroyed() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    keepReportsForNextStart();
    saveSession();
    m_snapshot = QImage();
    m_commands->leaveClipboardChain();
}

void MainForm::keepReportsForNextStart() {
    keepReportsForLater([store = m_recovery->store().folder(),
                         user = m_recovery->userStore().folder()](const QString& text) {
        if (!ClosingNotes(store).add(text))
            ClosingNotes(user).add(text);
    });
}

QList<int> MainForm::showClosingNotes() {
    ClosingNotes::Taken notes = ClosingNotes(m_recovery->store().folder()).take();
    const ClosingNotes::Taken user = ClosingNotes(m_recovery->userStore().folder()).take();
    notes.messages += user.messages;
    for (int index : user.unsavedPages)
        if (!notes.unsavedPages.contains(index))
            notes.unsavedPages.append(index);
    if (!notes.messages.isEmpty())
        showNotice(this, QStringLiteral("When %1 last closed:\n\n%2")
                             .arg(QApplication::applicationName(),
                                  notes.messages.join(QStringLiteral("\n\n"))));
    return notes.unsavedPages;
}

bool MainForm::saveSession() {
    if (!floatingButtonShown()) {
        const QRect g = geometry();
        m_settings.left = g.left();
        m_settings.top = g.top();
        m_settings.width = g.width();
        m_settings.height = g.height();
    }
    m_minimizer->keepButtonPosition();
    // The height the user gave the title bar, not the one a large font made it.
    if (m_titleBar->height() != shownTitleHeight(m_settings.titleHeight))
        m_settings.titleHeight = m_titleBar->height();
    m_settings.activePage = floatingButtonShown() ? m_pages.rememberedPageIndex()
                                                  : m_titleBar->cbNotes()->currentIndex();
    // The settings first, then the page and its colour. A settings file that cannot be
    // written must not cost the user the page: the page is saved all the same (its colour
    // lives in the settings file and is left alone then).
    keepPagePosition(false);
    const bool settingsWritten = runGuarded(this, [this] {
        Profile profile(programSettingsFile());
        m_settings.write(profile);
        writePagePositions(profile, m_positions);
        if (m_spellingChosen)
            m_spelling->settings().write(profile);
    });
    const bool pageWritten = runGuarded(this, [this, settingsWritten] {
        saveCurrentPage();
        if (settingsWritten)
            savePageColor();
    });
    return settingsWritten && pageWritten;
}

// The title bar ---------------------------------------------------------------------------

void MainForm::sbStartClick() {
    QToolButton* start = m_titleBar->sbStart();
    m_mainMenu->popup(start->mapToGlobal(QPoint(0, start->height())));
    // A click leaves the focus in the page: a button that has it was pressed by Space or
    // Enter, and the menu opens with its first item active, as from F10.
    if (start->hasFocus()) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::sendEvent(m_mainMenu, &down);
    }
}

void MainForm::pnTitleMouseDown(Qt::MouseButton button) {
    // Any button moves the window, until that button is released.
    startWindowMove(windowHandle(), button);
}

int MainForm::shownTitleHeight(int titleHeight) {
    // A larger desktop font makes the title bar tall enough for the grown buttons; at the
    // usual size the height is the user's, whatever it is.
    return desktopGrowth() > 1 ? qMax(titleHeight, grownPixels(MainSettings().titleHeight))
                               : titleHeight;
}

void MainForm::splitterMoved() {
    m_titleBar->setTitleButtonHeight(titleButtonHeight(m_titleBar->height()));
}

void MainForm::formResized() {
    m_commands->insetTextRect();
    m_commands->selectionChanged();
}

void MainForm::formPainted() {
    m_commands->insetTextRect();
    // After the picture has gone to the screen.
    if (!m_firstPainted)
        QTimer::singleShot(0, this, &MainForm::firstPaintDone);
}

void MainForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    formResized();
}

void MainForm::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    formPainted();
    // The sizing frame, raised as a window's border is.
    QPainter p(this);
    const QPalette& pal = palette();
    const QRect r = rect();
    p.fillRect(r, pal.color(QPalette::Window));
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(r.topLeft(), r.topRight() - QPoint(1, 0));
    p.drawLine(r.topLeft(), r.bottomLeft() - QPoint(0, 1));
    p.setPen(pal.color(QPalette::Shadow));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

Qt::Edges MainForm::resizeEdgesAt(QPoint pos) const {
    // Near a corner both of its edges move, as with a system frame.
    constexpr int Corner = 16;
    Qt::Edges edges;
    const QRect r = rect();
    if (pos.x() < ResizeBorder ||
        (pos.x() < Corner && (pos.y() < ResizeBorder || pos.y() >= r.height() - ResizeBorder)))
        edges |= Qt::LeftEdge;
    if (pos.x() >= r.width() - ResizeBorder ||
        (pos.x() >= r.width() - Corner &&
         (pos.y() < ResizeBorder || pos.y() >= r.height() - ResizeBorder)))
        edges |= Qt::RightEdge;
    if (pos.y() < ResizeBorder ||
        (pos.y() < Corner && (pos.x() < ResizeBorder || pos.x() >= r.width() - ResizeBorder)))
        edges |= Qt::TopEdge;
    if (pos.y() >= r.height() - ResizeBorder ||
        (pos.y() >= r.height() - Corner &&
         (pos.x() < ResizeBorder || pos.x() >= r.width() - ResizeBorder)))
        edges |= Qt::BottomEdge;
    return edges;
}

void MainForm::mousePressEvent(QMouseEvent* event) {
    const Qt::Edges edges = resizeEdgesAt(event->position().toPoint());
    if (edges && event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemResize(edges);
        return;
    }
    QWidget::mousePressEvent(event);
}

void MainForm::mouseMoveEvent(QMouseEvent* event) {
    const Qt::Edges edges = resizeEdgesAt(event->position().toPoint());
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        setCursor(Qt::SizeFDiagCursor);
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        setCursor(Qt::SizeBDiagCursor);
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        setCursor(Qt::SizeHorCursor);
    else if (edges)
        setCursor(Qt::SizeVerCursor);
    else
        unsetCursor();
    QWidget::mouseMoveEvent(event);
}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
    // "ShowHint": the hints of this window's controls show only while it is on.
    if (event->type() == QEvent::ToolTip && !m_settings.showHint) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this)
            return true;
    }
    // The arrows and the title name the pages they stand for, read when the hint is asked for.
    if (event->type() == QEvent::ToolTip) {
        const int current = m_titleBar->cbNotes()->currentIndex();
        if (watched == m_titleBar->sbPrev())
            m_titleBar->sbPrev()->setToolTip(
                tr("Previous: %1").arg(pageName(PageStore::previousIndex(current))));
        else if (watched == m_titleBar->sbNext())
            m_titleBar->sbNext()->setToolTip(
                tr("Next: %1").arg(pageName(PageStore::nextIndex(current))));
        else if (watched == m_titleBar->paintBox())
            m_titleBar->paintBox()->setToolTip(pageName(current));
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace qly
