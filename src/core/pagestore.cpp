#include "pagestore.h"

#include "atomicfile.h"
#include "error.h"
#include "mainsettings.h"
#include "rtf/rtf.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qly {

namespace {
// A page is text: anything far larger is not a page we could have written.
constexpr qint64 MaxPageFileSize = qint64(1) << 31;
} // namespace

void ForceFolders(const QString& path) {
    if (path.isEmpty())
        return;
    // mkpath creates every missing parent; failures are left for the first write to report.
    QDir().mkpath(path);
}

QString pageFolderFor(const QString& programDir) {
    QString dir = programDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + QStringLiteral("rtf/");
}

PageStore::PageStore(const QString& programDir) : m_pageFolder(pageFolderFor(programDir)) {}

QString PageStore::pageFile(int index) const {
    return m_pageFolder + pageLetter(index) + QStringLiteral(".rtf");
}

void PageStore::setCurrentPage(int index) {
    m_currentPageFile = pageFile(index);
    m_rememberedIndex = index;
}

Document PageStore::loadPage(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > MaxPageFileSize)
        throw Error(QStringLiteral("Failed to Load Stream"));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("Failed to Load Stream"));
    return rtf::readDocument(bytes);
}

void PageStore::SaveCurrentPage(const Document& document) const {
    if (!writeFileAtomically(m_currentPageFile, rtf::writeDocument(document)))
        throw Error(QStringLiteral("Cannot create file %1")
                        .arg(QDir::toNativeSeparators(m_currentPageFile)));
}

} // namespace qly
