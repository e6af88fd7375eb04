// Reference model of the pixel rules of the 3D triangle loops with vertex
// colour, one pixel at a time, per channel in 64-bit arithmetic with explicit
// floor divisions. It shares no code with the kernels.
#pragma once

#include <cstdint>
#include <optional>

namespace vcref {

struct VcCase {
    bool X8888;
    bool Palette;
    bool Alpha;  // UseAlpha == 1 (direct sources only)
    int Mode;
    bool Graph;
    int Factor;  // blend-graph factor when Graph
    bool Key;
    std::uint32_t ColorKey;
    // 8888: the source word; 565: the colour word, plus the alpha in bits
    // 16-23 for an alpha source; palette: the index.
    std::uint32_t Texel;
    const std::uint32_t* Entries;  // palette entries (palette sources)
    int M[3];  // vertex-colour multipliers, blue, green, red
    int MA;    // vertex alpha
};

// The new destination pixel (565: low 16 bits), or nullopt when the pixel is
// left untouched.
std::optional<std::uint32_t> VcPixel(const VcCase& k, std::uint32_t d);

}  // namespace vcref
