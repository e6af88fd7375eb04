// The stage reader: cell forms and line ends, long and short lines and
// files, player starts, and the stage start's reset.
#include "core/random.h"
#include "game/stage.h"
#include "game_fixture.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

int Cell(int column, int row)
{
    return StageCells[column * kGridSize + row];
}

int Tile(int column, int row)
{
    return Tiles[column * kGridSize + row];
}

void Load(const std::string& text)
{
    std::istringstream in(text);
    LoadStageFromStream(in);
}

std::string Row(int cells, int value)
{
    std::string s;
    for (int i = 0; i < cells; ++i) s += (i ? "," : "") + std::to_string(value);
    return s;
}

} // namespace

class StageTest : public GameTest {};

TEST_F(StageTest, CellReaderTable)
{
    struct Case {
        const char* text;
        int values[4];
    };
    const Case cases[] = {
        {"33, 34 ,35\n1", {33, 34, 35, 0}},  // the line feed ends the row: its other cells read 0
        {"1,2\r\n3", {1, 2, 0, 0}},
        {" -7 ,+8,9x,", {-7, 8, 9, 0}},
        {",,5", {0, 5, 0, 0}},  // an empty cell takes the comma after it too
        {"99999999999,-99999999999", {INT32_MAX, INT32_MIN, 0, 0}},
        {"", {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        for (int i = 0; i < 4; ++i) {
            int v = -1;
            ReadCsvCell(in, &v);
            EXPECT_EQ(v, c.values[i]) << c.text << " cell " << i;
        }
    }
}

TEST_F(StageTest, FileShapes)
{
    // CR LF, a blank row, a 120-cell row, then the file ends after four lines.
    Load("33, 34 ,35\r\n\r\n" + Row(120, 33) + "\r\n0,35\r\n");
    EXPECT_EQ(Tile(0, 0), 1);
    EXPECT_EQ(Tile(1, 0), 2);
    EXPECT_EQ(Tile(2, 0), 3);
    EXPECT_EQ(Tile(3, 0), 0);
    for (int c = 0; c < 100; ++c) EXPECT_EQ(Tile(c, 1), 0);
    for (int c = 0; c < 100; ++c) EXPECT_EQ(Tile(c, 2), 1);
    EXPECT_EQ(Tile(1, 3), 3);  // cells 100-119 did not spill into the next row
    EXPECT_EQ(Tile(0, 3), 0);
    for (int r = 4; r < 100; ++r) EXPECT_EQ(Tile(1, r), 0);
}

TEST_F(StageTest, EnemiesAndTheLastPlayerStart)
{
    std::string text = "0,0,0,0,0,0,32\n0\n0\n0,0,0,0,0,3,0,0,32\n";
    Load(text);
    EXPECT_EQ(Player.X, 160.0f);  // the later start: row 3, column 8
    EXPECT_EQ(Player.Y, 60.0f);
    EXPECT_EQ(Enemies[0].Kind, 3);
    EXPECT_EQ(Enemies[0].X + Enemies[0].Width / 2, 110.0f);
    EXPECT_EQ(Enemies[0].Y + Enemies[0].Height / 2, 70.0f);
    EXPECT_EQ(Cell(8, 3), 32);
    EXPECT_EQ(Tile(8, 3), 0);
}

TEST_F(StageTest, StartResetsPlayAndAMissingOrUnknownStageIsEmpty)
{
    WriteTextFile(folder / "date" / "stage" / "2.csv", "33,0,4\n");
    Shots[5].Life = 1;
    Effects[3].Kind = 2;
    Enemies[7].Life = 4;
    PlayFrames = 123;
    for (int stage : {2, 3, 31}) {
        CurrentStage = stage;
        StartStage();
        EXPECT_EQ(PlayerSpeed, 3);
        EXPECT_EQ(BarrierCharges, 10);
        EXPECT_EQ(Player.HitWidth, 6);
        EXPECT_EQ(Shots[5].Life, 0);
        EXPECT_EQ(PlayFrames, 123);
        const bool loaded = stage == 2;
        EXPECT_EQ(Tile(0, 0), loaded ? 1 : 0) << stage;
        EXPECT_EQ(Enemies[0].Life, loaded ? 100 : 0) << stage;
        EXPECT_EQ(Enemies[7].Life, 0);
        EXPECT_EQ(Player.X, 320.0f);
    }
}

TEST_F(StageTest, SpawnsPastAFullEnemyTableDrawNothing)
{
    for (int i = 0; i < kEnemyCount; ++i) Enemies[i].Life = 1;
    SeedRandomGenerator(5);
    const int before = GetRandomNumber(2000);
    SeedRandomGenerator(5);
    Load("1,1,1\n");
    EXPECT_EQ(GetRandomNumber(2000), before);
}

TEST_F(StageTest, EnemyIdentitiesAreUnique)
{
    std::string text;
    for (int r = 0; r < 10; ++r) text += Row(10, 14) + "\n";
    for (int round = 0; round < 5; ++round) {
        StartStage();
        Load(text);
        for (int i = 0; i < kEnemyCount; ++i)
            for (int j = i + 1; j < kEnemyCount; ++j) ASSERT_NE(Enemies[i].OwnerId, Enemies[j].OwnerId);
    }
}
