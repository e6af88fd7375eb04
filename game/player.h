// The player's two play steps: movement with the block probes and the
// screen edges, then the mode switch (barrier) and self-destruct.
#pragma once

#include "core/api.h"

// The pad bits the game reads: the directions and the buttons its keys are
// mapped to (game/winmain).
enum GamePadBit : int {
    kPadDown = PAD_DOWN,
    kPadLeft = PAD_LEFT,
    kPadRight = PAD_RIGHT,
    kPadUp = PAD_UP,
    kPadZ = PAD_BUTTON_0,
    kPadX = PAD_BUTTON_1,
    kPadR = PAD_BUTTON_10,
};

void MovePlayer();
void UpdateModeAndSelfDestruct();
