// The pixel rules of the 3D triangle loops with vertex colour, for blend
// modes 0-4, 10 and 11: the interpolated vertex colour and alpha take the
// place of the bright colour and the blend parameter. Reads BLENDTABLES'
// blend-graph factors through the context; writes one destination pixel.
#pragma once

#include <cstdint>

#include "platform/kernel/types.h"
#include "softrender/pixelops/packed_ops.h"

namespace softrender {

using softpix::Load16;
using softpix::Load32;
using softpix::Mix;
using softpix::PixFmt;
using softpix::Store16;
using softpix::Store32;

// Texel layouts of a source: 1-byte palette indices, 4-byte XRGB texels,
// 2-byte RGB 5:6:5 texels, or 4-byte RGB 5:6:5 texels with alpha in byte 2.
template <PixFmt F, bool Pal, bool A>
struct TexelLayout {
    static constexpr int Size = Pal ? 1 : (F == PixFmt::X8888 ? 4 : (A ? 4 : 2));

    // The value a colour key is compared with, zero-extended.
    static std::uint32_t KeyValue(const BYTE* t)
    {
        if constexpr (Pal) return t[0];
        else if constexpr (F == PixFmt::X8888) return Load32(t);
        else return Load16(t);
    }
    // The colour word: a whole XRGB pixel, or an RGB 5:6:5 word.
    static std::uint32_t Colour(const BYTE* t, const BYTE* palette)
    {
        if constexpr (Pal) {
            if constexpr (F == PixFmt::X8888) return Load32(palette + 4 * t[0]);
            else return Load16(palette + 2 * t[0]);
        } else if constexpr (F == PixFmt::X8888) {
            return Load32(t);
        } else {
            return Load16(t);
        }
    }
    static std::uint32_t Alpha(const BYTE* t)
    {
        if constexpr (F == PixFmt::X8888) return t[3];
        else return t[2];
    }
};

// Channels in the order blue, green, red.
template <PixFmt F>
struct Channels {
    static constexpr int Bits[3] = {F == PixFmt::X8888 ? 8 : 5, F == PixFmt::X8888 ? 8 : 6,
                                    F == PixFmt::X8888 ? 8 : 5};
    static constexpr int Shift[3] = {0, F == PixFmt::X8888 ? 8 : 5, F == PixFmt::X8888 ? 16 : 11};
    static constexpr std::uint32_t Max[3] = {(1u << Bits[0]) - 1, (1u << Bits[1]) - 1, (1u << Bits[2]) - 1};

    static std::uint32_t Get(std::uint32_t word, int c) { return (word >> Shift[c]) & Max[c]; }
};

// Per-pixel vertex colour: multipliers 0-255 of blue, green, red and alpha.
struct VertexColour {
    std::uint32_t m[3];
    std::uint32_t mA;
};

struct VertexColourContext {
    const BYTE* palette;  // the texture's own palette (palette textures)
    const BYTE* factors;  // BLENDTABLES blend-graph factors
};

template <PixFmt F, bool Pal, int Mode, bool G, bool A, bool K>
struct VertexColourRule {
    using Texel = TexelLayout<F, Pal, A>;
    using Ch = Channels<F>;

    [[gnu::always_inline]] static inline void Apply(const VertexColourContext& ctx, BYTE* dst, const BYTE* texel,
                                                    std::uint32_t graphByte, const VertexColour& vc)
    {
        if constexpr (A && K) {
            std::uint32_t a = Texel::Alpha(texel);
            // Alpha 0 is skipped with the key flag; mode 4 alone blackens instead.
            if (Mode != 4 && a == 0) return;
            if (a == 255) {
                Compute<false>(ctx, dst, texel, graphByte, vc);
                return;
            }
        }
        Compute<A>(ctx, dst, texel, graphByte, vc);
    }

    template <bool UseA>
    [[gnu::always_inline]] static inline void Compute(const VertexColourContext& ctx, BYTE* dst, const BYTE* texel,
                                                      std::uint32_t graphByte, const VertexColour& vc)
    {
        const std::uint32_t src = Texel::Colour(texel, ctx.palette);
        const std::uint32_t a = UseA ? Texel::Alpha(texel) : 0;
        const std::uint32_t f = G ? ctx.factors[graphByte] : 0;
        const std::uint32_t mA = vc.mA;
        const std::uint32_t dw = F == PixFmt::X8888 ? Load32(dst) : Load16(dst);

        if constexpr (Mode == 2 || Mode == 3) {
            std::uint32_t e = 0;
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t sm = Ch::Get(src, c) * vc.m[c];
                std::uint32_t v;
                if constexpr (!G && !UseA) v = (sm * mA) >> 16;
                else if constexpr (!G && UseA) v = (sm * a * mA) >> 24;
                else if constexpr (G && !UseA) v = (sm * mA * f) >> 24;
                else v = ((sm >> 8) * a * mA * f) >> 24;
                e |= (v & Ch::Max[c]) << Ch::Shift[c];
            }
            std::uint32_t out;
            if constexpr (F == PixFmt::X8888) out = Mode == 2 ? softpix::PackedSaturatingAdd(e, dw) : softpix::PackedSaturatingSubtract(e, dw);
            else out = Mode == 2 ? softpix::PackedSaturatingAdd565(e, dw) : softpix::PackedSaturatingSubtract565(e, dw);
            Write(dst, out);
            return;
        }

        // Mode 10 targets the inverted source: the whole 5:6:5 word is complemented.
        const std::uint32_t s0 = Mode == 10 ? ~src : src;
        std::uint32_t out = F == PixFmt::X8888 ? (dw & 0xFF000000u) : 0;
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t s = Ch::Get(s0, c);
            const std::uint32_t d = Ch::Get(dw, c);
            const std::uint32_t m = vc.m[c];
            const int bits = Ch::Bits[c];
            std::uint32_t r;
            if constexpr (Mode == 0) {
                const std::uint32_t sp = (s * m) >> 8;
                if constexpr (!G && !UseA) r = sp;
                else if constexpr (!G && UseA) r = Mix<8>(d, sp, a);
                else if constexpr (G && !UseA) r = Mix<8>(d, sp, f);
                else r = Mix<16>(d, sp, f * a);
            } else if constexpr (Mode == 1 || Mode == 10) {
                const std::uint32_t sp = (s * m) >> 8;
                if constexpr (!G && !UseA) r = Mix<8>(d, sp, mA);
                else if constexpr (!G && UseA) r = Mix<16>(d, sp, mA * a);
                else if constexpr (G && !UseA) r = Mix<16>(d, sp, mA * f);
                else r = Mix<24>(d, sp, mA * f * a);
            } else if constexpr (Mode == 4) {
                if constexpr (!G && !UseA) r = (d * s * m) >> (bits + 8);
                else if constexpr (!G && UseA) r = (d * s * m * a) >> (bits + 16);
                else if constexpr (G && !UseA) r = (d * s * m * f) >> (bits + 16);
                else r = (d * ((s * m) >> 8) * f * a) >> (bits + 16);
            } else {  // Mode 11
                const std::uint32_t y = (s * m * d) >> (bits + 8);
                if constexpr (!G && !UseA) r = Mix<8>(d, y, mA);
                else if constexpr (!G && UseA) r = Mix<16>(d, y, mA * a);
                else if constexpr (G && !UseA) r = Mix<16>(d, y, mA * f);
                else r = Mix<24>(d, y, mA * f * a);
            }
            out |= (r & Ch::Max[c]) << Ch::Shift[c];
        }
        Write(dst, out);
    }

    static void Write(BYTE* dst, std::uint32_t v)
    {
        if constexpr (F == PixFmt::X8888) Store32(dst, v);
        else Store16(dst, static_cast<std::uint16_t>(v));
    }
};

}  // namespace softrender
