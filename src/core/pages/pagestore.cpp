#include "pages/pagestore.h"

#include "model/pageletters.h"
#include "rtf/rtf.h"
#include "settings/atomicfile.h"
#include "settings/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace qly {

void forceFolders(const QString& path) {
    if (path.isEmpty())
        return;
    // mkpath creates every missing parent; failures are left for the first write to report.
    QDir().mkpath(path);
}

QString pageFolderFor(const QString& programDir) {
    if (programDir.isEmpty())
        return QString(); // the program does not know where it is: no pages anywhere
    QString dir = programDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + QStringLiteral("rtf/");
}

QString ownSubfolder(const QString& parent, const QString& name, QString* link) {
    QString base = parent;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    const auto isLink = [](const QString& path) {
        struct stat st = {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
    };
    const QString first = base + name;
    if (!isLink(first))
        return first + QLatin1Char('/');
    if (link)
        *link = first;
    for (int n = 2; n <= 9; ++n) {
        const QString other = base + name + QLatin1Char('.') + QString::number(n);
        if (!isLink(other))
            return other + QLatin1Char('/');
    }
    return QString(); // nowhere safe: nothing is kept
}

QString pageFolderProblem(const QString& pageFolder) {
    if (pageFolder.isEmpty())
        return QString();
    QString folder = pageFolder;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    struct stat st = {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0) {
        if (errno == ENOENT)
            return QString();
        return QStringLiteral("The page folder %1 cannot be reached (%2). Pages cannot be read "
                              "or saved")
            .arg(QDir::toNativeSeparators(folder), ioErrorFromErrno(errno).reason);
    }
    if (S_ISDIR(st.st_mode))
        return QString();
    return QStringLiteral("The page folder %1 is not a folder (%2). Pages cannot be read or "
                          "saved until it is moved away")
        .arg(QDir::toNativeSeparators(folder), ioErrorFromErrno(ENOTDIR).reason);
}

QString pageFilePath(const QString& pageFolder, int index) {
    if (pageFolder.isEmpty())
        return QString();
    return pageFolder + pageLetter(index) + QStringLiteral(".rtf");
}

const QByteArray& PageFileRead::bytesOrRaise(const QString& path) const {
    if (status != Status::Read)
        throw Error(QStringLiteral("Cannot open file \"%1\". %2")
                        .arg(QDir::toNativeSeparators(path), reason));
    return bytes;
}

namespace {
PageFileRead pageFileRead(IoResult<FileContent> file) {
    PageFileRead r;
    if (!file) {
        r.status = file.error().code == ENOENT ? PageFileRead::Status::NoFile
                                               : PageFileRead::Status::Unreadable;
        r.reason = file.reason();
        return r;
    }
    r.status = PageFileRead::Status::Read;
    r.identity = file.value().identity;
    r.bytes = std::move(file.value().bytes);
    return r;
}
} // namespace

PageFileRead readPageFile(const QString& path) {
    if (path.isEmpty())
        return PageFileRead();
    return pageFileRead(readRegularFile(path, MaxPageFileSize));
}

PageFileRead readPageFile(const Folder& folder, const QString& name) {
    return pageFileRead(readRegularFile(folder, name, MaxPageFileSize));
}

PageStore::PageStore(const QString& programDir)
    : m_programDir(programDir), m_pageFolder(pageFolderFor(programDir)) {
    setVersionsKept(0); // conflict versions are kept all the same
}

IoResult<void> PageStore::openPageFolder() {
    if (m_pageFolder.isEmpty())
        return ioErrorFromErrno(ENOENT);
    const QString folder = m_pageFolder.chopped(1);
    const QByteArray native = QFile::encodeName(folder);
    // The folder the path leads to now, through a link in its place.
    struct stat now = {};
    if (::stat(native.constData(), &now) != 0)
        return ioErrorFromErrno(errno);
    struct stat held = {};
    if (m_folder.isOpen() && ::fstat(m_folder.fd(), &held) == 0 && held.st_dev == now.st_dev &&
        held.st_ino == now.st_ino)
        return {};
    char target[4096];
    const ssize_t length = ::readlink(native.constData(), target, sizeof target);
    const QByteArray link = length > 0 ? QByteArray(target, length) : QByteArray();
    if (!link.isEmpty() && m_folderLink && link != *m_folderLink)
        return ioError(QStringLiteral("The page folder %1 was replaced by a symbolic link, which "
                                      "Quillery does not follow")
                           .arg(QDir::toNativeSeparators(folder)));
    IoResult<Folder> opened =
        openFolder(folder, false, link.isEmpty() ? FolderLink::Refused : FolderLink::Followed);
    if (!opened)
        return opened.error();
    m_folder = std::move(opened.value());
    if (!m_folderLink)
        m_folderLink = link;
    return {};
}

QString PageStore::currentPageName() const {
    return QFileInfo(m_currentPageFile).fileName();
}

PageFileRead PageStore::readCurrentPageFile() {
    if (m_currentPageFile.isEmpty())
        return PageFileRead();
    if (const IoResult<void> opened = openPageFolder(); !opened) {
        // No page folder (or a file in its place) holds no page, as no file does.
        PageFileRead r;
        const int code = opened.error().code;
        r.status = code == ENOENT || code == ENOTDIR ? PageFileRead::Status::NoFile
                                                     : PageFileRead::Status::Unreadable;
        r.reason = opened.reason();
        return r;
    }
    return readPageFile(m_folder, currentPageName());
}

int PageStore::removeLeftoverTemporaries() {
    if (!openPageFolder())
        return 0;
    QStringList names;
    for (int i = 0; i < PageCount; ++i)
        names.append(QFileInfo(pageFile(i)).fileName());
    return qly::removeLeftoverTemporaries(m_folder, names);
}

void PageStore::setVersionsKept(int count) {
    if (m_programDir.isEmpty())
        return;
    QString folder = m_programDir;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    QString link;
    m_versions = PageVersions(ownSubfolder(folder, QStringLiteral("backup"), &link), count);
    m_versions.setRefusedLink(link);
}

void PageStore::setCurrentPage(int index) {
    m_currentPageFile = pageFile(index);
    m_rememberedIndex = index;
    m_currentReadOnly = false;
    m_known.reset();
}

PageStore::Load PageStore::loadCurrentPage() {
    Load load;
    PageFileRead file = readCurrentPageFile();
    load.status = file.status;
    load.reason = file.reason;
    m_currentReadOnly = file.status == PageFileRead::Status::Unreadable;
    m_known.reset();
    if (file.status == PageFileRead::Status::NoFile)
        m_known = Known{};
    if (file.isRead()) {
        try {
            load.document = rtf::readDocument(file.bytes);
        } catch (const std::bad_alloc&) {
            // A page whose text does not fit in memory is one that cannot be read.
            load.status = PageFileRead::Status::Unreadable;
            load.reason = ioErrorFromErrno(ENOMEM).reason;
            load.document = Document();
            m_currentReadOnly = true;
            m_known.reset();
            return load;
        }
        m_known = Known{true, file.identity, contentHash(file.bytes)};
    }
    return load;
}

PageStore::DiskChange PageStore::currentPageDiskChange() {
    if (!m_known || m_currentPageFile.isEmpty())
        return DiskChange::None;
    // A page folder that cannot be reached holds no page file.
    const std::optional<FileIdentity> now =
        openPageFolder() ? fileIdentity(m_folder, currentPageName()) : std::nullopt;
    if (!m_known->exists)
        return now ? DiskChange::Replaced : DiskChange::None;
    if (!now)
        return DiskChange::Removed;
    if (*now == m_known->identity)
        return DiskChange::None;
    // Touched, or copied back unchanged: the same bytes are the same page.
    const PageFileRead file = readPageFile(m_folder, currentPageName());
    if (file.isRead() && contentHash(file.bytes) == m_known->hash) {
        m_known->identity = file.identity;
        return DiskChange::None;
    }
    return DiskChange::Replaced;
}

PageStore::Save PageStore::saveCurrentPage(const Document& document, bool edited) {
    using Outcome = Save::Outcome;
    Save save;
    if (m_currentReadOnly || m_currentPageFile.isEmpty())
        return save;
    const DiskChange change = currentPageDiskChange();
    if (!edited) {
        if (change != DiskChange::None)
            save.outcome = Outcome::TakenFromDisk;
        return save;
    }
    const QByteArray bytes = rtf::writeDocument(document);
    const QString path = QDir::toNativeSeparators(m_currentPageFile);
    if (const IoResult<void> opened = openPageFolder(); !opened)
        throw Error(QStringLiteral("Cannot create file %1: %2").arg(path, opened.reason()));
    const QString name = currentPageName();
    QString held;
    if (change == DiskChange::Replaced) {
        // The other program's text goes to the versions first, whatever their count says.
        const IoResult<QString> kept = m_versions.keepConflict(m_folder, name);
        if (!kept)
            throw Error(QStringLiteral("Another program changed the page file %1, and it cannot "
                                       "be kept as a version (%2). Your page is not saved yet")
                            .arg(path, kept.reason()));
        save.outcome = Outcome::Conflict;
        save.conflictFile = kept.value();
    } else {
        held = m_versions.hold(m_folder, name, bytes);
    }
    for (;;) {
        const IoResult<FileIdentity> written = writeFileAtomically(m_folder, name, bytes);
        if (written) {
            m_known = Known{true, written.value(), contentHash(bytes)};
            break;
        }
        // A full drive: versions never cost the page.
        if (isNoSpace(written.error().code)) {
            if (m_versions.dropOldest(m_currentPageFile))
                continue;
            if (!held.isEmpty()) {
                m_versions.drop(held);
                held.clear();
                continue;
            }
        }
        m_versions.drop(held);
        throw Error(QStringLiteral("Cannot create file %1: %2").arg(path, written.reason()));
    }
    m_versions.keep(held, m_currentPageFile);
    if (save.outcome == Outcome::Unchanged)
        save.outcome = Outcome::Written;
    return save;
}

void PageStore::restoreCurrentPage(const QByteArray& bytes) {
    const QString path = QDir::toNativeSeparators(m_currentPageFile);
    if (m_currentReadOnly || m_currentPageFile.isEmpty())
        throw Error(
            QStringLiteral("The page file %1 cannot be read, so it is not replaced").arg(path));
    if (const IoResult<void> opened = openPageFolder(); !opened)
        throw Error(QStringLiteral("Cannot create file %1: %2").arg(path, opened.reason()));
    const QString name = currentPageName();
    const PageFileRead now = readPageFile(m_folder, name);
    if (now.status == PageFileRead::Status::Unreadable)
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, now.reason));
    if (now.isRead() && now.bytes == bytes)
        return;
    QString held;
    if (now.isRead()) {
        held = m_versions.hold(m_folder, name, bytes);
        if (held.isEmpty()) {
            // No versions kept (or none could be held): the page now is kept all the same.
            const IoResult<QString> kept = m_versions.keepConflict(m_folder, name);
            if (!kept)
                throw Error(QStringLiteral("The page file %1 cannot be kept as a version (%2), "
                                           "so the copy is not restored")
                                .arg(path, kept.reason()));
        }
    }
    const IoResult<FileIdentity> written = writeFileAtomically(m_folder, name, bytes);
    if (!written) {
        m_versions.drop(held);
        throw Error(QStringLiteral("Cannot create file %1: %2").arg(path, written.reason()));
    }
    m_versions.keep(held, m_currentPageFile);
    m_known = Known{true, written.value(), contentHash(bytes)};
}

} // namespace qly
