// DDS decoder: the top-level image of layouts given by masks or by numeric
// format codes, read as stored, and the BC1/BC2/BC3 block formats decoded to
// 32-bit ARGB. Reads the image stream.
#include <cstring>

#include "core/memory.h"
#include "graphics/image/decoders.h"

namespace {

constexpr int DescSize = 124;
constexpr DWORD DescHasPitch = 0x8;
constexpr DWORD PfFourCC = 0x4;

struct NumericFormat {
    DWORD code;
    int bits;
    DWORD r, g, b, a;
};

const NumericFormat NumericFormats[] = {
    {20, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {22, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {23, 16, 0xF800, 0x7E0, 0x1F, 0},
    {24, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {25, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {26, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {27, 8, 0xE0, 0x1C, 0x3, 0},
    {29, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {30, 16, 0xF00, 0xF0, 0xF, 0},
    {31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {33, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    {0xFFFFFFFF, 0, 0, 0, 0, 0},
};

enum class Block { None, BC1, BC2Premultiplied, BC2, BC3Premultiplied, BC3 };

Block BlockKind(DWORD fourcc)
{
    switch (fourcc) {
    case 0x31545844: return Block::BC1;
    case 0x32545844: return Block::BC2Premultiplied;
    case 0x33545844: return Block::BC2;
    case 0x34545844: return Block::BC3Premultiplied;
    case 0x35545844: return Block::BC3;
    default: return Block::None;
    }
}

struct Rgb {
    DWORD r, g, b;
};

Rgb Expand565(std::uint16_t c)
{
    return Rgb{((c >> 11) & 31) * 255u / 31u, ((c >> 5) & 63) * 255u / 63u, (c & 31) * 255u / 31u};
}

DWORD Pack(DWORD a, const Rgb& c)
{
    return (a << 24) | (c.r << 16) | (c.g << 8) | c.b;
}

void DecodeBlock(const BYTE* block, Block kind, DWORD texels[16])
{
    const BYTE* colour = kind == Block::BC1 ? block : block + 8;
    const std::uint16_t c0 = ReadLe16(colour);
    const std::uint16_t c1 = ReadLe16(colour + 2);
    const std::uint32_t indexes = ReadLe32(colour + 4);
    Rgb e0 = Expand565(c0), e1 = Expand565(c1);
    DWORD table[4];
    table[0] = Pack(255, e0);
    table[1] = Pack(255, e1);
    if (kind != Block::BC1 || c0 > c1) {
        table[2] = Pack(255, Rgb{(2 * e0.r + e1.r) / 3, (2 * e0.g + e1.g) / 3, (2 * e0.b + e1.b) / 3});
        table[3] = Pack(255, Rgb{(e0.r + 2 * e1.r) / 3, (e0.g + 2 * e1.g) / 3, (e0.b + 2 * e1.b) / 3});
    } else {
        Rgb mid{(e0.r + e1.r) / 2, (e0.g + e1.g) / 2, (e0.b + e1.b) / 2};
        table[2] = Pack(255, mid);
        table[3] = Pack(0, mid);
    }
    for (int i = 0; i < 16; ++i) {
        texels[i] = table[(indexes >> (2 * i)) & 3];
    }
    if (kind == Block::BC2 || kind == Block::BC2Premultiplied) {
        for (int i = 0; i < 16; ++i) {
            DWORD a = (block[i / 2] >> (4 * (i & 1))) & 15;
            texels[i] = (texels[i] & 0xFFFFFF) | ((a * 255 / 15) << 24);
        }
    } else if (kind == Block::BC3 || kind == Block::BC3Premultiplied) {
        DWORD a0 = block[0], a1 = block[1];
        DWORD alpha[8] = {a0, a1};
        if (a0 > a1) {
            for (DWORD i = 1; i <= 6; ++i) {
                alpha[i + 1] = ((7 - i) * a0 + i * a1) / 7;
            }
        } else {
            for (DWORD i = 1; i <= 4; ++i) {
                alpha[i + 1] = ((5 - i) * a0 + i * a1) / 5;
            }
            alpha[6] = 0;
            alpha[7] = 255;
        }
        std::uint64_t bits = 0;
        for (int i = 0; i < 6; ++i) {
            bits |= static_cast<std::uint64_t>(block[2 + i]) << (8 * i);
        }
        for (int i = 0; i < 16; ++i) {
            texels[i] = (texels[i] & 0xFFFFFF) | (alpha[(bits >> (3 * i)) & 7] << 24);
        }
    }
    if (kind == Block::BC2Premultiplied || kind == Block::BC3Premultiplied) {
        for (int i = 0; i < 16; ++i) {
            DWORD a = texels[i] >> 24;
            // Alpha 0 cannot be divided back: such texels stay black.
            auto unmultiply = [a](DWORD c) -> DWORD {
                if (a == 0) {
                    return 0;
                }
                DWORD v = c * 255 / a;
                return v > 255 ? 255 : v;
            };
            texels[i] = Pack(a, Rgb{unmultiply((texels[i] >> 16) & 255), unmultiply((texels[i] >> 8) & 255),
                                    unmultiply(texels[i] & 255)});
        }
    }
}

} // namespace

int DecodeDdsImage(const STREAMREF* stream, GraphImage* image)
{
    BYTE magic[4];
    BYTE d[DescSize];
    if (!StreamReadAll(stream, magic, sizeof magic) || std::memcmp(magic, "DDS", 3) != 0) {
        return -1;
    }
    if (!StreamReadAll(stream, d, sizeof d)) {
        return -1;
    }
    // Offsets below are file offsets less the 4-byte magic.
    const DWORD flags = ReadLe32(d + 4);
    const long long height = static_cast<std::int32_t>(ReadLe32(d + 8));
    const long long width = static_cast<std::int32_t>(ReadLe32(d + 12));
    const long long filePitch = static_cast<std::int32_t>(ReadLe32(d + 16));
    const DWORD pfFlags = ReadLe32(d + 76);
    const DWORD fourcc = ReadLe32(d + 80);
    const DWORD bitCount = ReadLe32(d + 84);
    if (width <= 0 || height <= 0) {
        return -1;
    }

    COLORFMT layout{};
    bool haveLayout = false;
    if (pfFlags == PfFourCC) {
        for (const NumericFormat* n = NumericFormats; n->code != 0xFFFFFFFF; ++n) {
            if (n->code == fourcc) {
                SetColorFormatFromMasks(&layout, n->bits, n->r, n->g, n->b, n->a);
                haveLayout = true;
                break;
            }
        }
    } else if ((pfFlags & PfFourCC) == 0) {
        // Only whole-byte pixels of up to 32 bits make a layout.
        if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
            return -1;
        }
        SetColorFormatFromMasks(&layout, static_cast<int>(bitCount), ReadLe32(d + 88), ReadLe32(d + 92),
                                ReadLe32(d + 96), ReadLe32(d + 100));
        haveLayout = true;
    }
    const long long left = StreamBytesLeft(stream);
    if (left < 0) {
        return -1;
    }

    const Block kind = (pfFlags & PfFourCC) != 0 ? BlockKind(fourcc) : Block::None;
    if (kind != Block::None) {
        const std::size_t blockBytes = kind == Block::BC1 ? 8 : 16;
        const std::size_t pixelBytes = GetImageBlockSize(width * 4, height);
        // Partial blocks at the right and bottom edges are stored whole.
        const std::size_t bw = static_cast<std::size_t>((width + 3) / 4), bh = static_cast<std::size_t>((height + 3) / 4);
        const std::size_t dataBytes = bw * bh * blockBytes;
        if (pixelBytes == 0 || static_cast<unsigned long long>(left) < dataBytes) {
            return -1;
        }
        BYTE* data = static_cast<BYTE*>(AllocMemory(dataBytes, __FILE__, __LINE__));
        if (data == nullptr || !StreamReadAll(stream, data, dataBytes)) {
            FreeMemory(data);
            return -1;
        }
        DWORD* pixels = static_cast<DWORD*>(AllocMemory(pixelBytes, __FILE__, __LINE__));
        if (pixels == nullptr) {
            FreeMemory(data);
            return -1;
        }
        const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
        for (std::size_t by = 0; by < bh; ++by) {
            for (std::size_t bx = 0; bx < bw; ++bx) {
                DWORD texels[16];
                DecodeBlock(data + (by * bw + bx) * blockBytes, kind, texels);
                for (std::size_t i = 0; i < 16; ++i) {
                    const std::size_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
                    if (x < w && y < h) {
                        pixels[y * w + x] = texels[i];
                    }
                }
            }
        }
        FreeMemory(data);
        std::memset(&image->Format, 0, sizeof(image->Format));
        SetColorFormatARGB32(&image->Format);
        image->Width = static_cast<int>(width);
        image->Height = static_cast<int>(height);
        image->Pitch = static_cast<int>(width * 4);
        image->Pixels = pixels;
        return 0;
    }
    if (!haveLayout) {
        return -1;
    }
    const long long rowBytes = layout.BitsPerPixel / 8 * width;
    const long long pitch = (flags & DescHasPitch) != 0 ? filePitch : rowBytes;
    // A pitch shorter than a row would let later copies read past the block.
    const std::size_t size = pitch >= rowBytes ? GetImageBlockSize(pitch, height) : 0;
    if (size == 0 || static_cast<unsigned long long>(left) < size) {
        return -1;
    }
    BYTE* pixels = static_cast<BYTE*>(AllocMemory(size, __FILE__, __LINE__));
    if (pixels == nullptr || !StreamReadAll(stream, pixels, size)) {
        FreeMemory(pixels);
        return -1;
    }
    image->Format = layout;
    image->Width = static_cast<int>(width);
    image->Height = static_cast<int>(height);
    image->Pitch = static_cast<int>(pitch);
    image->Pixels = pixels;
    return 0;
}
