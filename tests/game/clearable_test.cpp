// Every shipped stage can be cleared: a searching player (tests/game/
// stage_player.h) plays each one from its start until the clear sequence
// has stored a best time, with the player alive.
#include "game_fixture.h"
#include "stage_player.h"

#include <gtest/gtest.h>

class ClearableTest : public GameTest {
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

TEST_F(ClearableTest, EveryShippedStageIsCleared)
{
    for (int stage = 1; stage <= 30; ++stage) {
        // Each stage from the program's start state; another search seed when
        // one search runs out of frames.
        StagePlayResult r;
        unsigned seed = 1;
        for (; seed <= 4 && !r.cleared; ++seed) {
            ResetGameGlobals();
            CurrentStage = stage;
            StartStage();
            ProgramMode = 1;
            r = SearchStageClear(300000, seed);
        }
        EXPECT_TRUE(r.cleared) << "stage " << stage;
        std::printf("stage %2d: cleared in %d frames (seed %u, %ld frames simulated), best time %d\n", stage, r.frames,
                    seed - 1, r.simulated, BestTimes[stage - 1]);
    }
}
