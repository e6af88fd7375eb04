// Owns the game's entry and frame pacing and their globals; reaches the
// library only through its public entries (core/api). The game's data
// files, resources, key map and scenes come with the game itself.
#include "game/winmain.h"

#include <cstdlib>

#include "core/api.h"
#include "platform/kernel/clock.h"

int ProgramMode = 0;
int PadInput = 0;
int CurrentStage = 0;
DWORD LastFrameTime = 0;

void PaceFrame()
{
    const DWORD now = GetMillisecondClock();
    const DWORD elapsed = now - LastFrameTime;
    if (elapsed < 16) Sleep(16 - elapsed);
    LastFrameTime = GetMillisecondClock();
}

int WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Reading "setting.txt", "date\time.dat" and "date\flag.dat" comes with
    // the game's data files.
    SetScreenMode(640, 480, 32, 60);
    SelectWindowMode(1);
    // ZARVO_DIRECT3D=1 draws through the Direct3D device instead of the software renderer.
    if (const char* d3d = std::getenv("ZARVO_DIRECT3D"); d3d != nullptr && d3d[0] == '1') SelectDirect3D(1);
    if (StartLibrary() == -1) return -1;
    SelectDrawTarget(-2);
    // The pad key map, the pictures and sounds and the first stage come with
    // input and the game.
    CurrentStage = 1;

    for (;;) {
        if (PumpMessages() != 0) break;
        // Reading pad 1 merged with the keyboard comes with input.
        // The title/select and play frames come with the game's scenes.
        if (ProgramMode == 2) break;
        PaceFrame();
        PresentScreen();
        EraseScreen();
    }

    EndLibrary();
    return 0;
}
