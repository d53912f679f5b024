#include "history/historyform.h"

#include "dialogs/desktopfont.h"
#include "dialogs/errorbox.h"
#include "editor/richtextconvert.h"
#include "history/aside.h"
#include "model/bgrcolor.h"
#include "model/contrast.h"
#include "model/pageletters.h"
#include "pages/pagestore.h"
#include "pages/worddiff.h"
#include "rtf/rtf.h"
#include "settings/error.h"
#include "settings/ioresult.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cerrno>
#include <unistd.h>

namespace qly {

namespace {
enum Column { KindColumn, TimeColumn, SizeColumn, LineColumn };

// What the preview is to show: a page, a comparison, or why the copy cannot be read.
struct PreviewResult {
    Document page;
    QList<WordChange> changes;
    QString error;
};

QString withoutCarriageReturns(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}
} // namespace

HistoryForm::HistoryForm(int page, const QString& pageFolder, const QString& backupFolder,
                         const QColor& pageColor, std::function<void(const QString&)> restore,
                         QWidget* parent)
    : QDialog(parent), m_page(validPageIndex(page)), m_pageFolder(pageFolder),
      m_backupFolder(backupFolder), m_pageColor(pageColor), m_restore(std::move(restore)) {
    setObjectName(QStringLiteral("HistoryForm"));
    setWindowTitle(tr("Page history"));
    setFont(designedFont());
    buildControls();
    resize(grownPixels(620), grownPixels(420));
    refresh();
}

void HistoryForm::buildControls() {
    auto* listLabel =
        new QLabel(tr("&Copies of page %1, newest first:").arg(pageLetter(m_page)), this);
    m_copyList = new QTreeWidget(this);
    m_copyList->setObjectName(QStringLiteral("CopyList"));
    m_copyList->setAccessibleName(tr("Copies of page %1").arg(pageLetter(m_page)));
    m_copyList->setRootIsDecorated(false);
    m_copyList->setUniformRowHeights(true);
    m_copyList->setAllColumnsShowFocus(true);
    m_copyList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_copyList->setHeaderLabels({tr("Copy"), tr("Date and time"), tr("Size"), tr("First line")});
    m_copyList->header()->setStretchLastSection(true);
    m_copyList->installEventFilter(this);
    listLabel->setBuddy(m_copyList);

    m_previewLabel = new QLabel(tr("Pre&view:"), this);
    m_preview = new QTextEdit(this);
    m_preview->setObjectName(QStringLiteral("CopyPreview"));
    m_preview->setReadOnly(true);
    m_preview->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_preview->setTabChangesFocus(true);
    m_preview->setAccessibleName(tr("Preview"));
    // As the editor shows a page: its font and margins, on the page's colour.
    m_preview->setFont(editorDefaultFont());
    m_preview->document()->setDocumentMargin(1);
    QPalette pal = m_preview->palette();
    pal.setColor(QPalette::Base, m_pageColor);
    const QColor text = colorFromBgr<QColor>(readableTextColor(bgrFromColor(m_pageColor)));
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        pal.setColor(group, QPalette::Text, text);
    m_preview->setPalette(pal);
    m_previewLabel->setBuddy(m_preview);

    m_legend = new QLabel(this);
    m_legend->setObjectName(QStringLiteral("CompareLegend"));
    m_legend->setWordWrap(true);
    m_legend->setTextFormat(Qt::RichText);
    m_legend->setText(tr("<span style=\"color:#006400; text-decoration:underline\">Underlined "
                         "green</span>: only in the chosen copy. <span style=\"color:#b00000; "
                         "text-decoration:line-through\">Struck-out red</span>: only in the page "
                         "now."));
    m_legend->hide();

    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_restoreButton = button("RestoreButton", tr("&Restore"));
    m_restoreButton->setToolTip(tr("Put the chosen copy in the page; the page now is kept as a "
                                   "version"));
    m_compareButton = button("CompareButton", tr("Co&mpare"));
    m_compareButton->setCheckable(true);
    m_compareButton->setToolTip(tr("Show the chosen copy against the page now, word by word"));
    m_deleteButton = button("DeleteButton", tr("&Delete"));
    m_deleteButton->setToolTip(tr("Delete the chosen conflict copy"));
    m_closeButton = button("CloseButton", tr("Close"));
    m_restoreButton->setAccessibleName(tr("Restore"));
    m_compareButton->setAccessibleName(tr("Compare"));
    m_deleteButton->setAccessibleName(tr("Delete"));
    m_closeButton->setAccessibleName(tr("Close"));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_restoreButton);
    buttons->addWidget(m_compareButton);
    buttons->addWidget(m_deleteButton);
    buttons->addStretch(1);
    buttons->addWidget(m_closeButton);

    auto* left = new QVBoxLayout;
    left->addWidget(listLabel);
    left->addWidget(m_copyList, 2);
    left->addWidget(m_previewLabel);
    left->addWidget(m_preview, 3);
    left->addWidget(m_legend);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(m_copyList, &QTreeWidget::currentItemChanged, this, [this] { copyChosen(); });
    connect(m_restoreButton, &QPushButton::clicked, this,
            [this] { runGuarded(this, [this] { restoreClicked(); }); });
    connect(m_compareButton, &QPushButton::clicked, this,
            [this] { runGuarded(this, [this] { compareClicked(); }); });
    connect(m_deleteButton, &QPushButton::clicked, this,
            [this] { runGuarded(this, [this] { deleteClicked(); }); });
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);
    updateButtons();
}

bool HistoryForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_copyList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        runGuarded(this, [this] { deleteClicked(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

const PageCopy* HistoryForm::chosenCopy() const {
    const QTreeWidgetItem* item = m_copyList->currentItem();
    if (!item)
        return nullptr;
    const int row = m_copyList->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    return row >= 0 && row < m_copies.size() ? &m_copies[row] : nullptr;
}

void HistoryForm::refresh() {
    const QString keep = chosenCopy() ? chosenCopy()->path : QString();
    const int page = m_page;
    runAside<QList<PageCopy>>(
        this,
        [pageFolder = m_pageFolder, backupFolder = m_backupFolder, page] {
            return listPageCopies(pageFolder, backupFolder, page);
        },
        [this, keep](QList<PageCopy> copies) { fillList(copies, keep); });
}

QString HistoryForm::copyKindText(const PageCopy& copy) const {
    switch (copy.kind) {
    case PageCopyKind::Current:
        return tr("Page now");
    case PageCopyKind::Version:
        return tr("Version %1").arg(copy.version);
    case PageCopyKind::Conflict:
        return tr("Conflict copy");
    case PageCopyKind::Synced:
        return copy.origin.isEmpty() ? tr("%1 conflict copy").arg(copy.tool)
                                     : tr("%1 conflict copy (%2)").arg(copy.tool, copy.origin);
    }
    return QString();
}

void HistoryForm::fillList(const QList<PageCopy>& copies, const QString& keepPath) {
    m_copies = copies;
    QSignalBlocker blocker(m_copyList);
    m_copyList->clear();
    const QLocale locale;
    int keepRow = 0;
    for (qsizetype i = 0; i < m_copies.size(); ++i) {
        const PageCopy& copy = m_copies[i];
        auto* item = new QTreeWidgetItem(m_copyList);
        item->setText(KindColumn, copyKindText(copy));
        item->setText(TimeColumn, locale.toString(copy.modified.date(), QLocale::ShortFormat) +
                                      QLatin1Char(' ') +
                                      copy.modified.time().toString(QStringLiteral("HH:mm:ss")));
        item->setText(SizeColumn, tr("%1 bytes").arg(locale.toString(copy.size)));
        item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(LineColumn,
                      copy.readError.isEmpty() ? copy.firstLine : tr("(cannot be read)"));
        item->setToolTip(KindColumn, QDir::toNativeSeparators(copy.path));
        if (copy.path == keepPath)
            keepRow = int(i);
    }
    for (int c = KindColumn; c < LineColumn; ++c)
        m_copyList->resizeColumnToContents(c);
    // The newest copy other than the page now is the one most often wanted.
    if (keepPath.isEmpty() && m_copies.size() > 1)
        keepRow = 1;
    if (!m_copies.isEmpty())
        m_copyList->setCurrentItem(m_copyList->topLevelItem(keepRow));
    blocker.unblock();
    copyChosen();
    emit listed();
}

void HistoryForm::copyChosen() {
    updateButtons();
    showChosen();
}

void HistoryForm::updateButtons() {
    const PageCopy* copy = chosenCopy();
    const bool other = copy && copy->kind != PageCopyKind::Current;
    m_restoreButton->setEnabled(other && copy->readError.isEmpty());
    m_compareButton->setEnabled(other && copy->readError.isEmpty());
    m_deleteButton->setEnabled(copy && copy->deletable());
    if (!m_compareButton->isEnabled() && m_compareButton->isChecked()) {
        m_compareButton->setChecked(false);
        m_comparing = false;
    }
}

void HistoryForm::showChosen() {
    const int generation = ++m_generation;
    m_previewedPath.clear();
    const PageCopy* copy = chosenCopy();
    if (!copy) {
        m_preview->clear();
        return;
    }
    const QString path = copy->path;
    const QString now = m_copies.isEmpty() || m_copies.front().kind != PageCopyKind::Current
                            ? QString()
                            : m_copies.front().path;
    const bool compare = m_comparing;
    m_legend->setVisible(compare);
    m_previewLabel->setText(compare ? tr("Compared with the page now:") : tr("Pre&view:"));
    m_preview->setAccessibleName(compare ? tr("Comparison with the page now") : tr("Preview"));
    runAside<PreviewResult>(
        this,
        [path, now, compare] {
            PreviewResult r;
            const PageFileRead chosen = readPageFile(path);
            if (!chosen.isRead()) {
                r.error = QStringLiteral("Cannot open file \"%1\". %2")
                              .arg(QDir::toNativeSeparators(path), chosen.reason);
                return r;
            }
            if (!compare) {
                r.page = rtf::readDocument(chosen.bytes);
                return r;
            }
            const PageFileRead page = readPageFile(now);
            r.changes =
                wordDiff(withoutCarriageReturns(page.isRead() ? rtf::plainText(page.bytes) : ""),
                         withoutCarriageReturns(rtf::plainText(chosen.bytes)));
            return r;
        },
        [this, generation, path, compare](PreviewResult r) {
            if (generation != m_generation)
                return;
            QTextDocument* doc = m_preview->document();
            if (!r.error.isEmpty()) {
                m_preview->setPlainText(r.error);
            } else if (!compare) {
                // Filled without a page size nothing is laid out; then from the top.
                const QSizeF size = doc->pageSize();
                doc->setPageSize(QSizeF(0, 0));
                setEditorDocument(doc, r.page);
                m_preview->moveCursor(QTextCursor::Start);
                doc->setPageSize(size);
            } else {
                doc->clear();
                QTextCursor cursor(doc);
                int added = 0;
                int removed = 0;
                for (const WordChange& change : r.changes) {
                    QTextCharFormat format;
                    if (change.kind == WordChange::Kind::Added) {
                        format.setForeground(QColor(0x00, 0x64, 0x00));
                        format.setBackground(QColor(0xd8, 0xf5, 0xd0));
                        format.setFontUnderline(true);
                        ++added;
                    } else if (change.kind == WordChange::Kind::Removed) {
                        format.setForeground(QColor(0xb0, 0x00, 0x00));
                        format.setBackground(QColor(0xfa, 0xd8, 0xd8));
                        format.setFontStrikeOut(true);
                        ++removed;
                    }
                    cursor.insertText(change.text, format);
                }
                m_preview->moveCursor(QTextCursor::Start);
                m_preview->setAccessibleDescription(
                    added + removed == 0
                        ? tr("The chosen copy holds the same text as the page now")
                        : tr("%1 places only in the chosen copy, %2 only in the page now")
                              .arg(added)
                              .arg(removed));
            }
            if (!compare)
                m_preview->setAccessibleDescription(QString());
            m_previewedPath = path;
            emit previewShown();
        });
}

void HistoryForm::restoreClicked() {
    const PageCopy* copy = chosenCopy();
    if (!copy || copy->kind == PageCopyKind::Current)
        return;
    const QString path = copy->path;
    m_restore(path);
    // The page now is the restored text; what it was is the newest version.
    m_comparing = false;
    m_compareButton->setChecked(false);
    m_copyList->clearSelection();
    m_copies.clear();
    m_copyList->clear();
    refresh();
    emit copiesChanged();
}

void HistoryForm::compareClicked() {
    m_comparing = m_compareButton->isChecked();
    showChosen();
}

void HistoryForm::deleteClicked() {
    const PageCopy* copy = chosenCopy();
    if (!copy || !copy->deletable())
        return;
    const QString path = copy->path;
    const QString shown = QDir::toNativeSeparators(path);
    if (QMessageBox::question(this, tr("Delete conflict copy"),
                              tr("Delete the conflict copy %1 of page %2? Its text cannot be "
                                 "brought back.")
                                  .arg(shown, pageLetter(m_page)),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        throw Error(
            QStringLiteral("Cannot delete file %1: %2").arg(shown, ioErrorFromErrno(errno).reason));
    refresh();
    emit copiesChanged();
}

} // namespace qly
