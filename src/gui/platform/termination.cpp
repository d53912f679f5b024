#include "termination.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qly {

namespace {
int g_pipe[2] = {-1, -1};

void onSignal(int) {
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
                         handler();
                     });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
}

} // namespace qly
