// Every shipped stage can be cleared: a searching player (tests/game/
// stage_player.h) plays each one from its start until the clear sequence
// has stored a best time, with the player alive.
#include "game_fixture.h"
#include "stage_player.h"

#include <gtest/gtest.h>

class ClearableTest : public GameTest, public testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        std::filesystem::copy(ZARVO_DATA_DIR "/date/stage", folder / "date" / "stage",
                              std::filesystem::copy_options::overwrite_existing | std::filesystem::copy_options::recursive);
        ASSERT_EQ(StartLibrary(), 0);
        SelectDrawTarget(-2);
    }
};

TEST_P(ClearableTest, ShippedStageIsCleared)
{
    const int stage = GetParam();
    // From the program's start state. A search that runs out of frames starts
    // afresh with another seed: the frames a search needs vary widely with it.
    StagePlayResult r;
    unsigned seed = 1;
    for (; seed <= 8 && !r.cleared; ++seed) {
        ResetGameGlobals();
        CurrentStage = stage;
        StartStage();
        ProgramMode = 1;
        r = SearchStageClear(60000, seed);
    }
    ASSERT_TRUE(r.cleared) << "stage " << stage;
    EXPECT_GT(BestTimes[stage - 1], 0);
    std::printf("stage %2d: cleared in %d frames (seed %u, %ld frames simulated), best time %d\n", stage, r.frames,
                seed - 1, r.simulated, BestTimes[stage - 1]);
}

INSTANTIATE_TEST_SUITE_P(Stages, ClearableTest, testing::Range(1, 31));
