// Small image files made in the tests: a memory stream for the decoders,
// PNG and JPEG written with libpng and libjpeg, and the byte layouts of
// BMP, TGA, DDS and BGRA files assembled by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/image/imagestream.h"

using Bytes = std::vector<std::uint8_t>;

// A STREAMREF over a byte block with the memory streams' reading rules, for
// tests and fuzzers that need no file layer; the block must outlive it.
struct TestMemoryStream {
    explicit TestMemoryStream(const Bytes& bytes);
    explicit TestMemoryStream(Bytes&&) = delete; // the block would die first
    STREAMREF Ref;
    const Bytes* Data;
    std::size_t Position = 0;
    int EofFlag = 0;
};

void PutLe16(Bytes& b, std::uint32_t v);
void PutLe32(Bytes& b, std::uint32_t v);

struct PngSpec {
    int width = 0, height = 0;
    int colorType = 0; // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    Bytes samples; // packed rows as libpng takes them (no filter byte)
    std::vector<std::uint8_t> palette; // r, g, b triples
    Bytes trns; // palette alphas, or the 16-bit grey/RGB key as libpng's bytes
};
Bytes WritePng(const PngSpec& spec);

// Baseline or progressive JPEG of 1 (grey), 3 (RGB) or 4 (CMYK) components.
Bytes WriteJpeg(int width, int height, int components, const Bytes& samples, bool progressive, int quality = 95);
// Decodes with a bare libjpeg into packed rows (RGB order for colour).
Bytes DecodeJpegReference(const Bytes& file, int* width, int* height, int* components);

// BMP: info header of headerSize bytes (masks at its byte 40 when it has room
// for them), then table or masks, then the given rows.
struct BmpSpec {
    int headerSize = 40;
    std::uint32_t masks[3] = {};
    int width = 0, height = 0; // height < 0: top-down
    int bits = 24;
    int compression = 0;
    std::vector<std::uint32_t> table; // colour table entries 0x00RRGGBB, or the three masks
    Bytes pixels;
};
Bytes WriteBmp(const BmpSpec& spec);

Bytes WriteTga(int type, int width, int height, int depth, int descriptor, const Bytes& payload,
               int mapFirst = 0, int mapLength = 0, int mapEntryBits = 0, bool footer = false);

// Header of 128 bytes (magic and description) followed by the payload.
Bytes WriteDds(int width, int height, std::uint32_t pfFlags, std::uint32_t fourcc, int bits,
               std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a, const Bytes& payload,
               int pitch = -1);

Bytes WriteBgra(std::uint32_t depth, int width, int height, const Bytes& pixels);

// Writes the bytes as the whole of the file at path.
void WriteFileBytes(const std::string& path, const Bytes& bytes);
