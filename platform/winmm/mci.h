// The media control interface as the MIDI music state calls it: play from
// a position with a completion notice, and close. No device is ever opened
// here, so every command is refused as one to an unknown device; each is
// recorded for tests.
#pragma once

#include "platform/kernel/types.h"

#include <cstdint>
#include <vector>

using MCIDEVICEID = UINT;
using MCIERROR = DWORD;

constexpr UINT MCI_CLOSE = 0x0804;
constexpr UINT MCI_PLAY = 0x0806;
constexpr DWORD MCI_NOTIFY = 0x00000001;
constexpr DWORD MCI_FROM = 0x00000004;
constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = 257;

struct MCI_PLAY_PARMS {
    std::uintptr_t dwCallback;  // the window that gets MM_MCINOTIFY
    DWORD dwFrom;
    DWORD dwTo;
};

MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, std::uintptr_t flags, std::uintptr_t parameters);

// What was sent, in order (the play parameters copied when given).
struct MCICOMMAND {
    MCIDEVICEID Device;
    UINT Message;
    std::uintptr_t Flags;
    bool HasPlayParms;
    MCI_PLAY_PARMS Play;
};
std::vector<MCICOMMAND> TakeMciCommands();
