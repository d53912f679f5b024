#include "mobile/filecopy.h"

#include "settings/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qly {

namespace {

// Closes a descriptor when the copy leaves, however it leaves.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool close() {
        if (m_fd < 0)
            return true;
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0;
    }

private:
    int m_fd;
};

QString reason(int error) {
    return qt_error_string(error);
}

[[noreturn]] void raiseFor(const char* message, const QString& path, int error) {
    throw Error(QString::fromLatin1(message).arg(path, reason(error)));
}

// "Stream write error on NOTES2GO while writing rtf/C.rtf: No space left on device"
[[noreturn]] void raiseStream(bool writing, const FileCopyOptions& options, const QString& target,
                              int error) {
    const QString drive = writing ? options.targetDrive : options.sourceDrive;
    const QString name =
        options.shownName.isEmpty() ? QFileInfo(target).fileName() : options.shownName;
    QString text =
        writing ? QStringLiteral("Stream write error") : QStringLiteral("Stream read error");
    if (!drive.isEmpty())
        text += QStringLiteral(" on ") + drive;
    text +=
        (writing ? QStringLiteral(" while writing ") : QStringLiteral(" while reading ")) + name;
    if (error != 0)
        text += QStringLiteral(": ") + reason(error);
    throw Error(text);
}

// Reads up to one whole block; short only at the end of the file.
ssize_t readBlock(int fd, char* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += size_t(n);
    }
    return ssize_t(got);
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// One block from in to out through the kernel: the bytes sent (short only at the end of the
// file), SendFailedWriting or SendFailedReading with errno set, or -1 when this pair of
// files cannot be copied this way at all (the caller then reads and writes the block itself).
constexpr ssize_t SendFailedWriting = -2;
constexpr ssize_t SendFailedReading = -3;
ssize_t sendBlock(int out, int in, size_t size, char* buffer) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::sendfile(out, in, nullptr, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
            return SendFailedWriting;
        if (n < 0 && got == 0)
            return -1;
        if (n < 0) {
            // The rest of the block goes through the buffer, which tells a failed read from
            // a failed write.
            const ssize_t r = readBlock(in, buffer, size - got);
            if (r < 0)
                return SendFailedReading;
            if (!writeAll(out, buffer, size_t(r)))
                return SendFailedWriting;
            return ssize_t(got) + r;
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    return ssize_t(got);
}

void syncFolder(const QByteArray& folder) {
    const Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

// A new hidden file in folder, made with mode (less the umask, as every new file).
int createTemporary(const QByteArray& folder, mode_t mode, QByteArray& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder + "/.qly-copy-" +
               QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// An existing target must be a file the user may replace.
void checkReplaceable(const QString& target, const QByteArray& dst) {
    struct stat old {};
    if (::stat(dst.constData(), &old) != 0)
        return;
    if (S_ISDIR(old.st_mode))
        raiseFor("Cannot create file %1: %2", target, EISDIR);
    if (!(old.st_mode & S_IWUSR) || ::access(dst.constData(), W_OK) != 0)
        raiseFor("Cannot create file %1: %2", target, EACCES);
}

// Moves the whole of in to out, one block at a time, told after each block. Each block moves
// inside the kernel while it can (one copy instead of two); where the file systems do not
// allow that, through the buffer.
void copyBlocks(int in, int out, const std::function<void(qint64)>& copied,
                const FileCopyOptions& options, const QString& target) {
    const std::unique_ptr<char[]> buffer(new char[CopyBlockSize]);
    qint64 done = 0;
    bool inKernel = true;
    for (;;) {
        if (options.stop && options.stop->load(std::memory_order_relaxed))
            throw CopyStopped();
        ssize_t n = -1;
        if (inKernel) {
            n = sendBlock(out, in, CopyBlockSize, buffer.get());
            if (n == SendFailedWriting || n == SendFailedReading)
                raiseStream(n == SendFailedWriting, options, target, errno);
            inKernel = n >= 0;
        }
        if (!inKernel) {
            n = readBlock(in, buffer.get(), CopyBlockSize);
            if (n < 0)
                raiseStream(false, options, target, errno);
            if (!writeAll(out, buffer.get(), size_t(n)))
                raiseStream(true, options, target, errno);
        }
        done += n;
        copied(done);
        if (n < ssize_t(CopyBlockSize))
            return;
    }
}

} // namespace

void copyFileWithProgress(const QString& source, const QString& target,
                          const CopyProgress& progress, const FileCopyOptions& options) {
    const QByteArray src = QFile::encodeName(source);
    const QByteArray dst = QFile::encodeName(target);

    // Non-blocking: a pipe in the file's place must not hold the copy; only a regular file
    // is copied.
    const Fd in(::open(src.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0)
        raiseFor("Cannot open file %1: %2", source, errno);
    if (S_ISDIR(st.st_mode))
        raiseFor("Cannot open file %1: %2", source, EISDIR);
    if (!S_ISREG(st.st_mode))
        throw Error(QStringLiteral("Cannot open file %1: It is not a regular file").arg(source));
    ::fcntl(in.get(), F_SETFL, ::fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);
    const qint64 size = st.st_size;
    const auto report = [&](qint64 done) {
        if (progress)
            progress(done, size);
    };
    report(0);
    // The bar goes back to 0 however the copy ends.
    const auto resetBar = qScopeGuard([&] { report(0); });

    const QString folder = QFileInfo(target).absolutePath();
    QDir().mkpath(folder);
    checkReplaceable(target, dst);

    QByteArray temp;
    Fd out(createTemporary(QFile::encodeName(folder), options.executable ? 0777 : 0666, temp));
    if (out.get() < 0)
        raiseFor("Cannot create file %1: %2", target, errno);
    // Removes the temporary file unless it has been renamed into place.
    auto removeTemp = qScopeGuard([&] { ::unlink(temp.constData()); });

    copyBlocks(in.get(), out.get(), report, options, target);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
    if (::fsync(out.get()) != 0 && errno != EINVAL)
        raiseStream(true, options, target, errno);
    if (!out.close())
        raiseStream(true, options, target, errno);
    if (::rename(temp.constData(), dst.constData()) != 0)
        raiseFor("Cannot create file %1: %2", target, errno);
    removeTemp.dismiss();
    syncFolder(QFile::encodeName(folder));
}

} // namespace qly
