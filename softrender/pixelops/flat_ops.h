// Flat-colour operators: one colour combined with a destination pixel under
// each drawing blend mode, for XRGB8888 and RGB565 destinations. Shared by the
// rectangle, line and circle kernels and the 2D triangle's flat spans.
// Per call: tint the colour, select the mode, build a FlatOpCtx; per pixel:
// FlatOp<F, Mode>::Apply. Calls only pixelops/packed_ops.h.
#pragma once

#include <cstdint>

#include "graphics/drawtypes.h"
#include "softrender/pixelops/packed_ops.h"

namespace softpix {

using ::PixFmt;

constexpr bool IsWhite(std::uint32_t bright) { return (bright & 0xFFFFFFu) == 0xFFFFFFu; }

// Tint of the shape kernels: (channel * brightness) >> 8, only when the
// brightness is not white. RGB565 colours are taken to their low 16 bits
// first, so a colour such as 0xFFFFFFFF means white and no table is overrun.
constexpr std::uint32_t TintShapeColour(std::uint32_t c, PixFmt f, std::uint32_t bright)
{
    if (f == PixFmt::R565) c &= 0xFFFFu;
    if (IsWhite(bright)) return c;
    std::uint32_t bB = bright & 0xFF, bG = (bright >> 8) & 0xFF, bR = (bright >> 16) & 0xFF;
    if (f == PixFmt::R565) return Pack565((R565(c) * bR) >> 8, (G565(c) * bG) >> 8, (B565(c) * bB) >> 8);
    return (c & 0xFF000000u) | ((((c >> 16) & 0xFF) * bR >> 8) << 16) | ((((c >> 8) & 0xFF) * bG >> 8) << 8) |
           ((c & 0xFF) * bB >> 8);
}

// The drawing modes; every other value draws nothing.
constexpr bool IsDrawingMode(int mode)
{
    return (mode >= ToInt(BlendMode::Copy) && mode <= ToInt(BlendMode::Multiply)) ||
           mode == ToInt(BlendMode::InvertedBlend) || mode == ToInt(BlendMode::ProductBlend);
}

// Mode actually run for a flat colour, or -1 when nothing is drawn: mode 1 at
// p = 255 is mode 0; modes 1, 2 and 3 at p = 0 draw nothing.
constexpr int SelectFlatMode(BlendMode blend, int p)
{
    const int mode = ToInt(blend);
    if (!IsDrawingMode(mode)) return -1;
    if (blend == BlendMode::Blend && p == 255) return ToInt(BlendMode::Copy);
    if ((blend == BlendMode::Blend || blend == BlendMode::Add || blend == BlendMode::Subtract) && p == 0) return -1;
    return mode;
}

struct FlatOpCtx {
    std::uint32_t Colour;  // the tinted colour c' in the destination's format
    std::uint32_t Amount;  // modes 2 and 3: P(p, channel) of c', packed in the destination's format
    std::uint32_t P;       // BlendParam
    const std::int32_t* Sp;  // SignedProductTable row p, addressed from j = 0 (RGB565 modes 1, 10, 11)
};

// productRowP is ProductTable row p (only read for modes 2 and 3).
inline FlatOpCtx MakeFlatOpCtx(std::uint32_t tinted, PixFmt f, std::uint32_t p, const std::uint32_t* productRowP,
                               const std::int32_t* signedRowP)
{
    FlatOpCtx c{tinted, 0, p, signedRowP};
    if (f == PixFmt::R565)
        c.Amount = Pack565(productRowP[R565(tinted)], productRowP[G565(tinted)], productRowP[B565(tinted)]);
    else
        c.Amount = (productRowP[(tinted >> 16) & 0xFF] << 16) | (productRowP[(tinted >> 8) & 0xFF] << 8) |
                   productRowP[tinted & 0xFF];
    return c;
}

template <PixFmt F, int Mode>
struct FlatOp {
    static_assert(IsDrawingMode(Mode));
    static constexpr int DstBytes = F == PixFmt::X8888 ? 4 : 2;

    [[gnu::always_inline]] static inline void Apply(const FlatOpCtx& c, std::uint8_t* dst)
    {
        if constexpr (F == PixFmt::X8888) {
            if constexpr (Mode == 0) {
                Store32(dst, c.Colour);
                return;
            }
            std::uint32_t d = Load32(dst);
            if constexpr (Mode == 2) {
                Store32(dst, PackedSaturatingAdd(c.Amount, d));
            } else if constexpr (Mode == 3) {
                Store32(dst, PackedSaturatingSubtract(c.Amount, d));
            } else {
                if constexpr (Mode == 1 || Mode == 10) {
                    Store32(dst, (d & 0xFF000000u) | Lerp8Word(d, Mode == 1 ? c.Colour : ~c.Colour, c.P));
                } else {
                    std::uint32_t out = d & 0xFF000000u;
                    for (int sh = 0; sh < 24; sh += 8) {
                        const std::uint32_t s = (c.Colour >> sh) & 0xFF, dc = (d >> sh) & 0xFF;
                        if constexpr (Mode == 4) out |= ((dc * s) >> 8) << sh;
                        else out |= Mix<8>(dc, (dc * s) >> 8, c.P) << sh;
                    }
                    Store32(dst, out);
                }
            }
        } else {
            if constexpr (Mode == 0) {
                Store16(dst, static_cast<std::uint16_t>(c.Colour));
                return;
            }
            std::uint32_t d = Load16(dst);
            if constexpr (Mode == 2) {
                Store16(dst, PackedSaturatingAdd565(c.Amount, d));
            } else if constexpr (Mode == 3) {
                Store16(dst, PackedSaturatingSubtract565(c.Amount, d));
            } else {
                std::uint32_t sr = R565(c.Colour), sg = G565(c.Colour), sb = B565(c.Colour);
                std::uint32_t dr = R565(d), dg = G565(d), db = B565(d);
                Store16(dst, Pack565(Channel<5>(sr, dr, c), Channel<6>(sg, dg, c), Channel<5>(sb, db, c)));
            }
        }
    }

private:
    template <int W>
    [[gnu::always_inline]] static inline std::uint32_t Channel(std::uint32_t s, std::uint32_t d, const FlatOpCtx& c)
    {
        constexpr std::int32_t max = (1 << W) - 1;
        const std::int32_t sd = static_cast<std::int32_t>(s), dd = static_cast<std::int32_t>(d);
        if constexpr (Mode == 1) return static_cast<std::uint32_t>(dd + c.Sp[sd - dd]);
        else if constexpr (Mode == 4) return (d * s) >> W;
        else if constexpr (Mode == 10) return static_cast<std::uint32_t>(dd + c.Sp[(max - sd) - dd]);
        else return static_cast<std::uint32_t>(dd + c.Sp[static_cast<std::int32_t>((d * s) >> W) - dd]);
    }
};

}  // namespace softpix
