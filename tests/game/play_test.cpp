// Play steps: shot spawners and their culling, effect lives counted by the
// drawing, enemy fire frames, the player's keys and edges, and the stage
// timing with its clear and game-over sequences.
#include "game/enemies.h"
#include "game/player.h"
#include "game/playframe.h"
#include "game/stage.h"
#include "game_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

int LiveShots(int kind = 0)
{
    int n = 0;
    for (const GAMEOBJ& s : Shots)
        if (s.Life == 1 && (kind == 0 || s.Kind == kind)) ++n;
    return n;
}

GAMEOBJ Source(float x, float y)
{
    GAMEOBJ s{};
    s.X = x;
    s.Y = y;
    s.Width = s.Height = 20;
    s.OwnerId = 9;
    return s;
}

} // namespace

class PlayTest : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        ASSERT_EQ(StartLibrary(), 0);
        SelectDrawTarget(-2);
        Player.X = 320;
        Player.Y = 400;
    }
};

TEST_F(PlayTest, FansFillFreeSlotsInOrderAndDrawNothingWhenFull)
{
    for (int i = 0; i < kShotCount - 3; ++i) Shots[i].Life = 1;
    const unsigned before = ShotRandState();
    FireShotFan(Source(100, 100), 0, 5, 10, 2.0f, 0, 0, 0.0f, 0, 1.0f, 0);
    EXPECT_EQ(LiveShots(), kShotCount);
    // The first three shots of the fan, at -20, -10 and 0 degrees.
    EXPECT_NEAR(std::atan2(Shots[kShotCount - 3].VY, Shots[kShotCount - 3].VX) * 180 / M_PI, -20, 1e-3);
    EXPECT_NEAR(std::atan2(Shots[kShotCount - 1].VY, Shots[kShotCount - 1].VX) * 180 / M_PI, 0, 1e-3);
    const unsigned afterThree = ShotRandState();
    EXPECT_NE(afterThree, before);
    FireShotFan(Source(100, 100), 0, 5, 10, 2.0f, 0, 0, 0.0f, 0, 1.0f, 0);
    EXPECT_EQ(ShotRandState(), afterThree);  // no slot, no draw
}

TEST_F(PlayTest, ARingOfSeventyTwoHasNoShotAtZeroDegrees)
{
    FireShotFan(Source(300, 200), 0, 72, 5, 2.0f, 0, 0, 0.0f, 0, 1.0f, 0);
    ASSERT_EQ(LiveShots(), 72);
    double smallest = 360;
    for (int i = 0; i < 72; ++i)
        smallest = std::min(smallest, std::abs(std::atan2(Shots[i].VY, Shots[i].VX) * 180 / M_PI));
    EXPECT_NEAR(smallest, 2.5, 1e-3);
}

TEST_F(PlayTest, ShotsLeaveAtOnceLeftAndTopButABoxLaterRightAndBottom)
{
    struct Case {
        float x, y;
        int life;
    };
    const Case cases[] = {{-12.5f, 100, 0}, {-11.5f, 100, 1}, {652.5f, 100, 0}, {651.5f, 100, 1},
                          {100, -12.5f, 0}, {100, 492.5f, 0}, {100, 491.5f, 1}};
    for (const Case& c : cases) {
        GAMEOBJ& s = Shots[0];
        s = GAMEOBJ{};
        s.X = c.x + 0.5f;
        s.Y = c.y + 0.5f;
        s.VX = s.VY = -0.5f;
        s.Decay = 1.0f;
        s.Width = s.Height = 12;
        s.Kind = kShotAimed;
        s.Life = 1;
        MoveShots();
        EXPECT_EQ(s.Life, c.life) << c.x << "," << c.y;
    }
}

TEST_F(PlayTest, EffectLivesAreCountedByTheDrawing)
{
    SpawnRing(100, 100, 80, 3);
    SpawnRing(200, 100, 50, 2);
    int draws80 = 0, draws50 = 0;
    for (int frame = 0; frame < 40; ++frame) {
        draws80 += Effects[0].Kind == kEffectRing;
        draws50 += Effects[1].Kind == kEffectRing;
        DrawPlayScreen();
    }
    EXPECT_EQ(draws80, 27);  // radii 0, 3, ..., 78
    EXPECT_EQ(draws50, 25);

    // A lock-on marker bursts on the frame its life falls to 1 and goes on the next.
    GAMEOBJ owner = Source(400, 100);
    SpawnLockOnMarker(owner);
    const int slot = 0;
    ASSERT_EQ(Effects[slot].Kind, kEffectMarker);
    for (int frame = 1; frame <= 98; ++frame) DrawPlayScreen();
    EXPECT_EQ(LiveShots(), 0);
    DrawPlayScreen();
    EXPECT_EQ(Effects[slot].Life, 1);
    EXPECT_EQ(LiveShots(kShotFan), 64);
    DrawPlayScreen();
    EXPECT_EQ(Effects[slot].Kind, 0);
    EXPECT_EQ(Effects[slot].OwnerId, 0);
}

TEST_F(PlayTest, FireFrames)
{
    struct Case {
        int kind;
        int firstShotFrame;  // play frames until the first shot leaves
        int shots;
    };
    const Case cases[] = {{1, 84, 5}, {3, 99, 1}, {10, 5, 1}, {13, 5, 1}, {6, 19, 36}};
    for (const Case& c : cases) {
        ResetGameGlobals();
        Player.X = 320;
        Player.Y = 300;
        SpawnEnemy(330, 270, c.kind);  // in range of every kind
        Enemies[0].Sighted = 100000;   // seen throughout
        int frame = 0;
        while (LiveShots(kShotFan) + LiveShots(kShotAimed) == 0 && frame < 300) {
            ++frame;
            UpdateEnemies();
        }
        EXPECT_EQ(frame, c.firstShotFrame) << "kind " << c.kind;
        EXPECT_EQ(LiveShots(kShotFan) + LiveShots(kShotAimed), c.shots) << "kind " << c.kind;
        EXPECT_EQ(Enemies[0].Life > 0, c.kind != 6) << "a mine dies by firing";
    }
}

TEST_F(PlayTest, ModeKeyWaitsFiftyFramesAndSelfDestructKillsOnce)
{
    CurrentStage = 0;
    StartStage();
    for (int frame = 1; frame <= 50; ++frame) {
        PadInput = kPadZ;
        UpdateModeAndSelfDestruct();
        ASSERT_EQ(BarrierMode, 0) << frame;
    }
    UpdateModeAndSelfDestruct();
    EXPECT_EQ(BarrierMode, 1);
    EXPECT_EQ(PlayerSpeed, 1);
    EXPECT_EQ(Player.HitWidth, 15);
    EXPECT_EQ(Player.HitHeight, 20);

    PadInput = kPadR;
    UpdateModeAndSelfDestruct();
    EXPECT_EQ(PlayerLife, -1);
    UpdateModeAndSelfDestruct();
    EXPECT_EQ(PlayerLife, -1);
}

TEST_F(PlayTest, TheTopEdgeHoldsThePlayerWithinOneStep)
{
    PlayerSpeed = 2;
    Player.X = 100;
    Player.Y = 1;
    for (int i = 0; i < 10; ++i) {
        PadInput = kPadUp | kPadLeft;
        MovePlayer();
        EXPECT_GE(Player.Y, 0.0f);
        EXPECT_LT(Player.Y, 2.0f);
    }
    EXPECT_EQ(Player.X, 80.0f);  // diagonal: the full step on each axis
}

TEST_F(PlayTest, StageTiming)
{
    // An empty stage clears on its first frame; a clear under a counted
    // second stores 1, since 0 means never cleared.
    CurrentStage = 3;
    StartStage();
    ProgramMode = 1;
    int frames = 0;
    while (ProgramMode == 1 && frames < 400) {
        UpdateStageTiming();
        ++frames;
    }
    EXPECT_EQ(frames, 301);
    EXPECT_EQ(BestTimes[2], 1);
    EXPECT_EQ(ReadTextFile(folder / "date" / "time.dat"), "0\n0\n1\n" + Lines(32, 0));

    // A time equal to the best is no new best: nothing is saved.
    std::filesystem::remove(folder / "date" / "time.dat");
    StartStage();
    ProgramMode = 1;
    while (ProgramMode == 1) UpdateStageTiming();
    EXPECT_FALSE(std::filesystem::exists(folder / "date" / "time.dat"));

    // Dead on the frame of the clear: the game over ends first, nothing is saved.
    CurrentStage = 4;
    StartStage();
    ProgramMode = 1;
    PlayerLife = -1;
    frames = 0;
    while (ProgramMode == 1) {
        UpdateStageTiming();
        ++frames;
    }
    EXPECT_EQ(frames, 201);
    EXPECT_EQ(BestTimes[3], 0);
}

TEST_F(PlayTest, ABestTimeFileWithANegativeTimeTakesTheNextClear)
{
    WriteTextFile(folder / "date" / "time.dat", "0\n0\n-5\n" + Lines(32, 0));
    LoadProgressFiles();
    CurrentStage = 3;
    StartStage();
    ProgramMode = 1;
    while (ProgramMode == 1) UpdateStageTiming();
    EXPECT_EQ(BestTimes[2], 1);
    EXPECT_EQ(ReadTextFile(folder / "date" / "time.dat"), "0\n0\n1\n" + Lines(32, 0));
}
