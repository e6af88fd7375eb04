// The select screen's cursor rules: the repeat delay, empty cells, starting
// a stage at once, locked stages, and the cleared count.
#include "game/select.h"
#include "game_fixture.h"
#include "game/player.h"
#include "platform/display/display.h"

#include <gtest/gtest.h>

class SelectTest : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        ASSERT_EQ(StartLibrary(), 0);
        SelectDrawTarget(-2);
    }

    void Frames(int count, int pad)
    {
        for (int i = 0; i < count && ProgramMode == 0; ++i) {
            PadInput = pad;
            RunSelectFrame();
        }
    }
};

TEST_F(SelectTest, AHeldKeyMovesOnceEveryElevenFrames)
{
    Frames(10, kPadRight);
    EXPECT_EQ(SelectColumn, 1);
    Frames(1, kPadRight);
    EXPECT_EQ(SelectColumn, 2);
    EXPECT_EQ(CurrentStage, 2);
    Frames(10, kPadRight);
    EXPECT_EQ(SelectColumn, 2);
    Frames(1, kPadRight);
    EXPECT_EQ(SelectColumn, 3);
    Frames(11 * 10, kPadRight);
    EXPECT_EQ(SelectColumn, 6);  // stops at the edge
}

TEST_F(SelectTest, DownAndRightRefuseAnEmptyCellButUpAndLeftEnterIt)
{
    UnlockCounts[1] = -1;  // row 0, column 2
    UnlockCounts[6] = -1;  // row 1, column 1
    Frames(11, kPadRight);
    EXPECT_EQ(SelectColumn, 1);
    Frames(11, kPadDown);
    EXPECT_EQ(SelectRow, 0);

    SelectRow = 1;
    SelectColumn = 2;
    Frames(11, kPadLeft);
    EXPECT_EQ(SelectColumn, 1);  // now on the empty cell of stage 7
    EXPECT_EQ(StageStateAt(6, CountClearedStages()), kStageEmpty);
    Frames(1, kPadZ);  // an empty cell starts like a playable stage
    EXPECT_EQ(ProgramMode, 1);
    EXPECT_EQ(CurrentStage, 7);
}

TEST_F(SelectTest, ZHeldOnTheFirstFrameStartsAtOnceButALockedStageOnlyRefuses)
{
    UnlockCounts[0] = 1;
    SelectDelay = 0;
    Frames(1, kPadZ);
    EXPECT_EQ(ProgramMode, 0);  // locked: no start, and no refusal before the delay
    EXPECT_EQ(SelectDelay, 1);
    Frames(10, kPadZ);
    EXPECT_EQ(SelectDelay, 0);  // the refusal sound reset the delay on frame 11

    BestTimes[34] = 5;  // an entry never shown still counts as a clear
    EXPECT_EQ(CountClearedStages(), 1);
    Frames(1, kPadZ);
    EXPECT_EQ(ProgramMode, 1);
    EXPECT_EQ(CurrentStage, 1);
    EXPECT_EQ(PlayerSpeed, 3);  // the stage start ran
}

TEST_F(SelectTest, DownAndUpTogetherKeepTheRowButReloadTheStage)
{
    WriteTextFile(folder / "date" / "stage" / "1.csv", "33\n");
    SelectDelay = 11;
    PadInput = kPadDown | kPadUp;
    RunSelectFrame();
    EXPECT_EQ(SelectRow, 0);
    EXPECT_EQ(SelectDelay, 0);
    EXPECT_EQ(Tiles[0], 1);
}

TEST_F(SelectTest, TheTotalShowsFromTwentySixClears)
{
    std::filesystem::copy(ZARVO_DATA_DIR "/date/graph", folder / "date" / "graph",
                          std::filesystem::copy_options::recursive);
    LoadGameResources();
    auto totalLine = [] {
        PadInput = 0;
        RunSelectFrame();
        PresentScreen();
        int w = 0, h = 0;
        const std::uint32_t* p = GetLastPresentedPixels(&w, &h);
        int dark = 0;
        for (int y = 320; y < 336; ++y)
            for (int x = 450; x < 600; ++x) dark += (p[y * w + x] & 0xFFFFFF) == 0;  // the text is pure black
        return dark;
    };
    for (int i = 0; i < 25; ++i) BestTimes[i] = 3;
    EXPECT_EQ(totalLine(), 0);  // 25 clears: no total
    BestTimes[30] = 9;          // a clear never shown still counts
    EXPECT_EQ(CountClearedStages(), 26);
    EXPECT_GT(totalLine(), 20);
}
