#include "mobile/targetcheck.h"

#include "mobile/mobilesizes.h"
#include "mobile/runtime.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qly {

namespace {
// FAT keeps modification times to two seconds.
constexpr qint64 TimeSlack = 2;

bool sameFile(const QString& source, const QString& target) {
    struct stat s {
    }, t{};
    if (::stat(QFile::encodeName(source).constData(), &s) != 0)
        return true; // nothing to copy
    if (::lstat(QFile::encodeName(target).constData(), &t) != 0 || !S_ISREG(t.st_mode))
        return false;
    return s.st_size == t.st_size && qAbs(qint64(s.st_mtim.tv_sec - t.st_mtim.tv_sec)) <= TimeSlack;
}
} // namespace

QString targetWriteProblem(const QString& targetDir) {
    QString folder = QDir::cleanPath(targetDir);
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath() && !folder.isEmpty())
        folder = QFileInfo(folder).absolutePath();
    const QByteArray path = QFile::encodeName(folder);
    struct statvfs fs {};
    if (::statvfs(path.constData(), &fs) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (fs.f_flag & ST_RDONLY)
        return QString::fromLocal8Bit(std::strerror(EROFS));
    if (::access(path.constData(), W_OK | X_OK) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString();
}

bool programCopyComplete(const QString& sourceDir, const QString& programFile,
                         const QString& helpFile, const QString& targetDir) {
    for (const QString& file : runtimeFiles(sourceDir))
        if (!sameFile(sourceDir + file, targetDir + file))
            return false;
    return sameFile(programFile, targetDir + mobileProgramFileName()) &&
           sameFile(helpFile, targetDir + QStringLiteral("qly.chm"));
}

int removeCopyLeftovers(const QString& targetDir) {
    int removed = 0;
    const auto clean = [&removed](const QString& folder, bool below) {
        QDirIterator it(folder, {QStringLiteral(".qly-copy-*")},
                        QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                        below ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
        while (it.hasNext())
            if (QFile::remove(it.next()))
                ++removed;
    };
    clean(targetDir, false);
    for (const char* sub : {"rtf", "backup"})
        clean(targetDir + QLatin1String(sub), false);
    clean(targetDir + QStringLiteral("lib"), true);
    return removed;
}

} // namespace qly
