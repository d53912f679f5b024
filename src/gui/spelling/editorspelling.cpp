#include "spelling/editorspelling.h"

#include <QAbstractEventDispatcher>
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>

#include <algorithm>
#include <memory>

namespace qly {

namespace {
// Marks the extra selections that are ours, so others' (find, say) stay as they are.
constexpr int SpellMarkProperty = QTextFormat::UserProperty + 0x5e1;
// How long the GUI thread checks in one idle slice, and how long after the last change the
// idle checking starts.
constexpr qint64 SliceMs = 2;
constexpr int IdleDelayMs = 300;
constexpr int SweepBackstopMs = 10;
// Marks follow an edit or a caret move once its paint is done: at the latest after this.
constexpr int RefreshBackstopMs = 16;
// A change of more than this many characters (a page put in, a large paste) is first shown
// as it is: its marks follow a moment later, so they never hold up the page's first paint.
constexpr int LargeChange = 4096;
constexpr int LargeChangeDelayMs = 60;
// Blocks looked at for "on screen" at most: empty lines are cheap, but not without end.
constexpr int MaxVisibleBlocks = 400;
constexpr int MaxSuggestions = 8;
// A paragraph longer than this (a long paste without line breaks) is checked only where it is
// on screen, never whole at once.
constexpr int LongBlock = 16 * 1024;
// How far the part on screen is widened to reach the spaces around it.
constexpr int WordReach = 64;

bool isLong(const QTextBlock& block) {
    return block.length() > LongBlock;
}

struct LoadedDictionaries {
    std::vector<std::pair<QString, std::unique_ptr<SpellDictionary>>> dictionaries;
    PersonalWords personal;
    QString personalError;
    QStringList failed;
};

QTextCharFormat markFormat() {
    QTextCharFormat f;
    f.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    f.setUnderlineColor(Qt::red);
    f.setProperty(SpellMarkProperty, true);
    return f;
}
} // namespace

EditorSpelling::EditorSpelling(QTextEdit* editor, QString programFolder, QString personalPath)
    : QObject(editor), m_editor(editor), m_programFolder(std::move(programFolder)) {
    m_speller.personalWords() = PersonalWords(std::move(personalPath));
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &EditorSpelling::refresh);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(IdleDelayMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        m_staleMarks.clear();
        m_sweeping = true;
        m_sweepTimer.start(0);
    });
    // One slice each time the event loop has nothing else to do: input and paints that
    // are waiting always go first.
    m_sweepTimer.setSingleShot(true);
    connect(&m_sweepTimer, &QTimer::timeout, this, &EditorSpelling::sweepSlice);
    if (QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance())
        connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (m_refreshWhenIdle && m_refreshTimer.remainingTime() > 0)
                m_refreshTimer.start(0);
            if (m_sweeping && m_sweepTimer.remainingTime() != 0)
                m_sweepTimer.start(0);
        });

    connect(editor->document(), &QTextDocument::contentsChange, this,
            &EditorSpelling::contentsChange);
    connect(editor, &QTextEdit::cursorPositionChanged, this, &EditorSpelling::scheduleRefresh);
    connect(editor->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &EditorSpelling::scheduleRefresh);
    connect(editor->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged,
            this, &EditorSpelling::scheduleRefresh);
}

EditorSpelling::~EditorSpelling() {
    // A load in progress ends with its dictionary file; its result is dropped.
    if (m_loader)
        m_loader->wait();
}

void EditorSpelling::setErrorHandler(std::function<void(const QString&)> handler) {
    m_errorHandler = std::move(handler);
}

void EditorSpelling::setMenuOpener(std::function<void(const QPoint&)> opener) {
    m_menuOpener = std::move(opener);
}

QList<DictionaryFile> EditorSpelling::availableDictionaries() const {
    return findDictionaries(dictionaryFolders(m_programFolder, qEnvironmentVariable("DICPATH")));
}

QStringList EditorSpelling::languagesInUse() const {
    if (m_settings.languagesSet)
        return m_settings.languages;
    const QString code = defaultLanguage(availableDictionaries(), QLocale::system());
    return code.isEmpty() ? QStringList() : QStringList{code};
}

void EditorSpelling::apply(const SpellingSettings& settings) {
    m_settings = settings;
    m_speller.setSplitOptions({settings.skipCapitals});
    const quint64 serial = ++m_loadSerial;
    m_ready = false;
    if (!settings.checkAsYouType) {
        m_speller.clearDictionaries();
        stopSweep();
        m_ready = true;
        refresh();
        emit dictionariesLoaded();
        return;
    }
    if (m_loader)
        m_loader->wait();
    auto result = std::make_shared<LoadedDictionaries>();
    const QStringList codes = languagesInUse();
    const QString personalPath = m_speller.personalWords().path();
    const QStringList folders = dictionaryFolders(m_programFolder, qEnvironmentVariable("DICPATH"));
    m_loader = QThread::create([result, codes, personalPath, folders] {
        const QList<DictionaryFile> available = findDictionaries(folders);
        for (const QString& code : codes) {
            std::unique_ptr<SpellDictionary> d = loadDictionaryFor(code, available);
            if (d)
                result->dictionaries.emplace_back(code, std::move(d));
            else
                result->failed << code;
        }
        result->personal = PersonalWords(personalPath);
        result->personalError = result->personal.load();
    });
    QThread* loader = m_loader;
    connect(loader, &QThread::finished, this, [this, loader, result, serial] {
        loader->deleteLater();
        if (m_loader == loader)
            m_loader = nullptr;
        if (serial != m_loadSerial)
            return;
        m_speller.clearDictionaries();
        for (auto& [code, d] : result->dictionaries)
            m_speller.addDictionary(code, std::move(d));
        m_speller.setPersonalWords(std::move(result->personal));
        if (!result->personalError.isEmpty() && m_errorHandler)
            m_errorHandler(result->personalError);
        dictionariesArrived(serial, result->failed);
    });
    m_loader->start(QThread::LowPriority);
}

void EditorSpelling::dictionariesArrived(quint64, QStringList) {
    m_ready = true;
    restartSweep();
    refresh();
    emit dictionariesLoaded();
}

bool EditorSpelling::active() const {
    return m_settings.checkAsYouType && m_speller.hasDictionaries();
}

void EditorSpelling::contentsChange(int position, int removed, int added) {
    m_lastEdit = position + added;
    if (std::max(removed, added) > LargeChange) {
        // Most of what was found belongs to blocks that are gone: the table is let go
        // once the user is idle, not in the middle of putting a page in.
        if (m_staleMarks.empty())
            m_staleMarks.swap(m_marks);
        m_refreshWhenIdle = false;
        m_refreshTimer.start(LargeChangeDelayMs);
        m_lastEdit = -1; // no word is being typed
        m_typingStart = m_typingEnd = -1;
    } else {
        scheduleRefresh();
    }
    // Typing goes first: the rest of the page waits until the user pauses, and the idle
    // checking then starts again no later than the changed block.
    stopSweep();
    const int changed = m_editor->document()->findBlock(position).blockNumber();
    m_sweepBlock = std::max(0, std::min(m_sweepBlock, changed));
    if (active())
        m_idleTimer.start();
}

void EditorSpelling::scheduleRefresh() {
    // After the paint the change asks for: a key's own paint never waits for the checker.
    if (!m_refreshTimer.isActive()) {
        m_refreshWhenIdle = true;
        m_refreshTimer.start(RefreshBackstopMs);
    }
}

void EditorSpelling::restartSweep() {
    m_sweepBlock = 0;
    stopSweep();
    if (active())
        m_idleTimer.start();
}

const std::vector<WordSpan>& EditorSpelling::marksOf(const QTextBlock& block) {
    BlockMarks& marks = m_marks[block.fragmentIndex()];
    if (marks.revision != block.revision() || marks.generation != m_speller.generation() ||
        marks.length != block.length()) {
        marks.wrong = m_speller.misspellings(block.text());
        marks.revision = block.revision();
        marks.length = block.length();
        marks.generation = m_speller.generation();
    }
    return marks.wrong;
}

void EditorSpelling::sweepSlice() {
    if (!active()) {
        stopSweep();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    QTextBlock block = m_editor->document()->findBlockByNumber(m_sweepBlock);
    while (block.isValid() && !clock.hasExpired(SliceMs)) {
        if (!isLong(block))
            marksOf(block);
        block = block.next();
        ++m_sweepBlock;
    }
    if (!block.isValid())
        stopSweep();
    else // the next slice when the loop goes idle, at the latest after a moment
        m_sweepTimer.start(SweepBackstopMs);
}

bool EditorSpelling::pageChecked() const {
    return !m_sweeping && m_sweepBlock >= m_editor->document()->blockCount();
}

void EditorSpelling::stopSweep() {
    m_sweeping = false;
    m_sweepTimer.stop();
}

void EditorSpelling::refresh() {
    m_refreshWhenIdle = false;
    m_refreshTimer.stop();
    QList<std::pair<int, int>> marked;
    QTextCursor caret = m_editor->textCursor();
    const QTextBlock caretBlock = caret.block();
    const WordSpan atCaret =
        wordAt(caretBlock.text(), caret.positionInBlock(), m_speller.splitOptions());
    const int wordStart = caretBlock.position() + atCaret.start;
    const int wordEnd = wordStart + atCaret.length;
    const bool inWord = atCaret.length > 0;
    if (m_lastEdit >= 0) {
        // An edit in the caret's word: that word is being typed.
        if (inWord && m_lastEdit >= wordStart && m_lastEdit <= wordEnd) {
            m_typingStart = wordStart;
            m_typingEnd = wordEnd;
        } else {
            m_typingStart = m_typingEnd = -1;
        }
        m_lastEdit = -1;
    } else if (m_typingStart >= 0 && !(inWord && wordStart == m_typingStart)) {
        m_typingStart = m_typingEnd = -1; // the caret left the word
    }

    if (active()) {
        QTextDocument* doc = m_editor->document();
        QAbstractTextDocumentLayout* layout = doc->documentLayout();
        const int top = m_editor->verticalScrollBar()->value();
        const int bottom = top + m_editor->viewport()->height();
        QTextBlock block = m_editor->cursorForPosition(QPoint(0, 0)).block();
        for (int n = 0; block.isValid() && n < MaxVisibleBlocks; block = block.next(), ++n) {
            if (!block.isVisible())
                continue;
            if (layout->blockBoundingRect(block).top() > bottom)
                break;
            const std::vector<WordSpan> visible =
                isLong(block) ? marksOnScreen(block) : std::vector<WordSpan>();
            for (const WordSpan& w : isLong(block) ? visible : marksOf(block)) {
                const int start = block.position() + w.start;
                if (start == m_typingStart)
                    continue;
                marked.append({start, w.length});
            }
        }
    }
    if (marked != m_marked) {
        m_marked = marked;
        QList<QTextEdit::ExtraSelection> selections;
        for (const QTextEdit::ExtraSelection& s : m_editor->extraSelections())
            if (!s.format.hasProperty(SpellMarkProperty))
                selections.append(s);
        const QTextCharFormat format = markFormat();
        for (const auto& [start, length] : std::as_const(marked)) {
            QTextCursor c(m_editor->document());
            c.setPosition(start);
            c.setPosition(start + length, QTextCursor::KeepAnchor);
            selections.append({c, format});
        }
        m_editor->setExtraSelections(selections);
    }
    emit marksUpdated();
}

std::vector<WordSpan> EditorSpelling::marksOnScreen(const QTextBlock& block) {
    const QRect area = m_editor->viewport()->rect();
    const int from = m_editor->cursorForPosition(area.topLeft()).position() - block.position();
    const int to = m_editor->cursorForPosition(area.bottomRight()).position() - block.position();
    const QString text = block.text();
    qsizetype start = std::clamp<qsizetype>(from, 0, text.size());
    qsizetype end = std::clamp<qsizetype>(to, 0, text.size());
    // Whole words only: out to the spaces around the part on screen.
    for (int i = 0; i < WordReach && start > 0 && !text[start - 1].isSpace(); ++i)
        --start;
    for (int i = 0; i < WordReach && end < text.size() && !text[end].isSpace(); ++i)
        ++end;
    std::vector<WordSpan> wrong =
        m_speller.misspellings(QStringView(text).sliced(start, end - start));
    for (WordSpan& w : wrong)
        w.start += int(start);
    return wrong;
}

QList<std::pair<int, int>> EditorSpelling::markedWords() const {
    return m_marked;
}

void EditorSpelling::prepareMenu(QMenu* menu, const QPoint& pos) {
    for (const QPointer<QAction>& a : std::as_const(m_menuItems))
        delete a.data();
    m_menuItems.clear();
    if (!active())
        return;
    const QTextCursor at = m_editor->cursorForPosition(pos);
    const QTextBlock block = at.block();
    const QString text = block.text();
    const WordSpan span = wordAt(text, at.positionInBlock(), m_speller.splitOptions());
    if (span.length == 0)
        return;
    const QString word = text.mid(span.start, span.length);
    if (m_speller.isCorrect(word))
        return;
    const int start = block.position() + span.start;
    QAction* before = menu->actions().value(0);
    auto add = [&](const QString& caption, auto handler) {
        auto* item = new QAction(caption, menu);
        connect(item, &QAction::triggered, this, handler);
        menu->insertAction(before, item);
        m_menuItems.append(item);
        return item;
    };
    const QStringList suggestions = m_speller.suggestions(word, MaxSuggestions);
    for (const QString& s : suggestions) {
        QString caption = s;
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        add(caption, [this, start, length = span.length, s] {
            replaceWord(start, length, s);
        })->setObjectName(QStringLiteral("spellSuggestion"));
    }
    if (suggestions.isEmpty())
        add(tr("(No Suggestions)"), [] {})->setEnabled(false);
    m_menuItems.append(menu->insertSeparator(before));
    add(tr("&Add to Dictionary"), [this, word] {
        addToDictionary(word);
    })->setObjectName(QStringLiteral("spellAddToDictionary"));
    add(tr("I&gnore All"), [this, word] {
        ignoreAll(word);
    })->setObjectName(QStringLiteral("spellIgnoreAll"));
    QAction* separator = menu->insertSeparator(before);
    m_menuItems.append(separator);
}

void EditorSpelling::replaceWord(int start, int length, const QString& text) {
    QTextDocument* doc = m_editor->document();
    QTextCursor c(doc);
    // The word's own look: the format of its first letter.
    c.setPosition(start + 1);
    const QTextCharFormat format = c.charFormat();
    c.setPosition(start);
    c.setPosition(start + length, QTextCursor::KeepAnchor);
    c.beginEditBlock();
    c.insertText(text, format);
    c.endEditBlock();
    m_editor->setTextCursor(c);
}

void EditorSpelling::addToDictionary(const QString& word) {
    const QString error = m_speller.addToPersonal(word);
    refresh();
    restartSweep();
    if (!error.isEmpty() && m_errorHandler)
        m_errorHandler(error);
}

void EditorSpelling::ignoreAll(const QString& word) {
    m_speller.ignoreAll(word);
    refresh();
    restartSweep();
}

bool EditorSpelling::goToNextMisspelling() {
    if (!active())
        return false;
    const QTextCursor caret = m_editor->textCursor();
    const int from = caret.position();
    QTextDocument* doc = m_editor->document();
    const QTextBlock first = caret.block();
    // From the caret to the end, then from the top back to the caret's block.
    QTextBlock block = first;
    bool wrapped = false;
    while (block.isValid()) {
        // Asked for: a long paragraph is checked whole here.
        const std::vector<WordSpan> whole =
            isLong(block) ? m_speller.misspellings(block.text()) : std::vector<WordSpan>();
        for (const WordSpan& w : isLong(block) ? whole : marksOf(block)) {
            const int start = block.position() + w.start;
            if (!wrapped && block == first && start + w.length >= from && start <= from)
                continue; // the word the caret is in
            if (!wrapped && block == first && start < from)
                continue;
            QTextCursor c(doc);
            c.setPosition(start);
            m_editor->setTextCursor(c);
            m_editor->ensureCursorVisible();
            return true;
        }
        if (wrapped && block == first)
            break;
        block = block.next();
        if (!block.isValid() && !wrapped) {
            wrapped = true;
            block = doc->begin();
        }
    }
    return false;
}

void EditorSpelling::nextMisspellingClicked() {
    if (!goToNextMisspelling())
        return;
    refresh();
    if (m_menuOpener) {
        const QRect caret = m_editor->cursorRect();
        m_menuOpener(QPoint(caret.left(), caret.bottom()));
    }
}

} // namespace qly
