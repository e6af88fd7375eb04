// joyGetDevCapsA and joyGetPosEx over the input layer's shared joystick list:
// joystick id n is the n-th listed SDL joystick.
// Neighbours: platform/dinput/input_source.cpp.
#include "platform/winmm/joystick.h"

#include "platform/dinput/input_source.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr UINT kMaxJoysticks = 16;

DWORD AxisPosition(SDL_Joystick* joystick, int axis)
{
    if (axis >= SDL_JoystickNumAxes(joystick)) return 32767;
    // Rest is 32767 and the ends 0 and 65535, as the system's driver reports them.
    int v = SDL_JoystickGetAxis(joystick, axis);
    if (v < 0) return static_cast<DWORD>((v + 32768) * 32767 / 32768);
    return static_cast<DWORD>(32767 + v * 32768 / 32767);
}


}  // namespace

MMRESULT joyGetDevCapsA(UINT id, JOYCAPSA* caps, UINT size)
{
    if (caps == nullptr || size < sizeof(JOYCAPSA) || id >= kMaxJoysticks) return JOYERR_PARMS;
    StartJoystickSource();
    SDL_Joystick* joystick = OpenSourceJoystick(static_cast<int>(id));
    if (joystick == nullptr) return JOYERR_PARMS;

    std::memset(caps, 0, sizeof(*caps));
    const char* name = SDL_JoystickName(joystick);
    for (std::size_t i = 0; name != nullptr && name[i] != 0 && i < sizeof(caps->szPname) - 1; ++i)
        caps->szPname[i] = static_cast<unsigned char>(name[i]) < 0x80 ? name[i] : '?';
    caps->wMid = SDL_JoystickGetVendor(joystick);
    caps->wPid = SDL_JoystickGetProduct(joystick);
    int axes = std::min(SDL_JoystickNumAxes(joystick), 6);
    int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
    caps->wXmax = caps->wYmax = caps->wZmax = caps->wRmax = caps->wUmax = caps->wVmax = 65535;
    caps->wNumButtons = static_cast<UINT>(buttons);
    caps->wMaxButtons = 32;
    caps->wPeriodMin = 10;
    caps->wPeriodMax = 1000;
    caps->wMaxAxes = 6;
    caps->wNumAxes = static_cast<UINT>(axes);
    if (axes > 2) caps->wCaps |= JOYCAPS_HASZ;
    if (axes > 3) caps->wCaps |= JOYCAPS_HASR;
    if (axes > 4) caps->wCaps |= JOYCAPS_HASU;
    if (axes > 5) caps->wCaps |= JOYCAPS_HASV;
    if (SDL_JoystickNumHats(joystick) > 0) caps->wCaps |= JOYCAPS_HASPOV | JOYCAPS_POV4DIR;
    return JOYERR_NOERROR;
}

MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info)
{
    if (info == nullptr || info->dwSize != sizeof(JOYINFOEX) || id >= kMaxJoysticks) return JOYERR_PARMS;
    SDL_Joystick* joystick = OpenSourceJoystick(static_cast<int>(id));
    if (joystick == nullptr) return JOYERR_PARMS;
    if (!SDL_JoystickGetAttached(joystick)) return JOYERR_UNPLUGGED;
    UpdateJoystickSource();
    CountDeviceRead();

    DWORD flags = info->dwFlags;
    if (flags & JOY_RETURNX) info->dwXpos = AxisPosition(joystick, 0);
    if (flags & JOY_RETURNY) info->dwYpos = AxisPosition(joystick, 1);
    if (flags & JOY_RETURNZ) info->dwZpos = AxisPosition(joystick, 2);
    if (flags & JOY_RETURNR) info->dwRpos = AxisPosition(joystick, 3);
    if (flags & JOY_RETURNU) info->dwUpos = AxisPosition(joystick, 4);
    if (flags & JOY_RETURNV) info->dwVpos = AxisPosition(joystick, 5);
    if (flags & JOY_RETURNBUTTONS) {
        DWORD bits = 0, count = 0;
        int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
        for (int b = 0; b < buttons; ++b) {
            if (SDL_JoystickGetButton(joystick, b)) {
                bits |= 1u << b;
                ++count;
            }
        }
        info->dwButtons = bits;
        info->dwButtonNumber = count;
    }
    if (flags & JOY_RETURNPOV)
        info->dwPOV = SDL_JoystickNumHats(joystick) > 0
                          ? HatToPovHundredths(SDL_JoystickGetHat(joystick, 0), JOY_POVCENTERED)
                          : JOY_POVCENTERED;
    return JOYERR_NOERROR;
}
