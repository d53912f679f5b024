#include "pages/pagestore.h"

#include "model/pageletters.h"
#include "rtf/rtf.h"
#include "settings/atomicfile.h"
#include "settings/error.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qly {

namespace {
// A page is text: anything far larger is not a page we could have written.
constexpr qint64 MaxPageFileSize = qint64(1) << 31;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
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
    const auto fail = [&r](PageFileRead::Status status, const QString& reason) {
        r.status = status;
        r.reason = reason;
        r.bytes.clear();
        return r;
    };
    // Non-blocking, so that a pipe or a device in the page's place cannot hang the program.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int e = errno;
        // A dangling link, or a path through something that is no folder, is no file.
        const bool missing = e == ENOENT || e == ENOTDIR;
        return fail(missing ? PageFileRead::Status::NoFile : PageFileRead::Status::Unreadable,
                    systemReason(e));
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st = {};
    if (::fstat(fd, &st) != 0)
        return fail(PageFileRead::Status::Unreadable, systemReason(errno));
    if (S_ISDIR(st.st_mode))
        return fail(PageFileRead::Status::Unreadable, systemReason(EISDIR));
    if (!S_ISREG(st.st_mode))
        return fail(PageFileRead::Status::Unreadable, QStringLiteral("It is not a regular file"));
    if (st.st_size > MaxPageFileSize)
        return fail(PageFileRead::Status::Unreadable, QStringLiteral("The file is too large"));
    r.bytes.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(PageFileRead::Status::Unreadable, systemReason(errno));
        if (n == 0)
            break;
        if (r.bytes.size() + n > MaxPageFileSize)
            return fail(PageFileRead::Status::Unreadable, QStringLiteral("The file is too large"));
        r.bytes.append(buffer, n);
    }
    r.status = PageFileRead::Status::Read;
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
    if (!writeFileAtomically(m_currentPageFile, bytes)) {
        m_versions.drop(held);
        throw Error(QStringLiteral("Cannot create file %1")
                        .arg(QDir::toNativeSeparators(m_currentPageFile)));
    }
    m_versions.keep(held, m_currentPageFile);
}

} // namespace qly
