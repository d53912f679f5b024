#pragma once

#include "model/document.h"
#include "pages/pageversions.h"
#include "settings/atomicfile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace qly {

// Creates a folder and every missing parent, silently.
void forceFolders(const QString& path);

// The page folder: the program's folder followed by "rtf/", always ending with a separator.
// Empty when the program's folder is not known; the page files are then empty paths too.
QString pageFolderFor(const QString& programDir);

// The folder "<parent><name>/" for files the program keeps for itself (backup/, recovery/),
// ending with a separator. It may not be a symbolic link, which could send what is written
// there (and removed from there) anywhere: when one is in its place, the first of
// "<name>.2/" to "<name>.9/" that is not a link is used instead, and link is set to the one
// found. Nothing is made here.
QString ownSubfolder(const QString& parent, const QString& name, QString* link = nullptr);

// The page folder when it is there but not a folder (a file named "rtf"): a message naming it,
// for the start. Empty when it is a folder, a link to one, or missing (it is made then).
QString pageFolderProblem(const QString& pageFolder);

// The largest page file that is read: far more than anyone types, and what the editor still
// holds in memory. A larger file is refused before any of it is read.
inline constexpr qint64 MaxPageFileSize = qint64(256) << 20;

// The file of a page (0 = A) in a page folder that ends with a separator.
QString pageFilePath(const QString& pageFolder, int index);

// What reading a page file found. A page without a file is a normal, empty page; a file that
// is there but cannot be read (no permission, a read error, a folder, far too large) is not:
// it may hold the user's notes and must never be written over.
struct PageFileRead {
    enum class Status { Read, NoFile, Unreadable };
    Status status = Status::NoFile;
    QByteArray bytes;
    QString reason;        // why the file could not be read; empty when it was
    FileIdentity identity; // of the file read

    bool isRead() const { return status == Status::Read; }
    // The bytes, or an error "Cannot open file "<path>". <reason>" when there are none.
    const QByteArray& bytesOrRaise(const QString& path) const;
};

// Reads a whole page file. Only a regular file is read: a symbolic link, a pipe, a device or a
// folder in the page's place is unreadable (and so never written). Never blocks, never throws.
PageFileRead readPageFile(const QString& path);
// The same for the page file name in an open folder.
PageFileRead readPageFile(const Folder& folder, const QString& name);

// The pages' files and which of them is in the editor. The editor itself is not here:
// the window hands documents in and out.
class PageStore {
public:
    explicit PageStore(const QString& programDir);

    const QString& pageFolder() const { return m_pageFolder; }
    QString pageFile(int index) const { return pageFilePath(m_pageFolder, index); }

    const QString& currentPageFile() const { return m_currentPageFile; }
    int rememberedPageIndex() const { return m_rememberedIndex; }
    void setRememberedPageIndex(int index) { m_rememberedIndex = index; }
    // Makes the page the one in the editor: its file becomes the current page file.
    void setCurrentPage(int index);

    struct Load {
        PageFileRead::Status status = PageFileRead::Status::NoFile;
        Document document; // empty unless the file was read
        QString reason;    // why an existing file could not be read
    };
    // Reads the current page file: RTF, else plain text. A file that cannot be read makes
    // the page read-only until another page is chosen: saves then leave its file alone.
    // The file read is remembered (which file, and a hash of its bytes).
    Load loadCurrentPage();
    bool currentPageReadOnly() const { return m_currentReadOnly; }

    // Whether another program changed the current page file since it was read or written
    // here: replaced or rewritten with other bytes (or put where there was none), or removed.
    // A file rewritten with the same bytes is no change.
    enum class DiskChange { None, Replaced, Removed };
    DiskChange currentPageDiskChange();

    // How many earlier versions of each page are kept in "backup/" beside the pages'
    // folder (none until this is called).
    void setVersionsKept(int count);
    const PageVersions& versions() const { return m_versions; }

    struct Save {
        enum class Outcome {
            Unchanged,     // nothing written: nothing was typed, or the page is read-only
            Written,       // the page file holds the document
            TakenFromDisk, // nothing typed, and another program's newer file is the page now
            Conflict,      // both changed: the other file kept as conflictFile, ours written
        };
        Outcome outcome = Outcome::Unchanged;
        QString conflictFile;
    };
    // Writes the document as RTF to the current page file, replacing it atomically, when it
    // was edited (a page only viewed is never written); the file replaced is kept as the
    // page's newest version when its content differs. A file another program changed since
    // it was read is taken when nothing was edited, and kept as a conflict version otherwise.
    // On a full drive the oldest versions give way until the page fits. Raises "Cannot create
    // file <path>: <reason>" when the page cannot be written; the old file is then intact.
    Save saveCurrentPage(const Document& document, bool edited = true);

    // Removes what writes of page files cut short left in the page folder (see
    // removeLeftoverTemporaries). Returns how many went.
    int removeLeftoverTemporaries();
    // Puts the bytes of an earlier copy of the page (a version, a conflict copy) in its file.
    // The file as it was becomes the page's newest version first (a conflict copy when no
    // versions are kept), so that the restore can itself be undone. Raises an error naming
    // the file and the reason when the page cannot be written or the old file kept; the page
    // file is then as it was.
    void restoreCurrentPage(const QByteArray& bytes);

    static int previousIndex(int index) { return index != 0 ? index - 1 : 25; }
    static int nextIndex(int index) { return index + 1 == 26 ? 0 : index + 1; }

private:
    // The current page file as last read or written here; unknown before a load.
    struct Known {
        bool exists = false;
        FileIdentity identity;
        quint64 hash = 0;
    };

    // Makes m_folder the page folder as its path names it now: the one held while the path
    // still leads to it, else opened again (a stick pulled and put back, a folder made since).
    // A symbolic link in the folder's place is followed when it was there the first time the
    // folder was opened, so chosen by the user; another link put there later is refused. Files
    // in the folder are only ever reached through m_folder, never through a link.
    IoResult<void> openPageFolder();
    PageFileRead readCurrentPageFile();
    QString currentPageName() const;

    QString m_programDir;
    QString m_pageFolder;
    Folder m_folder;
    // Where the link in the page folder's place led when the folder was first opened; empty
    // when it was a folder, nothing before the folder was first opened.
    std::optional<QByteArray> m_folderLink;
    QString m_currentPageFile;
    PageVersions m_versions;
    int m_rememberedIndex = 0;
    bool m_currentReadOnly = false;
    std::optional<Known> m_known;
};

} // namespace qly
