// The player's two play steps: movement with the block probes and the
// screen edges, then the mode switch (barrier) and self-destruct.
#pragma once

// Pad bits the game reads.
enum PadBit {
    kPadDown = 0x01,
    kPadLeft = 0x02,
    kPadRight = 0x04,
    kPadUp = 0x08,
    kPadZ = 0x10,
    kPadX = 0x20,
    kPadR = 0x4000,
};

void MovePlayer();
void UpdateModeAndSelfDestruct();
