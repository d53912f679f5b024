#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTextEdit;

namespace qly {

// The find dialog: searches the page files of a page folder as they lie on disk, lists the
// pages that hold the text and previews the one clicked. The main window reads ChosenPage
// after it closes with OK.
class TFindForm : public QDialog {
    Q_OBJECT
public:
    // pageFolder ends with a separator; the page file of X is pageFolder + X + ".rtf".
    explicit TFindForm(const QString& pageFolder, QWidget* parent = nullptr);

    // The letter of the list entry last clicked; empty until one is.
    const QString& ChosenPage() const { return m_chosenPage; }

    QLineEdit* SearchEdit() const { return m_searchEdit; }
    QCheckBox* CheckBox1() const { return m_checkBox1; }
    QListWidget* ListBox1() const { return m_listBox1; }
    QTextEdit* RichEdit2() const { return m_richEdit2; }
    QPushButton* Button1() const { return m_button1; }
    QPushButton* Button2() const { return m_button2; }
    QPushButton* Button3() const { return m_button3; }

    // The handlers; each raises an Error that the caller shows.
    void Button1Click();
    void ListBox1Click();
    void ListBox1DblClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void FormShow();
    QString pageFile(const QString& letter) const;

    QString m_pageFolder;
    QString m_chosenPage;
    // A mouse press on the entry that was already selected: the click changes no selection
    // and is handled as a click of its own.
    bool m_pressOnSelected = false;
    bool m_clearing = false;

    QLabel* m_label2 = nullptr;
    QLineEdit* m_searchEdit = nullptr;
    QCheckBox* m_checkBox1 = nullptr;
    QFrame* m_bevel1 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label3 = nullptr;
    QListWidget* m_listBox1 = nullptr;
    QTextEdit* m_richEdit2 = nullptr;
    QPushButton* m_button1 = nullptr;
    QPushButton* m_button2 = nullptr;
    QPushButton* m_button3 = nullptr;
};

} // namespace qly
