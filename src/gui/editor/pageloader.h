#pragma once

#include "model/document.h"

#include <QObject>
#include <QSize>
#include <QSizeF>
#include <QTextCursor>
#include <QTimer>

class QTextEdit;

namespace qly {

// Puts pages into the editor the way Qt's own editor takes a large text. The document is
// filled while no view lays it out, then the editor lays it out a piece at a time from the
// top, between events, so that the first screen shows at once and the rest settles behind it.
// A page whose filling or layout would hold the window up is filled only once the window has
// painted, a long plain text in steps between events.
//
// From the start of a load until the page is laid out, as long as nothing in it was changed,
// the page is "settling": the file still holds all of it, so a termination signal then ends
// the program at once without writing anything.
class PageLoader : public QObject {
    Q_OBJECT
public:
    explicit PageLoader(QTextEdit* editor);
    ~PageLoader() override;

    // Shows the page in the editor in place of what it held (and its undo history), with the
    // caret at its start.
    void showPage(Document page);
    // Puts a page that waits for the window to paint into the editor now: whatever reads the
    // editor's content calls this first.
    void finishPending();

    bool pending() const { return m_pending; }
    bool settling() const { return m_settling; }

signals:
    // The page is in the editor (for a page that waited, once the window painted).
    void filled();
    // The page is laid out to its end, or was changed before that.
    void settled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill();
    void fillInSteps();
    void startFill();
    void fillStep();
    void endFill();
    void setSettling(bool on);
    void checkLayout();
    void layOutHeadFirst(QSize viewport);
    void showWhole();
    void stopWatching();

    // Pages of more paragraphs are laid out as Qt's editor lays them out: each hidden
    // paragraph costs the layout a little, and past a few thousand more than it saves.
    static constexpr int MaxHeadFirstBlocks = 2'000;

    QTextEdit* m_editor;
    Document m_page;
    QString m_rest; // the text still to go in after the first paragraph
    qsizetype m_restPosition = 0;
    QSizeF m_pageSize;
    QTextCursor m_caret;
    QTimer m_layoutWatch;
    QTimer m_wholeTimer;
    bool m_wrapAnywhere = false;
    bool m_pending = false;
    bool m_filling = false;
    bool m_settling = false;
    bool m_headFirst = false; // the page waits for the window's first size
    bool m_headOnly = false;  // paragraphs past the first screen are hidden from the layout
};

} // namespace qly
