#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/graph.h"
#include "graphics/imagesurface.h"
#include "graphics/soft/surface2d.h"
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

// The plane and the buffer are screen-sized; a graph target may be larger.
TEST_F(MaskScreenTest, DrawsOntoAGraphLargerThanTheScreenStayInsideThePlaneAndTheBuffer)
{
    const int target = CreateGraphOfSize(400, 300, 0, 0, 0);
    ASSERT_NE(target, -1);
    ASSERT_EQ(FillGraphWithColor(target, 0x12, 0x34, 0x56, 255), 0);
    MakeHalfMask(0);
    ASSERT_EQ(SelectDrawTarget(target), 0);
    ASSERT_EQ(MaskScreen.Active, 1);
    const DWORD white = GetColorValue(255, 255, 255);
    // Lines across the plane's right and bottom edges, and one wholly below it.
    ASSERT_EQ(DrawLineSegment(0, 20, 400, 20, white, 1), 0);
    ASSERT_EQ(DrawLineSegment(0, 100, 400, 100, white, 1), 0);
    ASSERT_EQ(DrawLineSegment(300, 0, 300, 300, white, 1), 0);
    ASSERT_EQ(DrawLineSegment(0, 290, 400, 290, white, 1), 0);
    ASSERT_EQ(DrawCircleShape(200, 250, 40, white, 1), 0);
    SelectDrawTarget(-2);

    const MEMIMG& image =
        GetImageSurfaceRecord(GetSurface2DRecord(GetGraphRecord(target)->Surfaces[0])->ImageSurface)->Image;
    auto pixel = [&](int x, int y) {
        DWORD v = 0;
        std::memcpy(&v, image.Pixels + y * image.Body->Pitch + x * 4, 4);
        return v & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(10, 20), 0xFFFFFFu);
    EXPECT_EQ(pixel(300, 30), 0xFFFFFFu);
    // Where the plane hides the draw, the graph keeps its pixels.
    EXPECT_EQ(pixel(10, 100), 0x123456u);
    EXPECT_EQ(pixel(300, 100), 0x123456u);
    EXPECT_EQ(pixel(200, 235), 0x123456u);
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

namespace {

// With Direct3D the device renders into the mask surface while draws go
// through the mask, and the knock-out and copy-back follow each draw.
class MaskScreenDirect3D : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(StartDirect3DLibrary(320, 240, 32), 0);
        SelectDrawTarget(-2);
    }
    void TearDown() override
    {
        EndDirect3DLibrary();
        MaskScreen = MASKSCREEN{};
    }
    static DWORD Pixel(int x, int y)
    {
        G_D3D_EndCurrentScene();
        IDirectDrawSurface7* back = GetBackScreenSurface();
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        DWORD v = 0;
        if (back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
        std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * 4, 4);
        back->Unlock(nullptr);
        return v & 0xFFFFFF;
    }
};

TEST_F(MaskScreenDirect3D, DrawsLandOnlyWhereThePlaneLetsThemThrough)
{
    ASSERT_EQ(IsDirect3DActive(), 1);
    const int sprite = CreateGraphOfSize(64, 64, 1, 0, 0);
    ASSERT_EQ(GetGraphRecord(sprite)->Format.Texture, 1);
    ASSERT_EQ(FillGraphWithColor(sprite, 0, 255, 0, 255), 0);
    const int font = CreateFontToHandle(nullptr, -1, -1, 0, -1, -1, -1, -1, -1);
    ASSERT_EQ(GetFontRecord(font)->TextureCache, 1);
    const DWORD white = GetColorValue(255, 255, 255);
    struct Case {
        DWORD reverse;
        DWORD above, below;  // the sprite's pixel at y = 45 and y = 55
    };
    const Case cases[] = {{0, 0x00FF00, 0x123456}, {1, 0x123456, 0x00FF00}};
    for (const Case& c : cases) {
        SysState.BackgroundRed = 0x12;
        SysState.BackgroundGreen = 0x34;
        SysState.BackgroundBlue = 0x56;
        ClearDrawTarget();
        MaskScreen.Wanted = 1;
        ASSERT_EQ(CreateMaskScreen(1), 0);
        std::memset(MaskScreen.Plane + 50 * MaskScreen.Pitch, 1, static_cast<std::size_t>(MaskScreen.Pitch) * 190);
        MaskScreen.Reverse = c.reverse;
        ASSERT_EQ(EnableMaskScreen(1), 0);
        EXPECT_EQ(CurrentD3DDevice()->CurrentTarget, MaskScreen.Surface);
        EXPECT_EQ(CurrentD3DDevice()->Viewport.dwWidth, 320u);

        ASSERT_EQ(DrawGraphAt(20, 20, sprite, 0), 0);
        EXPECT_EQ(Pixel(40, 45), c.above) << c.reverse;
        EXPECT_EQ(Pixel(40, 55), c.below) << c.reverse;
        EXPECT_EQ(Pixel(10, 45), 0x123456u) << c.reverse;  // outside the draw
        ASSERT_EQ(DrawLineSegment(100, 30, 100, 70, white, 1), 0);
        EXPECT_EQ(Pixel(100, 45), c.reverse == 0 ? 0xFFFFFFu : 0x123456u);
        EXPECT_EQ(Pixel(100, 55), c.reverse == 0 ? 0x123456u : 0xFFFFFFu);
        // The text's glyphs go through the bracket of the whole string.
        ASSERT_EQ(DrawTextWithFontHandle(150, 40, "MMMM", white, font, 0, 0), 0);
        int shown = 0, leaked = 0;
        for (int y = 40; y < 60; ++y)
            for (int x = 150; x < 230; ++x)
                if (Pixel(x, y) == 0xFFFFFFu) (((y < 50) == (c.reverse == 0)) ? shown : leaked) += 1;
        EXPECT_GT(shown, 0) << c.reverse;
        EXPECT_EQ(leaked, 0) << c.reverse;

        // Without the mask the device draws into the target again.
        ASSERT_EQ(EnableMaskScreen(0), 0);
        EXPECT_EQ(CurrentD3DDevice()->CurrentTarget, GetBackScreenSurface());
        ASSERT_EQ(DrawGraphAt(20, 20, sprite, 0), 0);
        EXPECT_EQ(Pixel(40, 55), 0x00FF00u);
        ReleaseMaskScreen();
    }
}

// The device cannot take a texture target through the buffer: draws onto
// one land unmasked.
TEST_F(MaskScreenDirect3D, DrawsOntoATextureGraphTargetLandUnmasked)
{
    SetNewGraphRenderable(1);
    const int target = CreateGraphOfSize(128, 64, 1, 0, 0);
    SetNewGraphRenderable(0);
    ASSERT_EQ(GetGraphRecord(target)->Format.Texture, 1);
    ASSERT_EQ(FillGraphWithColor(target, 0, 0, 0x80, 255), 0);
    const int font = CreateFontToHandle(nullptr, -1, -1, 0, -1, -1, -1, -1, -1);
    MaskScreen.Wanted = 1;
    ASSERT_EQ(CreateMaskScreen(1), 0);
    std::memset(MaskScreen.Plane, 1, static_cast<std::size_t>(MaskScreen.Pitch) * 240);  // hides everything
    ASSERT_EQ(EnableMaskScreen(1), 0);
    ASSERT_EQ(SelectDrawTarget(target), 0);
    const DWORD red = GetColorValue(255, 0, 0);
    ASSERT_EQ(DrawLineSegment(0, 10, 128, 10, red, 1), 0);
    ASSERT_EQ(DrawTextWithFontHandle(0, 30, "MMMM", red, font, 0, 0), 0);
    SelectDrawTarget(-2);
    EXPECT_EQ(IsMaskScreenActive(), 1);
    EXPECT_EQ(CurrentD3DDevice()->CurrentTarget, MaskScreen.Surface);

    G_D3D_EndCurrentScene();
    const SURF3DREC* piece = G_D3D_GetSurface3DData(GetGraphRecord(target)->Surfaces[0]);
    IDirectDrawSurface7* surface = PieceTexture(piece);
    ASSERT_NE(surface, nullptr);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    auto pixel = [&](int x, int y) {
        DWORD v = 0;
        std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + (piece->TexelY + y) * d.lPitch + (piece->TexelX + x) * 4, 4);
        return v & 0xFFFFFF;
    };
    const DWORD line = pixel(20, 10);
    int ink = 0;
    for (int y = 28; y < 60; ++y)
        for (int x = 0; x < 128; ++x)
            if (pixel(x, y) == 0xFF0000u) ++ink;
    surface->Unlock(nullptr);
    EXPECT_EQ(line, 0xFF0000u);
    EXPECT_GT(ink, 0);
}

TEST_F(MaskScreenDirect3D, ALostScreenBringsTheDeviceBackOntoTheMask)
{
    const int sprite = CreateGraphOfSize(64, 64, 1, 0, 0);
    MaskScreen.Wanted = 1;
    ASSERT_EQ(CreateMaskScreen(1), 0);
    ASSERT_EQ(EnableMaskScreen(1), 0);
    ASSERT_EQ(RecreateLostScreen(), 0);
    ASSERT_NE(MaskScreen.Surface, nullptr);
    EXPECT_EQ(CurrentD3DDevice()->CurrentTarget, MaskScreen.Surface);
    std::memset(MaskScreen.Plane + 50 * MaskScreen.Pitch, 1, static_cast<std::size_t>(MaskScreen.Pitch) * 190);
    SysState.BackgroundRed = SysState.BackgroundGreen = SysState.BackgroundBlue = 0x40;
    ClearDrawTarget();
    ASSERT_EQ(FillGraphWithColor(sprite, 0, 255, 0, 255), 0);
    ASSERT_EQ(DrawGraphAt(20, 20, sprite, 0), 0);
    EXPECT_EQ(Pixel(40, 45), 0x00FF00u);
    EXPECT_EQ(Pixel(40, 55), 0x404040u);
}

} // namespace
