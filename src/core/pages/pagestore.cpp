#include "pages/pagestore.h"

#include "model/pageletters.h"
#include "rtf/rtf.h"
#include "settings/atomicfile.h"
#include "settings/error.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <new>
#include <sys/stat.h>

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

PageFileRead readPageFile(const QString& path) {
    PageFileRead r;
    if (path.isEmpty())
        return r;
    IoResult<FileContent> file = readRegularFile(path, MaxPageFileSize);
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

PageStore::PageStore(const QString& programDir)
    : m_programDir(programDir), m_pageFolder(pageFolderFor(programDir)) {
    setVersionsKept(0); // conflict versions are kept all the same
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
    PageFileRead file = readPageFile(m_currentPageFile);
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
    const std::optional<FileIdentity> now = fileIdentity(m_currentPageFile);
    if (!m_known->exists)
        return now ? DiskChange::Replaced : DiskChange::None;
    if (!now)
        return DiskChange::Removed;
    if (*now == m_known->identity)
        return DiskChange::None;
    // Touched, or copied back unchanged: the same bytes are the same page.
    const PageFileRead file = readPageFile(m_currentPageFile);
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
    QString held;
    if (change == DiskChange::Replaced) {
        // The other program's text goes to the versions first, whatever their count says.
        const IoResult<QString> kept = m_versions.keepConflict(m_currentPageFile);
        if (!kept)
            throw Error(QStringLiteral("Another program changed the page file %1, and it cannot "
                                       "be kept as a version (%2). Your page is not saved yet")
                            .arg(path, kept.reason()));
        save.outcome = Outcome::Conflict;
        save.conflictFile = kept.value();
    } else {
        held = m_versions.hold(m_currentPageFile, bytes);
    }
    for (;;) {
        const IoResult<FileIdentity> written = writeFileAtomically(m_currentPageFile, bytes);
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
    const PageFileRead now = readPageFile(m_currentPageFile);
    if (now.status == PageFileRead::Status::Unreadable)
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, now.reason));
    if (now.isRead() && now.bytes == bytes)
        return;
    QString held;
    if (now.isRead()) {
        held = m_versions.hold(m_currentPageFile, bytes);
        if (held.isEmpty()) {
            // No versions kept (or none could be held): the page now is kept all the same.
            const IoResult<QString> kept = m_versions.keepConflict(m_currentPageFile);
            if (!kept)
                throw Error(QStringLiteral("The page file %1 cannot be kept as a version (%2), "
                                           "so the copy is not restored")
                                .arg(path, kept.reason()));
        }
    }
    const IoResult<FileIdentity> written = writeFileAtomically(m_currentPageFile, bytes);
    if (!written) {
        m_versions.drop(held);
        throw Error(QStringLiteral("Cannot create file %1: %2").arg(path, written.reason()));
    }
    m_versions.keep(held, m_currentPageFile);
    m_known = Known{true, written.value(), contentHash(bytes)};
}

} // namespace qly
