// BMP decoder: run-length 8 and 4, 4/8/24-bit rows, and our own converter to
// 24-bit rows for the 1/16/32-bit and bit-field files. Reads through the
// image stream; logs through core/log.h.
#include <climits>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/image/decoders.h"

namespace {

constexpr int FileHeaderSize = 14;
constexpr int InfoHeaderSize = 40;
constexpr int BiRgb = 0;
constexpr int BiRle8 = 1;
constexpr int BiRle4 = 2;
constexpr int BiBitfields = 3;
constexpr std::size_t RleBlockPerDataByte = 1024;
constexpr std::size_t RleSmallData = 4096;

// Everything a decode holds, released together on every refusal.
struct BmpDecode {
    BYTE* header = nullptr; // the 40 bytes every header shares, then the three masks
    BYTE* palette = nullptr; // 256 entries, zero past the file's table
    BYTE* data = nullptr; // everything from the pixel offset to the end
    BYTE* pixels = nullptr;
    std::size_t dataSize = 0;
    int width = 0;
    int height = 0; // |height|
    bool bottomUp = false;
    int bits = 0;
    int compression = 0;
    std::size_t rowSize = 0; // source row, padded to 4 bytes

    ~BmpDecode()
    {
        FreeMemory(header);
        FreeMemory(palette);
        FreeMemory(data);
        FreeMemory(pixels);
    }
};

void CopyPalette(COLORFMT* format, const BYTE* table, int entries)
{
    for (int i = 0; i < entries; ++i) {
        const BYTE* e = table + 4 * i;
        format->Palette[i] = COLORPALETTEENTRY{e[0], e[1], e[2], 0};
    }
}

// Run-length decoding; every write is kept inside the output block and every
// read inside the data, so a damaged file decodes up to the damage.
void DecodeRle(const BmpDecode& b, BYTE* out, std::size_t pitch, bool fourBit)
{
    const BYTE* p = b.data;
    const BYTE* end = b.data + b.dataSize;
    long long row = b.bottomUp ? b.height - 1 : 0;
    const int rowStep = b.bottomUp ? -1 : 1;
    long long x = 0;
    auto put = [&](BYTE index) {
        if (row >= 0 && row < b.height && x >= 0 && x < b.width) {
            out[static_cast<std::size_t>(row) * pitch + static_cast<std::size_t>(x)] = index;
        }
        ++x;
    };
    while (end - p >= 2) {
        int n = p[0];
        int v = p[1];
        p += 2;
        if (n > 0) {
            for (int i = 0; i < n; ++i) {
                put(fourBit ? static_cast<BYTE>((i & 1) == 0 ? v >> 4 : v & 15) : static_cast<BYTE>(v));
            }
            continue;
        }
        if (v == 0) {
            row += rowStep;
            x = 0;
        } else if (v == 1) {
            return;
        } else if (v == 2) {
            if (end - p < 2) {
                return;
            }
            x += p[0];
            row += static_cast<long long>(rowStep) * p[1];
            p += 2;
        } else {
            std::size_t bytes = fourBit ? static_cast<std::size_t>(v + 1) / 2 : static_cast<std::size_t>(v);
            std::size_t padded = (bytes + 1) & ~static_cast<std::size_t>(1);
            if (static_cast<std::size_t>(end - p) < bytes) {
                return;
            }
            for (int i = 0; i < v; ++i) {
                put(fourBit ? static_cast<BYTE>((i & 1) == 0 ? p[i / 2] >> 4 : p[i / 2] & 15) : p[i]);
            }
            p += padded <= static_cast<std::size_t>(end - p) ? padded : static_cast<std::size_t>(end - p);
        }
        if (row < 0 || row >= b.height) {
            return;
        }
    }
}

const BYTE* SourceRow(const BmpDecode& b, int outputRow)
{
    int fileRow = b.bottomUp ? b.height - 1 - outputRow : outputRow;
    return b.data + static_cast<std::size_t>(fileRow) * b.rowSize;
}

struct MaskChannel {
    DWORD mask;
    int shift;
    DWORD max;
};

MaskChannel AnalyseChannel(DWORD mask)
{
    MaskChannel c{mask, 0, 0};
    if (mask == 0) {
        return c;
    }
    while (((mask >> c.shift) & 1u) == 0) {
        ++c.shift;
    }
    c.max = mask >> c.shift;
    return c;
}

BYTE Expand(DWORD v, const MaskChannel& c)
{
    if (c.max == 0) {
        return 0;
    }
    std::uint64_t x = (v & c.mask) >> c.shift;
    return static_cast<BYTE>(x * 255u / c.max);
}

// Stands in for the system's DIB conversion: 1-bit palette rows, 16-bit
// (5:5:5) and 32-bit rows, or bit fields at 16 and 32 bits, into 24-bit rows
// padded to 4 bytes. Anything else is refused, never shown black.
bool ConvertToRgb24(BmpDecode& b, GraphImage* image)
{
    bool fields = b.compression == BiBitfields;
    bool supported = (b.compression == BiRgb && (b.bits == 1 || b.bits == 16 || b.bits == 32)) ||
                     (fields && (b.bits == 16 || b.bits == 32));
    if (!supported) {
        WriteLog("ＤＩＢの作成に失敗しました3\n");
        return false;
    }
    MaskChannel red, green, blue;
    if (fields) {
        red = AnalyseChannel(ReadLe32(b.header + 40));
        green = AnalyseChannel(ReadLe32(b.header + 44));
        blue = AnalyseChannel(ReadLe32(b.header + 48));
        // Overlapping or gapped masks are not a layout any writer makes.
        DWORD all = red.mask | green.mask | blue.mask;
        bool overlap = (red.mask & green.mask) || (red.mask & blue.mask) || (green.mask & blue.mask);
        bool gapped = ((red.max + 1) & red.max) || ((green.max + 1) & green.max) || ((blue.max + 1) & blue.max);
        if (all == 0 || overlap || gapped || (b.bits == 16 && (all >> 16) != 0)) {
            WriteLog("ＤＩＢの作成に失敗しました3\n");
            return false;
        }
    } else if (b.bits == 16) {
        red = AnalyseChannel(0x7C00);
        green = AnalyseChannel(0x3E0);
        blue = AnalyseChannel(0x1F);
    } else {
        red = AnalyseChannel(0xFF0000);
        green = AnalyseChannel(0xFF00);
        blue = AnalyseChannel(0xFF);
    }
    const std::size_t pitch = (static_cast<std::size_t>(b.width) * 3 + 3) & ~static_cast<std::size_t>(3);
    const std::size_t size = GetImageBlockSize(static_cast<long long>(pitch), b.height);
    b.pixels = size != 0 ? static_cast<BYTE*>(AllocMemory(size, __FILE__, __LINE__)) : nullptr;
    if (b.pixels == nullptr) {
        WriteLog("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
        return false;
    }
    for (int y = 0; y < b.height; ++y) {
        const BYTE* s = SourceRow(b, y);
        BYTE* d = b.pixels + static_cast<std::size_t>(y) * pitch;
        std::memset(d + static_cast<std::size_t>(b.width) * 3, 0, pitch - static_cast<std::size_t>(b.width) * 3);
        for (int x = 0; x < b.width; ++x, d += 3) {
            if (b.bits == 1) {
                const BYTE* e = b.palette + 4 * ((s[x >> 3] >> (7 - (x & 7))) & 1);
                d[0] = e[0];
                d[1] = e[1];
                d[2] = e[2];
                continue;
            }
            DWORD v = b.bits == 16 ? ReadLe16(s + 2 * x) : ReadLe32(s + 4 * x);
            d[0] = Expand(v, blue);
            d[1] = Expand(v, green);
            d[2] = Expand(v, red);
        }
    }
    SetColorFormatRGB24(&image->Format);
    image->Pitch = static_cast<int>(pitch);
    return true;
}

int Decode(const STREAMREF* stream, GraphImage* image, BmpDecode& b)
{
    if (StreamSeek(stream, 0, 2) != 0) {
        return -1;
    }
    const long long streamSize = StreamTell(stream);
    if (streamSize < 0 || StreamSeek(stream, 0, 0) != 0) {
        return -1;
    }
    BYTE fileHeader[FileHeaderSize];
    BYTE sizeField[4];
    if (!StreamReadAll(stream, fileHeader, sizeof fileHeader) || fileHeader[0] != 'B' || fileHeader[1] != 'M') {
        return -1;
    }
    if (!StreamReadAll(stream, sizeField, sizeof sizeField)) {
        return -1;
    }
    // The header's own size places the colour table; the 12-byte core header
    // and any header running into the pixels are not files we read.
    const long long headerSize = ReadLe32(sizeField);
    const long long offset = ReadLe32(fileHeader + 10);
    if (headerSize < InfoHeaderSize || FileHeaderSize + headerSize > offset || offset >= streamSize) {
        return -1;
    }
    // The 40 bytes every header shares, then the three masks at 40.
    b.header = static_cast<BYTE*>(AllocMemoryZeroed(InfoHeaderSize + 12, __FILE__, __LINE__));
    if (b.header == nullptr) {
        return -1;
    }
    std::memcpy(b.header, sizeField, sizeof sizeField);
    const std::size_t inHeader = headerSize >= InfoHeaderSize + 12 ? InfoHeaderSize + 12 : InfoHeaderSize;
    if (!StreamReadAll(stream, b.header + 4, inHeader - 4)) {
        return -1;
    }
    const long long width = static_cast<std::int32_t>(ReadLe32(b.header + 4));
    const long long height = static_cast<std::int32_t>(ReadLe32(b.header + 8));
    b.bits = ReadLe16(b.header + 14);
    b.compression = static_cast<int>(ReadLe32(b.header + 16));
    if (StreamSeek(stream, FileHeaderSize + headerSize, 0) != 0) {
        return -1;
    }
    if (inHeader == InfoHeaderSize && b.compression == BiBitfields) {
        if (!StreamReadAll(stream, b.header + InfoHeaderSize, 12)) {
            return -1;
        }
    } else if (b.bits <= 8) {
        // A short colour table leaves the missing entries zero.
        b.palette = static_cast<BYTE*>(AllocMemoryZeroed(1024, __FILE__, __LINE__));
        if (b.palette == nullptr || b.bits == 0 || StreamRead(stream, b.palette, 1, std::size_t{4} << b.bits) == 0) {
            return -1;
        }
    }

    // Sizes from the file are checked before anything is sized from them.
    if (width <= 0 || height == 0 || height == INT_MIN || b.bits > 32) {
        return -1;
    }
    b.width = static_cast<int>(width);
    b.height = static_cast<int>(height < 0 ? -height : height);
    b.bottomUp = height > 0;
    const long long rowBytes = (static_cast<long long>(b.bits) * width + 7) / 8;
    const long long rowSize = (rowBytes + 3) / 4 * 4;
    if (GetImageBlockSize(rowSize, b.height) == 0) {
        return -1;
    }
    b.rowSize = static_cast<std::size_t>(rowSize);

    if (StreamSeek(stream, offset, 0) != 0) {
        return -1;
    }
    const long long position = StreamTell(stream);
    if (position < 0 || position >= streamSize) {
        return -1;
    }
    b.dataSize = static_cast<std::size_t>(streamSize - position);
    b.data = static_cast<BYTE*>(AllocMemory(b.dataSize, __FILE__, __LINE__));
    if (b.data == nullptr) {
        return -1;
    }
    b.dataSize = StreamRead(stream, b.data, 1, b.dataSize);
    if (b.dataSize == 0) {
        return -1;
    }
    const std::size_t imageBytes = b.rowSize * static_cast<std::size_t>(b.height);

    image->Width = b.width;
    image->Height = b.height;
    if (b.compression == BiRle8 || b.compression == BiRle4) {
        const bool fourBit = b.compression == BiRle4;
        if (b.bits != (fourBit ? 4 : 8)) {
            return -1;
        }
        std::size_t pitch = fourBit ? (static_cast<std::size_t>(b.width) + 3) & ~static_cast<std::size_t>(3) : b.rowSize;
        std::size_t size = GetImageBlockSize(static_cast<long long>(pitch), b.height);
        // A run fills at most 255 pixels from 2 bytes: a block far beyond
        // what the data could cover is a damaged or hostile size.
        if (size / RleBlockPerDataByte > (b.dataSize > RleSmallData ? b.dataSize : RleSmallData)) {
            return -1;
        }
        b.pixels = size != 0 ? static_cast<BYTE*>(AllocMemoryZeroed(size, __FILE__, __LINE__)) : nullptr;
        if (b.pixels == nullptr) {
            return -1;
        }
        DecodeRle(b, b.pixels, pitch, fourBit);
        SetColorFormatPalette8(&image->Format);
        CopyPalette(&image->Format, b.palette, fourBit ? 16 : 256);
        image->Pitch = static_cast<int>(pitch);
    } else if (b.dataSize < imageBytes) {
        // Rows the file does not hold are refused, not read past the data.
        return -1;
    } else if (b.compression == BiRgb && b.bits == 4) {
        std::size_t pitch = (static_cast<std::size_t>(b.width) + 3) & ~static_cast<std::size_t>(3);
        b.pixels = static_cast<BYTE*>(AllocMemoryZeroed(pitch * static_cast<std::size_t>(b.height), __FILE__, __LINE__));
        if (b.pixels == nullptr) {
            return -1;
        }
        for (int y = 0; y < b.height; ++y) {
            const BYTE* s = SourceRow(b, y);
            BYTE* d = b.pixels + static_cast<std::size_t>(y) * pitch;
            for (int x = 0; x < b.width; ++x) {
                d[x] = static_cast<BYTE>((x & 1) == 0 ? s[x / 2] >> 4 : s[x / 2] & 15);
            }
        }
        SetColorFormatPalette8(&image->Format);
        CopyPalette(&image->Format, b.palette, 16);
        image->Pitch = static_cast<int>(pitch);
    } else if (b.compression == BiRgb && (b.bits == 8 || b.bits == 24)) {
        if (b.bottomUp) {
            b.pixels = static_cast<BYTE*>(AllocMemory(imageBytes, __FILE__, __LINE__));
            if (b.pixels == nullptr) {
                return -1;
            }
            for (int y = 0; y < b.height; ++y) {
                std::memcpy(b.pixels + static_cast<std::size_t>(y) * b.rowSize, SourceRow(b, y), b.rowSize);
            }
        } else {
            b.pixels = b.data;
            b.data = nullptr;
        }
        if (b.bits == 8) {
            SetColorFormatPalette8(&image->Format);
            CopyPalette(&image->Format, b.palette, 256);
        } else {
            SetColorFormatRGB24(&image->Format);
        }
        image->Pitch = static_cast<int>(b.rowSize);
    } else if (!ConvertToRgb24(b, image)) {
        return -1;
    }
    image->Pixels = b.pixels;
    b.pixels = nullptr;
    return 0;
}

} // namespace

int DecodeBmpImage(const STREAMREF* stream, GraphImage* image)
{
    BmpDecode b;
    return Decode(stream, image, b);
}
