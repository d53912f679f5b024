#include "pageloader.h"

#include "pageshape.h"
#include "platform/termination.h"
#include "richtextconvert.h"

#include <QEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

namespace qly {

namespace {

// More characters than this take long enough to fill that the window shows first.
constexpr qsizetype HeavyCharacters = 2'000'000;

qsizetype characterCount(const Document& page) {
    qsizetype n = 0;
    for (const Paragraph& p : page.paragraphs)
        for (const TextRun& r : p.runs)
            n += r.text.size();
    return n;
}

// The page into the document, replacing what it held and its undo history.
void fillDocument(QTextDocument* doc, const Document& page) {
    if (page.paragraphs.size() < 2 || !hasUniformParagraphs(page)) {
        setEditorDocument(doc, page);
        return;
    }
    // Paragraphs that differ only in their text go in as one text, as with Qt's own
    // setPlainText: the first sets the formats, the rest follows it split into paragraphs.
    setEditorDocument(doc, Document{{page.paragraphs.front()}});
    qsizetype size = 0;
    for (const Paragraph& p : page.paragraphs)
        size += 1 + (p.runs.empty() ? 0 : p.runs.front().text.size());
    QString rest;
    rest.reserve(size);
    for (auto p = page.paragraphs.begin() + 1; p != page.paragraphs.end(); ++p) {
        rest += QChar::ParagraphSeparator;
        if (!p->runs.empty())
            rest += p->runs.front().text;
    }
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor end(doc);
    end.movePosition(QTextCursor::End);
    end.insertText(rest);
    doc->setUndoRedoEnabled(undo);
    doc->setModified(false);
}

} // namespace

PageLoader::PageLoader(QTextEdit* editor) : QObject(editor), m_editor(editor) {
    m_layoutWatch.setInterval(50);
    connect(&m_layoutWatch, &QTimer::timeout, this, &PageLoader::checkLayout);
    // Typing, pasting or formatting: from then on the editor holds what the file does not.
    connect(editor, &QTextEdit::textChanged, this, [this] {
        if (!m_filling && !m_pending)
            setSettling(false);
    });
}

PageLoader::~PageLoader() {
    if (m_settling)
        setQuickExit(false);
}

void PageLoader::showPage(Document page) {
    setSettling(true);
    mergeAlikeRuns(page);
    m_page = std::move(page);
    m_wrapAnywhere = wantsWrapAnywhere(m_page);
    const bool heavy = m_wrapAnywhere || characterCount(m_page) > HeavyCharacters;
    if (heavy && !m_editor->isVisible()) {
        // The window shows with the page's colour, then the page fills it.
        if (!m_pending)
            m_editor->viewport()->installEventFilter(this);
        m_pending = true;
        return;
    }
    fill();
}

void PageLoader::finishPending() {
    if (m_pending)
        fill();
}

bool PageLoader::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched == m_editor->viewport()) {
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, &PageLoader::finishPending);
    }
    return QObject::eventFilter(watched, event);
}

void PageLoader::fill() {
    if (m_pending) {
        m_pending = false;
        m_editor->viewport()->removeEventFilter(this);
    }
    QTextDocument* doc = m_editor->document();
    m_filling = true;
    // Without a page size the document lays nothing out while it fills; given its size back,
    // it is laid out from the top, a step at a time.
    const QSizeF pageSize = doc->pageSize();
    doc->setPageSize(QSizeF(0, 0));
    doc->clear();
    // The caret stays at the start while the text goes in: a caret pushed to the end would
    // have the editor lay out the whole page to show where it is.
    QTextCursor caret(doc);
    caret.setKeepPositionOnInsert(true);
    m_editor->setTextCursor(caret);
    m_editor->setWordWrapMode(m_wrapAnywhere ? QTextOption::WrapAnywhere
                                             : QTextOption::WrapAtWordBoundaryOrAnywhere);
    fillDocument(doc, m_page);
    m_page = Document();
    doc->setPageSize(pageSize);
    caret.setKeepPositionOnInsert(false);
    m_editor->setTextCursor(caret);
    m_filling = false;
    emit filled();
    checkLayout();
}

void PageLoader::setSettling(bool on) {
    if (on == m_settling)
        return;
    m_settling = on;
    setQuickExit(on);
    if (on) {
        m_layoutWatch.start();
    } else {
        m_layoutWatch.stop();
        emit settled();
    }
}

void PageLoader::checkLayout() {
    if (m_pending || m_filling)
        return;
    const QTextDocument* doc = m_editor->document();
    if (doc->pageSize().isNull())
        return;
    if (QTextLayout* last = doc->lastBlock().layout(); last && last->lineCount() > 0)
        setSettling(false);
}

} // namespace qly
