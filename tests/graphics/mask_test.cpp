#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/drawstate.h"
#include "graphics/mask.h"
#include "graphics/screen.h"
#include "platform/kernel/clock.h"
#include "support/library_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class MaskScreenTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        ASSERT_EQ(StartDrawingLibrary(320, 240, 32), 0);
        ASSERT_EQ(IsMemImgAlive(&ScreenState.BackImage), 1);  // software rendering
    }
    void TearDown() override
    {
        EndDrawingLibrary();
        MaskScreen = MASKSCREEN{};
        LibraryTest::TearDown();
    }
    static DWORD Pixel(int x, int y)
    {
        const MEMIMG& image = ScreenState.BackImage;
        return *reinterpret_cast<const DWORD*>(image.Pixels + y * image.Body->Pitch + x * 4) & 0xFFFFFF;
    }
    // A mask screen whose plane holds 1 on the rows from y = 50 down.
    static void MakeHalfMask(DWORD reverse)
    {
        MaskScreen.Wanted = 1;
        ASSERT_EQ(CreateMaskScreen(1), 0);
        ASSERT_NE(MaskScreen.Plane, nullptr);
        std::memset(MaskScreen.Plane + 50 * MaskScreen.Pitch, 1, static_cast<std::size_t>(MaskScreen.Pitch) * 190);
        MaskScreen.Reverse = reverse;
        ASSERT_EQ(EnableMaskScreen(1), 0);
    }
};

} // namespace

TEST_F(MaskScreenTest, EnablingWithoutAPlaneIsRefusedAndChangesNothing)
{
    EXPECT_EQ(EnableMaskScreen(1), -1);
    EXPECT_EQ(MaskScreen.Request, 0);
    EXPECT_EQ(MaskScreen.Active, 0);
}

TEST_F(MaskScreenTest, MaskedPixelsKeepTheTargetExactly)
{
    struct Case {
        DWORD reverse;
        DWORD above;  // pixel at y = 45 after the draw
        DWORD below;  // pixel at y = 55
    };
    const Case cases[] = {{0, 0x00FF00, 0x123456}, {1, 0x123456, 0x00FF00}};
    for (const Case& c : cases) {
        EraseScreen();
        DrawCircleShape(50, 50, 30, GetColorValue(0x12, 0x34, 0x56), 1);
        MakeHalfMask(c.reverse);
        DrawCircleShape(50, 50, 20, GetColorValue(0, 255, 0), 1);
        EXPECT_EQ(Pixel(50, 45), c.above) << c.reverse;
        EXPECT_EQ(Pixel(50, 55), c.below) << c.reverse;
        EXPECT_EQ(Pixel(50, 75), 0x123456u) << c.reverse;  // outside the draw
        EnableMaskScreen(0);
        ReleaseMaskScreen();
    }
}

TEST_F(MaskScreenTest, DrawsOutsideTheDrawAreaTouchNothing)
{
    MakeHalfMask(0);

    StoreDrawArea(0, 0, 10, 10);
    DrawCircleShape(100, 100, 5, GetColorValue(255, 255, 255), 1);
    EXPECT_EQ(Pixel(100, 100), 0u);
    StoreDrawArea(0, 0, 320, 240);
}

TEST_F(MaskScreenTest, TextThroughTheMaskLandsOnlyWhereThePlaneIsClear)
{
    MakeHalfMask(0);
    DrawFormattedText(0, 40, GetColorValue(255, 255, 255), "%s", "MMMMMMMM");
    int shown = 0;
    int leaked = 0;
    for (int y = 40; y < 70; ++y) {
        for (int x = 0; x < 160; ++x) {
            if (Pixel(x, y) == 0xFFFFFFu) (y < 50 ? shown : leaked) += 1;
        }
    }
    EXPECT_GT(shown, 0);
    EXPECT_EQ(leaked, 0);
}

TEST_F(MaskScreenTest, MasksAreDeletedOnlyWithTheirCheckValue)
{
    MaskTable[3] = MASKREC{5, nullptr, 1};
    const int handle = MASK_HANDLE_TAG | (5 << 16) | 3;
    EXPECT_EQ(DeleteMask(MASK_HANDLE_TAG | (6 << 16) | 3), -1);
    EXPECT_EQ(MaskTable[3].Used, 1u);
    EXPECT_EQ(DeleteMask(-1), -1);
    EXPECT_EQ(DeleteMask(handle), 0);
    EXPECT_EQ(MaskTable[3].Used, 0u);
}

TEST(MaskScreenPlane, RowsArePaddedToFourBytes)
{
    UseManualClock(100000, 20);
    SysState.WindowModeFlag = 1;
    ASSERT_EQ(StartDrawingLibrary(641, 100, 32), 0);
    ASSERT_EQ(CreateMaskScreen(1), 0);
    EXPECT_EQ(MaskScreen.Pitch, 644);
    EndDrawingLibrary();
    MaskScreen = MASKSCREEN{};
}
