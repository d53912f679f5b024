#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

namespace qly {

// Keeps a second copy of the program from running on the same notes. The first copy from a
// program folder listens on a Unix socket of that folder's own, in a folder only this user can
// enter; a later start from the same folder connects, asks it to come forward and ends. Copies
// from other folders (a stick beside the home installation) run side by side. Only peers of
// the same user are asked or answered. Plain sockets keep the network library (and what it
// loads) out of the program's start-up.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Where the channels live: $XDG_RUNTIME_DIR, else "quillery-<uid>" in the temporary
    // folder, made with mode 0700. When that folder is not this user's alone (another user
    // made it first), "quillery-<uid>-<random>" there instead, remembered in the user's state
    // folder ($XDG_STATE_HOME/quillery/channel-folder); empty when neither can be had.
    static QString channelFolder();
    // The socket of the program folder's channel; empty when there is no private place.
    static QString socketPath(const QString& programFolder);

    // True when another copy from programFolder answered and was asked to come forward: this
    // start must end. Otherwise this copy now listens, and onActivate runs whenever a later
    // start asks. Without a private place for the channel, this copy runs on its own.
    bool activateRunningOrListen(const QString& programFolder, std::function<void()> onActivate);

private:
    void acceptConnection();
    void listen(const QByteArray& path);

    int m_listenFd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_path;
    std::function<void()> m_onActivate;
};

} // namespace qly
