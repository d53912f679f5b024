#include "pages/recovery.h"

#include "model/pageletters.h"
#include "pages/pagestore.h"
#include "rtf/rtf.h"
#include "settings/atomicfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qly {

RecoveryStore::RecoveryStore(const QString& settingsFolder) {
    if (settingsFolder.isEmpty())
        return; // the program does not know where it is: no copies
    QString parent = settingsFolder;
    if (!parent.endsWith(QLatin1Char('/')))
        parent += QLatin1Char('/');
    m_folder = ownSubfolder(parent, QStringLiteral("recovery"), &m_refusedLink);
}

RecoveryStore RecoveryStore::forUser(const QString& programFolder) {
    RecoveryStore store;
    if (programFolder.isEmpty())
        return store;
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    QString folder = programFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QByteArray hash =
        QCryptographicHash::hash(QFile::encodeName(folder), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    store.m_folder =
        state + QStringLiteral("/quillery/recovery/") + QLatin1String(hash) + QLatin1Char('/');
    store.m_mustBeOwn = true;
    return store;
}

QString RecoveryStore::copyFile(int index) const {
    return pageFilePath(m_folder, index);
}

IoResult<Folder> RecoveryStore::open(bool create) const {
    if (m_folder.isEmpty())
        return ioErrorFromErrno(ENOENT);
    IoResult<Folder> folder = openFolder(m_folder, create);
    if (folder && m_mustBeOwn) {
        // The user's own state folder: one that another user made is not written to.
        struct stat st = {};
        if (::fstat(folder.value().fd(), &st) != 0 || st.st_uid != ::geteuid())
            return ioErrorFromErrno(EPERM);
    }
    return folder;
}

namespace {
QString copyName(int index) {
    return pageLetter(index) + QStringLiteral(".rtf");
}
} // namespace

bool RecoveryStore::write(int index, const Document& document) const {
    const IoResult<Folder> folder = open(true);
    if (!folder)
        return false;
    const QByteArray bytes = rtf::writeDocument(document);
    for (;;) {
        const IoResult<FileIdentity> written =
            writeFileAtomically(folder.value(), copyName(index), bytes);
        if (written)
            return true;
        if (!isNoSpace(written.error().code) || !m_makeRoom || !m_makeRoom(index))
            return false;
    }
}

void RecoveryStore::remove(int index) const {
    const IoResult<Folder> folder = open(false);
    if (folder)
        ::unlinkat(folder.value().fd(), QFile::encodeName(copyName(index)).constData(), 0);
}

QList<RecoveryStore::Pending> RecoveryStore::pending(const QString& pageFolder) const {
    QList<Pending> found;
    const IoResult<Folder> folder = open(false);
    if (!folder)
        return found;
    for (int i = 0; i < PageCount; ++i) {
        struct stat copy = {};
        if (::fstatat(folder.value().fd(), QFile::encodeName(copyName(i)).constData(), &copy,
                      AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(copy.st_mode))
            continue;
        const QFileInfo page(pageFilePath(pageFolder, i));
        const QDateTime written = QDateTime::fromMSecsSinceEpoch(
            qint64(copy.st_mtim.tv_sec) * 1000 + copy.st_mtim.tv_nsec / 1'000'000);
        found.append({i, written, page.exists() && page.lastModified() >= written});
    }
    return found;
}

Document RecoveryStore::read(int index) const {
    const IoResult<Folder> folder = open(false);
    if (!folder)
        return Document();
    const IoResult<FileContent> file =
        readRegularFile(folder.value(), copyName(index), MaxPageFileSize);
    if (!file)
        return Document();
    try {
        return rtf::readDocument(file.value().bytes);
    } catch (const std::bad_alloc&) {
        return Document();
    }
}

FolderLock::FolderLock(const QString& folder) {
    if (folder.isEmpty())
        return;
    const IoResult<Folder> opened = openFolder(folder, false);
    if (!opened)
        return;
    m_fd = ::openat(opened.value().fd(), FileName,
                    O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        // Someone else's file (or link) in its place; else a folder that cannot be written,
        // where nobody can leave copies: it counts as this program's.
        m_otherUser = errno == EACCES || errno == EPERM || errno == ELOOP;
        return;
    }
    struct stat st = {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        m_otherUser = true;
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    // A file system without locks cannot tell: the folder counts as this program's.
    m_held = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

FolderLock::~FolderLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace qly
