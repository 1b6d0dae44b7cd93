// hotkey-latency PROGRAM [ARGUMENTS...]: starts PROGRAM (a capture panel on the
// hot key Ctrl+Shift+Space), presses the hot key 50 times from a window of its
// own, and measures each time, in X server milliseconds, from just before the
// press to the window manager reporting the panel as the active window.
// Prints the median and the slowest press.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cstdio>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

Display* display;
Window root;
Window own;
Atom activeAtom;
Atom stampAtom;

Window activeWindow() {
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, root, activeAtom, 0, 1, False, XA_WINDOW, &type, &format, &count, &remaining, &data);
    Window window = data && count ? *reinterpret_cast<Window*>(data) : None;
    if (data) XFree(data);
    return window;
}

// The server's time now: the time stamp of a change to a property of our own.
Time serverTime() {
    XChangeProperty(display, own, stampAtom, XA_STRING, 8, PropModeReplace, nullptr, 0);
    XEvent event;
    XWindowEvent(display, own, PropertyChangeMask, &event);
    return event.xproperty.time;
}

// Waits for the active window to become one for which the test holds; returns
// the time of that change, 0 after five seconds.
template <class Test>
Time waitActive(Test test) {
    for (int waited = 0; waited < 5000;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == PropertyNotify && event.xproperty.window == root && event.xproperty.atom == activeAtom &&
                test(activeWindow()))
                return event.xproperty.time;
        }
        usleep(1000);
        ++waited;
    }
    return 0;
}

void press(KeySym key, std::vector<KeySym> modifiers) {
    for (KeySym modifier : modifiers) XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), True, 0);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, 0);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, 0);
    for (KeySym modifier : modifiers) XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), False, 0);
    XFlush(display);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    display = XOpenDisplay(nullptr);
    if (!display) return 1;
    root = DefaultRootWindow(display);
    activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    stampAtom = XInternAtom(display, "ORVELA_BENCH_STAMP", False);
    own = XCreateSimpleWindow(display, root, 50, 50, 300, 200, 0, 0, 0xffffff);
    XSelectInput(display, own, PropertyChangeMask);
    XSelectInput(display, root, PropertyChangeMask);
    XMapWindow(display, own);
    XSync(display, False);

    pid_t program = fork();
    if (program == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    sleep(2);

    std::vector<long> latencies;
    for (int i = 0; i < 50; ++i) {
        XSetInputFocus(display, own, RevertToParent, CurrentTime);
        XSync(display, False);
        usleep(100000);
        while (XPending(display)) {
            XEvent ignored;
            XNextEvent(display, &ignored);
        }
        Time before = serverTime();
        press(XK_space, {XK_Control_L, XK_Shift_L});
        Time shown = waitActive([](Window window) { return window != None && window != own; });
        if (shown == 0) {
            std::fprintf(stderr, "press %d: the panel did not become active\n", i + 1);
            continue;
        }
        latencies.push_back(static_cast<long>(shown - before));
        press(XK_Escape, {});
        waitActive([](Window window) { return window != None && window == own; });
    }
    kill(program, SIGTERM);
    waitpid(program, nullptr, 0);
    if (latencies.empty()) return 1;
    std::sort(latencies.begin(), latencies.end());
    std::printf("hot key to focused panel over %zu presses: median %ld ms, slowest %ld ms\n", latencies.size(),
                latencies[latencies.size() / 2], latencies.back());
    return 0;
}
