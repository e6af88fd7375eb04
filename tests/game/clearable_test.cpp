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
    for (int stage = std::getenv("ONE_STAGE") ? std::atoi(std::getenv("ONE_STAGE")) : 1; stage <= 30; ++stage) {
        CurrentStage = stage;
        StartStage();
        ProgramMode = 1;
        const StagePlayResult r = SearchStageClear(400000);
        EXPECT_TRUE(r.cleared) << "stage " << stage << " after " << r.simulated << " simulated frames";
        std::printf("stage %2d: cleared %d in %d frames (%ld simulated), best %d\n", stage, r.cleared, r.frames,
                    r.simulated, BestTimes[stage - 1]);
    }
}
