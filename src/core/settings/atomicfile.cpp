#include "settings/atomicfile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

FileIdentity identityOf(const struct stat& st) {
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                        qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

// Why a path that is there is not a regular file we may read or replace.
IoError notRegular(const struct stat& st) {
    if (S_ISLNK(st.st_mode))
        return ioError(QStringLiteral("It is a symbolic link"));
    if (S_ISDIR(st.st_mode))
        return ioErrorFromErrno(EISDIR);
    return ioError(QStringLiteral("It is not a regular file"));
}

IoError tooLarge() {
    return ioError(QStringLiteral("The file is too large"));
}

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Creates "<path>.XXXXXX" (relative to dirFd), the six being ASCII letters or digits, as
// nobody else's file.
int createTemporary(int dirFd, const QByteArray& path, QByteArray* temporary) {
    static constexpr char Tail[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = path + '.';
        for (int i = 0; i < 6; ++i)
            name += Tail[QRandomGenerator::global()->bounded(int(sizeof Tail - 1))];
        const int fd = ::openat(dirFd, name.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            *temporary = name;
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}
} // namespace

std::optional<FileIdentity> fileIdentity(const QString& path) {
    struct stat st = {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return identityOf(st);
}

std::optional<FileIdentity> fileIdentity(const Folder& folder, const QString& name) {
    struct stat st = {};
    if (!folder.isOpen() || name.isEmpty() ||
        ::fstatat(folder.fd(), QFile::encodeName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return identityOf(st);
}

quint64 contentHash(QByteArrayView bytes) {
    return qHashBits(bytes.data(), size_t(bytes.size()), 0x5157494c4c455259ULL);
}

namespace {

// Opens what lies at name (relative to the folder dirFd, or AT_FDCWD) for reading when it is a
// regular file of at most maxSize bytes; its status in st. Non-blocking and without following
// a link: what lies there may have changed since it was looked at. The size is refused before
// anything is read.
IoResult<int> openRegularFileAt(int dirFd, const QByteArray& name, qint64 maxSize,
                                struct stat& st) {
    if (name.isEmpty())
        return ioErrorFromErrno(ENOENT);
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return ioErrorFromErrno(errno == ENOTDIR ? ENOENT : errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(st);
    if (st.st_size > maxSize)
        return tooLarge();
    Descriptor file{::openat(dirFd, name.constData(),
                             O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0)
        return ioErrorFromErrno(errno);
    if (::fstat(file.fd, &st) != 0)
        return ioErrorFromErrno(errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(st);
    if (st.st_size > maxSize)
        return tooLarge();
    return std::exchange(file.fd, -1);
}

IoResult<int> openRegularFile(const QString& path, qint64 maxSize, struct stat& st) {
    return openRegularFileAt(AT_FDCWD, QFile::encodeName(path), maxSize, st);
}

// Reads the whole of a regular file opened by openRegularFileAt. Memory that cannot be had
// fails like a read, so the caller names the file.
IoResult<FileContent> readOpened(int fd, qint64 maxSize, struct stat& st) {
    const Descriptor file{fd};
    FileContent content;
    content.identity = identityOf(st);
    try {
        content.bytes.reserve(qsizetype(st.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return ioErrorFromErrno(errno);
            if (n == 0)
                break;
            if (content.bytes.size() + n > maxSize)
                return tooLarge();
            content.bytes.append(buffer, n);
        }
    } catch (const std::bad_alloc&) {
        return ioErrorFromErrno(ENOMEM);
    }
    // A file rewritten while it was read: what was read is not one version of it.
    if (::fstat(file.fd, &st) == 0)
        content.identity = identityOf(st);
    return content;
}

} // namespace

IoResult<FileContent> readRegularFile(const QString& path, qint64 maxSize) {
    struct stat st = {};
    IoResult<int> opened = openRegularFile(path, maxSize, st);
    if (!opened)
        return opened.error();
    return readOpened(opened.value(), maxSize, st);
}

IoResult<FileContent> readRegularFile(const Folder& folder, const QString& name, qint64 maxSize) {
    if (!folder.isOpen())
        return ioErrorFromErrno(EBADF);
    struct stat st = {};
    IoResult<int> opened = openRegularFileAt(folder.fd(), QFile::encodeName(name), maxSize, st);
    if (!opened)
        return opened.error();
    return readOpened(opened.value(), maxSize, st);
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_bytes(std::exchange(other.m_bytes, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    std::swap(m_bytes, other.m_bytes);
    std::swap(m_size, other.m_size);
    return *this;
}

MappedFile::~MappedFile() {
    if (m_bytes)
        ::munmap(const_cast<char*>(m_bytes), size_t(m_size));
}

IoResult<MappedFile> mapRegularFile(const QString& path, qint64 maxSize) {
    struct stat st = {};
    IoResult<int> opened = openRegularFile(path, maxSize, st);
    if (!opened)
        return opened.error();
    const Descriptor file{opened.value()};
    MappedFile mapped;
    if (st.st_size == 0)
        return mapped; // nothing to map
    // All of it at once: the file's pages are in memory already, mostly.
    void* bytes =
        ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.fd, 0);
    if (bytes == MAP_FAILED)
        return ioErrorFromErrno(errno);
    mapped.m_bytes = static_cast<const char*>(bytes);
    mapped.m_size = qsizetype(st.st_size);
    return mapped;
}

namespace {
// writeFileAtomically in the folder dirFd (or AT_FDCWD, name then being a path); folderPath
// names the folder to flush when dirFd is AT_FDCWD.
IoResult<FileIdentity> writeAtomicallyAt(int dirFd, const QByteArray& native, QByteArrayView data,
                                         const QString& path) {
    struct stat old = {};
    const bool exists = ::fstatat(dirFd, native.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        return ioErrorFromErrno(errno);
    if (exists && !S_ISREG(old.st_mode))
        return notRegular(old);
    if (exists && ::faccessat(dirFd, native.constData(), W_OK, 0) != 0)
        return ioErrorFromErrno(errno);

    QByteArray temporary;
    Descriptor file{createTemporary(dirFd, native, &temporary)};
    if (file.fd < 0)
        return ioErrorFromErrno(errno);
    const auto failed = [dirFd, &temporary](int error) {
        ::unlinkat(dirFd, temporary.constData(), 0);
        return ioErrorFromErrno(error);
    };
    // The file keeps the mode the user gave it.
    if (exists)
        ::fchmod(file.fd, old.st_mode & 07777);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(file.fd, data.data() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failed(n < 0 ? errno : ENOSPC);
        done += n;
    }
    struct stat written = {};
    if (::fsync(file.fd) != 0 || ::fstat(file.fd, &written) != 0)
        return failed(errno);
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0)
        return failed(errno);
    if (::renameat(dirFd, temporary.constData(), dirFd, native.constData()) != 0)
        return failed(errno);
    if (dirFd == AT_FDCWD)
        syncFolderOf(path);
    else
        ::fsync(dirFd);
    return identityOf(written);
}
} // namespace

IoResult<FileIdentity> writeFileAtomically(const QString& path, QByteArrayView data) {
    return writeAtomicallyAt(AT_FDCWD, QFile::encodeName(path), data, path);
}

IoResult<FileIdentity> writeFileAtomically(const Folder& folder, const QString& name,
                                           QByteArrayView data) {
    if (!folder.isOpen())
        return ioErrorFromErrno(EBADF);
    return writeAtomicallyAt(folder.fd(), QFile::encodeName(name), data, QString());
}

Folder::Folder(Folder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    std::swap(m_fd, other.m_fd);
    std::swap(m_path, other.m_path);
    return *this;
}

Folder::~Folder() {
    if (m_fd >= 0)
        ::close(m_fd);
}

IoResult<Folder> openFolder(const QString& path, bool create, FolderLink link) {
    if (path.isEmpty())
        return ioErrorFromErrno(ENOENT);
    QString folderPath = path;
    while (folderPath.size() > 1 && folderPath.endsWith(QLatin1Char('/')))
        folderPath.chop(1);
    const QByteArray native = QFile::encodeName(folderPath);
    if (create) {
        const QString parent = QFileInfo(folderPath).path();
        if (parent != folderPath)
            QDir().mkpath(parent);
        if (::mkdir(native.constData(), 0777) != 0 && errno != EEXIST)
            return ioErrorFromErrno(errno);
    }
    const bool followed = link == FolderLink::Followed;
    Folder folder;
    folder.m_fd = ::open(native.constData(),
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followed ? 0 : O_NOFOLLOW));
    if (folder.m_fd < 0) {
        const int error = errno;
        struct stat st = {};
        // O_NOFOLLOW on a link fails with ELOOP, or ENOTDIR with O_DIRECTORY.
        if (!followed && (error == ELOOP || error == ENOTDIR) &&
            ::lstat(native.constData(), &st) == 0)
            return S_ISLNK(st.st_mode) ? notRegular(st) : ioErrorFromErrno(ENOTDIR);
        return ioErrorFromErrno(error);
    }
    folder.m_path = folderPath + QLatin1Char('/');
    return folder;
}

int removeLeftoverTemporaries(const Folder& folder, const QStringList& names) {
    if (!folder.isOpen())
        return 0;
    // A descriptor of its own for the listing, which closedir closes.
    const int listed = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return 0;
    }
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
        struct stat st = {};
        if (::fstatat(folder.fd(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || !changedBeforeStart(st))
            continue;
        if (::unlinkat(folder.fd(), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

int removeLeftoverTemporaries(const QString& folder, const QStringList& names) {
    if (folder.isEmpty())
        return 0;
    const IoResult<Folder> opened = openFolder(folder, false, FolderLink::Followed);
    return opened ? removeLeftoverTemporaries(opened.value(), names) : 0;
}

} // namespace qly
