// Owns the game's entry, frame loop and pacing and their globals; reaches
// the library only through its public entries (core/api) and calls the
// data files, resources, stage loader and the two scenes of game/.
#include "game/winmain.h"

#include <cstdlib>

#include "core/api.h"
#include "game/datafiles.h"
#include "game/player.h"
#include "game/playframe.h"
#include "game/resources.h"
#include "game/select.h"
#include "game/stage.h"
#include "platform/kernel/clock.h"

int ProgramMode = kModeSelect;
int PadInput = 0;
int CurrentStage = 0;
DWORD LastFrameTime = 0;

namespace {

// Pad 1's key map: input bit and key code, in the order assigned.
constexpr int kKeyMap[7][2] = {
    {kPadZ, KEY_Z}, {kPadX, KEY_X}, {kPadR, KEY_R},
    {kPadLeft, KEY_LEFT}, {kPadRight, KEY_RIGHT}, {kPadUp, KEY_UP}, {kPadDown, KEY_DOWN},
};

} // namespace

void PaceFrame()
{
    const DWORD now = GetMillisecondClock();
    const DWORD elapsed = now - LastFrameTime;
    if (elapsed < 16) Sleep(16 - elapsed);
    LastFrameTime = GetMillisecondClock();
}

int RunFramePass()
{
    if (PumpMessages() != 0) return -1;
    PadInput = GetPadInputBits(PAD_1 | PAD_KEYBOARD);
    if (ProgramMode == kModeSelect) RunSelectFrame();
    if (ProgramMode == kModePlay) RunPlayFrame();
    if (ProgramMode == kModeLeave) return -1;
    PaceFrame();
    PresentScreen();
    EraseScreen();
    return 0;
}

int StartGame()
{
    for (int& t : BestTimes) t = 0;
    ReadSettingFile();
    LoadProgressFiles();
    SetScreenMode(640, 480, 32, 60);
    SelectWindowMode(WINDOW_MODE_WINDOWED);
    // ZARVO_DIRECT3D=0 draws through the software renderer instead of the Direct3D device.
    if (const char* d3d = std::getenv("ZARVO_DIRECT3D"); d3d != nullptr && d3d[0] != '\0') SelectDirect3D(d3d[0] != '0');
    if (StartLibrary() == -1) return -1;
    SelectDrawTarget(SCREEN_BACK);
    for (const auto& key : kKeyMap) AssignPadKeys(PAD_1, key[0], key[1], KEY_NONE, KEY_NONE, KEY_NONE);
    LoadGameResources();
    CurrentStage = 1;
    LoadStageFile();
    return 0;
}

int WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (StartGame() == -1) return -1;
    while (RunFramePass() == 0) {
    }
    EndLibrary();
    return 0;
}
