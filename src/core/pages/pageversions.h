#pragma once

#include "settings/atomicfile.h"
#include "settings/ioresult.h"

#include <QByteArrayView>
#include <QString>

namespace qly {

// Earlier versions of the pages: when a page file is replaced with different content, the
// file replaced is kept as "<backup folder>/<letter>.1.rtf" (the newest), the older versions
// moving up by one to "<letter>.<count>.rtf". Versions move by renames and the newest is a
// second name of the old file, so nothing is copied on a file system with hard links; on one
// without (FAT sticks) the newest is a copy.
class PageVersions {
public:
    static constexpr int DefaultCount = 5;
    static constexpr int MaxCount = 99;

    PageVersions() = default;
    // count: how many versions a page keeps; 0 keeps none.
    PageVersions(const QString& backupFolder, int count);

    int count() const { return m_count; }
    // Version number (1 = newest) of the page whose file is pageFile.
    QString versionFile(const QString& pageFile, int number) const;

    // Before a page file is replaced by newContent: holds on to the file as it is, unless it
    // is missing, cannot be read or already holds newContent. Returns what keep() or
    // drop() take; empty when nothing is held. Failures are silent: they must not keep the
    // page itself from being saved.
    QString hold(const QString& pageFile, QByteArrayView newContent) const;
    // The same for the page file name in the open page folder, through which it is read.
    QString hold(const Folder& pageFolder, const QString& name, QByteArrayView newContent) const;
    // The page file was replaced: what was held becomes its newest version.
    void keep(const QString& held, const QString& pageFile) const;
    // The page file could not be replaced: what was held is let go.
    void drop(const QString& held) const;

    // Keeps bytes, a text of the page whose file is pageFile, as its newest version (the
    // page file itself is gone: another program deleted it while it was shown). Returns the
    // version's file, or the reason it could not be kept.
    IoResult<QString> keepText(const QString& pageFile, QByteArrayView bytes) const;

    // Makes room on a full drive: removes the oldest version of the page whose file is
    // pageFile, else the oldest of any page. False when there is none left to remove.
    // Conflict versions (below) hold another program's text and are never removed.
    bool dropOldest(const QString& pageFile) const;

    // Keeps the file at pageFile, written by another program, as
    // "<letter>.conflict-YYYYMMDD-HHMMSS.rtf", whatever the count of versions. Returns that
    // file, or the reason it could not be kept.
    IoResult<QString> keepConflict(const QString& pageFile) const;
    IoResult<QString> keepConflict(const Folder& pageFolder, const QString& name) const;

    const QString& folder() const { return m_folder; }
    // The symbolic link found where the backup folder belongs, which is never followed (the
    // versions then go to a folder beside it, see ownSubfolder); empty when there was none.
    const QString& refusedLink() const { return m_refusedLink; }
    void setRefusedLink(const QString& link) { m_refusedLink = link; }

private:
    bool dropOldestOf(const QString& pageFile) const;
    // The folder, opened without following a link (and made when create): every version is
    // reached through it, so a link put in its place is never written through.
    IoResult<Folder> open(bool create) const;

    QString m_folder;
    QString m_refusedLink;
    int m_count = 0;
};

} // namespace qly
