// The winmm joystick calls over injected pads: capabilities, the 0 ... 65535
// axis scale with 32767 at rest, button bits, and ids without a joystick.
#include "platform/dinput/input_hook.h"
#include "platform/winmm/joystick.h"

#include <gtest/gtest.h>

TEST(WinmmJoystick, ReadsTheInjectedPad)
{
    UseInjectedInput(true);
    ASSERT_EQ(AttachInjectedPad("Four Axes", 4, 6, 0), 0);
    ASSERT_EQ(AttachInjectedPad("Two Axes", 2, 2, 0), 1);

    JOYCAPSA caps;
    ASSERT_EQ(joyGetDevCapsA(0, &caps, sizeof(caps)), JOYERR_NOERROR);
    EXPECT_EQ(caps.wCaps & (JOYCAPS_HASZ | JOYCAPS_HASR), JOYCAPS_HASZ | JOYCAPS_HASR);
    EXPECT_EQ(caps.wNumButtons, 6u);
    EXPECT_STREQ(caps.szPname, "Four Axes");
    ASSERT_EQ(joyGetDevCapsA(1, &caps, sizeof(caps)), JOYERR_NOERROR);
    EXPECT_EQ(caps.wCaps & (JOYCAPS_HASZ | JOYCAPS_HASR), 0u);
    EXPECT_NE(joyGetDevCapsA(2, &caps, sizeof(caps)), JOYERR_NOERROR);
    EXPECT_NE(joyGetDevCapsA(0, &caps, 100), JOYERR_NOERROR);

    const struct {
        int raw;
        DWORD pos;
    } cases[] = {{0, 32767}, {-32768, 0}, {32767, 65535}, {-16384, 16383}};
    for (const auto& c : cases) {
        SetInjectedPadAxis(0, 0, c.raw);
        JOYINFOEX info = {};
        info.dwSize = sizeof(info);
        info.dwFlags = JOY_RETURNALL;
        ASSERT_EQ(joyGetPosEx(0, &info), JOYERR_NOERROR);
        EXPECT_EQ(info.dwXpos, c.pos) << "raw " << c.raw;
        EXPECT_EQ(info.dwYpos, 32767u);
    }

    SetInjectedPadButton(0, 0, true);
    SetInjectedPadButton(0, 5, true);
    JOYINFOEX info = {};
    info.dwSize = sizeof(info);
    info.dwFlags = JOY_RETURNALL;
    ASSERT_EQ(joyGetPosEx(0, &info), JOYERR_NOERROR);
    EXPECT_EQ(info.dwButtons, 0x21u);
    EXPECT_EQ(info.dwButtonNumber, 2u);

    EXPECT_NE(joyGetPosEx(7, &info), JOYERR_NOERROR);
    info.dwSize = 40;
    EXPECT_EQ(joyGetPosEx(0, &info), JOYERR_PARMS);
    DetachInjectedPads();
}
