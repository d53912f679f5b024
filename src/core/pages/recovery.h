#pragma once

#include "model/document.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

namespace qly {

// Recovery copies: while a page is being edited, its unsaved text is kept now and then in
// "recovery/<letter>.rtf" beside the settings file, away from the page folder that Find and
// Go Mobile read. A copy is removed when its page is saved normally, or when the user says so;
// at the next start it is offered, whatever happened to its page file meanwhile.
class RecoveryStore {
public:
    // folder: where the settings file lies (ending with a separator or not).
    explicit RecoveryStore(const QString& settingsFolder);
    // The copies of a program folder that cannot be written, kept in the user's own data
    // folder: $XDG_STATE_HOME/quillery/recovery/<hash of the folder>/.
    static RecoveryStore forUser(const QString& programFolder);

    const QString& folder() const { return m_folder; }
    QString copyFile(int index) const;

    // On a full drive, makeRoom (with the copy's page index) is asked to free some (it drops
    // an old page version) before a copy gives up; it returns false when it has nothing left.
    void setMakeRoom(std::function<bool(int index)> makeRoom) { m_makeRoom = std::move(makeRoom); }

    // Writes the copy atomically. A failure is silent (false): it must never disturb the
    // user, and it never touches the page file.
    bool write(int index, const Document& document) const;
    void remove(int index) const;

    struct Pending {
        int index = 0;
        QDateTime written;
        bool pageChangedSince = false; // the page file was written after the copy
    };
    // The copies there are, in letter order.
    QList<Pending> pending(const QString& pageFolder) const;
    // The document of a copy; empty when it cannot be read.
    Document read(int index) const;

private:
    RecoveryStore() = default;

    QString m_folder;
    std::function<bool(int)> m_makeRoom;
};

// A running program's hold on its folder (a lock on the folder itself, which writes nothing
// there): another program on the same folder, another user's included, sees it is in use, and
// does not offer the recovery copies of a live session.
class FolderLock {
public:
    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // False only when another program holds the folder.
    bool held() const { return m_held; }

private:
    int m_fd = -1;
    bool m_held = true;
};

} // namespace qly
