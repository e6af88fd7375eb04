#include "core/sysstate.h"
#include "game/winmain.h"
#include "game_fixture.h"
#include "platform/kernel/clock.h"
#include "platform/window/window.h"
#include "platform/winmm/timer.h"
#include "platform/display/display.h"

#include <gtest/gtest.h>

class GameEntryTest : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        LastFrameTime = 0;
    }
};

TEST_F(GameEntryTest, PacingStretchesShortPassesAndNeverShortensLongOnes)
{
    UseManualClock(1000, 0);  // a still clock: only the pacing's sleeps move it
    LastFrameTime = timeGetTime();
    AdvanceManualClock(5000);  // a 5 ms pass
    PaceFrame();
    EXPECT_EQ(LastFrameTime, 1016u);

    AdvanceManualClock(40000);  // a 40 ms pass: no sleep
    PaceFrame();
    EXPECT_EQ(LastFrameTime, 1056u);
    PaceFrame();  // measured from the end of the previous pacing
    EXPECT_EQ(LastFrameTime, 1072u);
}

TEST_F(GameEntryTest, PacingIsCorrectAcrossTheClockWrap)
{
    UseManualClock(0xFFFFFFFFu - 4, 0);
    LastFrameTime = timeGetTime();
    PaceFrame();
    EXPECT_EQ(LastFrameTime, 11u);  // 16 ms later, past the wrap
}

TEST_F(GameEntryTest, EntryAnswersMinusOneWhenTheLibraryCannotStart)
{
    SetWindowCreationFailure(true);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), -1);
    SetWindowCreationFailure(false);
    EXPECT_EQ(SysState.InitializeFlag, 0);
}

TEST_F(GameEntryTest, AQuitBeforeThePassOrModeTwoEndsTheLoopWithoutAFrame)
{
    ASSERT_EQ(StartGame(), 0);
    EXPECT_EQ(CurrentStage, 1);
    EXPECT_EQ(RunFramePass(), 0);
    const unsigned shown = GetPresentCount();

    ProgramMode = 2;
    EXPECT_EQ(RunFramePass(), -1);
    EXPECT_EQ(GetPresentCount(), shown);  // no pacing, no present

    ProgramMode = 0;
    PostQuitMessage(0);
    EXPECT_EQ(RunFramePass(), -1);
    EXPECT_EQ(GetPresentCount(), shown);
    EXPECT_EQ(EndLibrary(), 0);
}
