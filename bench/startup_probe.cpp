// Times a program from exec to its first top-level window being mapped on the X display.
// Usage: qly-startup-probe PROGRAM [ARGS...]; prints milliseconds, then ends the program
// with SIGTERM and waits for it.
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
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
    XEvent event;
    for (;;) {
        XNextEvent(display, &event);
        if (event.type == MapNotify && !event.xmap.override_redirect)
            break;
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
