// The debug console: up to 80 lines of text drawn with a font of its own
// over the screen before each present, while it is enabled.
#pragma once

constexpr int CONSOLE_LINE_MAX = 80;
constexpr int CONSOLE_LINE_SIZE = 255;

struct CONSOLESTATE {
    int Enabled;
    int FontSize;
    int FontThickness;
    char Lines[CONSOLE_LINE_MAX][CONSOLE_LINE_SIZE];
};
extern CONSOLESTATE ConsoleState;

int IsDebugConsoleEnabled();
// 0, -1 without DirectDraw or a main window.
int SetupDebugConsole();
int RefreshConsoleFont();
int DrawDebugConsole();
