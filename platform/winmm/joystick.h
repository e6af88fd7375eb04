// The multimedia joystick calls: capabilities and position of joysticks 0-15,
// read from the same raw SDL joysticks as DirectInput's.
#pragma once

#include "platform/kernel/types.h"

using MMRESULT = UINT;
constexpr MMRESULT JOYERR_NOERROR = 0;
constexpr MMRESULT JOYERR_PARMS = 165;
constexpr MMRESULT JOYERR_UNPLUGGED = 167;

constexpr UINT JOYCAPS_HASZ = 0x0001;
constexpr UINT JOYCAPS_HASR = 0x0002;
constexpr UINT JOYCAPS_HASU = 0x0004;
constexpr UINT JOYCAPS_HASV = 0x0008;
constexpr UINT JOYCAPS_HASPOV = 0x0010;
constexpr UINT JOYCAPS_POV4DIR = 0x0020;

constexpr DWORD JOY_RETURNX = 0x01;
constexpr DWORD JOY_RETURNY = 0x02;
constexpr DWORD JOY_RETURNZ = 0x04;
constexpr DWORD JOY_RETURNR = 0x08;
constexpr DWORD JOY_RETURNU = 0x10;
constexpr DWORD JOY_RETURNV = 0x20;
constexpr DWORD JOY_RETURNPOV = 0x40;
constexpr DWORD JOY_RETURNBUTTONS = 0x80;
constexpr DWORD JOY_RETURNALL = 0xFF;
constexpr DWORD JOY_POVCENTERED = 0xFFFF;

struct JOYCAPSA {
    WORD wMid;
    WORD wPid;
    char szPname[32];
    UINT wXmin;
    UINT wXmax;
    UINT wYmin;
    UINT wYmax;
    UINT wZmin;
    UINT wZmax;
    UINT wNumButtons;
    UINT wPeriodMin;
    UINT wPeriodMax;
    UINT wRmin;
    UINT wRmax;
    UINT wUmin;
    UINT wUmax;
    UINT wVmin;
    UINT wVmax;
    UINT wCaps;
    UINT wMaxAxes;
    UINT wNumAxes;
    UINT wMaxButtons;
    char szRegKey[32];
    char szOEMVxD[260];
};
static_assert(sizeof(JOYCAPSA) == 404);

struct JOYINFOEX {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwXpos;
    DWORD dwYpos;
    DWORD dwZpos;
    DWORD dwRpos;
    DWORD dwUpos;
    DWORD dwVpos;
    DWORD dwButtons;
    DWORD dwButtonNumber;
    DWORD dwPOV;
    DWORD dwReserved1;
    DWORD dwReserved2;
};
static_assert(sizeof(JOYINFOEX) == 52);

// Axes read 0 ... 65535 with 32767 at rest; up to 32 buttons as bits.
MMRESULT joyGetDevCapsA(UINT id, JOYCAPSA* caps, UINT size);
MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info);
