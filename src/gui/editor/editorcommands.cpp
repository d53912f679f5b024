#include "editor/editorcommands.h"

#include "editor/checklists.h"
#include "editor/fontdialog.h"
#include "editor/listediting.h"
#include "editor/noteeditor.h"
#include "editor/richtextconvert.h"
#include "mainwindow/mainmenu.h"
#include "model/alignment.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QMenu>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>

namespace qly {

namespace {
constexpr int TextInset = 5;

// Takes the text's own colour away from the runs of [start, end) that have one; each run
// keeps the rest of its format.
void clearOwnColour(QTextDocument* doc, int start, int end) {
    QList<std::pair<int, int>> coloured;
    for (QTextBlock b = doc->findBlock(start); b.isValid() && b.position() < end; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const int from = std::max(start, f.position());
            const int to = std::min(end, f.position() + f.length());
            if (from < to && f.charFormat().hasProperty(QTextFormat::ForegroundBrush))
                coloured.append({from, to});
        }
    for (const auto& [from, to] : std::as_const(coloured)) {
        QTextCursor run(doc);
        run.setPosition(from);
        run.setPosition(to, QTextCursor::KeepAnchor);
        QTextCharFormat plain = run.charFormat();
        plain.clearProperty(QTextFormat::ForegroundBrush);
        run.setCharFormat(plain);
    }
}

// What the user changed in the font dialog, from the font and colour it showed to those it
// returned, goes to the selection, or with nothing selected, to the text typed next. The rest
// stays as each run has it (a selection of mixed sizes keeps them when only the colour
// changes), and so does each run's character set. An invalid colour takes away the text's own.
void applyCharFormat(QTextEdit* editor, const QFont& shown, const QColor& shownColor,
                     const QFont& font, const QColor& color) {
    QTextCharFormat format;
    if (font.family() != shown.family())
        format.setFontFamilies(QStringList{font.family()});
    if (font.pointSizeF() != shown.pointSizeF())
        format.setFontPointSize(font.pointSizeF());
    if (font.bold() != shown.bold())
        format.setFontWeight(font.bold() ? QFont::Bold : QFont::Normal);
    if (font.italic() != shown.italic())
        format.setFontItalic(font.italic());
    if (font.underline() != shown.underline())
        format.setFontUnderline(font.underline());
    if (font.strikeOut() != shown.strikeOut())
        format.setFontStrikeOut(font.strikeOut());
    const bool recolour = color != shownColor;
    if (recolour && color.isValid())
        format.setForeground(color);
    const bool uncolour = recolour && !color.isValid();
    if (format.properties().isEmpty() && !uncolour)
        return;
    QTextCursor cursor = editor->textCursor();
    if (!cursor.hasSelection()) {
        QTextCharFormat typed = editor->currentCharFormat();
        typed.merge(format);
        if (uncolour)
            typed.clearProperty(QTextFormat::ForegroundBrush);
        editor->setCurrentCharFormat(typed);
        return;
    }
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    cursor.beginEditBlock();
    cursor.mergeCharFormat(format);
    if (uncolour)
        clearOwnColour(editor->document(), start, end);
    cursor.endEditBlock();
}
} // namespace

EditorCommands::EditorCommands(QWidget* window, NoteEditor* editor, MainMenu* mainMenu,
                               std::function<void(const QColor&)> pageColorPicked)
    : QObject(window), m_window(window), m_editor(editor), m_mainMenu(mainMenu),
      m_pageColorPicked(std::move(pageColorPicked)) {
    m_pmEditor = new QMenu(editor);
    m_pmEditor->setObjectName(QStringLiteral("pmEditor"));
    addItem("Undo1", tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), &EditorCommands::undoClicked);
    m_redoItem = addItem("Redo1", tr("&Redo"), QKeySequence(Qt::CTRL | Qt::Key_Y),
                         &EditorCommands::redoClicked);
    m_pmEditor->addSeparator()->setObjectName(QStringLiteral("N1"));
    m_cutItem = addItem("Cut1", tr("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X),
                        &EditorCommands::cutClicked);
    m_copyItem = addItem("Copy1", tr("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C),
                         &EditorCommands::copyClicked);
    m_pasteItem = addItem("Paste1", tr("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V),
                          &EditorCommands::pasteClicked);
    m_pmEditor->addSeparator()->setObjectName(QStringLiteral("N2"));
    addItem("SelectAll1", tr("Select All"), QKeySequence(), &EditorCommands::selectAllClicked);

    const MainMenu* menu = m_mainMenu;
    connect(menu->editUndoItem(), &QAction::triggered, this, &EditorCommands::undoClicked);
    connect(menu->editRedoItem(), &QAction::triggered, this, &EditorCommands::redoClicked);
    // Redo is there while something undone can be done again.
    m_redoItem->setEnabled(false);
    connect(m_editor, &QTextEdit::redoAvailable, this, [this](bool available) {
        m_redoItem->setEnabled(available);
        m_mainMenu->editRedoItem()->setEnabled(available);
    });
    connect(menu->editCutItem(), &QAction::triggered, this, &EditorCommands::cutClicked);
    connect(menu->editCopyItem(), &QAction::triggered, this, &EditorCommands::copyClicked);
    connect(menu->editPasteItem(), &QAction::triggered, this, &EditorCommands::pasteClicked);
    connect(menu->editSelectAllItem(), &QAction::triggered, this,
            &EditorCommands::selectAllClicked);
    connect(menu->formatFontItem(), &QAction::triggered, this, &EditorCommands::fontClicked);
    connect(menu->formatColorItem(), &QAction::triggered, this, &EditorCommands::colorClicked);
    for (QAction* a :
         {menu->formatAlignLeftItem(), menu->formatAlignCenterItem(), menu->formatAlignRightItem()})
        connect(a, &QAction::triggered, this, [this, a] { alignClicked(a); });
    listCommands();

    m_editor->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_editor, &QWidget::customContextMenuRequested, this, &EditorCommands::popupEditorMenu);
    // The selection-change event: caret moves as well as selections.
    connect(m_editor, &QTextEdit::selectionChanged, this, &EditorCommands::selectionChanged);
    connect(m_editor, &QTextEdit::cursorPositionChanged, this, &EditorCommands::selectionChanged);
}

void EditorCommands::popupEditorMenu(const QPoint& pos) {
    emit editorMenuRequested(pos);
    m_pmEditor->popup(m_editor->viewport()->mapToGlobal(pos));
}

// The dialogs are made when first asked for: building the font dialog reads the whole font
// list, which would cost start-up more than everything else in the window together.
FontDialog* EditorCommands::fontDialog() {
    if (!m_fontDialog)
        m_fontDialog = new FontDialog(m_window);
    return m_fontDialog;
}

QColorDialog* EditorCommands::colorDialog() {
    if (!m_colorDialog) {
        m_colorDialog = new QColorDialog(m_window);
        m_colorDialog->setObjectName(QStringLiteral("ColorDialog1"));
        m_colorDialog->setOption(QColorDialog::DontUseNativeDialog);
    }
    return m_colorDialog;
}

EditorCommands::~EditorCommands() {
    leaveClipboardChain();
}

QAction* EditorCommands::addItem(const char* name, const QString& caption,
                                 const QKeySequence& shortcut, void (EditorCommands::*handler)()) {
    auto* a = new QAction(caption, m_pmEditor);
    a->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) {
        // The editor acts on these keys itself while it has the focus.
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::WidgetShortcut);
    }
    m_pmEditor->addAction(a);
    connect(a, &QAction::triggered, this, handler);
    return a;
}

void EditorCommands::setUpEditor() {
    m_editor->setAcceptRichText(true);
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_editor->setLineWrapMode(QTextEdit::WidgetWidth);
    // The margins beside the text show the page colour as the text area does.
    m_editor->setBackgroundRole(QPalette::Base);
    m_editor->setAutoFillBackground(true);
    m_editor->document()->setDocumentMargin(1);
    // The selection stays visible while another control has the focus.
    QPalette pal = m_editor->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    m_editor->setPalette(pal);
    m_editor->setFont(editorDefaultFont());
    insetTextRect();
}

void EditorCommands::insetTextRect() {
    m_editor->setTextInset(TextInset);
}

void EditorCommands::undoClicked() {
    m_editor->undo();
}

void EditorCommands::redoClicked() {
    m_editor->redo();
}

void EditorCommands::cutClicked() {
    m_editor->cut();
}

void EditorCommands::copyClicked() {
    m_editor->copy();
}

void EditorCommands::pasteClicked() {
    m_editor->paste();
}

void EditorCommands::selectAllClicked() {
    m_editor->selectAll();
    selectionChanged();
}

void EditorCommands::fontClicked() {
    FontDialog* dialog = fontDialog();
    const QTextCharFormat current = m_editor->currentCharFormat();
    QFont font = current.font().resolve(m_editor->document()->defaultFont());
    if (!current.hasProperty(QTextFormat::FontFamilies) &&
        !current.hasProperty(QTextFormat::FontFamily))
        font.setFamilies({realFamily(font)}); // the default font, by its family's own name
    dialog->setCurrentFont(font);
    const QBrush brush = current.foreground();
    const bool ownColor =
        current.hasProperty(QTextFormat::ForegroundBrush) && brush.style() != Qt::NoBrush;
    dialog->setCurrentColor(ownColor ? brush.color() : QColor());
    const QFont shown = dialog->currentFont();
    const QColor shownColor = dialog->currentColor();
    // A page that could not be read stays as it is.
    if (dialog->exec() == QDialog::Accepted && !m_editor->isReadOnly())
        applyCharFormat(m_editor, shown, shownColor, dialog->currentFont(), dialog->currentColor());
    m_editor->setFocus();
}

void EditorCommands::colorClicked() {
    QColorDialog* dialog = colorDialog();
    dialog->setCurrentColor(m_lastColor);
    if (dialog->exec() == QDialog::Accepted) {
        m_lastColor = dialog->selectedColor();
        m_pageColorPicked(m_lastColor);
    }
    m_editor->setFocus();
}

void EditorCommands::alignClicked(QAction* item) {
    if (m_updatingMenu)
        return;
    m_editor->setAlignment(qtAlignment(item->data().toInt()));
    selectionChanged();
}

void EditorCommands::selectionChanged() {
    m_updatingMenu = true;
    const auto done = qScopeGuard([this] { m_updatingMenu = false; });
    const int code = alignmentCode(m_editor->textCursor().blockFormat().alignment());
    if (QAction* item = m_mainMenu->alignItem(code))
        item->setChecked(true);
    updateCutCopyItems();
}

void EditorCommands::updateCutCopyItems() {
    const QTextCursor cursor = m_editor->textCursor();
    const bool any = cursor.selectionEnd() - cursor.selectionStart() > 0;
    for (QAction* item :
         {m_mainMenu->editCopyItem(), m_mainMenu->editCutItem(), m_copyItem, m_cutItem})
        item->setEnabled(any);
}

void EditorCommands::updatePasteItems() {
    const bool can = m_editor->canPaste();
    m_mainMenu->editPasteItem()->setEnabled(can);
    m_pasteItem->setEnabled(can);
}

void EditorCommands::joinClipboardChain() {
    if (!m_clipboardConnection)
        m_clipboardConnection = connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                                        this, &EditorCommands::updatePasteItems);
}

void EditorCommands::leaveClipboardChain() {
    if (m_clipboardConnection)
        disconnect(m_clipboardConnection);
    m_clipboardConnection = {};
}

void EditorCommands::listCommands() {
    const MainMenu* menu = m_mainMenu;
    const auto command = [this](QAction* item, const std::function<void(QTextCursor)>& run) {
        m_editor->addAction(item); // its keys act while the editor has the focus
        connect(item, &QAction::triggered, this, [this, run] {
            if (m_editor->isReadOnly())
                return;
            run(m_editor->textCursor());
            m_editor->ensureCursorVisible();
        });
    };
    command(menu->formatBulletsItem(), [](QTextCursor c) { toggleList(c, ListStyle::Bullet); });
    command(menu->formatNumberingItem(), [](QTextCursor c) { toggleList(c, ListStyle::Decimal); });
    command(menu->formatChecklistItem(), [](QTextCursor c) { toggleChecklist(c); });
    command(menu->formatIndentItem(), [](QTextCursor c) { changeIndent(c, 1); });
    command(menu->formatOutdentItem(), [](QTextCursor c) { changeIndent(c, -1); });
}

} // namespace qly
