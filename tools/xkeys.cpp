// Key presses for a window under a test X server, through the XTEST
// extension: `xkeys <window id> <key name> <milliseconds held> ...`.
// Used by tools/screenshot-game.sh.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

extern "C" int XTestFakeKeyEvent(Display* display, unsigned int keycode, Bool isPress, unsigned long delay);

int main(int argc, char** argv)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr || argc < 2) return 1;
    const Window window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    XRaiseWindow(display, window);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    usleep(100000);
    for (int i = 2; i + 1 < argc; i += 2) {
        const KeySym sym = XStringToKeysym(argv[i]);
        const KeyCode code = XKeysymToKeycode(display, sym);
        if (code == 0) {
            std::fprintf(stderr, "no key %s\n", argv[i]);
            return 1;
        }
        XTestFakeKeyEvent(display, code, True, 0);
        XSync(display, False);
        usleep(static_cast<useconds_t>(std::atoi(argv[i + 1])) * 1000);
        XTestFakeKeyEvent(display, code, False, 0);
        XSync(display, False);
        usleep(100000);
    }
    XCloseDisplay(display);
    return 0;
}
