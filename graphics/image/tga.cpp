// TGA decoder: colour-mapped and true-colour images, raw or run-length, 16,
// 24 or 32 bits, any of the four row orders. Reads the image stream.
#include <cstring>

#include "core/memory.h"
#include "graphics/image/decoders.h"

namespace {

constexpr int HeaderSize = 18;
constexpr int FooterSize = 26;
constexpr int MaxSide = 8192;

struct TgaDecode {
    BYTE* pixels = nullptr;
    BYTE* flipped = nullptr;
    BYTE* palette = nullptr;
    BYTE* data = nullptr;
    ~TgaDecode()
    {
        FreeMemory(pixels);
        FreeMemory(flipped);
        FreeMemory(palette);
        FreeMemory(data);
    }
};

bool HasFooter(const STREAMREF* stream, long long size)
{
    if (size < HeaderSize + FooterSize || StreamSeek(stream, size - FooterSize, 0) != 0) {
        return false;
    }
    BYTE footer[FooterSize];
    return StreamReadAll(stream, footer, sizeof footer) && std::memcmp(footer + 8, "TRUEVISION-XFILE", 16) == 0 &&
           ReadLe32(footer) == 0;
}

// Run-length packets into count values of valueBytes each; false when the data
// ends first. A packet running past the last value is cut there.
bool DecodePackets(const BYTE* p, const BYTE* end, BYTE* out, std::size_t count, std::size_t valueBytes)
{
    std::size_t done = 0;
    while (done < count) {
        if (p >= end) {
            return false;
        }
        BYTE h = *p++;
        std::size_t n = static_cast<std::size_t>(h & 0x7F) + 1;
        if (n > count - done) {
            n = count - done;
        }
        if ((h & 0x80) != 0) {
            if (static_cast<std::size_t>(end - p) < valueBytes) {
                return false;
            }
            for (std::size_t i = 0; i < n; ++i) {
                std::memcpy(out + (done + i) * valueBytes, p, valueBytes);
            }
            p += valueBytes;
        } else {
            std::size_t bytes = n * valueBytes;
            if (static_cast<std::size_t>(end - p) < bytes) {
                return false;
            }
            std::memcpy(out + done * valueBytes, p, bytes);
            p += bytes;
        }
        done += n;
    }
    return true;
}

int Decode(const STREAMREF* stream, GraphImage* image, TgaDecode& t)
{
    if (StreamSeek(stream, 0, 2) != 0) {
        return -1;
    }
    const long long size = StreamTell(stream);
    if (size < HeaderSize) {
        return -1;
    }
    const bool footer = HasFooter(stream, size);
    const long long dataEnd = footer ? size - FooterSize : size;
    BYTE h[HeaderSize];
    if (StreamSeek(stream, 0, 0) != 0 || !StreamReadAll(stream, h, sizeof h)) {
        return -1;
    }
    const int idLength = h[0];
    const int mapType = h[1];
    const int type = h[2];
    const int mapFirst = ReadLe16(h + 3);
    const int mapLength = ReadLe16(h + 5);
    const int mapEntryBits = h[7];
    const int width = ReadLe16(h + 12);
    const int height = ReadLe16(h + 14);
    const int descriptor = h[17];
    if (type != 1 && type != 2 && type != 9 && type != 10) {
        return -1;
    }
    if (ReadLe16(h + 8) != 0 || ReadLe16(h + 10) != 0) {
        return -1;
    }
    if (width > MaxSide || height > MaxSide || width == 0 || height == 0) {
        return -1;
    }
    const bool mapped = type == 1 || type == 9;
    const int depth = mapped ? mapEntryBits : h[16];
    if (depth != 16 && depth != 24 && depth != 32) {
        return -1;
    }
    // A colour map reaching past entry 255 has no place in the palette, and
    // an image without one has no colours at all.
    if (mapped && (mapType == 0 || mapLength == 0 || mapFirst + mapLength > 256)) {
        return -1;
    }
    const std::size_t bytes = static_cast<std::size_t>(depth / 8);
    const std::size_t pitch = static_cast<std::size_t>(width) * bytes;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t blockSize = pitch * static_cast<std::size_t>(height);

    long long position = HeaderSize + idLength;
    if (!mapped && mapType == 1) {
        position += static_cast<long long>(mapLength) * ((mapEntryBits + 7) / 8);
    }
    const std::size_t mapBytes = mapped ? static_cast<std::size_t>(mapLength) * bytes : 0;
    const long long available = dataEnd - position - static_cast<long long>(mapBytes);
    // The data must be able to hold the image before the block is sized:
    // raw data value for value, run-length data at least a packet per 128.
    const std::size_t valueBytes = mapped ? 1 : bytes;
    const std::size_t needed = type == 1 || type == 2 ? count * valueBytes : (count + 127) / 128 * (1 + valueBytes);
    if (available < 0 || static_cast<unsigned long long>(available) < needed) {
        return -1;
    }
    if (StreamSeek(stream, position, 0) != 0) {
        return -1;
    }
    t.pixels = static_cast<BYTE*>(AllocMemory(blockSize, __FILE__, __LINE__));
    if (t.pixels == nullptr) {
        return -1;
    }

    if (mapped) {
        t.palette = static_cast<BYTE*>(AllocMemoryZeroed(256 * bytes, __FILE__, __LINE__));
        if (t.palette == nullptr || !StreamReadAll(stream, t.palette + static_cast<std::size_t>(mapFirst) * bytes, mapBytes)) {
            return -1;
        }
        BYTE* indexes;
        if (type == 1) {
            t.data = static_cast<BYTE*>(AllocMemory(count, __FILE__, __LINE__));
            if (t.data == nullptr || !StreamReadAll(stream, t.data, count)) {
                return -1;
            }
            indexes = t.data;
        } else {
            std::size_t dataSize = static_cast<std::size_t>(available);
            t.data = static_cast<BYTE*>(AllocMemory(dataSize + count, __FILE__, __LINE__));
            if (t.data == nullptr || !StreamReadAll(stream, t.data, dataSize)) {
                return -1;
            }
            indexes = t.data + dataSize;
            if (!DecodePackets(t.data, t.data + dataSize, indexes, count, 1)) {
                return -1;
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            std::memcpy(t.pixels + i * bytes, t.palette + static_cast<std::size_t>(indexes[i]) * bytes, bytes);
        }
    } else if (type == 2) {
        if (!StreamReadAll(stream, t.pixels, blockSize)) {
            return -1;
        }
    } else {
        std::size_t dataSize = static_cast<std::size_t>(available);
        t.data = static_cast<BYTE*>(AllocMemory(dataSize, __FILE__, __LINE__));
        if (t.data == nullptr || !StreamReadAll(stream, t.data, dataSize) ||
            !DecodePackets(t.data, t.data + dataSize, t.pixels, count, bytes)) {
            return -1;
        }
    }

    const bool topDown = (descriptor & 0x20) != 0;
    const bool rightToLeft = (descriptor & 0x10) != 0;
    if (!topDown || rightToLeft) {
        t.flipped = static_cast<BYTE*>(AllocMemory(blockSize, __FILE__, __LINE__));
        if (t.flipped == nullptr) {
            return -1;
        }
        for (int y = 0; y < height; ++y) {
            const BYTE* s = t.pixels + static_cast<std::size_t>(y) * pitch;
            BYTE* d = t.flipped + static_cast<std::size_t>(topDown ? y : height - 1 - y) * pitch;
            if (!rightToLeft) {
                std::memcpy(d, s, pitch);
                continue;
            }
            for (int x = 0; x < width; ++x) {
                std::memcpy(d + static_cast<std::size_t>(width - 1 - x) * bytes, s + static_cast<std::size_t>(x) * bytes,
                            bytes);
            }
        }
        FreeMemory(t.pixels);
        t.pixels = t.flipped;
        t.flipped = nullptr;
    }

    COLORFMT& f = image->Format;
    if (depth == 16) {
        SetColorFormatFromMasks(&f, 16, 0x7C00, 0x3E0, 0x1F, 0); // the attribute bit stays a spare bit
    } else {
        SetColorFormatFromMasks(&f, depth, 0xFF0000, 0xFF00, 0xFF, depth == 32 ? 0xFF000000u : 0);
    }
    image->Width = width;
    image->Height = height;
    image->Pitch = static_cast<int>(pitch);
    image->Pixels = t.pixels;
    t.pixels = nullptr;
    return 0;
}

} // namespace

int DecodeTgaImage(const STREAMREF* stream, GraphImage* image)
{
    TgaDecode t;
    return Decode(stream, image, t);
}
