#pragma once

#include "model/document.h"
#include "settings/atomicfile.h"

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
    // The symbolic link found where "recovery/" belongs, which is never followed (the copies
    // then go to a folder beside it, see ownSubfolder); empty when there was none.
    const QString& refusedLink() const { return m_refusedLink; }
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
    // The folder, opened without following a link (and made when create): each copy is
    // reached through it. The user's own folder must be the user's.
    IoResult<Folder> open(bool create) const;

    QString m_folder;
    QString m_refusedLink;
    bool m_mustBeOwn = false;
    std::function<bool(int)> m_makeRoom;
};

// A running program's hold on its folder: a lock on the file ".qly.lock" in it, which only this
// user can open for writing (it is made with mode 0600 and never followed as a link), so
// another user cannot take the hold and so hide this user's recovery copies. Another program
// of this user on the same folder sees it is in use, and does not offer the copies of a live
// session.
class FolderLock {
public:
    static constexpr char FileName[] = ".qly.lock";

    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // False only when another program of this user holds the folder.
    bool held() const { return m_held; }
    // The lock file is another user's (or not a file): another user may be using the folder,
    // and this program cannot tell whether it does.
    bool otherUser() const { return m_otherUser; }

private:
    int m_fd = -1;
    bool m_held = true;
    bool m_otherUser = false;
};

} // namespace qly
