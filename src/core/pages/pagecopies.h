#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace qly {

// Every copy of a page that lies around its file: the versions and conflict copies this
// program keeps in "backup/", and the conflict copies sync tools leave beside the page in
// "rtf/" when the same page was changed on two computers.
enum class PageCopyKind {
    Current,  // the page file itself
    Version,  // backup/C.<n>.rtf, rotated with the count of versions
    Conflict, // backup/C.conflict-YYYYMMDD-HHMMSS.rtf, kept until the user deletes it
    Synced,   // a sync tool's conflict copy beside the page, kept until the user deletes it
};

// What the name of a sync tool's conflict copy says.
struct SyncCopyName {
    int page = -1;  // 0 = A
    QString tool;   // "Syncthing", "Nextcloud" or "Dropbox"
    QString origin; // the device or user the text came from, when the name says
};

// A sync tool's conflict copy of a page, by its file name in the page folder:
//   Syncthing  C.sync-conflict-YYYYMMDD-HHMMSS-DEVICE.rtf
//   Nextcloud  C (conflicted copy YYYY-MM-DD HHMMSS).rtf  (also with a user name before the date)
//   Dropbox    C (NAME's conflicted copy YYYY-MM-DD).rtf  (also with a number after the date)
// Nothing for any other name, a page's own file included.
std::optional<SyncCopyName> syncCopyName(const QString& fileName);

// Our own conflict copy of a page, by its file name in the backup folder; -1 for other names.
int conflictCopyPage(const QString& fileName);

struct PageCopy {
    PageCopyKind kind = PageCopyKind::Current;
    QString path;
    QDateTime modified; // when its text was last written
    qint64 size = 0;
    int version = 0;   // 1 = the newest version; 0 for the others
    QString tool;      // for a sync tool's copy
    QString origin;    // the device or user a sync tool's copy came from
    QString firstLine; // the first line of its text
    QString readError; // why it could not be read; empty when it was

    bool deletable() const {
        return kind == PageCopyKind::Conflict || kind == PageCopyKind::Synced;
    }
};

// The page now, then its copies, newest first (equal times: versions by number). Only regular
// files are listed: a link or a folder with a copy's name is not a copy. Reads the start of
// each file for its first line; never throws.
QList<PageCopy> listPageCopies(const QString& pageFolder, const QString& backupFolder, int page);

// A conflict copy (ours or a sync tool's) as the folder listings show it.
struct ConflictCopyFile {
    int page = -1;
    QString path;
    QString tool; // empty for ours
};
// The conflict copies of all pages. Reads folder listings only.
QList<ConflictCopyFile> listConflictCopies(const QString& pageFolder, const QString& backupFolder);
// How many conflict copies each page has.
std::array<int, 26> countConflictCopies(const QString& pageFolder, const QString& backupFolder);

} // namespace qly
