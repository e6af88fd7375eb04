// The virtual display: the emulated vertical blank on a manual clock, and
// the SDL presenter showing presented pictures in an offscreen window.
#include "platform/display/display.h"
#include "platform/ddraw/ddraw.h"
#include "platform/display/sdl_presenter.h"
#include "platform/kernel/heap.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::uint64_t g_now = 0;
std::uint64_t ManualNow() { return g_now; }
void ManualSleep(std::uint64_t us) { g_now += us; }

TEST(VirtualDisplay, VerticalBlankRunsAtTheModeRate)
{
    ResetVirtualDisplay();
    g_now = 0;
    SetDisplayClock(ManualNow, ManualSleep);
    EXPECT_EQ(GetVerticalBlankPeriodMicroseconds(), 16666u);
    EXPECT_FALSE(IsInVerticalBlank());
    int blanks = 0;
    for (int i = 0; i < 60; ++i) {
        WaitForVerticalBlankBegin();
        if (IsInVerticalBlank()) ++blanks;
        g_now += 2000;  // leave the blank before waiting for the next one
    }
    EXPECT_EQ(blanks, 60);
    EXPECT_GE(g_now, 990000u);
    EXPECT_LE(g_now, 1010000u);
    SetDisplayClock(nullptr, nullptr);
}

// Without memory for the desktop or for the picture shown, nothing is drawn
// or shown; the next request that finds memory gets it.
TEST(VirtualDisplay, PixelsThatCannotBeHadShowNothing)
{
    ResetVirtualDisplay();
    SetVirtualDesktopSize(8, 8);
    SetDisplayClientRect(RECT{0, 0, 4, 4});
    const unsigned presents = GetPresentCount();
    FailNextHeapAllocations(1);
    EXPECT_EQ(GetDesktopPixels(), nullptr);
    FailNextHeapAllocations(1);
    PresentDesktopClientArea();
    EXPECT_EQ(GetPresentCount(), presents);
    EXPECT_EQ(GetLastPresentedPixels(nullptr, nullptr), nullptr);

    ASSERT_NE(GetDesktopPixels(), nullptr);
    GetDesktopPixels()[0] = 0x00FF00;
    FailNextHeapAllocations(1);
    PresentDesktopClientArea();
    EXPECT_EQ(GetPresentCount(), presents);
    const std::uint16_t pixels[4] = {0xF800, 0xF800, 0xF800, 0xF800};
    DDPIXELFORMAT rgb565{};
    rgb565.dwRGBBitCount = 16;
    rgb565.dwRBitMask = 0xF800;
    rgb565.dwGBitMask = 0x7E0;
    rgb565.dwBBitMask = 0x1F;
    FailNextHeapAllocations(1);
    PresentFullScreenPixels(pixels, 4, 2, 2, rgb565, nullptr);
    EXPECT_EQ(GetPresentCount(), presents);
    int width = -1;
    EXPECT_EQ(GetLastPresentedPixels(&width, nullptr), nullptr);
    EXPECT_EQ(width, 0);

    PresentDesktopClientArea();
    EXPECT_EQ(GetPresentCount(), presents + 1);
    EXPECT_EQ(GetLastPresentedPixels(&width, nullptr)[0], 0x00FF00u);
    EXPECT_EQ(width, 4);
    ResetVirtualDisplay();
}

TEST(SdlPresenter, ShowsPresentedPicturesInAnOffscreenWindow)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("t", 0, 0, 4, 4, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(AttachSdlPresenter(window));
    ResetVirtualDisplay();
    SetVirtualDesktopSize(8, 8);
    SetDisplayClientRect(RECT{0, 0, 4, 4});
    GetDesktopPixels()[0] = 0x00FF00;
    PresentDesktopClientArea();
    EXPECT_EQ(GetLastPresentedPixels(nullptr, nullptr)[0], 0x00FF00u);
    DetachSdlPresenter();
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

} // namespace
