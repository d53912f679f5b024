#pragma once

#include "pages/textmatches.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace qly {

// Replace on the page shown: finds the text in the editor, replaces the match selected or
// every match at once (one step to undo), each replacement in the format of the first
// character it replaces. Never reaches other pages.
class ReplaceForm : public QDialog {
    Q_OBJECT
public:
    explicit ReplaceForm(QTextEdit* editor, QWidget* parent = nullptr);

    // The search the dialog starts with, and the one it ends with (for Find next).
    void setRule(const MatchRule& rule);
    MatchRule rule() const;

    // Replaces the match selected, if it is one, and selects the next; selects the first
    // match after the caret otherwise. False when the page holds no match.
    bool replaceClicked();
    // Every match on the page; how many were replaced.
    int replaceAllClicked();

    QLineEdit* findEdit() const { return m_findEdit; }
    QLineEdit* replaceEdit() const { return m_replaceEdit; }
    QCheckBox* caseSensitiveBox() const { return m_caseSensitiveBox; }
    QCheckBox* wholeWordsBox() const { return m_wholeWordsBox; }
    QPushButton* replaceButton() const { return m_replaceButton; }
    QPushButton* replaceAllButton() const { return m_replaceAllButton; }
    QPushButton* closeButton() const { return m_closeButton; }
    // What the last command did, in words; a screen reader hears it change.
    QLabel* statusLabel() const { return m_statusLabel; }

private:
    void buildControls();
    void say(const QString& text);
    // Selects the match after (or at) `from`, wrapping to the page's start; false if none.
    bool selectNextMatch(qsizetype from);

    QTextEdit* m_editor;
    QLineEdit* m_findEdit = nullptr;
    QLineEdit* m_replaceEdit = nullptr;
    QCheckBox* m_caseSensitiveBox = nullptr;
    QCheckBox* m_wholeWordsBox = nullptr;
    QPushButton* m_replaceButton = nullptr;
    QPushButton* m_replaceAllButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QLabel* m_statusLabel = nullptr;
};

} // namespace qly
