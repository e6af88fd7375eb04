// The game's text files: the music setting's accepted forms, short and
// malformed progress files, clamped numbers, and the best-times save that
// never loses the old file.
#include "game_fixture.h"

#include <gtest/gtest.h>

class DataFilesTest : public GameTest {};

TEST_F(DataFilesTest, MusicSettingForms)
{
    struct Case {
        const char* text;  // nullptr: no file
        bool on;
    };
    const Case cases[] = {
        {"BGM=1\n", true},  {"BGM= 1", true},   {"BGM=257\n", true}, {"BGM =1\n", false}, {" BGM=1", false},
        {"BGM=0\n", false}, {"BGM=2\n", false}, {"BGM=x\n", false},  {"", false},         {nullptr, false},
        {"BGM=99999999999999999999\n", false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove("setting.txt");
        if (c.text != nullptr) WriteTextFile(folder / "setting.txt", c.text);
        BgmSetting = 0;
        ReadSettingFile();
        EXPECT_EQ(IsMusicOn(), c.on) << (c.text != nullptr ? c.text : "(no file)");
    }
    WriteTextFile(folder / "setting.txt", "BGM=-99999999999999\n");
    ReadSettingFile();
    EXPECT_EQ(BgmSetting, INT32_MIN);
}

TEST_F(DataFilesTest, ShortAndMalformedProgressFilesKeepTheRestAtZero)
{
    WriteTextFile(folder / "date" / "time.dat", Lines(30, 7));
    WriteTextFile(folder / "date" / "flag.dat", "3 -1\r\n5\n\n6 oops 9\n");
    LoadProgressFiles();
    EXPECT_EQ(BestTimes[29], 7);
    EXPECT_EQ(BestTimes[30], 0);
    EXPECT_EQ(BestTimes[34], 0);
    const int flags[] = {3, -1, 5, 6, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(UnlockCounts[i], flags[i]) << i;

    // The next save writes all 35 entries.
    ASSERT_EQ(SaveBestTimes(), 0);
    EXPECT_EQ(ReadTextFile(folder / "date" / "time.dat"), Lines(30, 7) + Lines(5, 0));
}

TEST_F(DataFilesTest, OverflowingNumbersAreClamped)
{
    WriteTextFile(folder / "date" / "time.dat", "4294967296\n-4294967296\n2147483647\n12\n");
    LoadProgressFiles();
    EXPECT_EQ(BestTimes[0], INT32_MAX);
    EXPECT_EQ(BestTimes[1], 0);  // clamped, then negative: no time
    EXPECT_EQ(BestTimes[2], INT32_MAX);
    EXPECT_EQ(BestTimes[3], 12);
}

TEST_F(DataFilesTest, ANegativeBestTimeReadsAsNeverCleared)
{
    WriteTextFile(folder / "date" / "time.dat", "-5\n-1\n0\n9\n");
    LoadProgressFiles();
    const int times[] = {0, 0, 0, 9};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(BestTimes[i], times[i]) << i;
    EXPECT_EQ(CountClearedStages(), 1);
    EXPECT_EQ(StageStateAt(0, 1), kStagePlayable);
    EXPECT_EQ(StageStateAt(3, 1), kStageCleared);
}

TEST_F(DataFilesTest, AMissingProgressFileEndsTheProcessWithStatusOne)
{
    std::filesystem::remove(folder / "date" / "flag.dat");
    EXPECT_EXIT(LoadProgressFiles(), testing::ExitedWithCode(1), "");
}

TEST_F(DataFilesTest, AFailedSaveIsLoggedAndKeepsTheOldFileAndTheTimesInMemory)
{
    WriteTextFile(folder / "date" / "time.dat", Lines(35, 4));
    // A folder in the temporary file's place makes the save fail before the rename.
    std::filesystem::create_directories(folder / "date" / "time.dat.tmp");
    ASSERT_EQ(StartLibrary(), 0);  // for the log
    BestTimes[0] = 3;
    EXPECT_EQ(SaveBestTimes(), -1);
    EXPECT_EQ(ReadTextFile(folder / "date" / "time.dat"), Lines(35, 4));
    EXPECT_EQ(BestTimes[0], 3);
    EXPECT_TRUE(Contains(ReadLogFile(), "ベストタイムを date/time.dat に保存できませんでした\r\n"));

    std::filesystem::remove(folder / "date" / "time.dat.tmp");
    EXPECT_EQ(SaveBestTimes(), 0);
    EXPECT_EQ(ReadTextFile(folder / "date" / "time.dat"), "3\n" + Lines(34, 0));
    EXPECT_FALSE(std::filesystem::exists(folder / "date" / "time.dat.tmp"));
}
