#include "pages/pagestore.h"

#include "model/pageletters.h"
#include "rtf/rtf.h"
#include "settings/atomicfile.h"
#include "settings/error.h"

#include <QDir>
#include <QFile>

#include <cerrno>

namespace qly {

namespace {
// A page is text: anything far larger is not a page we could have written.
constexpr qint64 MaxPageFileSize = qint64(1) << 31;

} // namespace

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
    : m_programDir(programDir), m_pageFolder(pageFolderFor(programDir)) {}

void PageStore::setVersionsKept(int count) {
    if (m_programDir.isEmpty())
        return;
    QString folder = m_programDir;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_versions = PageVersions(folder + QStringLiteral("backup/"), count);
}

void PageStore::setCurrentPage(int index) {
    m_currentPageFile = pageFile(index);
    m_rememberedIndex = index;
    m_currentReadOnly = false;
}

PageStore::Load PageStore::loadCurrentPage() {
    Load load;
    PageFileRead file = readPageFile(m_currentPageFile);
    load.status = file.status;
    load.reason = file.reason;
    m_currentReadOnly = file.status == PageFileRead::Status::Unreadable;
    if (file.isRead())
        load.document = rtf::readDocument(file.bytes);
    return load;
}

void PageStore::saveCurrentPage(const Document& document) const {
    if (m_currentReadOnly || m_currentPageFile.isEmpty())
        return;
    const QByteArray bytes = rtf::writeDocument(document);
    const QString held = m_versions.hold(m_currentPageFile, bytes);
    if (const IoResult<FileIdentity> written = writeFileAtomically(m_currentPageFile, bytes);
        !written) {
        m_versions.drop(held);
        throw Error(QStringLiteral("Cannot create file %1: %2")
                        .arg(QDir::toNativeSeparators(m_currentPageFile), written.reason()));
    }
    m_versions.keep(held, m_currentPageFile);
}

} // namespace qly
