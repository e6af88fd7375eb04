// The output devices the mixer plays into: SDL audio, or the null device
// that consumes the mix by a clock and can capture it. One output is open
// while any initialised DirectSound object exists.
#pragma once

#include "platform/dsound/dsound.h"

// Opens the output on the first call (SDL, else the null device, as chosen);
// false when nothing could be opened. Each success needs a CloseSoundOutput.
bool OpenSoundOutput();
void CloseSoundOutput();
// Brings the null device up to its clock; the caller holds the mixer mutex.
// Every buffer call runs it first, so cursors and status follow time.
void CatchUpSoundOutput();
// The module and description of the open output for the device list; false
// when none is open.
bool DescribeSoundOutput(const char** module, const char** description);
// The fault hooks, consulted by the buffer calls.
bool ConsumeSoundFault(SoundFault fault);
