// Times a program from exec to its first top-level window being mapped on the X display.
// Usage: qly-startup-probe PROGRAM [ARGS...]; prints milliseconds, then ends the program
// with SIGTERM and waits for it.
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[1], argv + 1);
        _exit(127);
    }
    // Wait for the first top-level map; give up when the program ends first or after 30 s.
    XEvent event;
    const int fd = ConnectionNumber(display);
    for (bool mapped = false; !mapped;) {
        while (XPending(display)) {
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect)
                mapped = true;
        }
        if (mapped)
            break;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "the program ended without showing a window\n");
            return 1;
        }
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(30)) {
            kill(pid, SIGKILL);
            std::fprintf(stderr, "no window within 30 s\n");
            return 1;
        }
        pollfd pfd{fd, POLLIN, 0};
        poll(&pfd, 1, 5);
    }
    const auto mapped = std::chrono::steady_clock::now();
    std::printf("%.2f\n", std::chrono::duration<double, std::milli>(mapped - start).count());
    std::fflush(stdout);
    usleep(100 * 1000);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    XCloseDisplay(display);
    return 0;
}
