#include "mainform.h"

#include "aboutform.h"
#include "error.h"
#include "errorbox.h"
#include "helpoperations.h"
#include "profile.h"
#include "programpaths.h"
#include "richtextconvert.h"
#include "titlebar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QScreen>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace qly {

namespace {
QColor fromBgr(int bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}
int toBgr(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}
} // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent), m_pages(programDir()) {
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QApplication::applicationName());
    buildLayout();
    // Activation: the focus comes back to this window from another window of the program
    // (a dialog closing), not from another program.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* now) {
        if (now && now == windowHandle() && m_lastFocusWindow && m_lastFocusWindow != now)
            FormActivate();
        m_lastFocusWindow = now;
    });
    FormCreate();
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::buildLayout() {
    m_titleBar = new TitleBar(this);
    m_splitter = new QFrame(this);
    m_splitter->setObjectName(QStringLiteral("Splitter1"));
    m_splitter->setFixedHeight(3);
    m_splitter->setFrameShape(QFrame::HLine);
    m_splitter->setFrameShadow(QFrame::Raised);
    m_splitter->setCursor(Qt::SizeVerCursor);

    m_panel4 = new QWidget(this);
    m_panel4->setObjectName(QStringLiteral("Panel4"));
    m_editor = new QTextEdit(m_panel4);
    m_editor->setObjectName(QStringLiteral("Editor"));
    m_editor->setAcceptRichText(true);
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* panelLayout = new QVBoxLayout(m_panel4);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(m_editor);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_titleBar);
    layout->addWidget(m_splitter);
    layout->addWidget(m_panel4, 1);

    connect(m_titleBar->cbNotes(), &QComboBox::activated, this,
            [this] { runGuarded(this, [this] { cbNotesChange(); }); });
    connect(m_titleBar->sbPrev(), &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { sbPrevClick(); }); });
    connect(m_titleBar->sbNext(), &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { sbNextClick(); }); });
    connect(m_titleBar->sbMinimize(), &QToolButton::clicked, this, &QWidget::showMinimized);
    connect(m_titleBar->sbClose(), &QToolButton::clicked, this, &QWidget::close);
}

void TMainForm::FormCreate() {
    try {
        // 1: the snapshot that printing draws from.
        m_snapshot = QImage(80, 80, QImage::Format_RGB888);
        m_snapshot.fill(Qt::white);
        // 5: the window draws its own title bar.
        setWindowFlag(Qt::FramelessWindowHint, true);

        // 7: section "Main".
        const Profile profile(programSettingsFile());
        const QSize screen = QGuiApplication::primaryScreen()
                                 ? QGuiApplication::primaryScreen()->geometry().size()
                                 : QSize(1024, 768);
        m_settings = MainSettings::read(profile, screen.width(), screen.height());
        m_titleBar->setFixedHeight(m_settings.titleHeight);
        setAttribute(Qt::WA_AlwaysShowToolTips, m_settings.showHint);

        // 8: the page list, and the page "ActivePage" names.
        QComboBox* notes = m_titleBar->cbNotes();
        notes->clear();
        for (int i = 0; i < PageCount; ++i)
            notes->addItem(pageLetter(i));
        notes->setCurrentIndex(validPageIndex(m_settings.activePage));

        // 9, 10: the page and its colour.
        m_pages.setCurrentPage(notes->currentIndex());
        if (QDir(m_pages.pageFolder()).exists())
            loadCurrentPage();
        else
            ForceFolders(m_pages.pageFolder());
        LoadPageColor();
    } catch (const std::exception&) {
        showMessage(nullptr, QStringLiteral("Initialization failed"));
    }
    // 14, 15: the geometry as read, and the title buttons.
    setGeometry(m_settings.left, m_settings.top, m_settings.width, m_settings.height);
    m_titleBar->setTitleButtonHeight(m_titleBar->height() - 2);
}

void TMainForm::loadCurrentPage() {
    try {
        setEditorDocument(m_editor->document(), PageStore::loadPage(m_pages.currentPageFile()));
    } catch (const Error&) {
        ForceFolders(m_pages.pageFolder());
        m_editor->clear();
    }
}

void TMainForm::FormShow() {
    applyStayOnTop(m_settings.stayOnTop || floatingButtonShown());
    activateWindow();
    raise();
    m_editor->setFocus();
}

void TMainForm::FormActivate() {
    applyStayOnTop(m_settings.stayOnTop);
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TMainForm::applyStayOnTop(bool onTop) {
    if (QWindow* w = windowHandle()) {
        if (w->flags().testFlag(Qt::WindowStaysOnTopHint) != onTop)
            w->setFlag(Qt::WindowStaysOnTopHint, onTop);
    } else {
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    }
}

bool TMainForm::floatingButtonShown() const {
    return false;
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        ShowHelpContents();
        return;
    }
    if (floatingButtonShown())
        return;
    QWidget::keyPressEvent(event);
}

void TMainForm::cbNotesChange() {
    if (!isActiveWindow())
        return;
    SaveCurrentPage();
    m_pages.setCurrentPage(m_titleBar->cbNotes()->currentIndex());
    try {
        setEditorDocument(m_editor->document(), PageStore::loadPage(m_pages.currentPageFile()));
    } catch (const Error&) {
        m_editor->clear();
    }
    LoadPageColor();
}

void TMainForm::sbPrevClick() {
    QComboBox* notes = m_titleBar->cbNotes();
    notes->setCurrentIndex(PageStore::previousIndex(notes->currentIndex()));
    cbNotesChange();
}

void TMainForm::sbNextClick() {
    QComboBox* notes = m_titleBar->cbNotes();
    notes->setCurrentIndex(PageStore::nextIndex(notes->currentIndex()));
    cbNotesChange();
}

void TMainForm::SaveCurrentPage() {
    m_pages.SaveCurrentPage(editorDocument(m_editor->document()));
}

void TMainForm::LoadPageColor() {
    const Profile profile(programSettingsFile());
    applyPageColor(readPageColor(profile, m_titleBar->cbNotes()->currentIndex()));
}

void TMainForm::SavePageColor() {
    Profile profile(programSettingsFile());
    writePageColor(profile, m_titleBar->cbNotes()->currentIndex(), pageColor());
}

void TMainForm::applyPageColor(int bgrColor) {
    QPalette pal = m_editor->palette();
    pal.setColor(QPalette::Base, fromBgr(bgrColor));
    m_editor->setPalette(pal);
    m_titleBar->setPageColor(m_editor->palette().color(QPalette::Base));
}

int TMainForm::pageColor() const {
    return toBgr(m_editor->palette().color(QPalette::Base));
}

void TMainForm::bringForward() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TMainForm::NoteFindItemClick() {}
void TMainForm::NotePrintItemClick() {}
void TMainForm::GoMobileItemClick() {}
void TMainForm::OptionsItemClick() {}
void TMainForm::AboutItemClick() {
    TAboutForm about(this);
    about.exec();
}
void TMainForm::HelpItemClick() {
    ShowHelpContents();
}
void TMainForm::Exit1Click() {
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormDestroy();
    event->accept();
    emit closed();
}

void TMainForm::FormDestroy() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    m_snapshot = QImage();
    if (!floatingButtonShown()) {
        const QRect g = geometry();
        m_settings.left = g.left();
        m_settings.top = g.top();
        m_settings.width = g.width();
        m_settings.height = g.height();
    }
    m_settings.titleHeight = m_titleBar->height();
    m_settings.activePage = floatingButtonShown() ? m_pages.rememberedPageIndex()
                                                  : m_titleBar->cbNotes()->currentIndex();
    // The settings first, then the page and its colour. A settings file that cannot be
    // written must not cost the user the page: the page is saved all the same (its colour
    // lives in the settings file and is left alone then).
    const bool settingsWritten = runGuarded(this, [this] {
        Profile profile(programSettingsFile());
        m_settings.write(profile);
    });
    runGuarded(this, [this, settingsWritten] {
        SaveCurrentPage();
        if (settingsWritten)
            SavePageColor();
    });
}

} // namespace qly
