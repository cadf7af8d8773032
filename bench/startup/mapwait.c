// SPDX-License-Identifier: GPL-3.0-or-later
// mapwait SETTLE_MS TIMEOUT_MS PROGRAM [ARG...]
//
// Starts PROGRAM on the current X display and measures how long it takes
// until its first top-level window is mapped: the moment a user sees it.
// The window is recognised by its _NET_WM_PID property. SETTLE_MS after the
// map it reads the program's memory from /proc, then ends the program (its
// whole process group: SIGTERM, SIGKILL after two seconds).
//
// Prints one line: map_ms peak_rss_kB rss_kB threads (map_ms is -1 when no
// window appeared within TIMEOUT_MS).
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double NowMs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

// The _NET_WM_PID of a window, or -1 when it has none.
static long WindowPid(Display *display, Window window)
{
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char *data = NULL;
    long pid = -1;
    Atom property = XInternAtom(display, "_NET_WM_PID", False);
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format, &count, &remaining,
                           &data) == Success &&
        data != NULL && count == 1 && format == 32)
        pid = (long)*(unsigned long *)data;
    if (data != NULL)
        XFree(data);
    return pid;
}

// One "Name: value kB" field of /proc/PID/status, -1 if absent.
static long StatusField(pid_t pid, const char *name)
{
    char path[64], line[256];
    long value = -1;
    size_t length = strlen(name);
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE *file = fopen(path, "r");
    if (file == NULL)
        return -1;
    while (fgets(line, sizeof line, file) != NULL) {
        if (strncmp(line, name, length) == 0 && line[length] == ':') {
            value = strtol(line + length + 1, NULL, 10);
            break;
        }
    }
    fclose(file);
    return value;
}

static void EndProgram(pid_t pid)
{
    kill(-pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, NULL, WNOHANG) == pid)
            return;
        usleep(20 * 1000);
    }
    kill(-pid, SIGKILL);
    waitpid(pid, NULL, 0);
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: %s SETTLE_MS TIMEOUT_MS PROGRAM [ARG...]\n", argv[0]);
        return 2;
    }
    const int settleMs = atoi(argv[1]);
    const int timeoutMs = atoi(argv[2]);
    Display *display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "mapwait: cannot open the X display\n");
        return 2;
    }
    // Map events of every top-level window arrive as SubstructureNotify on
    // the root; selected before the program starts, so none is missed.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const double start = NowMs();
    const pid_t pid = fork();
    if (pid < 0) {
        perror("mapwait: fork");
        return 2;
    }
    if (pid == 0) {
        setpgid(0, 0);
        execvp(argv[3], argv + 3);
        _exit(127);
    }
    setpgid(pid, pid);

    double mappedAt = -1;
    int exited = 0;
    while (mappedAt < 0 && !exited) {
        while (mappedAt < 0 && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect &&
                WindowPid(display, event.xmap.window) == (long)pid)
                mappedAt = NowMs();
        }
        if (mappedAt >= 0 || NowMs() - start > timeoutMs)
            break;
        if (waitpid(pid, NULL, WNOHANG) == pid) {
            fprintf(stderr, "mapwait: %s ended before showing a window\n", argv[3]);
            exited = 1;
            break;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(ConnectionNumber(display), &readable);
        struct timeval wait = {0, 10 * 1000};
        select(ConnectionNumber(display) + 1, &readable, NULL, NULL, &wait);
    }

    long peak = -1, rss = -1, threads = -1;
    if (mappedAt >= 0) {
        usleep((useconds_t)settleMs * 1000);
        peak = StatusField(pid, "VmHWM");
        rss = StatusField(pid, "VmRSS");
        threads = StatusField(pid, "Threads");
    }
    printf("%.1f %ld %ld %ld\n", mappedAt >= 0 ? mappedAt - start : -1.0, peak, rss, threads);
    fflush(stdout);
    if (!exited)
        EndProgram(pid);
    XCloseDisplay(display);
    return 0;
}
