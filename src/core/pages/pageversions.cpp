#include "pages/pageversions.h"

#include "pages/pagestore.h"
#include "settings/atomicfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qly {

PageVersions::PageVersions(const QString& backupFolder, int count)
    : m_folder(backupFolder), m_count(qBound(0, count, MaxCount)) {
    if (!m_folder.isEmpty() && !m_folder.endsWith(QLatin1Char('/')))
        m_folder += QLatin1Char('/');
}

QString PageVersions::versionFile(const QString& pageFile, int number) const {
    return m_folder + QFileInfo(pageFile).completeBaseName() + QLatin1Char('.') +
           QString::number(number) + QStringLiteral(".rtf");
}

namespace {
QByteArray nativeName(const QString& name) {
    return QFile::encodeName(name);
}
} // namespace

IoResult<Folder> PageVersions::open(bool create) const {
    if (m_folder.isEmpty())
        return ioErrorFromErrno(ENOENT);
    return openFolder(m_folder, create);
}

namespace {
// The folder of a page file, for the file to be reached through: the page folder may be a link.
IoResult<Folder> pageFolderOf(const QString& pageFile) {
    return openFolder(QFileInfo(pageFile).path(), false, FolderLink::Followed);
}
} // namespace

QString PageVersions::hold(const QString& pageFile, QByteArrayView newContent) const {
    if (m_count <= 0 || m_folder.isEmpty())
        return QString();
    const IoResult<Folder> pages = pageFolderOf(pageFile);
    return pages ? hold(pages.value(), QFileInfo(pageFile).fileName(), newContent) : QString();
}

QString PageVersions::hold(const Folder& pageFolder, const QString& pageFile,
                           QByteArrayView newContent) const {
    if (m_count <= 0 || m_folder.isEmpty())
        return QString();
    const PageFileRead old = readPageFile(pageFolder, pageFile);
    if (!old.isRead() || old.bytes == newContent)
        return QString();
    // Versions are never written through a link: the folder is opened without following one.
    const IoResult<Folder> folder = open(true);
    if (!folder)
        return QString();
    const int fd = folder.value().fd();
    // One held file a page; one left by a kill is replaced.
    const QString name = QFileInfo(pageFile).completeBaseName() + QStringLiteral(".held");
    const QByteArray native = nativeName(name);
    ::unlinkat(fd, native.constData(), 0);
    if (::linkat(pageFolder.fd(), QFile::encodeName(pageFile).constData(), fd, native.constData(),
                 0) == 0)
        return m_folder + name;
    // No hard links (FAT): a copy, for which older versions of this page give room.
    for (;;) {
        const IoResult<FileIdentity> copied = writeFileAtomically(folder.value(), name, old.bytes);
        if (copied)
            return m_folder + name;
        if (!isNoSpace(copied.error().code) || !dropOldestOf(pageFile))
            return QString();
    }
}

void PageVersions::keep(const QString& held, const QString& pageFile) const {
    if (held.isEmpty())
        return;
    const IoResult<Folder> folder = open(false);
    if (!folder)
        return;
    const int fd = folder.value().fd();
    const auto native = [this, &pageFile](int number) {
        return nativeName(QFileInfo(versionFile(pageFile, number)).fileName());
    };
    // Versions beyond the count (the count was lowered) go first.
    for (int n = m_count + 1; n <= MaxCount && ::unlinkat(fd, native(n).constData(), 0) == 0; ++n) {
    }
    for (int n = m_count - 1; n >= 1; --n)
        ::renameat(fd, native(n).constData(), fd, native(n + 1).constData());
    const QByteArray heldName = nativeName(QFileInfo(held).fileName());
    if (::renameat(fd, heldName.constData(), fd, native(1).constData()) != 0)
        ::unlinkat(fd, heldName.constData(), 0);
}

IoResult<QString> PageVersions::keepText(const QString& pageFile, QByteArrayView bytes) const {
    const IoResult<Folder> folder = open(true);
    if (!folder)
        return folder.error();
    const QString name = QFileInfo(pageFile).completeBaseName() + QStringLiteral(".held");
    for (;;) {
        const IoResult<FileIdentity> written = writeFileAtomically(folder.value(), name, bytes);
        if (written)
            break;
        if (!isNoSpace(written.error().code) || !dropOldestOf(pageFile))
            return written.error();
    }
    if (m_count > 0) {
        keep(m_folder + name, pageFile);
        return versionFile(pageFile, 1);
    }
    // No versions are kept otherwise, but this is the only copy of the text: it takes the
    // first free number, so none kept before is written over.
    const QByteArray held = nativeName(name);
    for (int n = 1; n <= MaxCount; ++n) {
        const QByteArray version = nativeName(QFileInfo(versionFile(pageFile, n)).fileName());
        if (::faccessat(folder.value().fd(), version.constData(), F_OK, AT_SYMLINK_NOFOLLOW) == 0 ||
            errno != ENOENT)
            continue;
        if (::renameat(folder.value().fd(), held.constData(), folder.value().fd(),
                       version.constData()) != 0)
            return ioErrorFromErrno(errno);
        return versionFile(pageFile, n);
    }
    return ioErrorFromErrno(ENOSPC);
}

void PageVersions::drop(const QString& held) const {
    if (held.isEmpty())
        return;
    if (const IoResult<Folder> folder = open(false))
        ::unlinkat(folder.value().fd(), nativeName(QFileInfo(held).fileName()).constData(), 0);
}

namespace {
// "<letter>.<n>.rtf" in the backup folder: the page's letter and n, or n = 0.
int versionNumber(const QString& name, QString* page) {
    static const QRegularExpression pattern(QStringLiteral("^([A-Z])\\.([0-9]{1,2})\\.rtf$"));
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch())
        return 0;
    *page = m.captured(1);
    return m.captured(2).toInt();
}
} // namespace

bool PageVersions::dropOldestOf(const QString& pageFile) const {
    const IoResult<Folder> folder = open(false);
    if (!folder)
        return false;
    for (int n = MaxCount; n >= 1; --n)
        if (::unlinkat(folder.value().fd(),
                       nativeName(QFileInfo(versionFile(pageFile, n)).fileName()).constData(),
                       0) == 0)
            return true;
    return false;
}

bool PageVersions::dropOldest(const QString& pageFile) const {
    if (dropOldestOf(pageFile))
        return true;
    const IoResult<Folder> folder = open(false);
    if (!folder)
        return false;
    // Another page's: the highest number, the oldest file among equal numbers.
    const int listed = ::openat(folder.value().fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return false;
    }
    QByteArray oldest;
    int oldestNumber = 0;
    qint64 oldestTime = 0;
    while (const dirent* entry = ::readdir(dir)) {
        QString page;
        const int n = versionNumber(QFile::decodeName(entry->d_name), &page);
        struct stat st = {};
        if (n == 0 ||
            ::fstatat(folder.value().fd(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        const qint64 time = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
        if (n > oldestNumber || (n == oldestNumber && time < oldestTime)) {
            oldest = entry->d_name;
            oldestNumber = n;
            oldestTime = time;
        }
    }
    ::closedir(dir);
    return !oldest.isEmpty() && ::unlinkat(folder.value().fd(), oldest.constData(), 0) == 0;
}

IoResult<QString> PageVersions::keepConflict(const QString& pageFile) const {
    const IoResult<Folder> pages = pageFolderOf(pageFile);
    if (!pages)
        return pages.error();
    return keepConflict(pages.value(), QFileInfo(pageFile).fileName());
}

IoResult<QString> PageVersions::keepConflict(const Folder& pageFolder,
                                             const QString& pageFile) const {
    const PageFileRead theirs = readPageFile(pageFolder, pageFile);
    if (!theirs.isRead())
        return ioError(theirs.reason);
    const IoResult<Folder> folder = open(true);
    if (!folder)
        return ioError(QStringLiteral("The folder %1 cannot be made (%2)")
                           .arg(QDir::toNativeSeparators(m_folder), folder.reason()));
    const QString stem = QFileInfo(pageFile).completeBaseName() + QStringLiteral(".conflict-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const auto taken = [&folder](const QString& name) {
        struct stat st = {};
        return ::fstatat(folder.value().fd(), nativeName(name).constData(), &st,
                         AT_SYMLINK_NOFOLLOW) == 0;
    };
    QString name = stem + QStringLiteral(".rtf");
    for (int n = 2; taken(name); ++n)
        name = stem + QStringLiteral("-%1.rtf").arg(n);
    for (;;) {
        const IoResult<FileIdentity> kept = writeFileAtomically(folder.value(), name, theirs.bytes);
        if (kept)
            return m_folder + name;
        if (!isNoSpace(kept.error().code) || !dropOldest(pageFile))
            return kept.error();
    }
}

} // namespace qly
