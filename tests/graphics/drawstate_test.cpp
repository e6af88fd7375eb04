// The drawing state's setters and getters on their edge values, the draw
// area and target rules, the default camera and light, and the colour
// conversions of the screen's format. A GDI-only screen layer without a
// window is enough for all of them.
#include <gtest/gtest.h>

#include "core/sysstate.h"
#include "graphics/blendtable.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "support/library_fixture.h"

#include <cmath>

namespace {

class DrawStateTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetLibraryProcessState();
        SysState.ActiveFlag = 1;
        ScreenState.GdiOnly = 1;
        ScreenState.Width = 640;
        ScreenState.Height = 480;
        ScreenState.ColorBits = 32;
        SetColorFormatFromMasks(&ScreenState.ColorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        ASSERT_EQ(StartGraphManager(), 0);
    }

    void TearDown() override { EndGraphManager(); }

    static RECT Area()
    {
        int a[4];
        ReadDrawArea(a);
        return RECT{a[0], a[1], a[2], a[3]};
    }
};

void ExpectRect(const RECT& r, int l, int t, int rr, int b)
{
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rr);
    EXPECT_EQ(r.bottom, b);
}

TEST_F(DrawStateTest, ResetLeavesTheDefaults)
{
    const DRAWSTATE& d = DrawState;
    EXPECT_EQ(d.DrawTarget, -4);
    ExpectRect(Area(), 0, 0, 640, 480);
    EXPECT_EQ(d.BlendGraph, -1);
    EXPECT_EQ(d.DrawBright & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_EQ(d.TextureAddressMode, 3);
    EXPECT_EQ(d.DepthFunc, 4);
    EXPECT_FLOAT_EQ(d.DrawDepth, 0.2f);
    EXPECT_EQ(d.NewGraphUse3D, 1);
    EXPECT_EQ(d.NewGraphAlphaTest, 1);
    EXPECT_EQ(d.TargetWidth, 640);
}

TEST_F(DrawStateTest, BlendParameterAndBrightnessAreClamped)
{
    struct Case {
        int mode, param, stored;
    } cases[] = {{2, 300, 255}, {2, -5, 0}, {3, 128, 128}, {1, 255, 255}};
    for (const Case& c : cases) {
        StoreBlendMode(c.mode, c.param);
        EXPECT_EQ(DrawState.BlendMode, c.mode);
        EXPECT_EQ(DrawState.BlendParam, c.stored) << c.param;
    }
    StoreBrightness(-1, 300, 128);
    EXPECT_EQ(DrawState.DrawBright & 0xFFFFFFu, 0x00FF80u);  // R 0, G 255, B 128
    StorePackedBrightness(0xFF123456u);
    EXPECT_EQ(DrawState.DrawBright, 0x123456u);  // the fourth byte is dropped
}

TEST_F(DrawStateTest, SettingTheCurrentValuesAgainChangesNothing)
{
    // An unchanged blend-graph setting answers 0 without looking at the
    // graph; a change to a graph that does not exist is refused.
    EXPECT_EQ(StoreBlendGraphSetting(-1, 0, 0), 0);
    EXPECT_EQ(StoreBlendGraphSetting(0x08000001, 10, 20), -1);
    EXPECT_EQ(DrawState.BlendGraph, -1);
    EXPECT_EQ(DrawState.BlendGraphBorderParam, 0);
    EXPECT_EQ(StoreBlendGraphSetting(-1, 300, -4), 0);
    EXPECT_EQ(DrawState.BlendGraphBorderParam, 255);
    EXPECT_EQ(DrawState.BlendGraphBorderRange, 0);

    // With the window inactive a changing blend mode would wait; the same
    // pair returns at once.
    StoreBlendMode(1, 100);
    SysState.ActiveFlag = 0;
    SysState.QuitFlag = 1;  // a wait would end at once, but must not start
    EXPECT_EQ(StoreBlendMode(1, 100), 0);
    SysState.QuitFlag = 0;
    SysState.ActiveFlag = 1;
}

TEST_F(DrawStateTest, DrawAreaIsOrderedAndClampedToTheTarget)
{
    SwitchDrawTarget(-2);
    struct Case {
        RECT in;
        RECT out;
        int empty;
    } cases[] = {
        {{100, 50, 10, 5}, {10, 5, 100, 50}, 0},
        {{-20, 0, 700, 480}, {0, 0, 640, 480}, 0},
        {{5, 5, 5, 100}, {5, 5, 5, 100}, 1},
        {{700, 500, 800, 900}, {640, 480, 640, 480}, 1},
    };
    for (const Case& c : cases) {
        StoreDrawArea(c.in.left, c.in.top, c.in.right, c.in.bottom);
        ExpectRect(Area(), c.out.left, c.out.top, c.out.right, c.out.bottom);
        EXPECT_EQ(DrawState.DrawAreaEmpty, c.empty);
        EXPECT_FLOAT_EQ(DrawState.DrawAreaF.x2, static_cast<float>(c.out.right));
    }
}

TEST_F(DrawStateTest, FrontScreenAreaStopsAtTheDesktopEdges)
{
    SysState.WindowModeFlag = 1;
    SysState.WindowClientRect = RECT{-20, -10, 620, 470};
    SysState.DesktopWidth = 600;
    SysState.DesktopHeight = 400;
    SwitchDrawTarget(-4);
    StoreDrawArea(0, 0, 640, 480);
    ExpectRect(Area(), 20, 10, 620, 410);
}

TEST_F(DrawStateTest, TargetSwitchKeepsTheAreaForTheSameSize)
{
    SwitchDrawTarget(-2);
    StoreDrawArea(10, 20, 100, 200);
    EXPECT_EQ(SwitchDrawTarget(-4), 0);
    ExpectRect(Area(), 10, 20, 100, 200);
    EXPECT_EQ(GetCurrentDrawTarget(), -4);
}

TEST_F(DrawStateTest, RefusedTargetSwitchReturnsOnceToTheOldTarget)
{
    SwitchDrawTarget(-2);
    StoreDrawArea(1, 2, 3, 4);
    EXPECT_EQ(SwitchDrawTarget(0x08000001), -1);
    EXPECT_EQ(GetCurrentDrawTarget(), -2);
    ExpectRect(Area(), 1, 2, 3, 4);

    // The old target is gone too: no endless switching back and forth, the
    // back screen is taken.
    DrawState.DrawTarget = 0x08000005;
    EXPECT_EQ(SwitchDrawTarget(0x08000009), -1);
    EXPECT_EQ(GetCurrentDrawTarget(), -2);
}

TEST_F(DrawStateTest, SwitchBuildsTheDefaultCamera)
{
    SwitchDrawTarget(-2);
    const MAT44& view = DrawState.ViewMatrix;
    EXPECT_NEAR(view.m[12], -320.0f, 1e-3);
    EXPECT_NEAR(view.m[13], -240.0f, 1e-3);
    EXPECT_NEAR(view.m[14], 415.6922f, 1e-3);  // eye at (320, 240, -415.6922)
    const MAT44& p = DrawState.ProjectionMatrix;
    const float nearZ = -p.m[14] / p.m[10];
    const float farZ = p.m[10] * nearZ / (p.m[10] - 1.0f);
    EXPECT_NEAR(nearZ, 4.156922f, 1e-4);
    EXPECT_NEAR(farZ, 1415.6921f, 0.05);
    EXPECT_FLOAT_EQ(DrawState.ViewportMatrix.m[12], 320.0f);
    EXPECT_FLOAT_EQ(DrawState.ExtraMatrix.m[13], 240.0f);
}

TEST_F(DrawStateTest, DefaultLightPointsDownTheDiagonalAndZeroDirectionIsRefused)
{
    const LIGHTREC* light = GetLightRecord(DrawState.DefaultLight);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->Light.Type, 3u);
    EXPECT_NEAR(light->Light.Direction[0], 0.57735f, 1e-5);
    EXPECT_NEAR(light->Light.Direction[1], -0.57735f, 1e-5);
    EXPECT_NEAR(light->Light.Direction[2], 0.57735f, 1e-5);
    EXPECT_FLOAT_EQ(light->Light.Ambient[0], 0.33f);
    EXPECT_EQ(light->Enabled, 1);

    const unsigned before = DrawState.Lights.Count;
    EXPECT_EQ(CreateDirectionalLight(0.0f, 0.0f, 0.0f), -1);
    EXPECT_EQ(DrawState.Lights.Count, before);

    const int extra = CreateDirectionalLight(0.0f, 2.0f, 0.0f);
    ASSERT_GE(extra, 0);
    EXPECT_FLOAT_EQ(GetLightRecord(extra)->Light.Direction[1], 1.0f);
    EXPECT_EQ(DeleteLight(extra), 0);
    EXPECT_EQ(DeleteLight(extra), -1);
}

TEST_F(DrawStateTest, PresentCounterCarriesAndVSyncFlagInverts)
{
    DrawState.PresentCounter = 0xFFFFFFFFull;
    IncrementFlipCounter();
    EXPECT_EQ(GetFlipCounter(), 0x100000000ull);
    ResetFlipCounter();
    EXPECT_EQ(GetFlipCounter(), 0u);
    SetFlipVSyncWait(0);
    EXPECT_EQ(DrawState.NoVSync, 1);
    EXPECT_EQ(GetFlipVSyncWait(), 0);
    SetFlipVSyncWait(5);
    EXPECT_EQ(GetFlipVSyncWait(), 1);
}

TEST_F(DrawStateTest, NewGraphSettingsFollowTheScreen)
{
    SetNewGraphInSystemMemory(0);
    EXPECT_EQ(GetNewGraphInSystemMemory(), 1);  // GDI only keeps graphs in system memory
    ScreenState.GdiOnly = 0;
    SetNewGraphInVideoMemory(1);
    EXPECT_EQ(GetNewGraphInSystemMemory(), 0);
    SetNewGraphInVideoMemory(0);
    EXPECT_EQ(GetNewGraphInSystemMemory(), 1);
    EnableGraph3DBackend(0);
    EXPECT_EQ(GetSoftwareStartRequest(), 1);  // no DirectDraw object yet
    EXPECT_EQ(CanUse3DGraphs(), 0);
    SetEmptyGraphAlphaChannel(1);
    EXPECT_EQ(GetEmptyGraphAlphaChannel(), 1);
    ScreenState.GdiOnly = 1;
}

TEST_F(DrawStateTest, ColourValuesOfA565Screen)
{
    ScreenState.GdiOnly = 0;
    ScreenState.ColorBits = 16;
    SetColorFormatFromMasks(&ScreenState.ColorFormat, 16, 0xF800, 0x7E0, 0x1F, 0);
    int r = -1;
    int g = -1;
    int b = -1;
    EXPECT_EQ(SplitColorValueToRGB(0xF800, &r, &g, &b), 0);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 0);
    SplitColorValueToRGB(0x0400, &r, &g, &b);
    EXPECT_EQ(g, 129);
    EXPECT_EQ(ConvertRGBToScreenColor(255, 0, 0), 0xF800u);
    EXPECT_EQ(ConvertRGBToScreenColor(0, 255, 8), 0x07E1u);
    ScreenState.GdiOnly = 1;
}

TEST_F(DrawStateTest, SoftwareScreenColoursUseTheRequestedDepth)
{
    // GDI only on a 32-bit desktop with 16 bits requested: the software
    // screen image is 5:6:5.
    ScreenState.SoftwareRendering = 1;
    ScreenState.RequestedColorBits = 16;
    EXPECT_EQ(ConvertRGBToScreenColor(255, 255, 255), 0xFFFFu);
    int r = 0;
    SplitColorValueToRGB(0xF800, &r, nullptr, nullptr);
    EXPECT_EQ(r, 255);
}

TEST_F(DrawStateTest, PaletteScreenPicksTheNearestEntry)
{
    ScreenState.ColorBits = 8;
    for (PALETTEENTRY& e : ScreenState.PaletteEntries) e = PALETTEENTRY{255, 255, 255, 0};
    ScreenState.PaletteEntries[3] = PALETTEENTRY{100, 0, 0, 0};
    ScreenState.PaletteEntries[4] = PALETTEENTRY{0, 100, 0, 0};
    ScreenState.PaletteEntries[9] = PALETTEENTRY{200, 210, 220, 0};
    EXPECT_EQ(ConvertRGBToScreenColor(200, 210, 220), 9u);
    EXPECT_EQ(ConvertRGBToScreenColor(50, 50, 0), 3u);  // equally near 3 and 4: the lower
    int r = 0;
    int g = 0;
    int b = 0;
    EXPECT_EQ(SplitColorValueToRGB(9, &r, &g, &b), 0);
    EXPECT_EQ(b, 220);
    EXPECT_EQ(SplitColorValueToRGB(256, &r, &g, &b), -1);
    ScreenState.ColorBits = 32;
}

} // namespace
