#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/clock.h"
#include "platform/window/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
};
std::vector<Seen> g_seen;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_seen.push_back({message, wParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

int g_timerCalls = 0;
void OnTimer(HWND, UINT, std::uintptr_t, DWORD)
{
    ++g_timerCalls;
}

class WindowLayerTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseManualClock(1000, 0);
        g_seen.clear();
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "LayerTest";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "LayerTest", "t", WS_POPUP | WS_CAPTION, 0, 0, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(window);
        UseRealClock();
    }
    bool Next(MSG* m) { return PeekMessageA(m, nullptr, 0, 0, PM_REMOVE) != FALSE; }
    HWND window = nullptr;
};

} // namespace

TEST_F(WindowLayerTest, CreationSendsCreateAndTheClientAreaIsInsideTheFrame)
{
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen[0].message, WM_CREATE);
    RECT client{};
    GetClientRect(window, &client);
    RECT frame{0, 0, client.right, client.bottom};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_CAPTION, FALSE, 0);
    EXPECT_EQ(frame.right - frame.left, 200);
    EXPECT_EQ(frame.bottom - frame.top, 100);
}

TEST_F(WindowLayerTest, SentMessagesRunAtOncePostedOnesWaitInOrder)
{
    g_seen.clear();
    PostMessageA(window, WM_USER + 1, 1, 0);
    SendMessageA(window, WM_USER + 2, 2, 0);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, WM_USER + 2u);
    PostMessageA(window, WM_USER + 3, 3, 0);
    PostQuitMessage(7);
    MSG m;
    ASSERT_TRUE(Next(&m));
    EXPECT_EQ(m.message, WM_USER + 1u);
    DispatchMessageA(&m);
    ASSERT_TRUE(Next(&m));
    EXPECT_EQ(m.message, WM_USER + 3u);
    // Thread messages only, through the (HWND)-1 filter.
    ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)), 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(Next(&m));
}

TEST_F(WindowLayerTest, PaintAndTimerComeOnlyWhenTheQueueIsEmpty)
{
    ShowWindow(window, SW_SHOW);
    SetTimer(window, 5, 50, OnTimer);
    PostMessageA(window, WM_USER, 0, 0);
    MSG m;
    ASSERT_TRUE(Next(&m));
    EXPECT_EQ(m.message, WM_USER);
    ASSERT_TRUE(Next(&m));
    EXPECT_EQ(m.message, WM_PAINT);
    DispatchMessageA(&m);  // the default handling validates the window
    EXPECT_FALSE(Next(&m));
    AdvanceManualClock(50000);
    ASSERT_TRUE(Next(&m));
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(m.wParam, 5u);
    DispatchMessageA(&m);
    EXPECT_EQ(g_timerCalls, 1);
    EXPECT_FALSE(Next(&m));  // next due 50 ms later
    KillTimer(window, 5);
}

TEST_F(WindowLayerTest, KeyDownTranslatesToACharacter)
{
    MSG key{window, WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_TRUE(TranslateMessage(&key));
    MSG m;
    ASSERT_TRUE(Next(&m));
    EXPECT_EQ(m.message, WM_CHAR);
    EXPECT_EQ(m.wParam, static_cast<WPARAM>('a'));
    MSG left{window, WM_KEYDOWN, VK_LEFT, 0, 0, {}};
    EXPECT_FALSE(TranslateMessage(&left));
}

TEST_F(WindowLayerTest, DestroyedHandleFailsSafelyAndDropsItsMessages)
{
    PostMessageA(window, WM_USER, 0, 0);
    HWND dead = window;
    g_seen.clear();
    EXPECT_TRUE(DestroyWindow(dead));
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, WM_DESTROY);
    window = nullptr;
    MSG m;
    EXPECT_FALSE(Next(&m));
    EXPECT_FALSE(IsWindow(dead));
    EXPECT_FALSE(PostMessageA(dead, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(dead, WM_USER, 0, 0), 0);
    EXPECT_FALSE(DestroyWindow(dead));
    RECT r;
    EXPECT_FALSE(GetClientRect(dead, &r));
}

TEST_F(WindowLayerTest, FindWindowSeesTheClassInThisProcess)
{
    EXPECT_EQ(FindWindowA("layertest", nullptr), window);
    EXPECT_EQ(FindWindowA("NoSuchClass", nullptr), nullptr);
}

TEST_F(WindowLayerTest, InFullScreenTheCursorReadsInThePicturesPixels)
{
    SDL_Window* sdl = GetSdlWindowOfHandle(window);
    ASSERT_NE(sdl, nullptr);
    ShowWindow(window, SW_SHOW);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    SDL_WarpMouseInWindow(sdl, 10, 20);
    POINT p{};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, origin.x + 10);
    EXPECT_EQ(p.y, origin.y + 20);

    // 640 x 400 on the 1024 x 768 desktop: scaled by 1.6 between bands of 64.
    ASSERT_TRUE(SetVirtualDisplayMode(DisplayMode{640, 400, 32, 0}));
    ASSERT_TRUE(IsWindowFullScreen(window));
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(sdl, &w, &h);
    ASSERT_EQ(w, 1024);
    ASSERT_EQ(h, 768);
    struct Case {
        int wx, wy;
        LONG x, y;
    };
    const Case cases[] = {
        {0, 64, 0, 0}, {512, 384, 320, 200}, {1023, 703, 639, 399}, {512, 10, 320, 0}, {1023, 767, 639, 399},
    };
    for (const Case& c : cases) {
        SDL_WarpMouseInWindow(sdl, c.wx, c.wy);
        ASSERT_TRUE(GetCursorPos(&p));
        EXPECT_EQ(p.x, c.x) << c.wx << "," << c.wy;
        EXPECT_EQ(p.y, c.y) << c.wx << "," << c.wy;
    }
    RestoreVirtualDisplayMode();
    EXPECT_FALSE(IsWindowFullScreen(window));
}

TEST_F(WindowLayerTest, BackFromFullScreenTheClientAreaIsWhereTheWindowIs)
{
    SDL_Window* sdl = GetSdlWindowOfHandle(window);
    ASSERT_NE(sdl, nullptr);
    ShowWindow(window, SW_SHOW);
    ASSERT_TRUE(SetVirtualDisplayMode(DisplayMode{640, 480, 32, 0}));
    RestoreVirtualDisplayMode();
    ASSERT_FALSE(IsWindowFullScreen(window));
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(sdl, &x, &y);
    // Under a window manager SDL then reports the frame's origin, not the
    // client area's.
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_MOVED;
    e.window.windowID = SDL_GetWindowID(sdl);
    e.window.data1 = x - 1;
    e.window.data2 = y - 20;
    SDL_PushEvent(&e);
    MSG m;
    while (Next(&m)) DispatchMessageA(&m);
    const RECT shown = GetDisplayClientRect();
    EXPECT_EQ(shown.left, x);
    EXPECT_EQ(shown.top, y);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(origin.x, x);
    EXPECT_EQ(origin.y, y);
}

TEST(CursorCount, ShowCursorCountsUpAndDown)
{
    const int start = GetCursorDisplayCount();
    EXPECT_EQ(ShowCursor(FALSE), start - 1);
    EXPECT_EQ(ShowCursor(TRUE), start);
}

namespace {

LRESULT PaintingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) ReleaseDC(window, GetDC(window));
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TEST(LockOrder, PaintingWhileAnotherThreadChangesTheDisplayDoesNotDeadlock)
{
    // Painting takes the window lock, then the GDI lock through GetDC; a mode
    // change announces itself to the windows. Both at once must not stall.
    WNDCLASSA wc{};
    wc.lpfnWndProc = PaintingProc;
    wc.lpszClassName = "LockOrderTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "LockOrderTest", "t", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 3000 && !done.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done.load()) {
            std::fprintf(stderr, "window and GDI locks deadlocked\n");
            std::abort();
        }
    });
    std::atomic<bool> changed{false};
    std::thread changer([&] {
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        mode.dmPelsWidth = 640;
        mode.dmPelsHeight = 480;
        mode.dmBitsPerPel = 16;
        for (int i = 0; i < 2000; ++i) {
            ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
            ChangeDisplaySettingsA(nullptr, 0);
        }
        changed = true;
    });
    MSG m;
    // Painting goes on for as long as the modes change.
    for (int i = 0; i < 2000 || !changed.load(); ++i) {
        ShowWindow(window, SW_SHOW);  // marks the window for painting again
        UpdateWindow(window);
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
    changer.join();
    done = true;
    watchdog.join();
    DestroyWindow(window);
}
