#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

namespace qly {

// Keeps a second copy of the program from running. The first copy listens on a per-user
// Unix socket; a later start connects, asks it to come forward and ends. Plain sockets keep
// the network library (and what it loads) out of the program's start-up.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket's path: in $XDG_RUNTIME_DIR, else the temporary folder, named by user.
    static QString socketPath();

    // True when another copy answered and was asked to come forward: this start must end.
    // Otherwise this copy now listens, and onActivate runs whenever a later start asks.
    bool activateRunningOrListen(std::function<void()> onActivate);

private:
    void acceptConnection();
    void listen(const QByteArray& path);

    int m_listenFd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_path;
    std::function<void()> m_onActivate;
};

} // namespace qly
