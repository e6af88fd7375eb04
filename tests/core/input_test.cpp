// Pad bits from injected keys and joypads through DirectInput and through the
// winmm fallback: the default and the game's key maps, the dead zone, the
// once-per-millisecond read, and the guards on pad numbers and key codes.
#include "core/input.h"

#include "core/api.h"
#include "core/random.h"
#include "core/sysstate.h"
#include "support/library_fixture.h"
#include "platform/window/window.h"
#include "platform/com/com.h"
#include "platform/kernel/sync.h"

#include "platform/dinput/dinput.h"
#include "platform/dinput/input_hook.h"
#include "platform/kernel/clock.h"

#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class InputTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetLibraryProcessState();
        UseInjectedInput(true);
        UseManualClock(1000, 0);
        CoInitialize(nullptr);
        // Input runs on the window's thread of an active window.
        SysState.ActiveFlag = 1;
        SysState.WindowThreadId = GetCurrentThreadId();
    }
    void TearDown() override
    {
        TerminateInput();
        DetachInjectedPads();
        CoUninitialize();
        UseRealClock();
    }

    // One frame's read with the key held, as the game reads it.
    static int BitsWithKey(int scancode, int select = 0x1001)
    {
        InjectKey(scancode, true);
        AdvanceManualClock(1000);
        int bits = ComposePadInputBits(select);
        InjectKey(scancode, false);
        AdvanceManualClock(1000);
        ComposePadInputBits(select);
        return bits;
    }

    // The game's seven assignments, in its order.
    static void AssignGameKeys()
    {
        const int rows[7][2] = {{0x10, DIK_Z},     {0x20, DIK_X}, {0x4000, DIK_R}, {0x02, DIK_LEFT},
                                {0x04, DIK_RIGHT}, {0x08, DIK_UP}, {0x01, DIK_DOWN}};
        for (const auto& r : rows) EXPECT_EQ(StorePadKeyMap(1, r[0], r[1], -1, -1, -1), 0);
    }
};

struct KeyCase {
    int scancode;
    int bits;
};

}  // namespace

TEST_F(InputTest, WithoutJoypadTheDefaultMapHoldsAndAssignmentsAreIgnored)
{
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(GetJoypadCount(), 0);
    EXPECT_FALSE(IsInputWinmmMode());
    AssignGameKeys();  // refused: no pad 1 is attached

    const KeyCase cases[] = {
        {SDL_SCANCODE_DOWN, 0x1},    {SDL_SCANCODE_KP_2, 0x1},   {SDL_SCANCODE_LEFT, 0x2}, {SDL_SCANCODE_KP_4, 0x2},
        {SDL_SCANCODE_RIGHT, 0x4},   {SDL_SCANCODE_KP_6, 0x4},   {SDL_SCANCODE_UP, 0x8},   {SDL_SCANCODE_KP_8, 0x8},
        {SDL_SCANCODE_Z, 0x10},      {SDL_SCANCODE_X, 0x20},     {SDL_SCANCODE_C, 0x40},   {SDL_SCANCODE_A, 0x80},
        {SDL_SCANCODE_S, 0x100},     {SDL_SCANCODE_D, 0x200},    {SDL_SCANCODE_Q, 0x400},  {SDL_SCANCODE_W, 0x800},
        {SDL_SCANCODE_ESCAPE, 0x1000}, {SDL_SCANCODE_SPACE, 0x2000}, {SDL_SCANCODE_R, 0},  {SDL_SCANCODE_F1, 0},
    };
    for (const KeyCase& c : cases) EXPECT_EQ(BitsWithKey(c.scancode), c.bits) << "scancode " << c.scancode;
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_Z, 0x1000), 0x10) << "pad number 0 reads through pad 1's map";
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_Z, 1), 0) << "without 0x1000 the keyboard is not merged";
}

TEST_F(InputTest, WithOneJoypadTheGameKeysReplaceTheDefaultsAndTheDeadZoneHolds)
{
    ASSERT_EQ(AttachInjectedPad("Pad", 2, 8, 0), 0);
    ASSERT_EQ(InitializeInput(), 0);
    ASSERT_EQ(GetJoypadCount(), 1);
    AssignGameKeys();

    const KeyCase cases[] = {
        {SDL_SCANCODE_R, 0x4000}, {SDL_SCANCODE_Z, 0x10}, {SDL_SCANCODE_X, 0x20}, {SDL_SCANCODE_DOWN, 0x1},
        {SDL_SCANCODE_KP_2, 0},   {SDL_SCANCODE_LEFT, 0x2}, {SDL_SCANCODE_C, 0x40},  // bit 6 was not reassigned
    };
    for (const KeyCase& c : cases) EXPECT_EQ(BitsWithKey(c.scancode), c.bits) << "scancode " << c.scancode;

    const struct {
        int axis;
        int raw;
        int bits;
    } axes[] = {
        {0, 0, 0},      {0, 8000, 0},     {0, -8000, 0},   {0, 9000, 0x4},   {0, -32768, 0x2},
        {1, -9000, 0x8}, {1, 32767, 0x1}, {1, 7000, 0},
    };
    for (const auto& a : axes) {
        SetInjectedPadAxis(0, a.axis, a.raw);
        EXPECT_EQ(ComposePadInputBits(0x1001), a.bits) << "axis " << a.axis << " raw " << a.raw;
        SetInjectedPadAxis(0, a.axis, 0);
    }
    SetInjectedPadButton(0, 3, true);
    EXPECT_EQ(ComposePadInputBits(1), 0x80);
}

TEST_F(InputTest, ReadsInOneMillisecondWithoutDeviceEventReuseTheState)
{
    AttachInjectedPad("Pad", 2, 4, 0);
    ASSERT_EQ(InitializeInput(), 0);
    SetInjectedPadButton(0, 0, true);
    InjectKey(SDL_SCANCODE_X, true);
    int first = ComposePadInputBits(0x1001);
    EXPECT_EQ(first, 0x30);

    long reads = DeviceReadCount();
    EXPECT_EQ(ComposePadInputBits(0x1001), first);
    EXPECT_EQ(DeviceReadCount(), reads) << "neither pad nor keyboard was read again";

    // A device event in the same millisecond is read at once.
    SetInjectedPadButton(0, 2, true);
    EXPECT_EQ(ComposePadInputBits(0x1001), 0x70);
    EXPECT_GT(DeviceReadCount(), reads);

    reads = DeviceReadCount();
    AdvanceManualClock(1000);
    ComposePadInputBits(0x1001);
    EXPECT_EQ(DeviceReadCount(), reads + 2) << "a new millisecond reads both devices once";
}

TEST_F(InputTest, WinmmFallbackReadsTheSameInjectedPad)
{
    SetDirectInputAvailable(false);
    AttachInjectedPad("Pad", 4, 4, 0);
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_TRUE(IsInputWinmmMode());
    EXPECT_EQ(GetJoypadCount(), 8) << "every id is polled";

    const struct {
        int raw;
        int bits;
    } cases[] = {{0, 0}, {-32768, 0x2}, {32767, 0x4}, {-8000, 0}, {-9000, 0x2}};
    for (const auto& c : cases) {
        SetInjectedPadAxis(0, 0, c.raw);
        AdvanceManualClock(1000);
        EXPECT_EQ(ComposePadInputBits(1), c.bits) << "raw " << c.raw;
    }
    SetInjectedPadAxis(0, 0, 0);
    SetInjectedPadButton(0, 2, true);
    AdvanceManualClock(1000);
    EXPECT_EQ(ComposePadInputBits(1), 0x40);
    SetInjectedPadButton(0, 2, false);

    // The keyboard goes through GetKeyboardState and both parts of the table.
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_Z), 0x10);
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_ESCAPE), 0x1000);
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_DOWN), 0) << "the arrow keys are not in the table";
    EXPECT_EQ(ComposePadInputBits(2), 0) << "an id without a joystick reads as released";
}

TEST_F(InputTest, WithoutVersion7TheVersion8ObjectServesTheSameDevices)
{
    SetDirectInputVersionAvailable(7, false);
    AttachInjectedPad("Pad", 2, 4, 0);
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_FALSE(IsInputWinmmMode());
    ASSERT_EQ(GetJoypadCount(), 1);
    AssignGameKeys();
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_R), 0x4000);
    SetInjectedPadAxis(0, 0, -32768);
    EXPECT_EQ(ComposePadInputBits(1), 0x2);
}

TEST_F(InputTest, EnumerationStopsAtEightJoypads)
{
    for (int i = 0; i < 9; ++i) ASSERT_EQ(AttachInjectedPad("Pad", 2, 2, 0), i);
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(GetJoypadCount(), 8);
    SetInjectedPadButton(7, 1, true);
    EXPECT_EQ(ComposePadInputBits(8), 0x20);
    EXPECT_EQ(ComposePadInputBits(9), 0);
}

TEST_F(InputTest, PadNumbersBeyondTheMapAndKeyCodesBeyondTheStateAnswerNothing)
{
    AttachInjectedPad("Pad", 2, 4, 0);
    ASSERT_EQ(InitializeInput(), 0);
    InjectKey(SDL_SCANCODE_Z, true);
    AdvanceManualClock(1000);
    for (int select : {0x1009, 0x1010, 0x1FFF, 9}) EXPECT_EQ(ComposePadInputBits(select), 0) << select;
    EXPECT_EQ(ComposePadInputBits(2), 0) << "a pad number beyond the attached pads";

    // A stored code of 300 is no key: it neither reads past the state nor sets its bit.
    StorePadKeyMap(1, 0x10, 300, -1, 0, 0);
    StorePadKeyMap(1, 0x8000, 0x7FFFFFFF, 256, DIK_Z, 0);
    AdvanceManualClock(1000);
    EXPECT_EQ(ComposePadInputBits(0x1001), 0x8000);
}

TEST_F(InputTest, KeyboardWithoutNotificationStillStartsWithTheDefaultMap)
{
    SetKeyboardNotificationFailure(true);
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_Z), 0x10);
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_UP), 0x8);
}

TEST_F(InputTest, FirstReadStartsInputAndTerminateEndsIt)
{
    EXPECT_FALSE(IsInputStarted());
    EXPECT_EQ(ComposePadInputBits(0x1001), 0);
    EXPECT_TRUE(IsInputStarted());
    EXPECT_EQ(InitializeInput(), 0) << "a second start does nothing";
    EXPECT_EQ(TerminateInput(), 0);
    EXPECT_FALSE(IsInputStarted());
    EXPECT_EQ(TerminateInput(), 0);
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_Z), 0x10);
}

TEST_F(InputTest, LettersFollowTheKeyboardLayout)
{
    // On this layout the key that types 'z' sits at the default layout's 'y'.
    SetInjectedLayoutKey('z', SDL_SCANCODE_Y);
    SetInjectedLayoutKey('y', SDL_SCANCODE_Z);
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_Y), 0x10);
    EXPECT_EQ(BitsWithKey(SDL_SCANCODE_Z), 0);
}

TEST_F(LibraryTest, StartedLibraryServesTheGameThroughItsEntries)
{
    UseInjectedInput(true);
    ASSERT_EQ(StartLibrary(), 0);
    ASSERT_TRUE(IsInputStarted());
    SimulateFocusChange(SysState.MainWindow, true);

    for (int bit : {0x10, 0x20, 0x4000, 0x02, 0x04, 0x08, 0x01}) EXPECT_EQ(AssignPadKeys(1, bit, DIK_R, -1, -1, -1), 0);
    InjectKey(SDL_SCANCODE_Z, true);
    EXPECT_EQ(GetPadInputBits(0x1001), 0x10);
    InjectKey(SDL_SCANCODE_Z, false);
    InjectKey(SDL_SCANCODE_R, true);
    EXPECT_EQ(GetPadInputBits(0x1001), 0) << "no joypad: the assignments were refused";
    InjectKey(SDL_SCANCODE_R, false);
    EXPECT_EQ(PumpMessages(), 0);

    SendMessageA(SysState.MainWindow, 0x46F, 1, 0);
    SendMessageA(SysState.MainWindow, 0x470, 1, 0);
    EXPECT_EQ(GetPadMessageFlagA(), 1);
    SendMessageA(SysState.MainWindow, 0x46F, 2, 0);
    EXPECT_EQ(GetPadMessageFlagA(), 0);
    EXPECT_EQ(GetPadMessageFlagB(), 1);

    // Seeded from the clock at window creation, not lazily with 4357.
    EXPECT_NE(NextRandomWord(), 2867219139u);
    for (int i = 0; i < 100; ++i) {
        int r = GetRandomNumber(9);
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 9);
    }

    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_FALSE(IsInputStarted());
    std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "DirectInput 関連の初期化は正常に終了しました"));
    EXPECT_TRUE(Contains(log, "DirectInput 関連の終了処理... 完了"));
}

TEST_F(LibraryTest, WithoutDirectInputTheLibraryStartsInWinmmMode)
{
    UseInjectedInput(true);
    SetDirectInputAvailable(false);
    AttachInjectedPad("Pad", 2, 4, 0);
    ASSERT_EQ(StartLibrary(), 0);
    EXPECT_TRUE(IsInputWinmmMode());
    SimulateFocusChange(SysState.MainWindow, true);
    SetInjectedPadButton(0, 0, true);
    EXPECT_EQ(GetPadInputBits(0x1001), 0x10);
    EXPECT_EQ(EndLibrary(), 0);
    DetachInjectedPads();
    std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "DirectInput を使用しません。"));
    EXPECT_TRUE(Contains(log, "パッドの数は 1 個です"));
    EXPECT_TRUE(Contains(log, "入力関連の終了処理... 完了"));
}

using InputFatalDeathTest = LibraryTest;

TEST_F(InputFatalDeathTest, KeyboardThatCannotBeAcquiredEndsTheProcess)
{
    EXPECT_EXIT(
        {
            UseInjectedInput(true);
            SetKeyboardAcquireFailure(true);
            StartLibrary();
        },
        testing::ExitedWithCode(255), "");
    EXPECT_TRUE(Contains(ReadLogFile(), "キーボードデバイスの取得に失敗しました"));
}
