#include "pages/recovery.h"

#include "model/pageletters.h"
#include "pages/pagestore.h"
#include "rtf/rtf.h"
#include "settings/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qly {

RecoveryStore::RecoveryStore(const QString& settingsFolder) {
    if (settingsFolder.isEmpty())
        return; // the program does not know where it is: no copies
    m_folder = settingsFolder;
    if (!m_folder.endsWith(QLatin1Char('/')))
        m_folder += QLatin1Char('/');
    m_folder += QStringLiteral("recovery/");
}

QString RecoveryStore::copyFile(int index) const {
    return pageFilePath(m_folder, index);
}

bool RecoveryStore::write(int index, const Document& document) const {
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return false;
    return writeFileAtomically(copyFile(index), rtf::writeDocument(document)).ok();
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
        if (!copy.isFile())
            continue;
        const QFileInfo page(pageFilePath(pageFolder, i));
        const QDateTime written = copy.lastModified();
        if (page.exists() && page.lastModified() >= written) {
            remove(i); // the page was saved after it: nothing was lost
            continue;
        }
        found.append({i, written});
    }
    return found;
}

Document RecoveryStore::read(int index) const {
    const PageFileRead file = readPageFile(copyFile(index));
    return file.isRead() ? rtf::readDocument(file.bytes) : Document();
}

} // namespace qly
