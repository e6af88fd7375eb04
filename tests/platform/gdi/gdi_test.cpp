#include "platform/gdi/gdi.h"

#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/display/display.h"
#include "platform/display/pixel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

HWND const kWindow = reinterpret_cast<HWND>(0x1000);

struct BitfieldsInfo {
    BITMAPINFOHEADER header;
    DWORD masks[3];
};

BitfieldsInfo TopDown(int w, int h, int bits)
{
    BitfieldsInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = w;
    info.header.biHeight = -h;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bits);
    info.header.biCompression = BI_BITFIELDS;
    if (bits == 16) {
        info.masks[0] = 0xF800; info.masks[1] = 0x07E0; info.masks[2] = 0x001F;
    } else {
        info.masks[0] = 0xFF0000; info.masks[1] = 0xFF00; info.masks[2] = 0xFF;
    }
    return info;
}

const BITMAPINFO* AsInfo(const BitfieldsInfo& info)
{
    return reinterpret_cast<const BITMAPINFO*>(&info);
}

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetVirtualDisplay();
        SetVirtualDesktopSize(800, 600);
        SetDisplayClientRect(RECT{10, 20, 14, 24});  // a 4 x 4 client area
    }
};

TEST(ChannelPacking, ExpandsAndPacksByBitReplication)
{
    struct Case { std::uint32_t value; std::uint32_t mask; std::uint32_t expanded; };
    const Case cases[] = {
        {0x1F, 0x1F, 0xFF}, {0x10, 0x1F, 0x84}, {0x0400, 0x07E0, 0x82}, {0xF800, 0xF800, 0xFF},
        {0x00, 0xF800, 0x00}, {0xAB0000, 0xFF0000, 0xAB},
    };
    for (const Case& c : cases) EXPECT_EQ(ExpandChannel(c.value, c.mask), c.expanded) << std::hex << c.value;
    EXPECT_EQ(PackChannel(0xFF, 0xF800), 0xF800u);
    EXPECT_EQ(PackChannel(0x84, 0x1F), 0x10u);
}

TEST_F(GdiTest, DesktopReportsThirtyTwoBitsUntilTheSettingsChange)
{
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES), 32);
    EXPECT_EQ(GetDeviceCaps(screen, VREFRESH), 60);

    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    mode.dmBitsPerPel = 16;
    ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 640);
    mode.dmBitsPerPel = 24;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    ASSERT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 800);
    ReleaseDC(nullptr, screen);
}

TEST_F(GdiTest, SetDIBitsToDeviceShowsATopDownBitfieldsImageInTheWindow)
{
    std::vector<std::uint16_t> pixels(16);
    for (int i = 0; i < 16; ++i) pixels[i] = i < 4 ? 0xF800 : 0x001F;  // first row red, the rest blue
    BitfieldsInfo info = TopDown(4, 4, 16);
    HDC dc = GetDC(kWindow);
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 4, 4, 0, 0, 0, 4, pixels.data(), AsInfo(info), DIB_RGB_COLORS), 4);
    ReleaseDC(kWindow, dc);

    int w = 0, h = 0;
    const std::uint32_t* shown = GetLastPresentedPixels(&w, &h);
    ASSERT_EQ(w, 4);
    EXPECT_EQ(shown[0], 0xFF0000u);
    EXPECT_EQ(shown[4], 0x0000FFu);
    EXPECT_EQ(GetDesktopPixels()[20 * 800 + 10], 0xFF0000u);  // at the client origin on the desktop
}

TEST_F(GdiTest, StretchDIBitsCountsTheSourceRowFromTheBottomOfATopDownImage)
{
    // Rows hold their own index as the blue value.
    std::vector<std::uint32_t> pixels(4 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) pixels[y * 4 + x] = static_cast<std::uint32_t>(y + 1);
    BitfieldsInfo info = TopDown(4, 4, 32);
    HDC dc = GetDC(kWindow);
    // Copy rows 1..2 to their own place: ySrc = height - rows - top = 4 - 2 - 1.
    ASSERT_GT(StretchDIBits(dc, 0, 1, 4, 2, 0, 1, 4, 2, pixels.data(), AsInfo(info), DIB_RGB_COLORS, SRCCOPY), 0);
    ReleaseDC(kWindow, dc);
    const std::uint32_t* shown = GetLastPresentedPixels(nullptr, nullptr);
    EXPECT_EQ(shown[0 * 4], 0u);
    EXPECT_EQ(shown[1 * 4], 2u);
    EXPECT_EQ(shown[2 * 4], 3u);
    EXPECT_EQ(shown[3 * 4], 0u);
}

TEST_F(GdiTest, BitBltConvertsBetweenADibSectionAndAPaletteSurface)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = -1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    HGDIOBJ old = SelectObject(memory, section);
    auto* b = static_cast<std::uint8_t*>(bits);
    // Pixel 0 near-white, pixel 1 pure green (bytes blue, green, red).
    b[0] = 250; b[1] = 250; b[2] = 250; b[3] = 0; b[4] = 255; b[5] = 0;

    IDirectDraw7* dd = nullptr;
    CreateDirectDraw7Object(&dd);
    dd->Initialize(nullptr);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = 2;
    d.dwHeight = 1;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    d.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    d.ddpfPixelFormat.dwRGBBitCount = 8;
    IDirectDrawSurface7* surface = nullptr;
    ASSERT_EQ(dd->CreateSurface(&d, &surface, nullptr), DD_OK);
    PALETTEENTRY entries[256]{};
    entries[1] = {255, 255, 255, 0};
    entries[2] = {0, 255, 0, 0};
    entries[3] = {0, 255, 0, 0};  // equally near: the lower index wins
    IDirectDrawPalette* palette = nullptr;
    dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr);
    surface->SetPalette(palette);
    palette->Release();

    HDC surfaceDC = nullptr;
    ASSERT_EQ(surface->GetDC(&surfaceDC), DD_OK);
    DDSURFACEDESC2 locked{};
    EXPECT_EQ(surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    ASSERT_TRUE(BitBlt(surfaceDC, 0, 0, 2, 1, memory, 0, 0, SRCCOPY));
    ASSERT_EQ(surface->ReleaseDC(surfaceDC), DD_OK);
    ASSERT_EQ(surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    auto* indices = static_cast<std::uint8_t*>(locked.lpSurface);
    EXPECT_EQ(indices[0], 1);
    EXPECT_EQ(indices[1], 2);
    surface->Unlock(nullptr);

    surface->Release();
    dd->Release();
    SelectObject(memory, old);
    EXPECT_TRUE(DeleteObject(section));
    DeleteDC(memory);
}

TEST_F(GdiTest, GetDIBitsReadsTheWindowBackThroughACompatibleBitmap)
{
    std::uint32_t* desktop = GetDesktopPixels();
    desktop[21 * 800 + 12] = 0x00ABCDEF;  // client pixel (2, 1)
    HDC window = GetDC(kWindow);
    HDC memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, 4, 4);
    HGDIOBJ old = SelectObject(memory, bitmap);
    ASSERT_TRUE(BitBlt(memory, 0, 0, 4, 4, window, 0, 0, SRCCOPY));
    SelectObject(memory, old);

    std::vector<std::uint16_t> out(16);
    BitfieldsInfo info = TopDown(4, 4, 16);
    EXPECT_EQ(GetDIBits(memory, bitmap, 0, 4, out.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS), 4);
    std::uint16_t expected = static_cast<std::uint16_t>(PackChannel(0xAB, 0xF800) | PackChannel(0xCD, 0x07E0) |
                                                        PackChannel(0xEF, 0x001F));
    EXPECT_EQ(out[1 * 4 + 2], expected);
    EXPECT_EQ(out[0], 0u);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(kWindow, window);
}

TEST_F(GdiTest, MalformedHeadersAndStaleContextsAreRefused)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = -4;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 2;  // no such depth here
    void* bits = nullptr;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biWidth = 0;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);

    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);
}

} // namespace
