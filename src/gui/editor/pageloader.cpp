#include "editor/pageloader.h"

#include "editor/richtextconvert.h"
#include "model/pageshape.h"
#include "platform/termination.h"

#include <QEvent>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

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

// Text that goes into the editor in one step while the window waits: about a tenth of a
// second's work.
constexpr qsizetype StepCharacters = 1'000'000;

// Paragraphs after the first of a page whose paragraphs differ only in their text, as one
// text: each begins with a paragraph separator.
QString followingText(const Document& page) {
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
    return rest;
}

// What the user does to the page: typing, clicking, dropping, scrolling.
bool isAction(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Drop:
    case QEvent::ContextMenu:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyRelease:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::DragEnter:
        return true;
    default:
        return isAction(type);
    }
}

// The paragraphs that certainly fill a viewport of this size from the top: a line at least
// as tall as the smallest font's em, characters at least a third of an em wide on average.
int headBlocks(const QTextDocument* doc, QSize viewport, qreal dpiY) {
    qreal points = doc->defaultFont().pointSizeF();
    const QList<QTextFormat> formats = doc->allFormats();
    for (const QTextFormat& f : formats)
        if (f.isCharFormat() && f.hasProperty(QTextFormat::FontPointSize))
            points = std::min(points, f.toCharFormat().fontPointSize());
    const qreal em = std::max(points, 4.0) * dpiY / 72;
    const qreal linesShown = viewport.height() / em + 1;
    const qreal charactersPerLine = std::max(1.0, viewport.width() / (em / 3));
    qreal lines = 0;
    int blocks = 0;
    for (QTextBlock b = doc->begin(); b.isValid() && lines < linesShown; b = b.next(), ++blocks)
        lines += 1 + std::floor(b.length() / charactersPerLine);
    return blocks;
}

} // namespace

PageLoader::PageLoader(QTextEdit* editor) : QObject(editor), m_editor(editor) {
    m_layoutWatch.setInterval(50);
    // Once the first screen has painted, the rest of the page follows after the pause Qt's
    // editor leaves between the steps of laying out a long page.
    m_wholeTimer.setSingleShot(true);
    m_wholeTimer.setInterval(10);
    connect(&m_wholeTimer, &QTimer::timeout, this, &PageLoader::showWhole);
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
    if (m_filling) // a page still going in step by step: done with it first
        finishPending();
    showWhole();
    setSettling(true);
    mergeAlikeRuns(page);
    m_page = std::move(page);
    m_wrapAnywhere = wantsWrapAnywhere(m_page);
    const bool heavy = m_wrapAnywhere || characterCount(m_page) > HeavyCharacters;
    if (heavy && !m_editor->isVisible()) {
        // The window shows with the page's colour, then the page fills it step by step.
        m_pending = true;
        m_editor->installEventFilter(this);
        m_editor->viewport()->installEventFilter(this);
        return;
    }
    fill();
}

void PageLoader::finishPending() {
    showWhole();
    if (!m_pending)
        return;
    if (!m_filling)
        startFill();
    while (m_restPosition < m_rest.size())
        fillStep();
    endFill();
}

void PageLoader::fillInSteps() {
    if (!m_pending)
        return;
    if (!m_filling)
        startFill();
    fillStep();
    if (m_restPosition < m_rest.size())
        QTimer::singleShot(0, this, &PageLoader::fillInSteps);
    else
        endFill();
}

bool PageLoader::eventFilter(QObject* watched, QEvent* event) {
    if (m_headFirst || m_headOnly) {
        if (m_headFirst && event->type() == QEvent::Resize && watched == m_editor->viewport()) {
            // The first size the page is laid out for: before Qt's editor lays it out.
            m_headFirst = false;
            layOutHeadFirst(static_cast<QResizeEvent*>(event)->size());
        } else if (m_headOnly && event->type() == QEvent::Paint) {
            if (!m_wholeTimer.isActive())
                m_wholeTimer.start();
        } else if (isAction(event->type())) {
            showWhole(); // what the user does is done on the whole page
        }
        return false;
    }
    if (event->type() == QEvent::Paint && watched == m_editor->viewport() && m_pending &&
        !m_filling) {
        QTimer::singleShot(0, this, &PageLoader::fillInSteps);
    }
    if (!(m_pending || m_filling) || !isInput(event->type()))
        return false;
    // A key typed or a click while a page waits for the first paint or goes in step by step:
    // the rest goes in at once and the key or click then goes to the whole page, where the
    // caret waits at its start. Pointer moves and releases meanwhile are not the page's.
    if (!isAction(event->type()))
        return true;
    finishPending();
    return false;
}

void PageLoader::fill() {
    m_pending = true;
    finishPending();
}

void PageLoader::startFill() {
    QTextDocument* doc = m_editor->document();
    m_filling = true;
    m_editor->installEventFilter(this);
    m_editor->viewport()->installEventFilter(this);
    // Without a page size the document lays nothing out while it fills; given its size back,
    // it is laid out from the top, a step at a time.
    m_pageSize = doc->pageSize();
    doc->setPageSize(QSizeF(0, 0));
    doc->clear();
    // The caret stays at the start while the text goes in: a caret pushed to the end would
    // have the editor lay out the whole page to show where it is.
    m_caret = QTextCursor(doc);
    m_caret.setKeepPositionOnInsert(true);
    m_editor->setTextCursor(m_caret);
    m_editor->setWordWrapMode(m_wrapAnywhere ? QTextOption::WrapAnywhere
                                             : QTextOption::WrapAtWordBoundaryOrAnywhere);
    if (m_page.paragraphs.size() > 1 && hasUniformParagraphs(m_page)) {
        // Paragraphs that differ only in their text go in as one text, as with Qt's own
        // setPlainText: the first sets the formats, the rest follows it.
        setEditorDocument(doc, Document{{m_page.paragraphs.front()}});
        m_rest = followingText(m_page);
    } else {
        setEditorDocument(doc, m_page);
    }
    m_restPosition = 0;
    m_page = Document();
}

void PageLoader::fillStep() {
    if (m_restPosition >= m_rest.size())
        return;
    QTextDocument* doc = m_editor->document();
    // The window may have been resized since the last step.
    if (!doc->pageSize().isNull()) {
        m_pageSize = doc->pageSize();
        doc->setPageSize(QSizeF(0, 0));
    }
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor end(doc);
    end.movePosition(QTextCursor::End);
    end.insertText(m_rest.mid(m_restPosition, StepCharacters));
    m_restPosition += StepCharacters;
    doc->setUndoRedoEnabled(undo);
}

void PageLoader::endFill() {
    QTextDocument* doc = m_editor->document();
    m_rest = QString();
    m_restPosition = 0;
    doc->setModified(false);
    if (!doc->pageSize().isNull())
        m_pageSize = doc->pageSize();
    // The caret kept its place, but its anchor moved on with the text: without this the
    // whole page would be selected and the first key typed would replace it. Dropped while
    // nothing is laid out, so that the editor does not lay out the page to repaint it.
    m_caret.setKeepPositionOnInsert(false);
    m_caret.clearSelection();
    m_editor->setTextCursor(m_caret);
    doc->setPageSize(m_pageSize);
    m_caret = QTextCursor();
    // A page filled before the window first shows is laid out for the window's first size.
    m_headFirst = !m_editor->isVisible() && doc->pageSize().isNull() &&
                  doc->rootFrame()->childFrames().isEmpty() && doc->blockCount() > 1 &&
                  doc->blockCount() <= MaxHeadFirstBlocks;
    if (!m_headFirst) {
        m_editor->removeEventFilter(this);
        m_editor->viewport()->removeEventFilter(this);
    }
    m_filling = false;
    m_pending = false;
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
    if (m_pending || m_filling || m_headOnly)
        return;
    const QTextDocument* doc = m_editor->document();
    if (doc->pageSize().isNull())
        return;
    if (QTextLayout* last = doc->lastBlock().layout(); last && last->lineCount() > 0)
        setSettling(false);
}

void PageLoader::layOutHeadFirst(QSize viewport) {
    // Only the paragraphs that show at first are laid out before the window shows; the rest
    // are hidden from the layout until it has painted. Qt's editor would lay out some two
    // thousand pixels of the page first, several screens.
    QTextDocument* doc = m_editor->document();
    const int head = headBlocks(doc, viewport, m_editor->logicalDpiY());
    if (head >= doc->blockCount())
        return stopWatching();
    for (QTextBlock b = doc->findBlockByNumber(head); b.isValid(); b = b.next())
        b.setVisible(false);
    m_headOnly = true;
}

void PageLoader::showWhole() {
    m_wholeTimer.stop();
    if (m_headFirst) { // asked for before the window first showed: laid out as any page
        m_headFirst = false;
        stopWatching();
    }
    if (!m_headOnly)
        return;
    m_headOnly = false;
    stopWatching();
    // The page is laid out again from the top, a step at a time, as for any page.
    QTextDocument* doc = m_editor->document();
    const QSizeF size = doc->pageSize();
    doc->setPageSize(QSizeF(0, 0));
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        b.setVisible(true);
    doc->setPageSize(size);
    checkLayout();
}

void PageLoader::stopWatching() {
    m_editor->removeEventFilter(this);
    m_editor->viewport()->removeEventFilter(this);
}

} // namespace qly
