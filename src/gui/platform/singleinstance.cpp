#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qly {

namespace {
constexpr int ReplyTimeoutMs = 1000;
constexpr int LockTimeoutMs = 3000;
constexpr char Request[] = "activate\n";
constexpr char Reply[] = "ok\n";

bool makeAddress(const QByteArray& path, sockaddr_un* address) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address->sun_path))
        return false;
    std::memcpy(address->sun_path, path.constData(), path.size());
    return true;
}

// Only this user's copies may ask, or answer.
bool peerIsThisUser(int fd) {
    ucred peer = {};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

// A folder only this user can enter: ours, a folder (not a link), no access for others.
bool isPrivateFolder(const QByteArray& path) {
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

// The state folder of this user's own ($XDG_STATE_HOME/quillery), held open; closed when it
// is another user's or a link.
int openOwnStateFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    const QString folder = state + QStringLiteral("/quillery");
    QDir().mkpath(folder);
    const int fd = ::open(QFile::encodeName(folder).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st = {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// When "quillery-<uid>" in the temporary folder is not this user's (another user made it
// first), the channel goes to a folder with a random name there, made by this user and
// remembered in the user's own state folder, so that every later start finds the same one.
// The file that remembers it is locked while it is decided: two starts at once agree.
QString rememberedChannelFolder(const QString& temporary) {
    const int state = openOwnStateFolder();
    if (state < 0)
        return QString();
    const int fd = ::openat(state, "channel-folder",
                            O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    ::close(state);
    if (fd < 0)
        return QString();
    struct stat st = {};
    QString found;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX) == 0) {
        char buffer[4096];
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
        const QByteArray prefix =
            QFile::encodeName(temporary + QStringLiteral("/quillery-%1-").arg(::geteuid()));
        const QByteArray remembered = n > 0 ? QByteArray(buffer, n) : QByteArray();
        if (remembered.startsWith(prefix) && remembered.indexOf('/', prefix.size()) < 0 &&
            isPrivateFolder(remembered)) {
            found = QFile::decodeName(remembered);
        } else {
            QByteArray made = prefix + "XXXXXX";
            if (::mkdtemp(made.data()) && isPrivateFolder(made) && ::ftruncate(fd, 0) == 0 &&
                ::pwrite(fd, made.constData(), size_t(made.size()), 0) == made.size()) {
                ::fsync(fd);
                found = QFile::decodeName(made);
            }
        }
    }
    ::close(fd); // lets the lock go
    return found;
}

// Asks the copy listening at path to come forward. False when nobody listens there.
bool askRunningCopy(const QByteArray& path) {
    sockaddr_un address;
    if (!makeAddress(path, &address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool answered = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        peerIsThisUser(fd)) {
        // The request is delivered once it is written; the reply only confirms it.
        answered = ::send(fd, Request, sizeof Request - 1, MSG_NOSIGNAL) > 0;
        pollfd p{fd, POLLIN, 0};
        if (answered && ::poll(&p, 1, ReplyTimeoutMs) > 0) {
            char buf[8];
            [[maybe_unused]] auto n = ::recv(fd, buf, sizeof buf, 0);
        }
    }
    ::close(fd);
    return answered;
}
} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        ::unlink(m_path.constData());
    }
}

QString SingleInstance::channelFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(QFile::encodeName(runtime)))
        return runtime;
    // Without a runtime folder: one of this user's own in the temporary folder, which anyone
    // may write to. A folder planted there under this name is not used: another one is.
    const QString own = QDir::tempPath() + QStringLiteral("/quillery-%1").arg(::geteuid());
    const QByteArray native = QFile::encodeName(own);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    return isPrivateFolder(native) ? own : rememberedChannelFolder(QDir::tempPath());
}

QString SingleInstance::socketPath(const QString& programFolder) {
    const QString folder = channelFolder();
    if (folder.isEmpty())
        return QString();
    // One channel a program folder: a copy on a stick runs beside the one at home.
    const QByteArray hash =
        QCryptographicHash::hash(QFile::encodeName(programFolder), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return folder + QStringLiteral("/quillery-%1.sock").arg(QLatin1String(hash));
}

bool SingleInstance::activateRunningOrListen(const QString& programFolder,
                                             std::function<void()> onActivate) {
    const QString path = socketPath(programFolder);
    if (path.isEmpty())
        return false; // no private place for the channel: this copy runs on its own
    // Two copies started at the same moment take turns, so exactly one of them listens. The
    // lock goes with the process, so a copy that crashed holds none. Its file goes once this
    // copy listens or has asked the running one: a copy still waiting on the file removed
    // then finds the one listening, as a later one does.
    const QByteArray lockPath = QFile::encodeName(path + QStringLiteral(".lock"));
    struct Lock {
        const QByteArray& path;
        int fd;
        bool held = false;
        ~Lock() {
            if (held)
                ::unlink(path.constData());
            if (fd >= 0)
                ::close(fd);
        }
    } lock{lockPath, ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)};
    for (int waited = 0; lock.fd >= 0 && waited < LockTimeoutMs; waited += 10) {
        lock.held = ::flock(lock.fd, LOCK_EX | LOCK_NB) == 0;
        if (lock.held || errno != EWOULDBLOCK)
            break;
        ::usleep(10'000);
    }

    m_path = QFile::encodeName(path);
    if (askRunningCopy(m_path))
        return true;
    // Nobody answers: whatever socket file lies there was left by a copy that crashed.
    ::unlink(m_path.constData());
    m_onActivate = std::move(onActivate);
    listen(m_path);
    return false;
}

void SingleInstance::listen(const QByteArray& path) {
    sockaddr_un address;
    if (!makeAddress(path, &address))
        return;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    const mode_t oldMask = ::umask(0077); // this user's copies only
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::umask(oldMask);
    if (!bound || ::listen(fd, 8) != 0) {
        ::close(fd);
        return;
    }
    m_listenFd = fd;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::acceptConnection);
}

void SingleInstance::acceptConnection() {
    for (;;) {
        const int client = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        if (!peerIsThisUser(client)) {
            ::close(client);
            continue;
        }
        // A later start writes its request at once; never let a silent client stall the
        // program.
        pollfd p{client, POLLIN, 0};
        char buf[16] = {};
        ssize_t got = 0;
        if (::poll(&p, 1, 200) > 0)
            got = ::recv(client, buf, sizeof buf - 1, MSG_DONTWAIT);
        const bool asked = got == ssize_t(sizeof Request - 1) &&
                           std::memcmp(buf, Request, sizeof Request - 1) == 0;
        if (asked) {
            [[maybe_unused]] auto n = ::send(client, Reply, sizeof Reply - 1, MSG_NOSIGNAL);
        }
        ::close(client);
        if (asked && m_onActivate)
            m_onActivate();
    }
}

} // namespace qly
