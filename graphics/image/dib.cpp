// DIB descriptions of graph images and DIB sections made from them, over the
// GDI stand-in; pixel conversion through the converting copy.
#include "graphics/image/dib.h"

#include <cstring>
#include <cstdlib>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/image/convert.h"

int ConvertGraphImageToDIB(const GraphImage* image, BITMAPINFO* info, void** bits)
{
    std::memset(&info->bmiHeader, 0, sizeof(info->bmiHeader));
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = image->Width;
    info->bmiHeader.biHeight = -image->Height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 24;
    info->bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;

    const std::size_t rowSize = (static_cast<std::size_t>(image->Width) * 3 + 3) & ~static_cast<std::size_t>(3);
    const std::size_t size = GetImageBlockSize(static_cast<long long>(rowSize), image->Height);
    const COLORFMT& f = image->Format;
    const bool rgb24 = f.BitsPerPixel == 24 && f.RedMask == 0xFF0000 && f.GreenMask == 0xFF00 && f.BlueMask == 0xFF;
    if (rgb24 && static_cast<std::size_t>(image->Pitch) == rowSize) {
        *bits = image->Pixels;
        return 0;
    }
    BYTE* block = size != 0 ? static_cast<BYTE*>(AllocMemory(size, __FILE__, __LINE__)) : nullptr;
    if (block == nullptr) {
        return -1;
    }
    if (rgb24) {
        for (int y = 0; y < image->Height; ++y) {
            std::memcpy(block + static_cast<std::size_t>(y) * rowSize,
                        static_cast<const BYTE*>(image->Pixels) + static_cast<std::ptrdiff_t>(y) * image->Pitch,
                        static_cast<std::size_t>(image->Width) * 3);
        }
    } else {
        COLORFMT target{};
        SetColorFormatRGB24(&target);
        RECT whole{0, 0, image->Width, image->Height};
        CopyPixelsConvertingFormat(block, static_cast<int>(rowSize), &target, image->Pixels, image->Pitch, &f, nullptr,
                                   0, nullptr, 0, 0, &whole, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    *bits = block;
    return 1;
}

HBITMAP CreateDIBGraph(BITMAPINFO* info, void* bits)
{
    HDC dc = CreateCompatibleDC(nullptr);
    auto* header = static_cast<BITMAPINFO*>(AllocMemoryZeroed(sizeof(BITMAPINFO), __FILE__, __LINE__));
    if (header == nullptr) {
        WriteLog("メモリの確保に失敗しました in CreateDIBGraph \n");
        FreeMemory(bits);
        FreeMemory(info);
        DeleteDC(dc);
        return nullptr;
    }
    const LONG width = info->bmiHeader.biWidth;
    const LONG height = std::abs(info->bmiHeader.biHeight);
    header->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header->bmiHeader.biWidth = width;
    header->bmiHeader.biHeight = -height;
    header->bmiHeader.biPlanes = 1;
    header->bmiHeader.biBitCount = 24;
    header->bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP section = CreateDIBSection(dc, header, DIB_RGB_COLORS, &pixels, nullptr, 0);
    FreeMemory(header);
    if (section == nullptr) {
        WriteLog("ＤＩＢの作成に失敗しました3\n");
        FreeMemory(bits);
        FreeMemory(info);
        DeleteDC(dc);
        return nullptr;
    }
    if (pixels == nullptr) {
        WriteLog("ＤＩＢの作成に失敗しました2\n");
        DeleteObject(section);
        DeleteDC(dc);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(dc, section);
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), bits, info, DIB_RGB_COLORS);
    SelectObject(dc, old);
    DeleteDC(dc);
    return section;
}
