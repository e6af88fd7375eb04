// Reference model of the software pixel rules, one pixel at a time, written
// per channel from the rules' own wording in 64-bit arithmetic with explicit
// floor and truncating divisions. It shares no code with the kernels: its
// tables are computed inline and its packed add/subtract follow the
// per-channel descriptions, not the mask formulas.
#pragma once

#include <cstdint>
#include <optional>

namespace pixref {

enum class Family { Stretch, Tri2D, RotTri3D };

// Packed saturating operations, per channel.
std::uint32_t PackedAdd8888(std::uint32_t u, std::uint32_t d);
std::uint32_t PackedSub8888(std::uint32_t u, std::uint32_t d);
std::uint32_t PackedAdd565(std::uint32_t u, std::uint32_t d);
std::uint32_t PackedSub565(std::uint32_t u, std::uint32_t d);

struct FlatCase {
    bool X8888;
    int Mode;
    int P;
    std::uint32_t Bright;
    std::uint32_t Colour;
};
// The new destination pixel, or nullopt when the call draws nothing.
std::optional<std::uint32_t> FlatPixel(const FlatCase& k, std::uint32_t d);

struct ImageCase {
    bool X8888;
    bool Palette;  // Texel is an index into Entries
    bool Alpha;    // UseAlpha == 1 (direct sources only)
    int Mode;
    int P;
    std::uint32_t Bright;
    bool Graph;
    int Factor;  // blend-graph factor when Graph
    bool Key;
    std::uint32_t ColorKey;
    bool Mmx;
    Family Fam;
    // 8888: the source word; 565: the colour word, plus the alpha in bits
    // 16-23 for an alpha source; palette: the index.
    std::uint32_t Texel;
    const std::uint32_t* Entries;  // palette entries (palette sources)
};
// The new destination pixel (565: low 16 bits), or nullopt when the pixel
// is left untouched (nothing drawn or skipped).
std::optional<std::uint32_t> ImagePixel(const ImageCase& k, std::uint32_t d);

}  // namespace pixref
