// Fixture of the game's tests: a fresh working folder holding the game's
// text files, the game's globals back at their program-start values, and
// the manual clock of the library tests.
#pragma once

#include "core/api.h"
#include "core/sysstate.h"
#include "game/datafiles.h"
#include "game/objects.h"
#include "game/playdraw.h"
#include "game/resources.h"
#include "game/select.h"
#include "game/shots.h"
#include "game/winmain.h"
#include "support/library_fixture.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

inline void WriteTextFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string ReadTextFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string Lines(int count, int value)
{
    std::string s;
    for (int i = 0; i < count; ++i) s += std::to_string(value) + "\n";
    return s;
}

inline void ResetGameGlobals()
{
    std::memset(&Player, 0, sizeof Player);
    std::memset(Enemies, 0, sizeof Enemies);
    std::memset(Shots, 0, sizeof Shots);
    std::memset(Effects, 0, sizeof Effects);
    std::memset(SpawnCircles, 0, sizeof SpawnCircles);
    std::memset(FloatingTexts, 0, sizeof FloatingTexts);
    std::memset(Tiles, 0, sizeof Tiles);
    std::memset(StageCells, 0, sizeof StageCells);
    PlayerLife = PlayerSpeed = BarrierCharges = ModeSwitchCounter = StageSeconds = 0;
    PlayFrames = ClearFrames = GameOverFrames = AiFrames = 0;
    BarrierMode = CoreReleased = 0;
    BgmSetting = BgmPlaying = 0;
    for (int i = 0; i < kProgressEntries; ++i) BestTimes[i] = UnlockCounts[i] = 0;
    ProgramMode = PadInput = CurrentStage = 0;
    LastFrameTime = 0;
    SelectRow = 0;
    SelectColumn = 1;
    SelectDelay = 0;
    SelectPulse = PlayPulse = BarrierPulse = 0.0f;
    std::memset(&GameImages, 0, sizeof GameImages);
    std::memset(GameSounds, 0, sizeof GameSounds);
    LoopSound = 0;
    ResetShotRand();
}

class GameTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        ResetGameGlobals();
        home = std::filesystem::current_path();
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        folder = home / "game-run" / (std::string(info->test_suite_name()) + "." + info->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "date" / "stage");
        WriteTextFile(folder / "setting.txt", "BGM=1\n");
        WriteTextFile(folder / "date" / "time.dat", Lines(35, 0));
        WriteTextFile(folder / "date" / "flag.dat", Lines(35, 0));
        std::filesystem::current_path(folder);
    }

    void TearDown() override
    {
        if (SysState.InitializeFlag == 1) EndLibrary();
        std::filesystem::current_path(home);
        LibraryTest::TearDown();
    }

    std::filesystem::path home;
    std::filesystem::path folder;
};
