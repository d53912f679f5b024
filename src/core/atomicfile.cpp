#include "atomicfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qly {

namespace {
// Flushes a file's folder, so that a rename in it reaches the disk. File systems that cannot
// flush a folder (some network and FAT drivers refuse) are left as they are.
void syncFolderOf(const QString& path) {
    const QString folder = QFileInfo(path).path();
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// When the program started: files changed before it are not being written by it.
const timespec g_started = [] {
    timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}();

bool changedBeforeStart(const struct stat& st) {
    return st.st_mtim.tv_sec < g_started.tv_sec ||
           (st.st_mtim.tv_sec == g_started.tv_sec && st.st_mtim.tv_nsec < g_started.tv_nsec);
}

bool fail(QString* errorText, const QString& why) {
    if (errorText)
        *errorText = why;
    return false;
}
} // namespace

bool writeFileAtomically(const QString& path, QByteArrayView data, QString* errorText) {
    const QByteArray native = QFile::encodeName(path);
    if (::access(native.constData(), F_OK) == 0 && ::access(native.constData(), W_OK) != 0)
        return fail(errorText, QString::fromLocal8Bit(std::strerror(errno)));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(errorText, file.errorString());
    qint64 done = 0;
    while (done < data.size()) {
        const qint64 n = file.write(data.data() + done, data.size() - done);
        if (n <= 0) {
            file.cancelWriting();
            return fail(errorText, file.errorString());
        }
        done += n;
    }
    if (!file.flush() || ::fsync(file.handle()) != 0) {
        const QString why = file.error() != QFileDevice::NoError
                                ? file.errorString()
                                : QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return fail(errorText, why);
    }
    if (!file.commit())
        return fail(errorText, file.errorString());
    syncFolderOf(path);
    return true;
}

int removeLeftoverTemporaries(const QString& folder, const QStringList& names) {
    if (folder.isEmpty())
        return 0;
    QDir dir(folder);
    QStringList patterns;
    for (const QString& name : names)
        patterns.append(name + QStringLiteral(".??????"));
    // One pass over the folder: the start-up must stay quick.
    int removed = 0;
    const QStringList found = dir.entryList(patterns, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : found) {
        const QStringView tail = QStringView(entry).last(6);
        const bool ourPattern = std::all_of(tail.begin(), tail.end(), [](QChar c) {
            return c.unicode() < 0x80 && c.isLetterOrNumber();
        });
        const QString path = dir.filePath(entry);
        struct stat st = {};
        if (!ourPattern || ::lstat(QFile::encodeName(path).constData(), &st) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || !changedBeforeStart(st))
            continue;
        if (QFile::remove(path))
            ++removed;
    }
    return removed;
}

} // namespace qly
