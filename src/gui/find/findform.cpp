#include "find/findform.h"

#include "dialogs/desktopfont.h"
#include "dialogs/errorbox.h"
#include "editor/richtextconvert.h"
#include "model/pageletters.h"
#include "pages/pagesearch.h"
#include "pages/pagestore.h"
#include "rtf/rtf.h"
#include "rtf/rtftext.h"
#include "settings/error.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTextEdit>

#include <utility>

namespace qly {

namespace {
constexpr int ClientWidth = 408;
constexpr int ClientHeight = 265;
constexpr int ListRowHeight = 13;

// Every row of the page list is the same fixed height.
class FixedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(),
                qRound(ListRowHeight * desktopGrowth())};
    }
};

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QPoint at) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(at);
    label->adjustSize();
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}
} // namespace

PageTextCache& pageTexts() {
    static PageTextCache cache;
    return cache;
}

FindForm::FindForm(const QString& pageFolder, QWidget* parent)
    : QDialog(parent), m_pageFolder(pageFolder) {
    setObjectName(QStringLiteral("FindForm"));
    setWindowTitle(QStringLiteral("Find"));
    // A fixed dialog border: a title and a close button, nothing to resize or maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    // The desktop's font at the dialog's 8 points (11 pixels at 96 dpi), larger with a larger
    // desktop font, the dialog growing with it.
    setFont(designedFont());
    buildControls();
    growWithDesktopFont(this);

    // Centred on the screen rather than on the main window, by the client area: setGeometry
    // places the client area where move() would place the frame, title bar and all.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->geometry().center());
        setGeometry(r);
    }
}

void FindForm::buildControls() {
    m_textLabel = makeLabel(this, "Label2", QStringLiteral("&Text:"), {8, 20});
    m_searchEdit = new QLineEdit(this);
    m_searchEdit->setObjectName(QStringLiteral("SearchEdit"));
    m_searchEdit->setGeometry(48, 16, 265, 21);
    m_searchEdit->setAccessibleName(tr("Text"));
    m_textLabel->setBuddy(m_searchEdit);

    m_caseSensitiveBox = new QCheckBox(QStringLiteral("C&ase sensitive"), this);
    m_caseSensitiveBox->setObjectName(QStringLiteral("CheckBox1"));
    // At least as wide as its caption needs: the desktop's font may be wider than the design's.
    m_caseSensitiveBox->setGeometry(48, 44, qMax(97, m_caseSensitiveBox->sizeHint().width()), 17);

    m_divider = new QFrame(this);
    m_divider->setObjectName(QStringLiteral("Bevel1"));
    m_divider->setFrameShape(QFrame::HLine);
    m_divider->setFrameShadow(QFrame::Sunken);
    m_divider->setGeometry(8, 68, 305, 5);

    m_pageLabel = makeLabel(this, "Label1", QStringLiteral("Pa&ge:"), {8, 76});
    m_previewLabel = makeLabel(this, "Label3", QStringLiteral("Fast pre&view:"), {48, 76});

    m_pageList = new QListWidget(this);
    m_pageList->setObjectName(QStringLiteral("ListBox1"));
    m_pageList->setItemDelegate(new FixedRowDelegate(m_pageList));
    m_pageList->setUniformItemSizes(true);
    m_pageList->setSortingEnabled(true);
    m_pageList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pageList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The list shows whole rows only: its height shrinks to the last row that fits.
    const int frame = 2 * m_pageList->frameWidth();
    m_pageList->setGeometry(8, 96, 33, frame + (160 - frame) / ListRowHeight * ListRowHeight);
    m_pageList->viewport()->installEventFilter(this);
    m_pageList->installEventFilter(this);
    m_pageLabel->setBuddy(m_pageList);
    m_pageList->setAccessibleName(tr("Page"));

    m_previewEditor = new QTextEdit(this);
    m_previewEditor->setObjectName(QStringLiteral("RichEdit2"));
    m_previewEditor->setAcceptRichText(true);
    m_previewEditor->setTabChangesFocus(true);
    m_previewEditor->setGeometry(48, 96, 265, 160);
    m_previewLabel->setBuddy(m_previewEditor);
    m_previewEditor->setAccessibleName(tr("Fast preview"));
    // The preview is on the system's window colour, never in the page's colour.
    QPalette preview = m_previewEditor->palette();
    preview.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
    m_previewEditor->setPalette(preview);

    m_searchButton = makeButton(this, "Button1", QStringLiteral("&Search"), {324, 16, 75, 25});
    m_searchButton->setDefault(true);
    m_okButton = makeButton(this, "Button2", QStringLiteral("OK"), {324, 52, 75, 25});
    m_okButton->setEnabled(false);
    m_cancelButton = makeButton(this, "Button3", QStringLiteral("Cancel"), {324, 88, 75, 25});
    // The number of pages found, under the buttons; empty until a search.
    m_hitCountLabel = new QLabel(this);
    m_hitCountLabel->setObjectName(QStringLiteral("HitCount"));
    m_hitCountLabel->setWordWrap(true);
    m_hitCountLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_hitCountLabel->setGeometry(324, 124, 75, 40);

    setTabOrder(m_okButton, m_cancelButton);
    setTabOrder(m_cancelButton, m_caseSensitiveBox);
    setTabOrder(m_caseSensitiveBox, m_searchEdit);
    setTabOrder(m_searchEdit, m_pageList);
    setTabOrder(m_pageList, m_previewEditor);
    setTabOrder(m_previewEditor, m_searchButton);

    connect(m_searchButton, &QPushButton::clicked, this,
            [this] { runGuarded(this, [this] { searchClicked(); }); });
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // A click that selects an entry, and arrow keys that move the selection, are clicks.
    connect(m_pageList, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_clearing && !m_pageList->selectedItems().isEmpty())
            runGuarded(this, [this] { pageListClicked(); });
    });
    connect(m_pageList, &QListWidget::itemClicked, this, [this] {
        if (std::exchange(m_pressOnSelected, false))
            runGuarded(this, [this] { pageListClicked(); });
    });
}

bool FindForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pageList->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* me = static_cast<QMouseEvent*>(event);
            const QListWidgetItem* item = m_pageList->itemAt(me->position().toPoint());
            m_pressOnSelected = item && item->isSelected();
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            runGuarded(this, [this] { pageListDoubleClicked(); });
            return true;
        }
    } else if (watched == m_pageList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            runGuarded(this, [this] { pageListEntered(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FindForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    formShown();
}

void FindForm::formShown() {
    m_searchEdit->setFocus();
}

void FindForm::setShownPage(int index, const QTextDocument* document) {
    m_shownDocument = document;
    m_shown = {index, QString()};
    m_shownPage.reset();
}

// The shown page's text as find reads a page file: through what saving it would write.
const ShownPage* FindForm::shownPage() {
    if (!m_shownDocument)
        return nullptr;
    if (!m_shownPage) {
        m_shownPage = editorDocument(m_shownDocument);
        m_shown.text = rtf::scanText(rtf::writeDocument(*m_shownPage));
    }
    return &m_shown;
}

QString FindForm::pageFile(const QString& letter) const {
    return pageFilePath(m_pageFolder, letter.at(0).unicode() - u'A');
}

void FindForm::searchClicked() {
    m_okButton->setEnabled(false);
    m_searchButton->setDefault(true);
    m_hitCountLabel->clear();
    m_clearing = true;
    m_pageList->clear();
    m_clearing = false;
    m_previewEditor->clear();
    const QString text = m_searchEdit->text();
    if (text.isEmpty())
        return;

    // A disabled button loses the focus; a search started from it gives it back.
    const bool searchHadFocus = m_searchButton->hasFocus();
    m_searchButton->setEnabled(false);
    PageSearchResult result;
    try {
        result = searchPages(m_pageFolder, text, m_caseSensitiveBox->isChecked(), &pageTexts(),
                             shownPage());
    } catch (...) {
        m_searchButton->setEnabled(true);
        throw;
    }
    for (int index : result.pages)
        m_pageList->addItem(pageLetter(index));
    m_searchedText = text;
    m_searchedCaseSensitive = m_caseSensitiveBox->isChecked();
    const int found = m_pageList->count();
    m_hitCountLabel->setText(found == 0   ? tr("No page found")
                             : found == 1 ? tr("1 page found")
                                          : tr("%1 pages found").arg(found));
    m_pageList->setAccessibleDescription(m_hitCountLabel->text());
    if (found > 0) {
        // The list takes the focus on its first entry, not yet chosen: Enter opens it.
        m_pageList->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        m_pageList->setFocus();
    }
    // Search stays available after a page that could not be read: the user may fix it.
    m_searchButton->setEnabled(true);
    if (searchHadFocus && found == 0)
        m_searchButton->setFocus();
    if (result.stoppedEarly())
        throw Error(result.error);
}

void FindForm::pageListClicked() {
    const QList<QListWidgetItem*> selected = m_pageList->selectedItems();
    if (selected.isEmpty())
        return;
    const QString letter = selected.first()->text();
    // Read first: a page that cannot be read leaves the preview, the choice and OK as they were.
    const bool shown = shownPage() && m_shown.index == letter.at(0).unicode() - u'A';
    const Document page =
        shown ? *m_shownPage
              : rtf::readDocument(readPageFile(pageFile(letter)).bytesOrRaise(pageFile(letter)));
    // Filled while it has no page size, nothing is laid out; with its size back, Qt lays it
    // out from the top, the first screen first. The caret goes back to the start, or the
    // editor would lay out the whole page to show it at the end.
    QTextDocument* preview = m_previewEditor->document();
    const QSizeF size = preview->pageSize();
    preview->setPageSize(QSizeF(0, 0));
    setEditorDocument(preview, page);
    m_previewEditor->moveCursor(QTextCursor::Start);
    preview->setPageSize(size);
    m_chosenPage = letter;
    m_okButton->setEnabled(true);
    m_okButton->setDefault(true);
}

void FindForm::pageListEntered() {
    QListWidgetItem* current = m_pageList->currentItem();
    if (!current)
        return;
    if (!current->isSelected())
        current->setSelected(true); // chosen as a click chooses it
    pageListDoubleClicked();
}

void FindForm::pageListDoubleClicked() {
    if (m_pageList->selectedItems().isEmpty())
        return;
    pageListClicked();
    accept();
}

} // namespace qly
