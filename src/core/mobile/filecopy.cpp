#include "mobile/filecopy.h"

#include "settings/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
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

[[noreturn]] void raise(const char* message, const QString& path = QString()) {
    QString text = QString::fromLatin1(message);
    if (!path.isNull())
        text = text.arg(path);
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
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// One block from in to out through the kernel: the bytes sent (short only at the end of the
// file), SendFailedWriting when the target refuses them, or -1 when this pair of files
// cannot be copied this way at all (the caller then reads and writes the block itself).
constexpr ssize_t SendFailedWriting = -2;
constexpr ssize_t SendFailedReading = -3;
ssize_t sendBlock(int out, int in, size_t size) {
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
            // The rest of the block goes through a buffer, which tells a failed read from
            // a failed write.
            char rest[CopyBlockSize];
            const ssize_t r = readBlock(in, rest, size - got);
            if (r < 0)
                return SendFailedReading;
            if (!writeAll(out, rest, size_t(r)))
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

} // namespace

void copyFileWithProgress(const QString& source, const QString& target,
                          const CopyProgress& progress) {
    const auto report = [&](qint64 done, qint64 size) {
        if (progress)
            progress(done, size);
    };
    const QByteArray src = QFile::encodeName(source);
    const QByteArray dst = QFile::encodeName(target);

    const Fd in(::open(src.constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        raise("Cannot open file %1", source);
    const qint64 size = st.st_size;
    report(0, size);
    // The bar goes back to 0 however the copy ends.
    struct ResetBar {
        const CopyProgress& progress;
        qint64 size;
        ~ResetBar() {
            if (progress)
                progress(0, size);
        }
    } resetBar{progress, size};

    const QString folder = QFileInfo(target).absolutePath();
    QDir().mkpath(folder);
    struct stat old {};
    if (::stat(dst.constData(), &old) == 0 &&
        (S_ISDIR(old.st_mode) || !(old.st_mode & S_IWUSR) || ::access(dst.constData(), W_OK) != 0))
        raise("Cannot create file %1", target);

    QByteArray temp = QFile::encodeName(folder) + "/.qly-copy-XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0)
        raise("Cannot create file %1", target);
    // Removes the temporary file unless it has been renamed into place.
    struct TempFile {
        const QByteArray& path;
        bool placed = false;
        ~TempFile() {
            if (!placed)
                ::unlink(path.constData());
        }
    } tempFile{temp};

    char buffer[CopyBlockSize];
    qint64 done = 0;
    // Each block moves inside the kernel while it can (one copy instead of two); where the
    // file systems do not allow that, through the buffer.
    bool inKernel = true;
    for (;;) {
        ssize_t n = -1;
        if (inKernel) {
            n = sendBlock(out.get(), in.get(), CopyBlockSize);
            if (n == SendFailedWriting)
                raise("Stream write error");
            if (n == SendFailedReading)
                raise("Stream read error");
            inKernel = n >= 0;
        }
        if (!inKernel) {
            n = readBlock(in.get(), buffer, sizeof buffer);
            if (n < 0)
                raise("Stream read error");
            if (!writeAll(out.get(), buffer, size_t(n)))
                raise("Stream write error");
        }
        done += n;
        report(done, size);
        if (n < ssize_t(sizeof buffer))
            break;
    }
    // The program file must stay executable; a file system without modes refuses, which
    // harms nothing.
    ::fchmod(out.get(), st.st_mode & 0777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
    if (::fsync(out.get()) != 0 || !out.close())
        raise("Stream write error");
    if (::rename(temp.constData(), dst.constData()) != 0)
        raise("Cannot create file %1", target);
    tempFile.placed = true;
    syncFolder(QFile::encodeName(folder));
}

} // namespace qly
