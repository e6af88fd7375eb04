// The window layer on a real X server (Xvfb, with no window manager): full
// screen and back. SDL picks its video driver once per process, so the
// scenario runs in a child of this program with the X11 driver.
#include "platform/ddraw/pixelformat.h"
#include "platform/display/display.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kChildVariable[] = "ZARVO_WINDOW_X11_CHILD";
// The machine may be loaded: conditions are polled for this long.
constexpr int kDeadlineSeconds = 120;

std::string FindProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = std::string(path != nullptr ? path : "") + ":/usr/bin:/bin";
    std::size_t start = 0;
    while (start < dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

// Runs the window's messages while waiting for `done`.
template <class F>
bool PumpUntil(F done)
{
    for (int i = 0; i < kDeadlineSeconds * 100; ++i) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        if (done()) return true;
        usleep(10000);
    }
    return done();
}

LRESULT Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

struct Geometry {
    int x, y, w, h;
    bool viewable;
};

Geometry GeometryOf(Display* display, ::Window window)
{
    XWindowAttributes a{};
    XGetWindowAttributes(display, window, &a);
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return Geometry{x, y, a.width, a.height, a.map_state == IsViewable};
}

std::uint32_t ScreenPixel(Display* display, int x, int y)
{
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0xFFFFFFFFu;
    const auto v = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
    XDestroyImage(image);
    return v;
}

// The scenario, in the child on the X server.
void RunOnX11()
{
    Display* own = XOpenDisplay(nullptr);
    ASSERT_NE(own, nullptr);
    const int desktopW = DisplayWidth(own, DefaultScreen(own));
    const int desktopH = DisplayHeight(own, DefaultScreen(own));
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = "X11LayerTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    RECT frame{0, 0, 640, 480};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_CAPTION, FALSE, 0);
    HWND window = CreateWindowExA(0, "X11LayerTest", "x11", WS_POPUP | WS_CAPTION, 100, 100,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, nullptr,
                                  nullptr);
    ASSERT_NE(window, nullptr);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(GetSdlWindowOfHandle(window), &info));
    ASSERT_EQ(info.subsystem, SDL_SYSWM_X11);
    const ::Window x11 = info.info.x11.window;
    ShowWindow(window, SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return GeometryOf(own, x11).viewable; }));

    // With no window manager to obey the request, the layer itself makes the
    // window cover the screen, and the picture fills it.
    ASSERT_TRUE(SetVirtualDisplayMode(DisplayMode{640, 480, 32, 0}));
    EXPECT_TRUE(PumpUntil([&] {
        const Geometry g = GeometryOf(own, x11);
        return g.x == 0 && g.y == 0 && g.w == desktopW && g.h == desktopH;
    })) << "the full-screen window does not cover the screen";
    const std::uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    std::vector<std::uint32_t> picture(640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) picture[y * 640 + x] = colours[(y >= 240 ? 2 : 0) + (x >= 320 ? 1 : 0)];
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = 32;
    format.dwRBitMask = 0xFF0000;
    format.dwGBitMask = 0x00FF00;
    format.dwBBitMask = 0x0000FF;
    // The middle of each quarter of the screen shows that quarter of the picture.
    const auto quartersShown = [&] {
        PresentFullScreenPixels(picture.data(), 640 * 4, 640, 480, format, nullptr);
        XSync(own, False);
        for (int q = 0; q < 4; ++q) {
            const int x = desktopW / 4 + (q & 1) * desktopW / 2;
            const int y = desktopH / 4 + (q >> 1) * desktopH / 2;
            if (ScreenPixel(own, x, y) != colours[q]) return false;
        }
        return true;
    };
    EXPECT_TRUE(PumpUntil(quartersShown)) << "the picture does not fill the screen";

    // Back in a window, where the layer says the client area is.
    RestoreVirtualDisplayMode();
    const auto backInPlace = [&] {
        const Geometry g = GeometryOf(own, x11);
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        const RECT shown = GetDisplayClientRect();
        return g.w == 640 && g.h == 480 && g.x == origin.x && g.y == origin.y && shown.left == g.x &&
               shown.top == g.y;
    };
    EXPECT_TRUE(PumpUntil(backInPlace)) << "the window is not back where the layer places it";

    // A move that SDL reports at the frame's origin, as it does under a window
    // manager, leaves the picture where X11 has the window.
    const Geometry before = GeometryOf(own, x11);
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_MOVED;
    e.window.windowID = SDL_GetWindowID(GetSdlWindowOfHandle(window));
    e.window.data1 = before.x - 1;
    e.window.data2 = before.y - 20;
    SDL_PushEvent(&e);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    EXPECT_TRUE(backInPlace());

    DestroyWindow(window);
    XCloseDisplay(own);
}

} // namespace

TEST(WindowOnX11, FullScreenCoversTheScreenWithoutAWindowManagerAndComesBackInPlace)
{
    if (std::getenv(kChildVariable) != nullptr) {
        RunOnX11();
        return;
    }
    const std::string xvfb = FindProgram("Xvfb");
    if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // The server picks a free display and writes its number when ready.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, kDeadlineSeconds * 1000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number.push_back(c);
    }
    close(fds[0]);
    int status = -1;
    if (!number.empty()) {
        const std::string name = std::string(testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) +
                                 "." + testing::UnitTest::GetInstance()->current_test_info()->name();
        const pid_t child = fork();
        if (child == 0) {
            setenv("DISPLAY", (":" + number).c_str(), 1);
            setenv("SDL_VIDEODRIVER", "x11", 1);
            setenv(kChildVariable, "1", 1);
            const std::string filter = "--gtest_filter=" + name;
            execl("/proc/self/exe", "test_platform_window", filter.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // Each of the child's waits has its own deadline.
        for (int i = 0; i < 5 * kDeadlineSeconds * 10 && waitpid(child, &status, WNOHANG) == 0; ++i) usleep(100000);
        if (status == -1) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the run on the X server failed (status " << status
                                                                << ")";
}
