// Collisions: the hit boxes, what shots and probes do to the player and the
// barrier, blocks that stop or break, and ramming.
#include "game/collisions.h"
#include "game/enemies.h"
#include "game/player.h"
#include "game_fixture.h"

#include <gtest/gtest.h>

namespace {

GAMEOBJ& ShotAt(int slot, float x, float y, int kind)
{
    GAMEOBJ& s = Shots[slot];
    s.X = x;
    s.Y = y;
    s.Width = s.Height = 12;
    s.HitWidth = s.HitHeight = kind == kShotProbe ? 20 : 6;
    s.Kind = kind;
    s.Life = 1;
    return s;
}

void PlacePlayer(float x, float y, bool barrier)
{
    Player.X = x;
    Player.Y = y;
    BarrierMode = barrier ? 1 : 0;
    Player.HitWidth = 15;
    Player.HitHeight = barrier ? 20 : 15;
}

} // namespace

class CollisionTest : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        ASSERT_EQ(StartLibrary(), 0);
        SelectDrawTarget(-2);
        BarrierCharges = 10;
    }
};

TEST_F(CollisionTest, PlayerHitBoxEdges)
{
    struct Case {
        float shotX, shotY;  // the shot's 6 x 6 hit box starts 3 pixels in
        bool barrier;
        int hits;
    };
    // The player at (100, 100): 14 pixels across (93..107), 14 or 20 high.
    const Case cases[] = {
        {107 - 3 - 6 + 0.0f, 97, false, 1},  {107 - 3 + 0.0f, 97, false, 0},  // right edge excluded
        {93 - 3 - 6 + 0.0f, 97, false, 0},   {93 - 3 - 5 + 0.0f, 97, false, 1},
        {97, 107 - 3 + 0.0f, false, 0},      {97, 107 - 3 + 0.0f, true, 1},  // the barrier is 20 high
        {97, 90 - 3 - 5 + 0.0f, true, 1},    {97, 90 - 3 - 6 + 0.0f, true, 0},
    };
    for (const Case& c : cases) {
        PlacePlayer(100, 100, c.barrier);
        GAMEOBJ s{};
        s.X = c.shotX;
        s.Y = c.shotY;
        s.Width = s.Height = 12;
        s.HitWidth = s.HitHeight = 6;
        EXPECT_EQ(ObjectsOverlap(Player, s), c.hits) << c.shotX << "," << c.shotY << " barrier " << c.barrier;
    }
}

TEST_F(CollisionTest, BarrierAbsorbsWhileChargesLastAndProbesNeverHurt)
{
    PlacePlayer(300, 300, true);
    Enemies[0].OwnerId = 77;
    Enemies[0].Life = 1;
    ShotAt(0, 294, 294, kShotProbe).OwnerId = 77;
    ShotAt(1, 294, 294, kShotAimed);
    BarrierCharges = 1;
    ResolveCollisions();
    EXPECT_EQ(Enemies[0].Sighted, 50);
    EXPECT_EQ(BarrierCharges, 0);  // the probe took none
    EXPECT_EQ(PlayerLife, 0);
    EXPECT_EQ(Shots[1].Life, 0);

    ShotAt(2, 294, 294, kShotAimed);
    ShotAt(3, 10, 10, kShotAimed);
    ResolveCollisions();
    EXPECT_EQ(PlayerLife, -1);     // no charge left: the shot kills
    EXPECT_EQ(Shots[3].Life, 0);   // and the screen is cleared of shots
}

TEST_F(CollisionTest, BlocksStopShotsAndCrackedOnesBreakEvenAsThePlayerDies)
{
    Tiles[5 * 100 + 5] = kTileCracked;  // x 100..119, y 100..119
    Tiles[8 * 100 + 5] = kTileOpen;
    Tiles[10 * 100 + 5] = kTileSolid;
    PlacePlayer(106, 100, false);
    ShotAt(0, 100, 96, kShotAimed);  // on the player and over the cracked block
    ShotAt(1, 160, 100, kShotAimed); // over the open block
    ShotAt(2, 196, 100, kShotProbe); // over the solid block
    ResolveCollisions();
    EXPECT_EQ(PlayerLife, -1);
    EXPECT_EQ(Tiles[5 * 100 + 5], kTileEmpty);

    Tiles[5 * 100 + 5] = kTileCracked;
    ShotAt(1, 160, 100, kShotAimed);
    ShotAt(2, 196, 100, kShotProbe);
    ShotAt(3, 100, 100, kShotProbe);
    ResolveCollisions();
    EXPECT_EQ(Shots[1].Life, 1);  // open blocks let shots pass
    EXPECT_EQ(Shots[2].Life, 0);  // solid ones stop probes
    EXPECT_EQ(Shots[3].Life, 0);
    EXPECT_EQ(Tiles[5 * 100 + 5], kTileCracked);  // a probe breaks nothing
}

TEST_F(CollisionTest, RammingDestroysHarmlessEnemiesAndTheirShotsButAHarmfulTouchKills)
{
    SpawnEnemy(210, 210, 4);
    SpawnEnemy(190, 190, 1);
    SpawnEnemy(200, 225, 7);
    PlacePlayer(200, 200, false);
    ShotAt(0, 400, 400, kShotAimed).OwnerId = Enemies[0].OwnerId;
    ShotAt(1, 420, 400, kShotAimed).OwnerId = Enemies[1].OwnerId + 1;
    Enemies[2].TouchHurts = 1;
    ResolveCollisions();
    EXPECT_EQ(Enemies[0].Life, 0);  // 100 hit points make no difference
    EXPECT_EQ(Enemies[1].Life, 0);
    EXPECT_EQ(Shots[0].Life, 0);
    EXPECT_EQ(Shots[1].Life, 1);
    EXPECT_EQ(PlayerLife, -1);
    EXPECT_EQ(Enemies[2].Life, 1);

    // Once the player is dead nothing more is tested.
    SpawnEnemy(210, 210, 14);
    ResolveCollisions();
    EXPECT_EQ(Enemies[0].Life, 1);
}

TEST_F(CollisionTest, TheCoreHurtsUntilItIsTheLastEnemy)
{
    SpawnEnemy(300, 300, 7);
    SpawnEnemy(100, 100, 14);
    PlacePlayer(300, 300, false);
    UpdateEnemies();
    EXPECT_EQ(Enemies[0].TouchHurts, 1);
    Enemies[1].Life = 0;
    UpdateEnemies();
    EXPECT_EQ(Enemies[0].TouchHurts, 0);
    EXPECT_EQ(CoreReleased, 1);
    for (GAMEOBJ& s : Shots) s.Life = 0;  // its own spray, which starts at its centre
    ResolveCollisions();
    EXPECT_EQ(Enemies[0].Life, 0);
    EXPECT_EQ(PlayerLife, 0);
}
