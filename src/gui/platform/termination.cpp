#include "platform/termination.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cstdlib>

#include <csignal>
#include <ctime>
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
// Ends the process when the shut-down a signal asked for takes too long, whatever holds it.
timer_t g_deadline{};
bool g_hasDeadline = false;

void onDeadline(int) {
    ::_exit(0);
}

void onSignal(int) {
    if (g_quickExit)
        ::_exit(0);
    if (g_hasDeadline) {
        itimerspec at = {};
        at.it_value.tv_sec = TerminationDeadlineMs / 1000;
        at.it_value.tv_nsec = long(TerminationDeadlineMs % 1000) * 1'000'000;
        itimerspec running = {};
        // The first signal sets the time; later ones do not put it off.
        if (::timer_gettime(g_deadline, &running) == 0 && running.it_value.tv_sec == 0 &&
            running.it_value.tv_nsec == 0)
            ::timer_settime(g_deadline, 0, &at, nullptr);
    }
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

    struct sigaction deadline = {};
    deadline.sa_handler = onDeadline;
    sigemptyset(&deadline.sa_mask);
    ::sigaction(SIGALRM, &deadline, nullptr);
    sigevent event = {};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGALRM;
    g_hasDeadline = ::timer_create(CLOCK_MONOTONIC, &event, &g_deadline) == 0;
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
