#include "editor/links.h"

#include "editor/richtextconvert.h"
#include "model/inlinemarks.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QUrl>

#include <algorithm>

namespace qly {

bool makeLinkEndingAt(QTextDocument* document, int position) {
    const QTextBlock block = document->findBlock(position);
    if (!block.isValid())
        return false;
    const std::optional<FoundLink> link = linkEndingAt(block.text(), position - block.position());
    if (!link)
        return false;
    const int start = block.position() + int(link->start);
    const int end = start + int(link->length);
    // Text that already is a link stays as it is.
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.position() < end && f.position() + f.length() > start && f.charFormat().isAnchor())
            return false;
    }
    QTextCursor c(document);
    c.beginEditBlock();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        const int from = std::max(start, f.position());
        const int to = std::min(end, f.position() + f.length());
        if (from >= to)
            continue;
        QTextCharFormat format = f.charFormat();
        setLinkLook(format, link->url);
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        c.setCharFormat(format);
    }
    c.endEditBlock();
    return true;
}

void makeLinksIn(QTextDocument* document, int from, int to) {
    // Each block's text is taken once and only words that are addresses are changed, so that
    // a long paste costs a pass over it.
    for (QTextBlock b = document->findBlock(from); b.isValid() && b.position() <= to;
         b = b.next()) {
        const QString text = b.text();
        const int first = std::max(0, from - b.position());
        const int last = std::min(int(text.size()), to - b.position());
        for (int i = first; i <= last; ++i)
            if ((i == text.size() || text.at(i).isSpace()) && linkEndingAt(text, i))
                makeLinkEndingAt(document, b.position() + i);
    }
}

void wordEnded(QTextEdit* editor, const QKeyEvent* event, int position) {
    const int key = event->key();
    const bool ends =
        key == Qt::Key_Space || key == Qt::Key_Tab || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!ends || editor->isReadOnly() || (event->modifiers() & Qt::ControlModifier))
        return;
    makeLinkEndingAt(editor->document(), position);
}

void openLink(QWidget* parent, const QString& href) {
    if (QDesktopServices::openUrl(QUrl(href)))
        return;
    QMessageBox::warning(parent, QStringLiteral("Quillery"),
                         QCoreApplication::translate("Links", "No program can open %1.").arg(href));
}

QString linkAtCaret(const QTextEdit* editor) {
    QTextCursor c = editor->textCursor();
    c.clearSelection();
    if (c.charFormat().isAnchor()) // of the character before the caret
        return c.charFormat().anchorHref();
    if (c.movePosition(QTextCursor::NextCharacter) && c.charFormat().isAnchor())
        return c.charFormat().anchorHref();
    return {};
}

} // namespace qly
