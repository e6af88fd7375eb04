// Decoder of the library's raw "BGRA" format: a 16-byte header, then rows of
// 8-bit or 16-bit blue, green, red, alpha channels. Reads the image stream.
#include <cstring>

#include "core/memory.h"
#include "graphics/image/decoders.h"

namespace {

constexpr std::uint32_t Depth8 = 0x08080808;
constexpr std::uint32_t Depth16 = 0x10101010;

} // namespace

int DecodeBgraImage(const STREAMREF* stream, GraphImage* image)
{
    BYTE header[16];
    if (!StreamReadAll(stream, header, sizeof header) || std::memcmp(header, "BGRA", 4) != 0) {
        return -1;
    }
    const std::uint32_t depth = ReadLe32(header + 4);
    const long long width = static_cast<std::int32_t>(ReadLe32(header + 8));
    const long long height = static_cast<std::int32_t>(ReadLe32(header + 12));
    if (depth != Depth8 && depth != Depth16) {
        return -1;
    }
    const std::size_t size = GetImageBlockSize(width * 4, height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 8;
    // The pixels must be in the stream before a block is sized from the header.
    const long long left = StreamBytesLeft(stream);
    if (size == 0 || left < 0 || static_cast<unsigned long long>(left) < (depth == Depth8 ? size : size * 2)) {
        return -1;
    }
    BYTE* pixels = static_cast<BYTE*>(AllocMemory(size, __FILE__, __LINE__));
    if (pixels == nullptr) {
        return -1;
    }
    if (depth == Depth8) {
        if (!StreamReadAll(stream, pixels, size)) {
            FreeMemory(pixels);
            return -1;
        }
    } else {
        BYTE* row = static_cast<BYTE*>(AllocMemory(rowBytes, __FILE__, __LINE__));
        if (row == nullptr) {
            FreeMemory(pixels);
            return -1;
        }
        for (long long y = 0; y < height; ++y) {
            if (!StreamReadAll(stream, row, rowBytes)) {
                FreeMemory(row);
                FreeMemory(pixels);
                return -1;
            }
            BYTE* d = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
            // Each channel keeps the high byte of its little-endian u16.
            for (long long x = 0; x < width; ++x) {
                const BYTE* s = row + x * 8;
                d[4 * x + 0] = s[1];
                d[4 * x + 1] = s[3];
                d[4 * x + 2] = s[5];
                d[4 * x + 3] = s[7];
            }
        }
        FreeMemory(row);
    }
    SetColorFormatRGB24(&image->Format);
    image->Format.BitsPerPixel = 32;
    image->Format.BytesPerPixel = 4;
    image->Format.AlphaMask = 0xFF000000u;
    image->Format.AlphaShift = 24;
    image->Format.AlphaWidth = 8;
    image->Width = static_cast<int>(width);
    image->Height = static_cast<int>(height);
    image->Pitch = static_cast<int>(width * 4);
    image->Pixels = pixels;
    return 0;
}
