// Owns the core tests' fixture: the process's library state reset, manual
// clock, captured debugger output and log reading.
#include "library_fixture.h"

#include "core/api.h"
#include "core/input.h"
#include "core/sysstate.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/screen.h"
#include "platform/display/display.h"
#include "platform/dinput/input_hook.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/sync.h"
#include "platform/window/window.h"

#include <SDL2/SDL.h>

#include <cstdint>

#include <fstream>
#include <sstream>

namespace {

std::string g_debugOutput;

void CaptureDebug(const char* text)
{
    g_debugOutput += text;
}

} // namespace

void ResetLibraryProcessState()
{
    // What an earlier test posted but never read: a close still on its way
    // is delivered (its window goes), a quit is dropped.
    MSG m;
    const HWND threadMessages = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE) || PeekMessageA(&m, threadMessages, 0, 0, PM_REMOVE)) {
        if (m.message != WM_QUIT) DispatchMessageA(&m);
    }
    // A shutdown that found the quit flag set leaves the main window and its
    // class to the process's exit; the next start-up here needs them gone.
    if (SysState.InitializeFlag == 0) {
        if (SysState.MainWindow != nullptr && IsWindow(SysState.MainWindow)) DestroyWindow(SysState.MainWindow);
        if (SysState.ClassName[0] != '\0') UnregisterClassA(SysState.ClassName, nullptr);
    }
    SysState = SYSSTATE{};
    // The screen's settings and its fall-back to software rendering outlive a
    // shutdown; a test starts from the first start-up of a process.
    if (ScreenState.DirectDraw == nullptr) {
        ScreenState = SCREENSTATE{};
        ResetVirtualDisplay();
    }
    ResetInputState();
    ResetInputHooks();
}

void LibraryTest::SetUp()
{
    ResetLibraryProcessState();
    UseManualClock(1000, 1000);
    g_debugOutput.clear();
    SetDebugOutputSink(CaptureDebug);
    SysState.WindowModeFlag = 1;
}

void LibraryTest::TearDown()
{
    SetDebugOutputSink(nullptr);
    UseRealClock();
}

HWND StandInMainWindow(const char* className, WNDPROC proc)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, className, "stand-in", 0, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
    if (window == nullptr) return nullptr;
    SysState.MainWindow = window;
    SysState.WindowThreadId = GetCurrentThreadId();
    SysState.ActiveFlag = 1;
    return window;
}

int StartDrawingLibrary(int width, int height, int bits)
{
    ResetLibraryProcessState();
    UseManualClock(100000, 20);
    SysState.DoubleStartAllowed = 1;
    SetScreenMode(width, height, bits, 60);
    SelectWindowMode(bits == 32 ? 1 : 0);
    const int result = StartLibrary();
    SysState.ActiveFlag = 1;
    SelectDrawTarget(-2);
    return result;
}

void EndDrawingLibrary()
{
    EndLibrary();
    UseRealClock();
}

int StartDirect3DLibrary(int width, int height, int bits)
{
    ResetLibraryProcessState();
    UseManualClock(100000, 20);
    SysState.DoubleStartAllowed = 1;
    ScreenState.GdiOnly = 0;
    ScreenState.SoftwareRendering = 0;
    ScreenState.SoftwareStartRequest = 0;
    SetDirect3DWanted(1);
    SetScreenMode(width, height, bits, 60);
    SelectWindowMode(0);
    return StartLibrary();
}

void EndDirect3DLibrary()
{
    EndLibrary();
    SetDirect3DWanted(0);
    UseRealClock();
}

void QueueFocusChange(HWND window, bool active)
{
    SDL_Window* sdl = GetSdlWindowOfHandle(window);
    ASSERT_NE(sdl, nullptr);
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(sdl);
    e.window.event = active ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

std::string ReadLogFile(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> LogLinesWithoutStamps(const char* name)
{
    std::vector<std::string> lines;
    std::string all = ReadLogFile(name);
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t end = all.find("\r\n", pos);
        std::string line = all.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        std::size_t colon = line.find(':');
        bool stamped = colon != std::string::npos && colon > 0;
        for (std::size_t i = 0; stamped && i < colon; ++i)
            if (line[i] < '0' || line[i] > '9') stamped = false;
        lines.push_back(stamped ? line.substr(colon + 1) : line);
        if (end == std::string::npos) break;
        pos = end + 2;
    }
    return lines;
}

bool LogHasLine(const std::string& text, const char* name)
{
    for (const std::string& line : LogLinesWithoutStamps(name)) {
        const std::size_t start = line.find_first_not_of('\t');
        if (start != std::string::npos && line.compare(start, std::string::npos, text) == 0) return true;
    }
    return false;
}

bool Contains(const std::string& haystack, const std::string& needle)
{
    return haystack.find(needle) != std::string::npos;
}

const std::string& CapturedDebugOutput()
{
    return g_debugOutput;
}
