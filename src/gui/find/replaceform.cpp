#include "find/replaceform.h"

#include "dialogs/desktopfont.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace qly {

namespace {
// The editor's text with one unit per cursor position.
QList<TextMatch> matchesIn(const QTextEdit* editor, const MatchRule& rule) {
    return findMatches(editor->document()->toRawText(), rule);
}

// Replaces what `cursor` selects with `text` in the format of the first character replaced.
void replaceSelection(QTextCursor& cursor, const QString& text) {
    QTextCursor first(cursor.document());
    first.setPosition(cursor.selectionStart() + 1);
    cursor.insertText(text, first.charFormat());
}
} // namespace

ReplaceForm::ReplaceForm(QTextEdit* editor, QWidget* parent) : QDialog(parent), m_editor(editor) {
    setObjectName(QStringLiteral("ReplaceForm"));
    setWindowTitle(tr("Replace"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(designedFont());
    buildControls();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void ReplaceForm::buildControls() {
    auto* grid = new QGridLayout(this);
    const auto field = [this, grid](int row, const QString& caption, const QString& name,
                                    const char* objectName) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(objectName));
        edit->setAccessibleName(name);
        edit->setMinimumWidth(grownPixels(220));
        auto* label = new QLabel(caption, this);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        return edit;
    };
    m_findEdit = field(0, tr("Fi&nd what:"), tr("Find what"), "FindEdit");
    m_replaceEdit = field(1, tr("Re&place with:"), tr("Replace with"), "ReplaceEdit");
    m_caseSensitiveBox = new QCheckBox(tr("&Case sensitive"), this);
    m_caseSensitiveBox->setObjectName(QStringLiteral("CaseSensitiveBox"));
    m_wholeWordsBox = new QCheckBox(tr("&Whole words"), this);
    m_wholeWordsBox->setObjectName(QStringLiteral("WholeWordsBox"));
    grid->addWidget(m_caseSensitiveBox, 2, 1);
    grid->addWidget(m_wholeWordsBox, 3, 1);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("ReplaceStatus"));
    grid->addWidget(m_statusLabel, 4, 0, 1, 2);

    auto* buttons = new QVBoxLayout;
    const auto button = [this, buttons](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    m_replaceButton = button(tr("&Replace"), "ReplaceButton");
    m_replaceAllButton = button(tr("Replace &All"), "ReplaceAllButton");
    m_closeButton = button(tr("Close"), "CloseButton");
    buttons->addStretch(1);
    m_replaceButton->setDefault(true);
    grid->addLayout(buttons, 0, 2, 5, 1);

    connect(m_replaceButton, &QPushButton::clicked, this, [this] { replaceClicked(); });
    connect(m_replaceAllButton, &QPushButton::clicked, this, [this] { replaceAllClicked(); });
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::accept);
    const auto update = [this] {
        const bool any = !m_findEdit->text().isEmpty() && !m_editor->isReadOnly();
        m_replaceButton->setEnabled(any);
        m_replaceAllButton->setEnabled(any);
    };
    connect(m_findEdit, &QLineEdit::textChanged, this, update);
    update();
}

void ReplaceForm::setRule(const MatchRule& rule) {
    m_findEdit->setText(rule.text);
    m_findEdit->selectAll();
    m_caseSensitiveBox->setChecked(rule.caseSensitive);
    m_wholeWordsBox->setChecked(rule.wholeWords);
}

MatchRule ReplaceForm::rule() const {
    return {m_findEdit->text(), m_caseSensitiveBox->isChecked(), m_wholeWordsBox->isChecked()};
}

void ReplaceForm::say(const QString& text) {
    m_statusLabel->setText(text);
    m_statusLabel->setAccessibleDescription(text);
}

bool ReplaceForm::selectNextMatch(qsizetype from) {
    const QList<TextMatch> matches = matchesIn(m_editor, rule());
    if (matches.isEmpty())
        return false;
    qsizetype i = nextMatchIndex(matches, from, from, true);
    const TextMatch m = matches[i < 0 ? 0 : i]; // past the last: from the page's start
    QTextCursor cursor(m_editor->document());
    cursor.setPosition(int(m.start));
    cursor.setPosition(int(m.end()), QTextCursor::KeepAnchor);
    m_editor->setTextCursor(cursor);
    m_editor->ensureCursorVisible();
    return true;
}

bool ReplaceForm::replaceClicked() {
    const MatchRule r = rule();
    if (r.isEmpty() || m_editor->isReadOnly())
        return false;
    QTextCursor cursor = m_editor->textCursor();
    qsizetype from = cursor.selectionStart();
    const QList<TextMatch> matches = matchesIn(m_editor, r);
    const bool onMatch =
        cursor.hasSelection() &&
        std::any_of(matches.begin(), matches.end(), [&](const TextMatch& m) {
            return m.start == cursor.selectionStart() && m.end() == cursor.selectionEnd();
        });
    if (onMatch) {
        replaceSelection(cursor, m_replaceEdit->text());
        from = cursor.position();
    }
    if (!selectNextMatch(from)) {
        say(onMatch ? tr("Replaced; no more matches on this page") : tr("Not found on this page"));
        return false;
    }
    say(onMatch ? tr("Replaced") : QString());
    return true;
}

int ReplaceForm::replaceAllClicked() {
    const MatchRule r = rule();
    if (r.isEmpty() || m_editor->isReadOnly())
        return 0;
    const QList<TextMatch> matches = matchesIn(m_editor, r);
    if (matches.isEmpty()) {
        say(tr("Not found on this page"));
        return 0;
    }
    // From the last to the first: the places of those before stay as they were found.
    QTextCursor cursor(m_editor->document());
    cursor.beginEditBlock();
    for (auto m = matches.rbegin(); m != matches.rend(); ++m) {
        cursor.setPosition(int(m->start));
        cursor.setPosition(int(m->end()), QTextCursor::KeepAnchor);
        replaceSelection(cursor, m_replaceEdit->text());
    }
    cursor.endEditBlock();
    m_editor->setTextCursor(cursor);
    const int count = int(matches.size());
    say(count == 1 ? tr("1 replaced") : tr("%1 replaced").arg(count));
    return count;
}

} // namespace qly
