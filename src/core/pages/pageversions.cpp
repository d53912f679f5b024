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

QString PageVersions::hold(const QString& pageFile, QByteArrayView newContent) const {
    if (m_count <= 0 || m_folder.isEmpty())
        return QString();
    const PageFileRead old = readPageFile(pageFile);
    if (!old.isRead() || old.bytes == newContent || !QDir().mkpath(m_folder))
        return QString();
    if (QFileInfo(m_folder).isSymLink())
        return QString(); // versions are never written through a link
    // One held file a page; one left by a kill is replaced.
    const QString held =
        m_folder + QFileInfo(pageFile).completeBaseName() + QStringLiteral(".held");
    const QByteArray native = QFile::encodeName(held);
    ::unlink(native.constData());
    if (::link(QFile::encodeName(pageFile).constData(), native.constData()) == 0)
        return held;
    // No hard links (FAT): a copy, for which older versions of this page give room.
    for (;;) {
        const IoResult<FileIdentity> copied = writeFileAtomically(held, old.bytes);
        if (copied)
            return held;
        if (!isNoSpace(copied.error().code) || !dropOldestOf(pageFile))
            return QString();
    }
}

void PageVersions::keep(const QString& held, const QString& pageFile) const {
    if (held.isEmpty())
        return;
    const auto native = [this, &pageFile](int number) {
        return QFile::encodeName(versionFile(pageFile, number));
    };
    // Versions beyond the count (the count was lowered) go first.
    for (int n = m_count + 1; n <= MaxCount && ::unlink(native(n).constData()) == 0; ++n) {
    }
    for (int n = m_count - 1; n >= 1; --n)
        ::rename(native(n).constData(), native(n + 1).constData());
    if (::rename(QFile::encodeName(held).constData(), native(1).constData()) != 0)
        drop(held);
}

void PageVersions::drop(const QString& held) const {
    if (!held.isEmpty())
        ::unlink(QFile::encodeName(held).constData());
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
    if (m_folder.isEmpty())
        return false;
    for (int n = MaxCount; n >= 1; --n)
        if (::unlink(QFile::encodeName(versionFile(pageFile, n)).constData()) == 0)
            return true;
    return false;
}

bool PageVersions::dropOldest(const QString& pageFile) const {
    if (dropOldestOf(pageFile))
        return true;
    // Another page's: the highest number, the oldest file among equal numbers.
    QString oldest;
    int oldestNumber = 0;
    QDateTime oldestTime;
    const QFileInfoList files = QDir(m_folder).entryInfoList(QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo& file : files) {
        QString page;
        const int n = versionNumber(file.fileName(), &page);
        if (n == 0)
            continue;
        const QDateTime time = file.lastModified();
        if (n > oldestNumber || (n == oldestNumber && time < oldestTime)) {
            oldest = file.filePath();
            oldestNumber = n;
            oldestTime = time;
        }
    }
    return !oldest.isEmpty() && ::unlink(QFile::encodeName(oldest).constData()) == 0;
}

IoResult<QString> PageVersions::keepConflict(const QString& pageFile) const {
    const PageFileRead theirs = readPageFile(pageFile);
    if (!theirs.isRead())
        return ioError(theirs.reason);
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return ioError(QStringLiteral("The folder %1 cannot be made").arg(m_folder));
    const QString stem = m_folder + QFileInfo(pageFile).completeBaseName() +
                         QStringLiteral(".conflict-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = stem + QStringLiteral(".rtf");
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = stem + QStringLiteral("-%1.rtf").arg(n);
    for (;;) {
        const IoResult<FileIdentity> kept = writeFileAtomically(path, theirs.bytes);
        if (kept)
            return path;
        if (!isNoSpace(kept.error().code) || !dropOldest(pageFile))
            return kept.error();
    }
}

} // namespace qly
