#include "singleinstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <unistd.h>

namespace qly {

namespace {
constexpr int ConnectTimeoutMs = 500;
constexpr int ReplyTimeoutMs = 800;
const QByteArray Request = "activate\n";
const QByteArray Reply = "ok\n";
} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath() {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/quillery-%1.sock").arg(::getuid());
}

bool SingleInstance::activateRunningOrListen(std::function<void()> onActivate) {
    const QString path = socketPath();
    // Two copies started at the same moment take turns, so exactly one of them listens.
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(5000);
    lock.tryLock(3000);

    {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(ConnectTimeoutMs)) {
            socket.write(Request);
            socket.waitForBytesWritten(ReplyTimeoutMs);
            // The reply only confirms; the request has been delivered either way.
            socket.waitForReadyRead(ReplyTimeoutMs);
            socket.disconnectFromServer();
            return true;
        }
    }

    // Nobody answers: whatever socket file lies there was left by a copy that crashed.
    QLocalServer::removeServer(path);
    m_onActivate = std::move(onActivate);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(path))
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return false;
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine(64);
            if (line == Request) {
                socket->write(Reply);
                socket->flush();
                if (m_onActivate)
                    m_onActivate();
            }
            socket->disconnectFromServer();
        });
    }
}

} // namespace qly
