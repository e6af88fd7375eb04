// The virtual display: the emulated vertical blank on a manual clock, and
// the SDL presenter showing presented pictures in an offscreen window.
#include "platform/display/display.h"
#include "platform/display/sdl_presenter.h"

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
