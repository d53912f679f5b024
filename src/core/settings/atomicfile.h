#pragma once

#include "settings/ioresult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace qly {

// Which file a path named when it was read or written: another program that replaces the
// file (writes aside and renames, as editors and sync clients do) or rewrites it in place
// changes this.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of what lies at path, without following a final symbolic link; nothing when
// nothing is there.
std::optional<FileIdentity> fileIdentity(const QString& path);

// A fast hash of a file's bytes, to tell a rewrite with the same content from a real change.
quint64 contentHash(QByteArrayView bytes);

struct FileContent {
    QByteArray bytes;
    FileIdentity identity;
};

// Reads a whole file that must be a regular file: a final symbolic link is not followed and a
// pipe, a device or a folder is refused without being opened, so nothing here writes through a
// link or hangs on a pipe. A missing file fails with code ENOENT; more than maxSize bytes
// fails too, before anything is read, and so does memory that cannot be had (ENOMEM).
IoResult<FileContent> readRegularFile(const QString& path, qint64 maxSize);

// A regular file's bytes mapped read-only into memory, taken as readRegularFile takes a file
// (the same checks and limit), without a copy or memory of its own. Another program that cuts
// the file short while it is mapped makes a read past the new end raise SIGBUS: for tools that
// may end there, never for the program's windows.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    ~MappedFile();

    QByteArrayView bytes() const { return {m_bytes, m_size}; }

private:
    friend IoResult<MappedFile> mapRegularFile(const QString& path, qint64 maxSize);
    const char* m_bytes = nullptr;
    qsizetype m_size = 0;
};
IoResult<MappedFile> mapRegularFile(const QString& path, qint64 maxSize);

// Replaces the file at path with data: written to a temporary file in the same folder,
// flushed to disk and renamed over the old one, so a crash, a full disk or a pulled drive
// leaves either the old or the new file, never a truncated one. After the rename the folder
// is flushed too, so that the new name itself survives a power loss. An existing file that the
// user may not write (read-only) is refused, as the system's own profile writer does, and so
// is anything that is not a regular file: a symbolic link in the file's place is neither
// written through nor replaced. Returns the new file's identity, or the reason it failed.
IoResult<FileIdentity> writeFileAtomically(const QString& path, QByteArrayView data);

// Whether openFolder goes through a symbolic link in the folder's own place, one the user put
// there (the page folder may be a link to a folder of the user's choice). Links inside the
// folder are never followed either way.
enum class FolderLink { Refused, Followed };

// A folder held open: files in it are reached relative to it (openat, renameat, unlinkat), so
// a link put in its place after it was opened is not followed. Closed with the object.
class Folder {
public:
    Folder() = default;
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    ~Folder();

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // As it was opened, ending with a separator: for messages.
    const QString& path() const { return m_path; }

private:
    friend IoResult<Folder> openFolder(const QString& path, bool create, FolderLink link);
    int m_fd = -1;
    QString m_path;
};

// Opens a folder, by default never through a final symbolic link: a link in its place fails
// with "It is a symbolic link", a file with "Not a directory". With create, a missing folder
// is made first (its missing parents too).
IoResult<Folder> openFolder(const QString& path, bool create,
                            FolderLink link = FolderLink::Refused);

// readRegularFile, writeFileAtomically and fileIdentity for a file in an open folder.
IoResult<FileContent> readRegularFile(const Folder& folder, const QString& name, qint64 maxSize);
IoResult<FileIdentity> writeFileAtomically(const Folder& folder, const QString& name,
                                           QByteArrayView data);
std::optional<FileIdentity> fileIdentity(const Folder& folder, const QString& name);

// Removes the temporary files that writes cut short (a kill or a power loss between writing
// and renaming) left in a folder: "<name>.XXXXXX" for one of the names, regular files owned
// by this user and last changed before the program started. Returns how many went. The
// folder given by its path is opened once (through a link in its place), the files in it
// are reached relative to it.
int removeLeftoverTemporaries(const Folder& folder, const QStringList& names);
int removeLeftoverTemporaries(const QString& folder, const QStringList& names);

} // namespace qly
