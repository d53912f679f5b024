#pragma once

#include "editor/pagepieces.h"
#include "model/document.h"
#include "pages/recovery.h"

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <functional>

class QTextEdit;
class QWidget;

namespace qly {

// Keeps a recovery copy of the page being edited: two seconds after typing stops, and at
// least every ten seconds while it goes on. The window tells it when a page was loaded
// (its text is then the file's) and when the page was saved (the copy is then dropped).
// From the first copy of a page on, the editor's document is kept converted part by part, a
// few milliseconds at a time between events (PagePieces), so that typing on a long page never
// waits for a whole conversion; a copy is taken once every part is of the page as it stands.
// Putting the parts together, turning them into RTF and writing them to disk happen on a
// writer thread of their own, one copy after the other.
// A copy that cannot be written beside the pages (a folder that cannot be written, a full
// drive) goes to the user's own data folder instead.
class RecoveryKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int IdleMs = 2000;
    static constexpr int LongestMs = 10000;
    // The most the conversion takes of the GUI thread at a time.
    static constexpr qint64 SliceNs = 3'000'000;

    RecoveryKeeper(QTextEdit* editor, const QString& settingsFolder, QObject* parent = nullptr);

    const RecoveryStore& store() const { return m_store; }
    // Waits until every copy asked for so far is written or removed.
    void waitForWrites() { m_writer.waitForDone(); }
    const RecoveryStore& userStore() const { return m_userStore; }
    // On a full drive, asked to free room before a copy gives up (see RecoveryStore). It
    // runs on the writer thread: it must hold all it needs by value. Set before any copy.
    void setMakeRoom(std::function<bool(int index)> makeRoom) {
        m_store.setMakeRoom(std::move(makeRoom));
    }

    // The editor now holds page index as its file has it.
    void pageLoaded(int index);
    // The page in the editor was written to its file.
    void pageSaved();
    // Whether the page was changed in the editor since it was loaded or saved.
    bool edited() const { return m_edited; }
    // Keeps a copy now, and waits until it is written: the page could not be saved.
    void keepNow();

    // Offers the changes that a crash kept from their pages, one message box a page, unless
    // another running program of this user holds the folder (its copies are its own). When
    // another user may hold it, they are offered all the same, saying so. restore puts a
    // copy's document in the editor as that page's unsaved text; pageChangedSince says the
    // page file was written after the copy was made. unsavedAtClose: the pages whose save
    // failed when the program last closed (their box says so, not that it crashed).
    void offerPending(
        QWidget* parent, const QString& pageFolder, const QList<int>& unsavedAtClose,
        const std::function<void(int index, const Document&, bool pageChangedSince)>& restore);

private:
    void contentsChanged();
    // A copy is due: it is written once the conversion has caught up with the page.
    void copyDue();
    void convertSlice();
    void writeCopy();

    QTextEdit* m_editor;
    RecoveryStore m_store;
    RecoveryStore m_userStore;
    FolderLock m_folderLock;
    QTimer m_idle;
    QTimer m_longest;
    PagePieces m_pieces;
    QTimer m_slice;
    // Pages whose copies were there at the start and not offered (a live session of this
    // user's holds the folder): a save here never removes them.
    QList<int> m_unoffered;
    int m_index = -1;
    bool m_edited = false;
    bool m_copyDue = false;
    // One thread, so that writes and removals reach the disk in the order they were asked
    // for; declared last, so that it is finished before the store goes.
    QThreadPool m_writer;
};

} // namespace qly
