#include "help/chmarchive.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>

#include <chm_lib.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qly {

namespace {

constexpr int SystemCodeContentsFile = 0;
constexpr int SystemCodeDefaultTopic = 2;
constexpr int SystemCodeTitle = 3;

// A string entry of "#SYSTEM": bytes up to the first zero, UTF-8 as the compiler writes them.
QString systemString(const char* data, int length) {
    const QByteArray bytes(data, length);
    const int end = bytes.indexOf('\0');
    return QString::fromUtf8(end < 0 ? bytes : bytes.left(end)).trimmed();
}

// chmlib, loaded when a help file is first opened. Linked to the program, it would cost every
// start a library more in each symbol lookup, and a copy of the program on a machine without
// it would not start at all; without it, help files open as nothing.
struct ChmLib {
    decltype(&chm_open) open = nullptr;
    decltype(&chm_close) close = nullptr;
    decltype(&chm_resolve_object) resolve = nullptr;
    decltype(&chm_retrieve_object) retrieve = nullptr;
    decltype(&chm_enumerate) enumerate = nullptr;
};

const ChmLib* chmLib() {
    static const std::optional<ChmLib> lib = []() -> std::optional<ChmLib> {
        QLibrary library(QStringLiteral("chm"), 1); // stays loaded for the program's life
        if (!library.load()) {
            qWarning("Help files cannot be read: %s", qPrintable(library.errorString()));
            return std::nullopt;
        }
        ChmLib l;
        l.open = reinterpret_cast<decltype(l.open)>(library.resolve("chm_open"));
        l.close = reinterpret_cast<decltype(l.close)>(library.resolve("chm_close"));
        l.resolve = reinterpret_cast<decltype(l.resolve)>(library.resolve("chm_resolve_object"));
        l.retrieve = reinterpret_cast<decltype(l.retrieve)>(library.resolve("chm_retrieve_object"));
        l.enumerate = reinterpret_cast<decltype(l.enumerate)>(library.resolve("chm_enumerate"));
        if (!l.open || !l.close || !l.resolve || !l.retrieve || !l.enumerate)
            return std::nullopt;
        return l;
    }();
    return lib ? &*lib : nullptr;
}

// What the reading child sends: for each object a 4-byte path length, the path, an 8-byte
// data length and the data, in the machine's byte order; a path length of 0 ends the list.
bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int collectPath(chmFile*, chmUnitInfo* ui, void* context) {
    const std::string path(ui->path);
    // Internal objects start with "#", "$" or "::"; folders end with "/".
    if (!path.empty() && path.front() == '/' && path.back() != '/' && path.rfind("/#", 0) != 0 &&
        path.rfind("/$", 0) != 0)
        static_cast<std::vector<std::string>*>(context)->push_back(path);
    return CHM_ENUMERATOR_CONTINUE;
}

bool sendObject(const ChmLib& lib, chmFile* file, const std::string& path, int fd,
                std::uint64_t& total) {
    chmUnitInfo ui{};
    if (lib.resolve(file, path.c_str(), &ui) != CHM_RESOLVE_SUCCESS)
        return true; // listed but not there: the file is damaged, the rest may still read
    if (ui.length > static_cast<LONGUINT64>(ChmArchive::MaxObjectSize) ||
        total + ui.length > static_cast<std::uint64_t>(ChmArchive::MaxTotalSize))
        return true;
    std::vector<unsigned char> data(static_cast<size_t>(ui.length));
    LONGUINT64 done = 0;
    while (done < ui.length) {
        const LONGINT64 got = lib.retrieve(file, &ui, data.data() + done, done,
                                           static_cast<LONGINT64>(ui.length - done));
        if (got <= 0)
            return true;
        done += static_cast<LONGUINT64>(got);
    }
    total += ui.length;
    const auto pathLength = static_cast<std::uint32_t>(path.size());
    const std::uint64_t dataLength = ui.length;
    return writeAll(fd, &pathLength, sizeof pathLength) && writeAll(fd, path.data(), path.size()) &&
           writeAll(fd, &dataLength, sizeof dataLength) && writeAll(fd, data.data(), data.size());
}

// In the child: reads every object and sends it. Only plain C++ and chmlib here; the
// process ends with _exit, so nothing of the program's own runs twice.
[[noreturn]] void readInChild(const ChmLib& lib, const QByteArray& fileName, int fd) {
    chmFile* file = lib.open(fileName.constData());
    if (!file)
        _exit(2);
    std::vector<std::string> paths{"/#SYSTEM"};
    lib.enumerate(file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collectPath, &paths);
    std::uint64_t total = 0;
    for (const std::string& path : paths)
        if (path.size() <= CHM_MAX_PATHLEN && !sendObject(lib, file, path, fd, total))
            _exit(3);
    lib.close(file);
    const std::uint32_t end = 0;
    _exit(writeAll(fd, &end, sizeof end) ? 0 : 3);
}

// Reads what the child sends, up to the size a help file may have, within the time allowed.
bool readFromChild(int fd, QByteArray& out) {
    QElapsedTimer clock;
    clock.start();
    char buffer[64 * 1024];
    for (;;) {
        const qint64 left = ChmArchive::ReadTimeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (out.size() + n > ChmArchive::MaxTotalSize + 1024 * 1024)
            return false;
        out.append(buffer, n);
    }
}

// The objects as the child sent them, or nothing when the list is cut short or malformed.
std::optional<QHash<QByteArray, QByteArray>> parseObjects(const QByteArray& bytes,
                                                          QStringList& files) {
    QHash<QByteArray, QByteArray> objects;
    qsizetype pos = 0;
    const auto take = [&](void* to, qsizetype size) {
        if (bytes.size() - pos < size)
            return false;
        std::memcpy(to, bytes.constData() + pos, static_cast<size_t>(size));
        pos += size;
        return true;
    };
    for (;;) {
        std::uint32_t pathLength = 0;
        if (!take(&pathLength, sizeof pathLength))
            return std::nullopt;
        if (pathLength == 0)
            return pos == bytes.size() ? std::optional(objects) : std::nullopt;
        if (pathLength > CHM_MAX_PATHLEN || bytes.size() - pos < pathLength)
            return std::nullopt;
        const QByteArray path = bytes.mid(pos, pathLength);
        pos += pathLength;
        std::uint64_t dataLength = 0;
        if (!take(&dataLength, sizeof dataLength) ||
            dataLength > static_cast<std::uint64_t>(bytes.size() - pos))
            return std::nullopt;
        objects.insert(path.toLower(), bytes.mid(pos, static_cast<qsizetype>(dataLength)));
        pos += static_cast<qsizetype>(dataLength);
        if (!path.startsWith("/#"))
            files.append(QString::fromUtf8(path.mid(1)));
    }
}

} // namespace

ChmArchive::ChmArchive(const QString& fileName) : m_fileName(fileName) {
    // chmlib opens whatever path it is given; only a readable regular file is a help file.
    const QFileInfo info(fileName);
    m_fileTime = info.lastModified();
    m_fileSize = info.size();
    if (!info.isFile() || !info.isReadable() || !chmLib() || !load())
        return;
    m_open = true;
    readSystemEntries();
    // A project compiled without naming its contents file: take the one at the top.
    if (m_contentsFile.isEmpty()) {
        for (const QString& file : std::as_const(m_files))
            if (!file.contains(QLatin1Char('/')) &&
                file.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive)) {
                m_contentsFile = file;
                break;
            }
    }
}

ChmArchive::~ChmArchive() = default;

bool ChmArchive::load() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    const QByteArray name = QFile::encodeName(m_fileName);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (child == 0) {
        ::close(fds[0]);
        readInChild(*chmLib(), name, fds[1]);
    }
    ::close(fds[1]);
    QByteArray bytes;
    const bool whole = readFromChild(fds[0], bytes);
    ::close(fds[0]);
    if (!whole)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!whole || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        qWarning("The help file %s cannot be read: it is damaged or not a help file.",
                 qPrintable(QDir::toNativeSeparators(m_fileName)));
        return false;
    }
    QStringList files;
    std::optional<QHash<QByteArray, QByteArray>> objects = parseObjects(bytes, files);
    if (!objects)
        return false;
    m_objects = std::move(*objects);
    m_files = std::move(files);
    return true;
}

QString ChmArchive::normalizedPath(const QString& path) {
    QString p = path;
    const int cut = p.indexOf(QRegularExpression(QStringLiteral("[#?]")));
    if (cut >= 0)
        p.truncate(cut);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!p.startsWith(QLatin1Char('/')))
        p.prepend(QLatin1Char('/'));
    return QDir::cleanPath(p);
}

bool ChmArchive::contains(const QString& path) const {
    if (path.isEmpty())
        return false;
    return m_objects.contains(normalizedPath(path).toUtf8().toLower());
}

std::optional<QByteArray> ChmArchive::read(const QString& path) const {
    if (path.isEmpty())
        return std::nullopt;
    return readObject(normalizedPath(path).toUtf8());
}

std::optional<QByteArray> ChmArchive::readObject(const QByteArray& name) const {
    const auto found = m_objects.constFind(name.toLower());
    if (found == m_objects.cend())
        return std::nullopt;
    return *found;
}

QStringList ChmArchive::files() const {
    return m_files;
}

// "#SYSTEM": a 4-byte version, then entries of a 2-byte code, a 2-byte length and the data.
void ChmArchive::readSystemEntries() {
    const std::optional<QByteArray> system = readObject(QByteArrayLiteral("/#SYSTEM"));
    if (!system)
        return;
    const QByteArray& s = *system;
    // Byte by byte: the compiler cannot see that the loop keeps a wider read inside.
    const auto word = [&s](qsizetype at) {
        return int(uchar(s.at(at))) | int(uchar(s.at(at + 1))) << 8;
    };
    qsizetype pos = 4;
    while (pos + 4 <= s.size()) {
        const int code = word(pos);
        const int length = word(pos + 2);
        pos += 4;
        if (length > s.size() - pos)
            break;
        const char* data = s.constData() + pos;
        if (code == SystemCodeContentsFile)
            m_contentsFile = systemString(data, length);
        else if (code == SystemCodeDefaultTopic)
            m_defaultTopic = systemString(data, length);
        else if (code == SystemCodeTitle)
            m_title = systemString(data, length);
        pos += length;
    }
}

} // namespace qly
