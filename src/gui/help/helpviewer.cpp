#include "help/helpviewer.h"

#include "dialogs/desktopfont.h"
#include "help/helpsitemap.h"
#include "help/replacematches.h"
#include "mainwindow/windowroles.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

namespace qly {

namespace {

const QString Scheme = QStringLiteral("chm");
constexpr int TopicRole = Qt::UserRole;

QUrl topicUrl(const QString& topic) {
    QUrl url;
    url.setScheme(Scheme);
    const int hash = topic.indexOf(QLatin1Char('#'));
    url.setPath(ChmArchive::normalizedPath(topic));
    if (hash >= 0)
        url.setFragment(topic.mid(hash + 1));
    return url;
}

// "HTML/qly5a40.htm" for chm:/HTML/qly5a40.htm#part
QString topicOf(const QUrl& url) {
    return ChmArchive::normalizedPath(url.path()).mid(1);
}

} // namespace

// The help file's style sheet gives its sizes in points, for a desktop of the usual font size;
// they grow with the desktop's font as the windows do.
QString grownStyleSheet(const QString& css, qreal growth) {
    if (growth <= 1)
        return css;
    static const QRegularExpression points(QStringLiteral("(\\d+(?:\\.\\d+)?)pt\\b"));
    return replaceMatches(css, points, [growth](const QRegularExpressionMatch& m) {
        return QString::number(m.captured(1).toDouble() * growth, 'f', 1) + QLatin1String("pt");
    });
}

// The page pane: a text browser whose pages, pictures and style sheets come out of the help
// file. Links to pages the file does not hold go nowhere; web and mail links go to the
// desktop's programs.
class HelpBrowser : public QTextBrowser {
public:
    explicit HelpBrowser(QWidget* parent) : QTextBrowser(parent) {}

    void setArchive(std::shared_ptr<ChmArchive> archive) { m_archive = std::move(archive); }

    bool holds(const QUrl& url) const {
        return m_archive && url.scheme() == Scheme && m_archive->read(url.path()).has_value();
    }

    QVariant loadResource(int type, const QUrl& name) override {
        const QUrl url = name.isRelative() ? source().resolved(name) : name;
        if (url.scheme() != Scheme || !m_archive)
            return {};
        const std::optional<QByteArray> bytes = m_archive->read(url.path());
        if (!bytes)
            return {};
        if (type == QTextDocument::StyleSheetResource)
            return grownStyleSheet(QString::fromUtf8(*bytes), desktopGrowth());
        return *bytes;
    }

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override {
        const QUrl url = name.isRelative() ? source().resolved(name) : name;
        if (url.scheme() == Scheme) {
            if (holds(url))
                QTextBrowser::doSetSource(url, type);
            return;
        }
        static const QStringList outside{QStringLiteral("http"), QStringLiteral("https"),
                                         QStringLiteral("mailto")};
        if (outside.contains(url.scheme()))
            QDesktopServices::openUrl(url);
    }

private:
    std::shared_ptr<ChmArchive> m_archive;
};

namespace {
QPointer<HelpViewer> theViewer;
}

HelpViewer::HelpViewer() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("HelpViewer"));
    installWindowRoles();
    setWindowTitle(QStringLiteral("Quillery Help"));

    auto makeButton = [this](const char* name, const QString& text, QStyle::StandardPixmap icon) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setText(text);
        button->setIcon(style()->standardIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        return button;
    };
    m_btBack = makeButton("btBack", tr("Back"), QStyle::SP_ArrowBack);
    m_btForward = makeButton("btForward", tr("Forward"), QStyle::SP_ArrowForward);
    m_btHome = makeButton("btHome", tr("Contents"), QStyle::SP_DirHomeIcon);
    m_btBack->setEnabled(false);
    // Esc closes the help, as it closes every other window of the program.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
    m_btForward->setEnabled(false);

    m_contents = new QTreeWidget(this);
    m_contents->setObjectName(QStringLiteral("HelpContents"));
    m_contents->setHeaderHidden(true);
    m_contents->setAccessibleName(tr("Contents"));
    m_contents->setRootIsDecorated(true);
    m_contents->setUniformRowHeights(true);

    m_browser = new HelpBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setAccessibleName(tr("Help topic"));
    m_browser->setOpenLinks(true);
    m_browser->setOpenExternalLinks(false);
    // A caret in the read-only page: a screen reader reads it line by line with the arrows,
    // and Shift with the arrows selects.
    m_browser->setTextInteractionFlags(Qt::TextBrowserInteraction | Qt::TextSelectableByKeyboard);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("HelpSplitter"));
    splitter->addWidget(m_contents);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    // The contents pane grows with the desktop's font, so that its titles stay whole.
    splitter->setSizes({grownPixels(270), grownPixels(530)});
    splitter->setChildrenCollapsible(false);

    auto* tools = new QHBoxLayout;
    tools->setContentsMargins(4, 2, 4, 0);
    tools->setSpacing(2);
    tools->addWidget(m_btHome);
    tools->addWidget(m_btBack);
    tools->addWidget(m_btForward);
    tools->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(tools);
    layout->addWidget(splitter, 1);

    connect(m_btBack, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_btForward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_btHome, &QToolButton::clicked, this, [this] { open(homeTopic()); });
    connect(m_browser, &QTextBrowser::backwardAvailable, m_btBack, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_btForward, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpViewer::sourceChanged);
    connect(m_contents, &QTreeWidget::itemClicked, this, &HelpViewer::contentsItemChosen);
    connect(m_contents, &QTreeWidget::itemActivated, this, &HelpViewer::contentsItemChosen);
    connect(m_contents, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { contentsItemChosen(item); });
}

HelpViewer* HelpViewer::existing() {
    return theViewer.data();
}

HelpViewer* HelpViewer::instance() {
    if (!theViewer)
        theViewer = new HelpViewer;
    return theViewer.data();
}

bool HelpViewer::showTopic(const QString& helpFile, const QString& topic) {
    // Check the file before any window exists, so a missing help file shows nothing at all.
    const auto archive = archiveFor(helpFile);
    if (!archive->isOpen() || !archive->contains(topic))
        return false;
    HelpViewer* viewer = instance();
    viewer->useFile(archive);
    if (!viewer->open(topic))
        return false;
    viewer->present();
    return true;
}

bool HelpViewer::showContents(const QString& helpFile) {
    const auto archive = archiveFor(helpFile);
    if (!archive->isOpen())
        return false;
    HelpViewer* viewer = instance();
    viewer->useFile(archive);
    if (!viewer->open(viewer->homeTopic()))
        return false;
    viewer->present();
    return true;
}

QTextBrowser* HelpViewer::browser() const {
    return m_browser;
}

QString HelpViewer::currentTopic() const {
    return m_browser->source().isEmpty() ? QString() : topicOf(m_browser->source());
}

std::shared_ptr<ChmArchive> HelpViewer::archiveFor(const QString& helpFile) {
    const QFileInfo info(helpFile);
    if (theViewer && theViewer->m_archive && theViewer->m_archive->fileName() == helpFile &&
        info.lastModified() == theViewer->m_fileTime && info.size() == theViewer->m_fileSize)
        return theViewer->m_archive;
    return std::make_shared<ChmArchive>(helpFile);
}

void HelpViewer::useFile(const std::shared_ptr<ChmArchive>& archive) {
    if (archive == m_archive)
        return;
    m_archive = archive;
    m_fileTime = archive->fileTime();
    m_fileSize = archive->fileSize();
    m_browser->setArchive(m_archive);
    m_browser->clearHistory();
    m_browser->clear();
    if (!m_archive->title().isEmpty())
        setWindowTitle(m_archive->title());
    buildContents();
}

// The contents file's first page when the file names no default topic.
QString HelpViewer::homeTopic() const {
    if (!m_archive)
        return {};
    if (!m_archive->defaultTopic().isEmpty() && m_archive->contains(m_archive->defaultTopic()))
        return m_archive->defaultTopic();
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it) {
        const QString topic = (*it)->data(0, TopicRole).toString();
        if (!topic.isEmpty())
            return topic;
    }
    return {};
}

bool HelpViewer::open(const QString& topic) {
    if (topic.isEmpty() || !m_browser->holds(topicUrl(topic)))
        return false;
    const QUrl url = topicUrl(topic);
    if (m_browser->source() == url)
        m_browser->reload();
    else
        m_browser->setSource(url);
    return m_browser->source() == url;
}

void HelpViewer::buildContents() {
    m_syncing = true;
    m_contents->clear();
    QList<HelpContentsEntry> entries;
    if (const auto hhc = m_archive->read(m_archive->contentsFile()))
        entries = HelpSitemap::parse(*hhc);
    addEntries(nullptr, entries);
    m_contents->expandToDepth(0);
    m_syncing = false;
}

void HelpViewer::addEntries(QTreeWidgetItem* parent, const QList<HelpContentsEntry>& entries) {
    for (const HelpContentsEntry& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_contents);
        item->setText(0, entry.name.isEmpty() ? entry.local : entry.name);
        item->setToolTip(0, item->text(0));
        if (!entry.local.isEmpty())
            item->setData(0, TopicRole, entry.local);
        item->setIcon(0, style()->standardIcon(entry.children.isEmpty() ? QStyle::SP_FileIcon
                                                                        : QStyle::SP_DirIcon));
        addEntries(item, entry.children);
    }
}

void HelpViewer::contentsItemChosen(QTreeWidgetItem* item) {
    if (m_syncing || !item)
        return;
    const QString topic = item->data(0, TopicRole).toString();
    if (!topic.isEmpty() && topicUrl(topic) != m_browser->source())
        open(topic);
}

// Marks the page shown in the contents, whichever way it was reached.
void HelpViewer::sourceChanged(const QUrl& url) {
    const QString topic = topicOf(url);
    m_syncing = true;
    QTreeWidgetItem* match = nullptr;
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it) {
        const QString local = (*it)->data(0, TopicRole).toString();
        if (!local.isEmpty() && ChmArchive::normalizedPath(local).compare(
                                    QLatin1Char('/') + topic, Qt::CaseInsensitive) == 0) {
            match = *it;
            break;
        }
    }
    if (match) {
        m_contents->setCurrentItem(match);
        m_contents->scrollToItem(match);
    } else {
        m_contents->clearSelection();
    }
    m_syncing = false;
}

// Shows the window in front. It belongs to the window that asked for help, so a modal
// dialog does not block it; and it stays on top when that window does, or the main window,
// which stays on top, would cover it.
void HelpViewer::present() {
    winId();
    QWindow* self = windowHandle();
    QWindow* owner = QGuiApplication::modalWindow();
    if (!owner)
        owner = QGuiApplication::focusWindow();
    if (owner && (owner == self || self->isAncestorOf(owner, QWindow::IncludeTransients)))
        owner = self->transientParent();
    bool onTop = false;
    for (QWindow* w = owner; w && !onTop; w = w->transientParent())
        onTop = w->flags().testFlag(Qt::WindowStaysOnTopHint);

    if (!m_placed) {
        const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        const QSize size(qMin(grownPixels(800), area.width() - 40),
                         qMin(grownPixels(560), area.height() - 60));
        resize(size);
        move(area.center() - QPoint(size.width() / 2, size.height() / 2));
        m_placed = true;
    }
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop) {
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        self = windowHandle();
    }
    if (self)
        self->setTransientParent(owner);
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

} // namespace qly
