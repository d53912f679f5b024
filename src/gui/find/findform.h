#pragma once

#include "model/document.h"
#include "pages/pagesearch.h"

#include <QDialog>
#include <QString>

#include <optional>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTextDocument;
class QTextEdit;

namespace qly {

// The pages' text between searches: each Find has a dialog of its own, the text outlives it,
// and Find next searches it too. A page is read again only when its file changed.
PageTextCache& pageTexts();

// The find dialog: searches the page files of a page folder as they lie on disk, and the page
// shown in the editor as it is there when it holds typing not yet saved; lists the pages that
// hold the text and previews the one clicked. The pages' text is kept from one
// search to the next, in this dialog and the next, and read again when a file changes. The main
// window reads chosenPage after it closes with OK.
class FindForm : public QDialog {
    Q_OBJECT
public:
    // pageFolder ends with a separator; the page file of X is pageFolder + X + ".rtf".
    explicit FindForm(const QString& pageFolder, QWidget* parent = nullptr);
    // The page of `index` is searched and previewed in the editor's document, which stays as
    // it is while the dialog is open.
    void setShownPage(int index, const QTextDocument* document);

    // The letter of the list entry last clicked; empty until one is.
    const QString& chosenPage() const { return m_chosenPage; }
    // The text and the case rule of the search that listed the pages, to select the match.
    const QString& searchedText() const { return m_searchedText; }
    bool searchedCaseSensitive() const { return m_searchedCaseSensitive; }

    QLineEdit* searchEdit() const { return m_searchEdit; }
    QCheckBox* caseSensitiveBox() const { return m_caseSensitiveBox; }
    QListWidget* pageList() const { return m_pageList; }
    QTextEdit* previewEditor() const { return m_previewEditor; }
    QPushButton* searchButton() const { return m_searchButton; }
    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    // How many pages the last search listed, in words; a screen reader hears it change.
    QLabel* hitCountLabel() const { return m_hitCountLabel; }

    // The handlers; each raises an Error that the caller shows.
    void searchClicked();
    void pageListClicked();
    void pageListDoubleClicked();
    // Enter in the list: the entry with the focus is chosen and opened.
    void pageListEntered();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void formShown();
    QString pageFile(const QString& letter) const;
    const ShownPage* shownPage();

    QString m_pageFolder;
    QString m_chosenPage;
    QString m_searchedText;
    bool m_searchedCaseSensitive = false;
    // A mouse press on the entry that was already selected: the click changes no selection
    // and is handled as a click of its own.
    bool m_pressOnSelected = false;
    bool m_clearing = false;
    const QTextDocument* m_shownDocument = nullptr;
    ShownPage m_shown;                   // its index; its text from the first search on
    std::optional<Document> m_shownPage; // taken at the first search

    QLabel* m_textLabel = nullptr;
    QLineEdit* m_searchEdit = nullptr;
    QCheckBox* m_caseSensitiveBox = nullptr;
    QFrame* m_divider = nullptr;
    QLabel* m_pageLabel = nullptr;
    QLabel* m_previewLabel = nullptr;
    QLabel* m_hitCountLabel = nullptr;
    QListWidget* m_pageList = nullptr;
    QTextEdit* m_previewEditor = nullptr;
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

} // namespace qly
