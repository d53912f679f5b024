#pragma once

#include "spelling/dictionaryfinder.h"
#include "spelling/speller.h"
#include "spelling/spellingsettings.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QAction;
class QMenu;
class QTextBlock;
class QTextEdit;
class QThread;

namespace qly {

// Spell checking as the user types, in the editor: misspelt words get a red wavy underline,
// drawn as the editor's extra selections, so that the document itself never changes (nothing
// to undo, save or print, and a page only viewed stays unmodified). The blocks on screen are
// checked first, the rest of the page in short slices while the user is idle. The word being
// typed keeps its mark away until the caret leaves it.
class EditorSpelling : public QObject {
    Q_OBJECT
public:
    // personalPath: the user's word list; programFolder: where "dict" is looked for.
    EditorSpelling(QTextEdit* editor, QString programFolder, QString personalPath);
    ~EditorSpelling() override;

    // Takes the settings: loads the chosen dictionaries away from the window's thread and
    // starts checking once they are there.
    void apply(const SpellingSettings& settings);
    const SpellingSettings& settings() const { return m_settings; }
    // The dictionaries on this computer (a folder scan, fresh on each call).
    QList<DictionaryFile> availableDictionaries() const;
    // The codes checked with: the chosen ones, or by default the locale's language.
    QStringList languagesInUse() const;
    bool ready() const { return m_ready; }
    // The marks on screen wait to be brought up to date.
    bool refreshPending() const { return m_refreshTimer.isActive(); }
    // Every paragraph of the page has been checked since its last change.
    bool pageChecked() const;
    Speller& speller() { return m_speller; }
    // Error reports (the personal list could not be written) go here; by default nowhere.
    void setErrorHandler(std::function<void(const QString&)> handler);
    // Opens the editor's context menu at a viewport position (for F7).
    void setMenuOpener(std::function<void(const QPoint&)> opener);

    // Puts the spelling items (suggestions, "Add to Dictionary", "Ignore All") at the top of
    // menu when the word at the viewport position pos is misspelt; takes away earlier ones.
    void prepareMenu(QMenu* menu, const QPoint& pos);
    // Moves the caret to the start of the next misspelt word after it, from the top again
    // at the end; false when the page has none.
    bool goToNextMisspelling();
    // F7: the next misspelt word, with the context menu opened on it.
    void nextMisspellingClicked();

    // Replaces the word of [start, start+length) by text as one undo step, in its format.
    void replaceWord(int start, int length, const QString& text);
    void addToDictionary(const QString& word);
    void ignoreAll(const QString& word);

    // The misspelt words shown now, as document positions (for tests and the menu).
    QList<std::pair<int, int>> markedWords() const;

signals:
    // The dictionaries of the last apply() are loaded (or failed) and checking has begun.
    void dictionariesLoaded();
    // The underlines on screen were brought up to date.
    void marksUpdated();

private:
    void dictionariesArrived(quint64 serial, QStringList failed);
    void contentsChange(int position, int removed, int added);
    void scheduleRefresh();
    void refresh();
    void sweepSlice();
    void restartSweep();
    void stopSweep();
    bool active() const;
    const std::vector<WordSpan>& marksOf(const QTextBlock& block);
    // The misspelt words of a long paragraph's part on screen, in block positions.
    std::vector<WordSpan> marksOnScreen(const QTextBlock& block);

    // What was found in a block, valid while the block's text and the speller's answers are
    // those it was found with. Kept beside the document, by the block's fragment, so that
    // neither the document nor its blocks carry anything of the checker's.
    struct BlockMarks {
        int revision = -1;
        int length = -1;
        quint64 generation = 0;
        std::vector<WordSpan> wrong;
    };

    QTextEdit* m_editor;
    QString m_programFolder;
    QHash<int, BlockMarks> m_marks;
    QHash<int, BlockMarks> m_staleMarks;
    SpellingSettings m_settings;
    Speller m_speller;
    QThread* m_loader = nullptr;
    quint64 m_loadSerial = 0;
    bool m_ready = false;
    QTimer m_refreshTimer;
    QTimer m_idleTimer;
    QTimer m_sweepTimer;
    int m_sweepBlock = 0;
    bool m_sweeping = false;
    bool m_refreshWhenIdle = false;
    // The word being typed, as document positions; -1 when none.
    int m_typingStart = -1;
    int m_typingEnd = -1;
    int m_lastEdit = -1;
    QList<std::pair<int, int>> m_marked;
    QList<QPointer<QAction>> m_menuItems;
    std::function<void(const QString&)> m_errorHandler;
    std::function<void(const QPoint&)> m_menuOpener;
};

} // namespace qly
