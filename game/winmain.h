// The game's entry: read the data files, start the library, load the
// resources and the first stage, run the frame loop, end the library.
#pragma once

#include "platform/kernel/types.h"

// 0 after the frame loop has ended, -1 when the library cannot start.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
// Start-up up to the first frame; -1 when the library cannot start.
int StartGame();
// One pass of the frame loop; -1 when the loop must end.
int RunFramePass();
// Stretches a pass of the frame loop to at least 16 ms.
void PaceFrame();

enum GameMode { kModeSelect = 0, kModePlay = 1, kModeLeave = 2 };

extern int ProgramMode;      // a GameMode
extern int PadInput;         // the pad bits of the current frame
extern int CurrentStage;     // 1 to 30
extern DWORD LastFrameTime;  // clock reading at the end of the previous pacing
