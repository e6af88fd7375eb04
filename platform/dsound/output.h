// The output devices the mixer plays into: SDL audio, or the null device
// that consumes the mix by a clock and can capture it. One output is open
// while any initialised DirectSound object exists.
#pragma once

#include "platform/dsound/dsound.h"

#include <string>
#include <utility>
#include <vector>

// Opens the output on the first call (SDL, else the null device, as chosen);
// false when nothing could be opened. Each success needs a CloseSoundOutput.
bool OpenSoundOutput();
void CloseSoundOutput();
// Brings the null device up to its clock; the caller holds the mixer mutex.
// Every buffer call runs it first, so cursors and status follow time.
void CatchUpSoundOutput();
// The module (driver) and description of each device of the open output,
// for the device list; empty when nothing is open.
std::vector<std::pair<std::string, std::string>> ListSoundOutputs();
// The fault hooks, consulted by the buffer calls.
bool ConsumeSoundFault(SoundFault fault);
