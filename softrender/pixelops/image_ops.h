// Image operators: a source texel (XRGB8888 or RGB565, direct, with alpha, or
// a palette index) combined with a destination pixel of the same format under
// each drawing blend mode, with or without blend graph (G), white brightness
// (W), source alpha (A) and colour key (K). One template per rule; every
// combination is a compile-time instantiation. Shared by the stretch kernel,
// the 2D triangle's textured spans and the rotate/3D-triangle kernels.
// Calls only pixelops/packed_ops.h and pixelops/flat_ops.h.
//
// How a kernel uses it:
//   1. Per call: m = SelectImageMode(BlendMode, BlendParam, palette source);
//      m < 0 draws nothing. The stretch kernel alone then may turn mode 3 into
//      kModeByteSub (see below). Build an ImageOpCtx (MakeImageOpCtx in
//      softrender/pixelops/op_context.h reads the blend tables for you).
//   2. Lift (format, palette, A, m, G, W, K) to template arguments (dispatch.h)
//      and run the frame's loop over ImageOp<...>::Apply(ctx, dst, texel, g):
//      dst points at the destination pixel, texel at the source pixel (its
//      index byte for palette sources), g is the blend-graph byte at the
//      source position (ignored without G).
//
// Policy: the kernel families agree on every formula except in four places.
//   - Mode 4, A + K, alpha 0: the stretch kernel skips the pixel, every other
//     family writes black. Family::Stretch selects the skip.
//   - Mode 3, p = 255, W, no G, no A, XRGB8888, MMX flag 1: only the stretch
//     kernel subtracts byte-wise exactly (all four bytes). The stretch kernel
//     selects it by passing kModeByteSub as the mode; nobody else does.
//   - Mode 11, RGB565 direct source, no G, W, alpha taking part: only the
//     rotate and 3D-triangle kernels (Family::RotTri3D) and the 1:1 blit
//     (Family::Blit) compute green with five more fraction bits.
//   - Palette entries at or above the palette count: every family reads the
//     image's own palette block (256 entries), so there is no scratch copy and
//     no flag for it.
#pragma once

#include <cstdint>

#include "softrender/pixelops/flat_ops.h"
#include "softrender/pixelops/packed_ops.h"

namespace softpix {

enum class Family : std::uint8_t { Stretch, Tri2D, RotTri3D, Blit };

// Mode 3 at p = 255 with the exact byte-wise subtraction (stretch kernel only).
constexpr int kModeByteSub = 13;

// Mode actually run for an image source, or -1 when nothing is drawn: mode 1
// at p = 255 is mode 0; modes 1 and 2 at p = 0 draw nothing, and so does mode
// 3 at p = 0 except for palette sources, whose subtraction still runs.
constexpr int SelectImageMode(BlendMode blend, int p, bool paletteSource)
{
    const int mode = ToInt(blend);
    if (!IsDrawingMode(mode)) return -1;
    if (blend == BlendMode::Blend && p == 255) return ToInt(BlendMode::Copy);
    if ((blend == BlendMode::Blend || blend == BlendMode::Add) && p == 0) return -1;
    if (blend == BlendMode::Subtract && p == 0 && !paletteSource) return -1;
    return mode;
}

struct ImageOpCtx {
    const std::uint32_t* Pp;     // ProductTable row p
    const std::uint32_t* Pb[3];  // ProductTable rows of the brightness bytes: blue, green, red
    const std::int32_t* Sp;      // SignedProductTable row p, addressed from j = 0
    const std::uint8_t* GraphFactor;  // BlendGraphFactorTable
    const std::uint8_t* Palette;      // palette entries in the source's format (palette sources)
    std::uint32_t Key;                // source ColorKey
    std::uint32_t P;                  // BlendParam
};

template <PixFmt F, bool Pal, bool A, int Mode, bool G, bool W, bool K, Family Y = Family::Stretch>
struct ImageOp {
    static_assert(!(Pal && A), "palette sources have no alpha");
    static_assert(IsDrawingMode(Mode) || Mode == kModeByteSub);
    static_assert(Mode != kModeByteSub || (F == PixFmt::X8888 && !G && W && !A));

    static constexpr int DstBytes = F == PixFmt::X8888 ? 4 : 2;
    static constexpr bool UsesGraph = G;
    static constexpr int TexelBytes = Pal ? 1 : (F == PixFmt::X8888 || A) ? 4 : 2;
    // The pixel written is a function of the texel alone (the destination is not read).
    static constexpr bool OverwritesFromTexel = Mode == 0 && W && !G && !A && !K;

    [[gnu::always_inline]] static inline void Apply(const ImageOpCtx& c, std::uint8_t* dst,
                                                    const std::uint8_t* texel, std::uint8_t g)
    {
        std::uint32_t s, a = 255;
        if constexpr (Pal) {
            const std::uint32_t idx = *texel;
            if constexpr (K)
                if (idx == c.Key) return;
            s = F == PixFmt::X8888 ? Load32(c.Palette + 4 * idx) : Load16(c.Palette + 2 * idx);
        } else if constexpr (F == PixFmt::X8888) {
            s = Load32(texel);
            if constexpr (A) a = s >> 24;
        } else {
            s = Load16(texel);
            if constexpr (A) a = texel[2];
        }
        const std::uint32_t f = G ? c.GraphFactor[g] : 255u;

        if constexpr (A) {
            if constexpr (K) {
                if (a == 0) {
                    if constexpr (!(Mode == 4 && Y != Family::Stretch)) return;
                }
                if (a == 255) {
                    Combine<false>(c, dst, s, a, f);
                    return;
                }
            }
            Combine<true>(c, dst, s, a, f);
        } else {
            if constexpr (!Pal && K)
                if (s == c.Key) return;
            Combine<false>(c, dst, s, a, f);
        }
    }

    // The rules alone, without key or alpha tests: the opaque rule, and the
    // alpha rule with alpha a (the 1:1 blit's run-length path and its own
    // gating call these). s is the colour word, f the graph factor.
    [[gnu::always_inline]] static inline void Opaque(const ImageOpCtx& c, std::uint8_t* dst, std::uint32_t s,
                                                     std::uint32_t f)
    {
        Combine<false>(c, dst, s, 255, f);
    }
    [[gnu::always_inline]] static inline void Blend(const ImageOpCtx& c, std::uint8_t* dst, std::uint32_t s,
                                                    std::uint32_t a, std::uint32_t f)
    {
        Combine<true>(c, dst, s, a, f);
    }

private:
    // Number of 8-bit factors (graph, alpha, parameter) in a weight.
    template <bool UseA>
    static constexpr int Factors(bool withP) { return int(G) + int(UseA) + int(withP); }

    template <bool UseA>
    [[gnu::always_inline]] static inline std::uint32_t Weight(std::uint32_t a, std::uint32_t f, std::uint32_t p)
    {
        std::uint32_t w = 1;
        if constexpr (G) w *= f;
        if constexpr (UseA) w *= a;
        return w * p;
    }

    template <bool UseA>
    [[gnu::always_inline]] static inline void Combine(const ImageOpCtx& c, std::uint8_t* dst, std::uint32_t s,
                                                      std::uint32_t a, std::uint32_t f)
    {
        if constexpr (F == PixFmt::X8888) Combine8888<UseA>(c, dst, s, a, f);
        else Combine565<UseA>(c, dst, s, a, f);
    }

    template <bool UseA>
    [[gnu::always_inline]] static inline void Combine8888(const ImageOpCtx& c, std::uint8_t* dst, std::uint32_t s,
                                                          std::uint32_t a, std::uint32_t f)
    {
        if constexpr (Mode == 0 && W && !G && !UseA) {
            Store32(dst, s);  // whole word, byte 3 included
            return;
        }
        const std::uint32_t d = Load32(dst);
        if constexpr (Mode == kModeByteSub) {
            Store32(dst, ByteWiseSaturatingSubtract(s, d));
            return;
        }
        if constexpr (Mode == 2 || Mode == 3) {
            std::uint32_t u = 0;
            for (int i = 0; i < 3; ++i) {
                const std::uint32_t t = Tint(c, i, (s >> (8 * i)) & 0xFF);
                std::uint32_t k;
                if constexpr (!G && !UseA) k = c.Pp[t];
                else k = (t * Weight<UseA>(a, f, c.P)) >> (8 * Factors<UseA>(true));
                u |= k << (8 * i);
            }
            Store32(dst, Mode == 2 ? PackedSaturatingAdd(u, d) : PackedSaturatingSubtract(u, d));
            return;
        }
        if constexpr (Mode == 4) {
            std::uint32_t out = d & 0xFF000000u;
            for (int i = 0; i < 3; ++i) {
                const std::uint32_t t = Tint(c, i, (s >> (8 * i)) & 0xFF), dc = (d >> (8 * i)) & 0xFF;
                out |= ((t * dc * Weight<UseA>(a, f, 1)) >> (8 + 8 * Factors<UseA>(false))) << (8 * i);
            }
            Store32(dst, out);
            return;
        }
        // The target channels: the tinted source (modes 0, 1), its tinted
        // inverse (10), or the product with the destination (11).
        std::uint32_t x;
        if constexpr (Mode == 11) {
            x = 0;
            for (int i = 0; i < 3; ++i)
                x |= ((Tint(c, i, (s >> (8 * i)) & 0xFF) * ((d >> (8 * i)) & 0xFF)) >> 8) << (8 * i);
        } else {
            const std::uint32_t v = Mode == 10 ? ~s : s;
            x = W ? v : (Tint(c, 0, v & 0xFF) | Tint(c, 1, (v >> 8) & 0xFF) << 8 | Tint(c, 2, (v >> 16) & 0xFF) << 16);
        }
        constexpr int k = Factors<UseA>(Mode != 0);
        const std::uint32_t w = Weight<UseA>(a, f, Mode != 0 ? c.P : 1);
        if constexpr (k == 0) {
            Store32(dst, (d & 0xFF000000u) | (x & 0xFFFFFFu));
        } else if constexpr (k == 1) {
            Store32(dst, (d & 0xFF000000u) | Lerp8Word(d, x, w));
        } else {
            std::uint32_t out = d & 0xFF000000u;
            for (int i = 0; i < 3; ++i) out |= Mix<8 * k>((d >> (8 * i)) & 0xFF, (x >> (8 * i)) & 0xFF, w) << (8 * i);
            Store32(dst, out);
        }
    }

    template <bool UseA>
    [[gnu::always_inline]] static inline void Combine565(const ImageOpCtx& c, std::uint8_t* dst, std::uint32_t s,
                                                         std::uint32_t a, std::uint32_t f)
    {
        if constexpr (Mode == 0 && W && !G && !UseA) {
            Store16(dst, static_cast<std::uint16_t>(s));
            return;
        }
        const std::uint32_t d = Load16(dst);
        const std::uint32_t sf[3] = {B565(s), G565(s), R565(s)};
        const std::uint32_t df[3] = {B565(d), G565(d), R565(d)};
        std::uint32_t r[3];
        if constexpr (Mode == 2 || Mode == 3) {
            for (int i = 0; i < 3; ++i) {
                std::uint32_t x;
                if constexpr (!G && !UseA) x = Tint(c, i, sf[i]);
                else if constexpr (!G) x = Tint(c, i, (sf[i] * a) >> 8);  // alpha before tint
                else if constexpr (!UseA) x = (Tint(c, i, sf[i]) * f) >> 8;
                else x = (Tint(c, i, sf[i]) * f * a) >> 16;
                r[i] = c.Pp[x];
            }
            const std::uint32_t k = Pack565(r[2], r[1], r[0]);
            Store16(dst, Mode == 2 ? PackedSaturatingAdd565(k, d) : PackedSaturatingSubtract565(k, d));
            return;
        }
        for (int i = 0; i < 3; ++i) {
            const int w = i == 1 ? 6 : 5;
            const std::uint32_t sc = sf[i], dc = df[i], max = (1u << w) - 1;
            if constexpr (Mode == 0) {
                const std::uint32_t t = Tint(c, i, sc);
                if constexpr (Factors<UseA>(false) == 0) r[i] = t;
                else r[i] = Mix<8 * Factors<UseA>(false)>(dc, t, Weight<UseA>(a, f, 1));
            } else if constexpr (Mode == 4) {
                const std::uint32_t t = Tint(c, i, sc);
                r[i] = (dc * t * Weight<UseA>(a, f, 1)) >> (w + 8 * Factors<UseA>(false));
            } else {
                std::uint32_t x;
                if constexpr (Mode == 1) x = Tint(c, i, sc);
                else if constexpr (Mode == 10) x = Tint(c, i, max - sc);
                else x = (Tint(c, i, sc) * dc) >> w;
                if constexpr (!G && !UseA) {
                    r[i] = static_cast<std::uint32_t>(static_cast<std::int32_t>(dc) +
                                                      c.Sp[static_cast<std::int32_t>(x) - static_cast<std::int32_t>(dc)]);
                } else if constexpr (Mode == 11 && (Y == Family::RotTri3D || Y == Family::Blit) && !Pal && !G && W && UseA) {
                    if (i == 1) {  // finer green: five more fraction bits
                        const std::int64_t v = (static_cast<std::int64_t>((sc * dc) >> 1) - 32 * std::int64_t(dc)) *
                                               std::int64_t(a) * std::int64_t(c.P);
                        r[i] = static_cast<std::uint32_t>(std::int64_t(dc) + (v >> 21));
                    } else {
                        r[i] = Mix<8 * Factors<UseA>(true)>(dc, x, Weight<UseA>(a, f, c.P));
                    }
                } else {
                    r[i] = Mix<8 * Factors<UseA>(true)>(dc, x, Weight<UseA>(a, f, c.P));
                }
            }
        }
        Store16(dst, Pack565(r[2], r[1], r[0]));
    }

    // Channel i (0 blue, 1 green, 2 red) tinted by its brightness byte.
    [[gnu::always_inline]] static inline std::uint32_t Tint(const ImageOpCtx& c, int i, std::uint32_t v)
    {
        if constexpr (W) return v;
        else return c.Pb[i][v];
    }
};

}  // namespace softpix
