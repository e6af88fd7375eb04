// Owns the MCI stand-in's record of the commands sent to it.
#include "platform/winmm/mci.h"

#include <mutex>

namespace {

std::mutex g_mutex;
std::vector<MCICOMMAND> g_commands;

} // namespace

MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, std::uintptr_t flags, std::uintptr_t parameters)
{
    MCICOMMAND c{device, message, flags, false, {}};
    if (message == MCI_PLAY && parameters != 0) {
        c.HasPlayParms = true;
        c.Play = *reinterpret_cast<const MCI_PLAY_PARMS*>(parameters);
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    g_commands.push_back(c);
    return MCIERR_INVALID_DEVICE_ID;
}

std::vector<MCICOMMAND> TakeMciCommands()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<MCICOMMAND> taken;
    taken.swap(g_commands);
    return taken;
}
