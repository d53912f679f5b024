#include "settings/atomicfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
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
    const QByteArray native = QFile::encodeName(folder);
    DIR* dir = ::opendir(native.constData());
    if (!dir)
        return 0;
    // "<name>.XXXXXX", the six being ASCII letters or digits, as the temporary files are named.
    QList<QByteArray> heads;
    for (const QString& name : names)
        heads.append(QFile::encodeName(name) + '.');
    const auto isTail = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    };
    // One pass over the folder, matched by hand: the start-up must stay quick.
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name.size() < 8 || !std::all_of(name.end() - 6, name.end(), isTail) ||
            std::none_of(heads.begin(), heads.end(), [&name](const QByteArray& head) {
                return name.first(name.size() - 6) == head;
            }))
            continue;
        const QByteArray path = native + '/' + name.toByteArray();
        struct stat st = {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || !changedBeforeStart(st))
            continue;
        if (::unlink(path.constData()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

} // namespace qly
