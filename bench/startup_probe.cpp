// Times a program from exec to its first top-level window being mapped on the X display.
// Usage: qly-startup-probe [-c] [-t SECONDS] PROGRAM [ARGS...]; prints milliseconds, then ends
// the program with SIGTERM and waits for it. With -c it first prints the processor time the
// program's main thread had used by the map (from /proc/PID/schedstat), in milliseconds: a
// figure that other work on the machine changes far less than the time on the clock. With -t
// it sends SIGTERM that many seconds after the map (instead of 0.1) and prints a further
// figure: milliseconds from SIGTERM to the exit.
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    double termAfter = 0.1;
    bool timeExit = false;
    bool timeProcessor = false;
    if (argc > 1 && std::string_view(argv[1]) == "-c") {
        timeProcessor = true;
        ++argv;
        --argc;
    }
    if (argc > 2 && std::string_view(argv[1]) == "-t") {
        termAfter = std::atof(argv[2]);
        timeExit = true;
        argv += 2;
        argc -= 2;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s [-c] [-t SECONDS] PROGRAM [ARGS...]\n", argv[0]);
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
    if (timeProcessor) {
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%d/schedstat", int(pid));
        unsigned long long ns = 0;
        if (FILE* f = std::fopen(path, "r")) {
            if (std::fscanf(f, "%llu", &ns) != 1)
                ns = 0;
            std::fclose(f);
        }
        std::printf("%.2f ", ns / 1e6);
    }
    std::printf("%.2f", std::chrono::duration<double, std::milli>(mapped - start).count());
    usleep(useconds_t(termAfter * 1e6));
    const auto term = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    if (timeExit) {
        const auto ended = std::chrono::steady_clock::now();
        std::printf(" %.2f", std::chrono::duration<double, std::milli>(ended - term).count());
    }
    std::printf("\n");
    XCloseDisplay(display);
    return 0;
}
