/* Starts a program and reports how long it took from exec to its first mapped top-level window,
 * and its peak resident memory. Prints "<milliseconds> <peak KiB>" and ends the program.
 *
 *   mapwait PROGRAM [ARGUMENT...]
 *
 * It watches the root window of $DISPLAY for MapNotify before it starts the program, so the
 * moment the window is mapped is seen by the X server's own event, not by polling. */
#include <X11/Xlib.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double Now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec * 1000.0 + (double)ts.tv_nsec / 1e6;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: mapwait PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "mapwait: no X display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double start = Now();
    const pid_t child = fork();
    if (child == 0) {
        close(ConnectionNumber(display));
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    if (child < 0)
        return 2;

    double mapped = -1;
    const int fd = ConnectionNumber(display);
    while (mapped < 0) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root &&
                !event.xmap.override_redirect) {
                mapped = Now();
                break;
            }
        }
        if (mapped >= 0)
            break;
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            fprintf(stderr, "mapwait: %s ended without a window\n", argv[1]);
            return 1;
        }
        fd_set in;
        FD_ZERO(&in);
        FD_SET(fd, &in);
        struct timeval wait = {0, 100000};
        select(fd + 1, &in, NULL, NULL, &wait);
        if (Now() - start > 30000) {
            fprintf(stderr, "mapwait: no window after 30 s\n");
            kill(child, SIGKILL);
            return 1;
        }
    }
    /* The window has settled once the program has painted it; give it that time before asking
     * for its peak memory. */
    usleep(500000);
    kill(child, SIGTERM);
    int status = 0;
    struct rusage usage;
    wait4(child, &status, 0, &usage);
    printf("%.1f %ld\n", mapped - start, usage.ru_maxrss);
    XCloseDisplay(display);
    return 0;
}
