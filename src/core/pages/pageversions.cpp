#include "pages/pageversions.h"

#include "pages/pagestore.h"
#include "settings/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    // One held file a page; one left by a kill is replaced.
    const QString held =
        m_folder + QFileInfo(pageFile).completeBaseName() + QStringLiteral(".held");
    const QByteArray native = QFile::encodeName(held);
    ::unlink(native.constData());
    if (::link(QFile::encodeName(pageFile).constData(), native.constData()) == 0)
        return held;
    return writeFileAtomically(held, old.bytes).ok() ? held : QString();
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

} // namespace qly
