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
#include <sys/file.h>
#include <unistd.h>

namespace qly {

RecoveryStore::RecoveryStore(const QString& settingsFolder) {
    if (settingsFolder.isEmpty())
        return; // the program does not know where it is: no copies
    m_folder = settingsFolder;
    if (!m_folder.endsWith(QLatin1Char('/')))
        m_folder += QLatin1Char('/');
    m_folder += QStringLiteral("recovery/");
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
    return store;
}

QString RecoveryStore::copyFile(int index) const {
    return pageFilePath(m_folder, index);
}

bool RecoveryStore::write(int index, const Document& document) const {
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return false;
    const QByteArray bytes = rtf::writeDocument(document);
    for (;;) {
        const IoResult<FileIdentity> written = writeFileAtomically(copyFile(index), bytes);
        if (written)
            return true;
        if (!isNoSpace(written.error().code) || !m_makeRoom || !m_makeRoom(index))
            return false;
    }
}

void RecoveryStore::remove(int index) const {
    if (!m_folder.isEmpty())
        QFile::remove(copyFile(index));
}

QList<RecoveryStore::Pending> RecoveryStore::pending(const QString& pageFolder) const {
    QList<Pending> found;
    if (m_folder.isEmpty() || !QFileInfo(m_folder).isDir())
        return found;
    for (int i = 0; i < PageCount; ++i) {
        const QFileInfo copy(copyFile(i));
        if (!copy.isFile() || copy.isSymLink())
            continue;
        const QFileInfo page(pageFilePath(pageFolder, i));
        const QDateTime written = copy.lastModified();
        found.append({i, written, page.exists() && page.lastModified() >= written});
    }
    return found;
}

Document RecoveryStore::read(int index) const {
    const PageFileRead file = readPageFile(copyFile(index));
    return file.isRead() ? rtf::readDocument(file.bytes) : Document();
}

FolderLock::FolderLock(const QString& folder) {
    if (folder.isEmpty())
        return;
    m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    // A file system without locks cannot tell: the folder counts as this program's.
    m_held = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

FolderLock::~FolderLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace qly
