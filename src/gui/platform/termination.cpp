#include "platform/termination.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cstdlib>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qly {

namespace {
int g_pipe[2] = {-1, -1};
QPointer<QObject> g_exitGuard;
std::function<void()> g_exitHandler;

void onExit() {
    if (!g_exitGuard || !g_exitHandler)
        return;
    const std::function<void()> handler = std::move(g_exitHandler);
    g_exitHandler = nullptr;
    handler();
}

volatile std::sig_atomic_t g_quickExit = 0;

void onSignal(int) {
    if (g_quickExit)
        ::_exit(0);
    const char c = 1;
    // Nothing but a write is safe here; the GUI thread does the work.
    [[maybe_unused]] auto n = ::write(g_pipe[1], &c, 1);
}
} // namespace

void installTerminationHandler(std::function<void()> handler) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [handler = std::move(handler)] {
                         char buf[16];
                         while (::read(g_pipe[0], buf, sizeof buf) > 0) {
                         }
                         if (g_quickExit)
                             ::_exit(0);
                         handler();
                     });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
}

void installExitSave(QObject* guard, std::function<void()> handler) {
    static const bool registered = std::atexit(onExit) == 0;
    if (!registered)
        return;
    g_exitGuard = guard;
    g_exitHandler = std::move(handler);
}

void setQuickExit(bool on) {
    g_quickExit = on ? 1 : 0;
}

} // namespace qly
