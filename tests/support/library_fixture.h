// Helpers for tests of the library's core: a manual clock, silenced debugger
// output, and the log file read back as bytes.
#pragma once

#include "core/sysstate.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// What an earlier test of the same process may have left: the system block
// and (while no screen runs) the screen state back to their defaults, input
// ended and its fall-back forgotten, the input hooks reset, the thread's
// unread messages delivered (a quit dropped), a main window and class a
// shutdown after a quit left behind removed.
void ResetLibraryProcessState();

// Every test starts from the process state reset, the manual clock (each clock read advances it by
// 1 ms, so busy waits and timed pumps end at once) and windowed mode.
class LibraryTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// A plain 64x64 window of class `className` (registered here, messages to
// `proc`) made this thread's active main window in the system block; null
// when it cannot be made.
HWND StandInMainWindow(const char* className, WNDPROC proc);

// Starts the library under the manual clock on a width x height screen of
// `bits` (windowed at 32 bits; full screen otherwise, since a window follows
// the desktop's depth), active and drawing to the back screen. Answers
// StartLibrary's result.
int StartDrawingLibrary(int width, int height, int bits);
// Ends it and returns to the real clock.
void EndDrawingLibrary();
// Starts the library through the Direct3D back-end on a full screen, after
// clearing any fall-back to software that an earlier start left in the screen
// block. Answers StartLibrary's result.
int StartDirect3DLibrary(int width = 640, int height = 480, int bits = 32);
// Ends it, turns the Direct3D choice off and returns to the real clock.
void EndDirect3DLibrary();

// A library started windowed on a Width x Height screen at 32 bits for each
// test; `window` is its main window.
template <int Width, int Height>
class StartedLibraryTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        ASSERT_EQ(StartDrawingLibrary(Width, Height, 32), 0);
        window = GetMainWindowHandle();
    }
    void TearDown() override
    {
        EndDrawingLibrary();
        LibraryTest::TearDown();
    }
    HWND window = nullptr;
};

// A focus change as the window system reports it: queued, and handled by
// whichever message pump runs next.
void QueueFocusChange(HWND window, bool active);

// "Log.txt" of the current folder, byte for byte ("" when missing).
std::string ReadLogFile(const char* name = "Log.txt");
// Lines of the log without their "<ms>:" stamps (CR LF split, CR kept out).
std::vector<std::string> LogLinesWithoutStamps(const char* name = "Log.txt");
// True when a line of the log, its stamp and indentation left out, is `text`
// whole: no other message runs into it.
bool LogHasLine(const std::string& text, const char* name = "Log.txt");
// True when `needle` occurs in `haystack`.
bool Contains(const std::string& haystack, const std::string& needle);
// The texts the debugger output received since the fixture started.
const std::string& CapturedDebugOutput();
