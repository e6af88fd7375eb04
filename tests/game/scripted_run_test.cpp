// A whole session through the real frame loop, the injected keyboard and
// the manual clock: from the title into stage 1, cleared along a route the
// stage player found, the best time written and shown; then a run that is
// hit, its game over and the way back to the select screen; then the leak
// report of the library's end.
#include "core/api.h"
#include "game/select.h"
#include "game/winmain.h"
#include "graphics/d3d/d3ddevice.h"
#include "game_fixture.h"
#include "platform/display/display.h"
#include "platform/dinput/input_hook.h"
#include "stage_player.h"

#include <gtest/gtest.h>

namespace {

// SDL scan codes of the keys in pad 1's default keyboard map.
constexpr int kScanRight = 79, kScanLeft = 80, kScanDown = 81, kScanUp = 82, kScanZ = 29;

void HoldPad(int pad)
{
    const int keys[5][2] = {{kPadRight, kScanRight}, {kPadLeft, kScanLeft}, {kPadDown, kScanDown},
                            {kPadUp, kScanUp},       {kPadZ, kScanZ}};
    for (const auto& k : keys) InjectKey(k[1], (pad & k[0]) != 0);
}

// The text area of the select screen's status line, as last presented.
std::vector<std::uint32_t> StatusPixels()
{
    int w = 0, h = 0;
    const std::uint32_t* p = GetLastPresentedPixels(&w, &h);
    std::vector<std::uint32_t> out;
    if (p == nullptr) return out;
    for (int y = 115; y < 131; ++y)
        for (int x = 450; x < 600; ++x) out.push_back(p[y * w + x]);
    return out;
}

} // namespace

class ScriptedRunTest : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        std::filesystem::copy(ZARVO_DATA_DIR, folder,
                              std::filesystem::copy_options::overwrite_existing |
                                  std::filesystem::copy_options::recursive);
        std::filesystem::remove(folder / "Log.txt");
        // A second stage whose turret fires straight down past the start.
        std::string stage2;
        for (int r = 0; r < 24; ++r) {
            for (int c = 0; c < 32; ++c)
                stage2 += std::string(c ? "," : "") + (r == 2 && c == 10 ? "13" : r == 20 && c == 10 ? "32" : "0");
            stage2 += "\n";
        }
        WriteTextFile(folder / "date" / "stage" / "2.csv", stage2);
        UseInjectedInput(true);
    }

    void TearDown() override
    {
        ReleaseInjectedKeys();
        GameTest::TearDown();
        UseInjectedInput(false);
    }

    // Runs passes of the frame loop until `done` or `limit` passes.
    template <class F>
    int PassUntil(F done, int limit)
    {
        int n = 0;
        while (!done() && n < limit) {
            EXPECT_EQ(RunFramePass(), 0);
            ++n;
        }
        return n;
    }
};

TEST_F(ScriptedRunTest, ClearStageOneThenGetHitOnStageTwoAndEndWithoutLeaks)
{
    // The route: found by the stage player on the same stage from the same start.
    ASSERT_EQ(StartLibrary(), 0);
    SelectDrawTarget(-2);
    CurrentStage = 1;
    StartStage();
    ProgramMode = 1;
    const StagePlayResult route = SearchStageClear(200000);
    ASSERT_TRUE(route.cleared);
    const int expected = BestTimes[0];
    ASSERT_GT(expected, 0);
    EndLibrary();
    ResetGameGlobals();
    WriteTextFile(folder / "date" / "time.dat", Lines(35, 0));

    ASSERT_EQ(StartGame(), 0);
    EXPECT_EQ(ProgramMode, 0);
    EXPECT_EQ(PassUntil([] { return false; }, 3), 3);  // the title, Z not yet down
    const std::vector<std::uint32_t> before = StatusPixels();

    // Z starts stage 1; its first play frame runs in the same pass.
    for (std::size_t i = 0; i < route.pads.size() && (i == 0 || ProgramMode != 0); ++i) {
        HoldPad(i == 0 ? kPadZ : route.pads[i]);
        ASSERT_EQ(RunFramePass(), 0);
        if (i == 0) {
            EXPECT_EQ(ProgramMode, 1);
        }
    }
    HoldPad(0);
    EXPECT_EQ(ProgramMode, 0);
    EXPECT_EQ(PlayerLife, 0);
    EXPECT_EQ(BestTimes[0], expected);
    EXPECT_EQ(ReadTextFile(folder / "date" / "time.dat"), std::to_string(expected) + "\n" + Lines(34, 0));

    // Back on the select screen: stage 1 cleared, and its status line changed.
    PassUntil([] { return false; }, 2);
    EXPECT_EQ(StageStateAt(0, CountClearedStages()), kStageCleared);
    EXPECT_EQ(CurrentStage, 1);
    const std::vector<std::uint32_t> after = StatusPixels();
    auto count = [](const std::vector<std::uint32_t>& px, bool red) {
        int n = 0;
        for (std::uint32_t p : px) {
            const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
            n += red ? (r > 200 && g < 60 && b < 60) : (r < 40 && g < 40 && b < 40);
        }
        return n;
    };
    EXPECT_GT(count(before, true), 20);  // "未クリア" in red
    EXPECT_EQ(count(after, true), 0);
    EXPECT_GT(count(after, false), 20);  // "Best:%dsec" in black

    // To stage 2 and into the turret's stream: hit, game over, back to the select screen.
    HoldPad(kPadRight);
    PassUntil([] { return CurrentStage == 2; }, 30);
    HoldPad(kPadZ);
    ASSERT_EQ(RunFramePass(), 0);
    ASSERT_EQ(ProgramMode, 1);
    HoldPad(kPadRight);
    ASSERT_EQ(RunFramePass(), 0);
    HoldPad(0);
    PassUntil([] { return PlayerLife < 0; }, 100);
    EXPECT_EQ(PlayerLife, -1);
    const int gameOver = PassUntil([] { return ProgramMode == 0; }, 400);
    EXPECT_GE(gameOver, 195);
    EXPECT_LE(gameOver, 201);
    EXPECT_EQ(BestTimes[1], 0);
    EXPECT_EQ(ReadTextFile(folder / "date" / "time.dat"), std::to_string(expected) + "\n" + Lines(34, 0));
    PassUntil([] { return false; }, 2);

    // The library's end: every block it handed out has come back.
    EndLibrary();
    const std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "Alloc memory dump\r\n"));
    EXPECT_TRUE(Contains(log, "\tTotal size:0(0.000kb)  Alloc num:0\r\n"));
    EXPECT_FALSE(Contains(log, "\tsize:"));
}

// The game on either renderer, chosen the way a player chooses it: the
// select screen's texts show, a stage runs, and the end leaks nothing.
class RendererChoiceTest : public ScriptedRunTest, public testing::WithParamInterface<const char*> {
protected:
    void TearDown() override
    {
        unsetenv("ZARVO_DIRECT3D");
        ScriptedRunTest::TearDown();
        SelectDirect3D(0);
    }
};

TEST_P(RendererChoiceTest, SelectScreenAndAStageDrawAndTheEndLeaksNothing)
{
    setenv("ZARVO_DIRECT3D", GetParam(), 1);
    ASSERT_EQ(StartGame(), 0);
    EXPECT_EQ(IsDirect3DActive(), GetParam()[0] == '1' ? 1 : 0);
    EXPECT_EQ(PassUntil([] { return false; }, 3), 3);
    int red = 0;
    for (std::uint32_t p : StatusPixels()) red += (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) < 60 && (p & 0xFF) < 60;
    EXPECT_GT(red, 20);  // "未クリア" in red

    HoldPad(kPadZ);
    ASSERT_EQ(RunFramePass(), 0);
    HoldPad(0);
    EXPECT_EQ(ProgramMode, 1);
    EXPECT_EQ(PassUntil([] { return false; }, 30), 30);
    EXPECT_EQ(ProgramMode, 1);

    EndLibrary();
    const std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "\tTotal size:0(0.000kb)  Alloc num:0\r\n"));
    EXPECT_FALSE(Contains(log, "\tsize:"));
}

INSTANTIATE_TEST_SUITE_P(Renderers, RendererChoiceTest, testing::Values("0", "1"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return info.param[0] == '1' ? std::string("Direct3D") : std::string("Software");
                         });
