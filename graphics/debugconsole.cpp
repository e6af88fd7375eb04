// Owns CONSOLESTATE and the console's font (its handle and deleted flag live
// in SYSSTATE, which the shutdown reads); draws through the font system.
#include "graphics/debugconsole.h"

#include "core/sysstate.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/screen.h"

#include <cstring>

CONSOLESTATE ConsoleState{};

int IsDebugConsoleEnabled()
{
    return ConsoleState.Enabled;
}

int SetupDebugConsole()
{
    SYSSTATE& s = SysState;
    if (GetDirectDrawInterface() == nullptr || s.MainWindow == nullptr) return -1;
    if (s.ConsoleFontCreated == 1) return 0;
    s.ConsoleFontCreated = 1;
    ConsoleState.FontSize = 16;
    s.ConsoleFontHandle = -1;
    s.ConsoleFontDeleted = 1;
    RefreshConsoleFont();
    ConsoleState.Enabled = 0;
    ConsoleState.FontThickness = 4;
    std::memset(ConsoleState.Lines, 0, sizeof ConsoleState.Lines);
    return 0;
}

int RefreshConsoleFont()
{
    SYSSTATE& s = SysState;
    if (s.ConsoleFontCreated == 0 && SetupDebugConsole() != 0) return 0;
    if (s.ConsoleFontDeleted == 1) {
        s.ConsoleFontHandle = CreateFontToHandle(nullptr, 16, 4, 1, -1, -1, 0, -1, 0);
        s.ConsoleFontDeleted = 0;
        BindFontDeletedFlag(s.ConsoleFontHandle, &s.ConsoleFontDeleted);
    }
    return 0;
}

int DrawDebugConsole()
{
    SetupDebugConsole();
    RefreshConsoleFont();
    const int size = ConsoleState.FontSize > 0 ? ConsoleState.FontSize : 16;
    int width = 0;
    int height = 0;
    GetScreenPixelSize(&width, &height);
    int lines = height / size;
    if (lines > CONSOLE_LINE_MAX) lines = CONSOLE_LINE_MAX;
    const DWORD white = ConvertRGBToScreenColor(255, 255, 255);
    const DWORD black = ConvertRGBToScreenColor(0, 0, 0);
    for (int i = 0; i < lines; ++i) {
        if (ConsoleState.Lines[i][0] == '\0') continue;
        DrawTextWithFontHandle(0, i * size, ConsoleState.Lines[i], white, SysState.ConsoleFontHandle, black, 0);
    }
    return 0;
}
