#include "find/findform.h"

#include "dialogs/errorbox.h"
#include "editor/richtextconvert.h"
#include "model/pageletters.h"
#include "pages/pagesearch.h"
#include "pages/pagestore.h"
#include "rtf/rtf.h"
#include "settings/error.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
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
        return {QStyledItemDelegate::sizeHint(option, index).width(), ListRowHeight};
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

TFindForm::TFindForm(const QString& pageFolder, QWidget* parent)
    : QDialog(parent), m_pageFolder(pageFolder) {
    setObjectName(QStringLiteral("FindForm"));
    setWindowTitle(QStringLiteral("Find"));
    // A fixed dialog border: a title and a close button, nothing to resize or maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    // The desktop's sans-serif UI font at the dialog's 8 points (11 pixels at 96 dpi).
    QFont dialogFont = QApplication::font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    buildControls();

    // Centred on the screen rather than on the main window.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect s = screen->geometry();
        move(s.x() + (s.width() - ClientWidth) / 2, s.y() + (s.height() - ClientHeight) / 2);
    }
}

void TFindForm::buildControls() {
    m_label2 = makeLabel(this, "Label2", QStringLiteral("Text:"), {8, 20});
    m_searchEdit = new QLineEdit(this);
    m_searchEdit->setObjectName(QStringLiteral("SearchEdit"));
    m_searchEdit->setGeometry(48, 16, 265, 21);
    m_label2->setBuddy(m_searchEdit);

    m_checkBox1 = new QCheckBox(QStringLiteral("Case sensitive"), this);
    m_checkBox1->setObjectName(QStringLiteral("CheckBox1"));
    // At least as wide as its caption needs: the desktop's font may be wider than the design's.
    m_checkBox1->setGeometry(48, 44, qMax(97, m_checkBox1->sizeHint().width()), 17);

    m_bevel1 = new QFrame(this);
    m_bevel1->setObjectName(QStringLiteral("Bevel1"));
    m_bevel1->setFrameShape(QFrame::HLine);
    m_bevel1->setFrameShadow(QFrame::Sunken);
    m_bevel1->setGeometry(8, 68, 305, 5);

    m_label1 = makeLabel(this, "Label1", QStringLiteral("Page:"), {8, 76});
    m_label3 = makeLabel(this, "Label3", QStringLiteral("Fast preview:"), {48, 76});

    m_listBox1 = new QListWidget(this);
    m_listBox1->setObjectName(QStringLiteral("ListBox1"));
    m_listBox1->setItemDelegate(new FixedRowDelegate(m_listBox1));
    m_listBox1->setUniformItemSizes(true);
    m_listBox1->setSortingEnabled(true);
    m_listBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The list shows whole rows only: its height shrinks to the last row that fits.
    const int frame = 2 * m_listBox1->frameWidth();
    m_listBox1->setGeometry(8, 96, 33, frame + (160 - frame) / ListRowHeight * ListRowHeight);
    m_listBox1->viewport()->installEventFilter(this);

    m_richEdit2 = new QTextEdit(this);
    m_richEdit2->setObjectName(QStringLiteral("RichEdit2"));
    m_richEdit2->setAcceptRichText(true);
    m_richEdit2->setTabChangesFocus(true);
    m_richEdit2->setGeometry(48, 96, 265, 160);
    // The preview is on the system's window colour, never in the page's colour.
    QPalette preview = m_richEdit2->palette();
    preview.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
    m_richEdit2->setPalette(preview);

    m_button1 = makeButton(this, "Button1", QStringLiteral("Search"), {324, 16, 75, 25});
    m_button1->setDefault(true);
    m_button2 = makeButton(this, "Button2", QStringLiteral("OK"), {324, 52, 75, 25});
    m_button2->setEnabled(false);
    m_button3 = makeButton(this, "Button3", QStringLiteral("Cancel"), {324, 88, 75, 25});

    setTabOrder(m_button2, m_button3);
    setTabOrder(m_button3, m_checkBox1);
    setTabOrder(m_checkBox1, m_searchEdit);
    setTabOrder(m_searchEdit, m_listBox1);
    setTabOrder(m_listBox1, m_richEdit2);
    setTabOrder(m_richEdit2, m_button1);

    connect(m_button1, &QPushButton::clicked, this,
            [this] { runGuarded(this, [this] { Button1Click(); }); });
    connect(m_button2, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_button3, &QPushButton::clicked, this, &QDialog::reject);
    // A click that selects an entry, and arrow keys that move the selection, are clicks.
    connect(m_listBox1, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_clearing && !m_listBox1->selectedItems().isEmpty())
            runGuarded(this, [this] { ListBox1Click(); });
    });
    connect(m_listBox1, &QListWidget::itemClicked, this, [this] {
        if (std::exchange(m_pressOnSelected, false))
            runGuarded(this, [this] { ListBox1Click(); });
    });
}

bool TFindForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_listBox1->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* me = static_cast<QMouseEvent*>(event);
            const QListWidgetItem* item = m_listBox1->itemAt(me->position().toPoint());
            m_pressOnSelected = item && item->isSelected();
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            runGuarded(this, [this] { ListBox1DblClick(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFindForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TFindForm::FormShow() {
    m_searchEdit->setFocus();
}

QString TFindForm::pageFile(const QString& letter) const {
    return pageFilePath(m_pageFolder, letter.at(0).unicode() - u'A');
}

void TFindForm::Button1Click() {
    m_button2->setEnabled(false);
    m_clearing = true;
    m_listBox1->clear();
    m_clearing = false;
    m_richEdit2->clear();
    const QString text = m_searchEdit->text();
    if (text.isEmpty())
        return;

    // A disabled button loses the focus; a search started from it gives it back.
    const bool searchHadFocus = m_button1->hasFocus();
    m_button1->setEnabled(false);
    PageSearchResult result;
    try {
        result = searchPages(m_pageFolder, text, m_checkBox1->isChecked());
    } catch (...) {
        m_button1->setEnabled(true);
        throw;
    }
    for (int index : result.pages)
        m_listBox1->addItem(pageLetter(index));
    // Search stays available after a page that could not be read: the user may fix it.
    m_button1->setEnabled(true);
    if (searchHadFocus)
        m_button1->setFocus();
    if (result.stoppedEarly())
        throw Error(result.error);
}

void TFindForm::ListBox1Click() {
    const QList<QListWidgetItem*> selected = m_listBox1->selectedItems();
    if (selected.isEmpty())
        return;
    const QString letter = selected.first()->text();
    // Read first: a page that cannot be read leaves the preview, the choice and OK as they were.
    const Document page =
        rtf::readDocument(readPageFile(pageFile(letter)).bytesOrRaise(pageFile(letter)));
    // Filled while it has no page size, nothing is laid out; with its size back, Qt lays it
    // out from the top, the first screen first. The caret goes back to the start, or the
    // editor would lay out the whole page to show it at the end.
    QTextDocument* preview = m_richEdit2->document();
    const QSizeF size = preview->pageSize();
    preview->setPageSize(QSizeF(0, 0));
    setEditorDocument(preview, page);
    m_richEdit2->moveCursor(QTextCursor::Start);
    preview->setPageSize(size);
    m_chosenPage = letter;
    m_button2->setEnabled(true);
}

void TFindForm::ListBox1DblClick() {
    if (m_listBox1->selectedItems().isEmpty())
        return;
    ListBox1Click();
    accept();
}

} // namespace qly
