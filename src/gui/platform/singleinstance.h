#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace qly {

// Keeps a second copy of the program from running. The first copy listens on a per-user
// local socket; a later start connects, asks it to come forward and ends.
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
    void acceptConnections();

    QLocalServer* m_server = nullptr;
    std::function<void()> m_onActivate;
};

} // namespace qly
