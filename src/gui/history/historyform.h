#pragma once

#include "pages/pagecopies.h"

#include <QColor>
#include <QDialog>
#include <QList>

#include <functional>

class QLabel;
class QPushButton;
class QTextEdit;
class QTreeWidget;

namespace qly {

// "Page history": the page shown as its file is now, its versions and its conflict copies
// (ours and sync tools'), newest first, with a read-only preview of the one chosen. Restore
// puts the chosen copy in the page (the main window does it, keeping the page now as a
// version); Compare shows the chosen copy against the page now, word by word; Delete removes a
// conflict copy after a question. Files are listed and read on a thread of their own.
class HistoryForm : public QDialog {
    Q_OBJECT
public:
    // restore: puts the copy at the path in the page, raising an Error when it cannot.
    HistoryForm(int page, const QString& pageFolder, const QString& backupFolder,
                const QColor& pageColor, std::function<void(const QString&)> restore,
                QWidget* parent = nullptr);

    QTreeWidget* copyList() const { return m_copyList; }
    QTextEdit* preview() const { return m_preview; }
    QLabel* legend() const { return m_legend; }
    QPushButton* restoreButton() const { return m_restoreButton; }
    QPushButton* compareButton() const { return m_compareButton; }
    QPushButton* deleteButton() const { return m_deleteButton; }
    QPushButton* closeButton() const { return m_closeButton; }
    const QList<PageCopy>& copies() const { return m_copies; }
    // The copy chosen in the list; nullptr when none is.
    const PageCopy* chosenCopy() const;
    // What the preview shows: the chosen copy's path, once it is there.
    const QString& previewedPath() const { return m_previewedPath; }
    bool comparing() const { return m_comparing; }

    // Lists the copies again (after a change on disk).
    void refresh();
    // The handlers; each raises an Error that the caller shows.
    void restoreClicked();
    void compareClicked();
    void deleteClicked();

signals:
    // The list is filled (again).
    void listed();
    // The preview shows the chosen copy, or its comparison with the page now.
    void previewShown();
    // A copy was restored or deleted: the page's marks may have changed.
    void copiesChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void fillList(const QList<PageCopy>& copies, const QString& keepPath);
    void copyChosen();
    void showChosen();
    void updateButtons();
    QString copyKindText(const PageCopy& copy) const;

    int m_page = 0;
    QString m_pageFolder;
    QString m_backupFolder;
    QColor m_pageColor;
    std::function<void(const QString&)> m_restore;
    QList<PageCopy> m_copies;
    QString m_previewedPath;
    bool m_comparing = false;
    int m_generation = 0; // of the latest preview asked for: earlier ones are dropped
    QTreeWidget* m_copyList = nullptr;
    QTextEdit* m_preview = nullptr;
    QLabel* m_previewLabel = nullptr;
    QLabel* m_legend = nullptr;
    QPushButton* m_restoreButton = nullptr;
    QPushButton* m_compareButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_closeButton = nullptr;
};

} // namespace qly
