// The 1:1 blit kernel's loops: the per-call values, the source fetch, the
// key and alpha gating and the fast branch of both pixel formats, and the
// walks (per pixel, in pairs, by runs) that the dispatch instantiates. The
// blend rules themselves are the shared image operators (pixelops/image_ops.h).
// Included only by the blit's own sources.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "platform/kernel/types.h"
#include "softrender/kernelparams.h"
#include "softrender/blit/fast_word_ops.h"
#include "softrender/pixelops/image_ops.h"

namespace blitk {

enum class Src : int { Palette, Direct, Alpha };

// The loops of the fast branch (white brightness, no blend graph, palette or
// direct source, per-pixel path), chosen by mode, parameter and MMX flag.
enum class Fast : int {
    None,
    Copy,     // mode 0 (and mode 1 at 255)
    HalfSum,  // mode 1 at 128
    Cube,     // 16-bit mode 1 at any other parameter
    AddSat,   // 32-bit modes 2 and 3 at 255 with the MMX flag: byte-saturating
    SubSat,
    AddFast,  // 32-bit modes 2 and 3 at 255 without it: word procedures
    Sub,
    AddPair,  // 16-bit modes 2 and 3 at 255: pairs of pixels from the left edge
    SubPair,
};

// Values fixed once per call.
struct BlitCall {
    softpix::ImageOpCtx ops;  // table rows, palette, key and parameter of the shared rules
    const BYTE* src;
    BYTE* dst;
    const BYTE* graph;  // null without a blend graph
    int width;
    int height;
    std::ptrdiff_t srcSkip;  // pitch minus the drawn row's bytes
    std::ptrdiff_t dstSkip;
    std::ptrdiff_t graphSkip;
    const BYTE (*cube)[64];  // interpolation-cube plane p / 4
    const BYTE* runs;        // run table (run-length path)
};

using BlitLoop = void (*)(const BlitCall&);

struct BlitChoice {
    Src src;
    int mode;  // after the parameter shortcuts: 0-4, 10, 11
    bool graph;
    bool white;
    bool key;
    bool runs;
    Fast fast;
    IsaLevel isa;  // already lowered to the processor's
};

// One table per format and path, each in its own translation unit.
BlitLoop SelectXrgbPixelLoop(const BlitChoice& choice);
BlitLoop SelectXrgbRunLoop(const BlitChoice& choice);
BlitLoop SelectRgb565PixelLoop(const BlitChoice& choice);
BlitLoop SelectRgb565RunLoop(const BlitChoice& choice);
// The AVX2 level's vector loops (blit_avx2.cpp), or null.
BlitLoop SelectXrgbVectorAvx2(const BlitChoice& choice);
BlitLoop SelectRgb565VectorAvx2(const BlitChoice& choice);
BlitLoop SelectRunCopyAvx2(const BlitChoice& choice, int bytesPerPixel);
// Coverage levels (0-15) to their words of `levels`, at the AVX2 level.
void ExpandCoverageAvx2(const BYTE* in, DWORD* out, int count, const DWORD levels[16]);

// ---------------------------------------------------------------- sources

template <PixFmt Fmt, Src S>
struct Source;

// XRGB: colour in bytes 0-2; an alpha source carries a in byte 3.
template <Src S>
struct Source<PixFmt::X8888, S> {
    static constexpr int kBytes = S == Src::Palette ? 1 : 4;
    struct Px {
        u32 colour;  // whole u32 (palette entry, or pixel)
        u32 alpha;
        u32 raw;  // what the colour key is compared with
    };
    [[gnu::always_inline]] static inline Px Fetch(const BlitCall& c, const BYTE* s)
    {
        if constexpr (S == Src::Palette) {
            u32 i = *s;
            return {softpix::Load32(c.ops.Palette + 4 * i), 255, i};
        } else {
            u32 v = softpix::Load32(s);
            return {v, v >> 24, v};
        }
    }
};

// RGB 5:6:5: an alpha source has 4-byte pixels, colour word then alpha byte.
template <Src S>
struct Source<PixFmt::R565, S> {
    static constexpr int kBytes = S == Src::Palette ? 1 : (S == Src::Alpha ? 4 : 2);
    struct Px {
        u32 colour;
        u32 alpha;
        u32 raw;
    };
    [[gnu::always_inline]] static inline Px Fetch(const BlitCall& c, const BYTE* s)
    {
        if constexpr (S == Src::Palette) {
            u32 i = *s;
            return {softpix::Load16(c.ops.Palette + 2 * i), 255, i};
        } else if constexpr (S == Src::Alpha) {
            u32 v = softpix::Load32(s);
            return {v & 0xFFFF, (v >> 16) & 0xFF, v & 0xFFFF};
        } else {
            u32 v = softpix::Load16(s);
            return {v, 255, v};
        }
    }
};

// ---------------------------------------------------------- fast branch

// One pixel of a fast loop, s the source colour word, d the destination.
template <PixFmt Fmt, Fast F>
[[gnu::always_inline]] inline u32 FastOp(const BlitCall& c, u32 s, u32 d)
{
    if constexpr (F == Fast::Copy) return s;
    if constexpr (Fmt == PixFmt::X8888) {
        if constexpr (F == Fast::HalfSum) return HalfSum8888(d, s);
        if constexpr (F == Fast::AddSat) return AddSat8888(d, s);
        if constexpr (F == Fast::SubSat) return softpix::ByteWiseSaturatingSubtract(s, d);
        if constexpr (F == Fast::AddFast) return AddFast8888(d, s);
        if constexpr (F == Fast::Sub) return softpix::PackedSaturatingSubtract(s, d);
    } else {
        if constexpr (F == Fast::HalfSum) return HalfSum565(s, d) & 0xFFFF;
        if constexpr (F == Fast::Cube) {
            return softpix::Pack565(c.cube[softpix::R565(s)][softpix::R565(d)], c.cube[softpix::G565(s)][softpix::G565(d)],
                                    c.cube[softpix::B565(s)][softpix::B565(d)]);
        }
        if constexpr (F == Fast::AddPair) return AddFast565(d, s);
        if constexpr (F == Fast::SubPair) return softpix::PackedSaturatingSubtract565(s, d);
    }
    return d;
}

// ------------------------------------------------------------ pixel steps

// Everything one destination pixel needs for one combination.
template <PixFmt Fmt, Src S, int Mode, bool G, bool W, bool K, Fast F>
struct Pixel {
    using Source_ = Source<Fmt, S>;
    using Rule = softpix::ImageOp<Fmt, S == Src::Palette, S == Src::Alpha, Mode, G, W, K,
                                  softpix::Family::Blit>;
    static constexpr int kSrcBytes = Source_::kBytes;
    static constexpr int kDstBytes = Fmt == PixFmt::X8888 ? 4 : 2;
    // An opaque run is the source's own words: whole-word copies.
    static constexpr bool kCopiesRuns = Mode == 0 && W && !G && S != Src::Palette && kSrcBytes == kDstBytes;

    [[gnu::always_inline]] static inline u32 LoadDst(const BYTE* d)
    {
        if constexpr (Fmt == PixFmt::X8888) {
            return softpix::Load32(d);
        } else {
            return softpix::Load16(d);
        }
    }
    [[gnu::always_inline]] static inline void StoreDst(BYTE* d, u32 v)
    {
        if constexpr (Fmt == PixFmt::X8888) {
            softpix::Store32(d, v);
        } else {
            softpix::Store16(d, static_cast<std::uint16_t>(v));
        }
    }

    // Fast loops compare a palette index with the key's low byte and a
    // 16-bit pixel with its low 16 bits; the others compare with the whole key.
    [[gnu::always_inline]] static inline bool IsKey(const BlitCall& c, u32 raw)
    {
        if constexpr (F != Fast::None && S == Src::Palette) {
            return raw == (c.ops.Key & 0xFF);
        } else if constexpr (F != Fast::None && Fmt == PixFmt::R565) {
            return raw == (c.ops.Key & 0xFFFF);
        } else {
            return raw == c.ops.Key;
        }
    }

    [[gnu::always_inline]] static inline u32 Factor(const BlitCall& c, const BYTE* g)
    {
        if constexpr (G) {
            return c.ops.GraphFactor[*g];
        } else {
            (void)c;
            (void)g;
            return 255;
        }
    }

    // The per-pixel path.
    [[gnu::always_inline]] static inline void Apply(const BlitCall& c, const BYTE* sp, BYTE* dp, const BYTE* g)
    {
        auto px = Source_::Fetch(c, sp);
        if constexpr (S != Src::Alpha) {
            if constexpr (K) {
                if (IsKey(c, px.raw)) return;
            }
            if constexpr (F != Fast::None) {
                StoreDst(dp, FastOp<Fmt, F>(c, px.colour, LoadDst(dp)));
            } else {
                Rule::Opaque(c.ops, dp, px.colour, Factor(c, g));
            }
        } else if constexpr (K) {
            // Only mode 4 can tell a skipped a = 0 from its alpha rule (it writes black).
            if (px.alpha == 0 && Mode != 4) return;
            if (px.alpha == 255) {
                Rule::Opaque(c.ops, dp, px.colour, Factor(c, g));
            } else {
                Rule::Blend(c.ops, dp, px.colour, px.alpha, Factor(c, g));
            }
        } else if constexpr (Mode == 0 && W && !G) {
            StoreDst(dp, px.colour);  // the whole word, alpha ignored
        } else {
            Rule::Blend(c.ops, dp, px.colour, px.alpha, Factor(c, g));
        }
    }

    // The run-length path: no key and no alpha test.
    [[gnu::always_inline]] static inline void Opaque(const BlitCall& c, const BYTE* sp, BYTE* dp, const BYTE* g)
    {
        Rule::Opaque(c.ops, dp, Source_::Fetch(c, sp).colour, Factor(c, g));
    }
    [[gnu::always_inline]] static inline void Translucent(const BlitCall& c, const BYTE* sp, BYTE* dp, const BYTE* g)
    {
        if constexpr (S == Src::Alpha) {
            auto px = Source_::Fetch(c, sp);
            Rule::Blend(c.ops, dp, px.colour, px.alpha, Factor(c, g));
        } else {
            Opaque(c, sp, dp, g);
        }
    }
};

// ------------------------------------------------------------------ walks

template <class Px, bool G>
void PixelWalk(const BlitCall& c)
{
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    const BYTE* g = c.graph;
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            Px::Apply(c, s, d, g);
            s += Px::kSrcBytes;
            d += Px::kDstBytes;
            if constexpr (G) ++g;
        }
        s += c.srcSkip;
        d += c.dstSkip;
        if constexpr (G) g += c.graphSkip;
    }
}

// 16-bit add and subtract at 255: pixels in pairs from the row's left edge;
// a pixel whose partner is transparent, and an odd last one, go alone.
template <class Px, bool K, bool Add>
void PairWalk565(const BlitCall& c)
{
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    for (int y = 0; y < c.height; ++y) {
        int x = 0;
        for (; x + 1 < c.width; x += 2) {
            auto a = Px::Source_::Fetch(c, s);
            auto b = Px::Source_::Fetch(c, s + Px::kSrcBytes);
            bool skipA = K && Px::IsKey(c, a.raw);
            bool skipB = K && Px::IsKey(c, b.raw);
            if (!skipA && !skipB) {
                u32 sw = a.colour | (b.colour << 16);
                u32 dw = softpix::Load32(d);
                softpix::Store32(d, Add ? AddPair565(sw, dw) : SubPair565(sw, dw));
            } else if (!skipA) {
                Px::Apply(c, s, d, nullptr);
            } else if (!skipB) {
                Px::Apply(c, s + Px::kSrcBytes, d + 2, nullptr);
            }
            s += 2 * Px::kSrcBytes;
            d += 4;
        }
        if (x < c.width) {
            Px::Apply(c, s, d, nullptr);
            s += Px::kSrcBytes;
            d += 2;
        }
        s += c.srcSkip;
        d += c.dstSkip;
    }
}

// n bytes (n >= 2, even) in 16-, 8-, 4- and 2-byte moves, the last one of a
// size overlapping the one before instead of a tail loop: short rows of
// sprites cost a few moves, not a call or a byte loop.
[[gnu::always_inline]] inline void CopyRun(BYTE* d, const BYTE* s, std::size_t n)
{
    auto move = [&](std::size_t at, auto size) { std::memcpy(d + at, s + at, decltype(size)::value); };
    using S16 = std::integral_constant<std::size_t, 16>;
    using S8 = std::integral_constant<std::size_t, 8>;
    using S4 = std::integral_constant<std::size_t, 4>;
    using S2 = std::integral_constant<std::size_t, 2>;
    if (n >= 16) {
        std::size_t i = 0;
        for (; i + 16 <= n; i += 16) move(i, S16{});
        if (i < n) move(n - 16, S16{});
    } else if (n >= 8) {
        move(0, S8{});
        move(n - 8, S8{});
    } else if (n >= 4) {
        move(0, S4{});
        move(n - 4, S4{});
    } else {
        move(0, S2{});
    }
}

template <class Px, bool G>
void RunWalk(const BlitCall& c)
{
    const BYTE* run = c.runs;
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    const BYTE* g = c.graph;
    for (int y = 0; y < c.height; ++y) {
        int left = c.width;
        for (;;) {
            BYTE b = *run++;
            int kind = b >> 6;
            if (kind == 3) break;
            int n = (b & 63) + 1;
            if (n > left) n = left;  // a table that overruns its row is cut at the row's end
            if (n == 0) continue;    // and what lies past the end is not drawn at all
            left -= n;
            if (kind == 0) {
                s += n * Px::kSrcBytes;
                d += n * Px::kDstBytes;
                if constexpr (G) g += n;
                continue;
            }
            if constexpr (Px::kCopiesRuns) {
                if (kind == 1) {
                    CopyRun(d, s, static_cast<std::size_t>(n) * Px::kDstBytes);
                    s += n * Px::kSrcBytes;
                    d += n * Px::kDstBytes;
                    continue;
                }
            }
            for (int i = 0; i < n; ++i) {
                if (kind == 1) {
                    Px::Opaque(c, s, d, g);
                } else {
                    Px::Translucent(c, s, d, g);
                }
                s += Px::kSrcBytes;
                d += Px::kDstBytes;
                if constexpr (G) ++g;
            }
        }
        // Whatever the table left of the row is passed over.
        s += left * Px::kSrcBytes + c.srcSkip;
        d += left * Px::kDstBytes + c.dstSkip;
        if constexpr (G) g += left + c.graphSkip;
    }
}

// ------------------------------------------------------- compile-time lift

template <bool B>
using Bool = std::integral_constant<bool, B>;

template <class Fn>
inline BlitLoop WithBool(bool b, Fn fn)
{
    return b ? fn(Bool<true>{}) : fn(Bool<false>{});
}

template <class Fn>
inline BlitLoop WithSrc(Src s, Fn fn)
{
    switch (s) {
        case Src::Palette: return fn(std::integral_constant<Src, Src::Palette>{});
        case Src::Direct: return fn(std::integral_constant<Src, Src::Direct>{});
        default: return fn(std::integral_constant<Src, Src::Alpha>{});
    }
}

template <class Fn>
inline BlitLoop WithMode(int mode, Fn fn)
{
    switch (mode) {
        case 0: return fn(std::integral_constant<int, 0>{});
        case 1: return fn(std::integral_constant<int, 1>{});
        case 2: return fn(std::integral_constant<int, 2>{});
        case 3: return fn(std::integral_constant<int, 3>{});
        case 4: return fn(std::integral_constant<int, 4>{});
        case 10: return fn(std::integral_constant<int, 10>{});
        case 11: return fn(std::integral_constant<int, 11>{});
        default: return nullptr;
    }
}

// Every general combination of one format and path.
template <PixFmt Fmt, bool Runs>
BlitLoop SelectGeneral(const BlitChoice& ch)
{
    return WithSrc(ch.src, [&](auto s) {
        return WithMode(ch.mode, [&](auto m) {
            return WithBool(ch.graph, [&](auto g) {
                return WithBool(ch.white, [&](auto w) -> BlitLoop {
                    if constexpr (Runs) {
                        return &RunWalk<Pixel<Fmt, s(), m(), g(), w(), true, Fast::None>, g()>;
                    } else {
                        return WithBool(ch.key, [&](auto k) -> BlitLoop {
                            return &PixelWalk<Pixel<Fmt, s(), m(), g(), w(), k(), Fast::None>, g()>;
                        });
                    }
                });
            });
        });
    });
}

// Row copy of a direct source without a key: the rows as whole runs of words.
template <PixFmt Fmt>
void CopyRowsWalk(const BlitCall& c)
{
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    std::size_t rowBytes = static_cast<std::size_t>(c.width) * (Fmt == PixFmt::X8888 ? 4 : 2);
    if (c.srcSkip == 0 && c.dstSkip == 0) {  // both blocks contiguous: one move
        std::memmove(d, s, rowBytes * static_cast<std::size_t>(c.height));
        return;
    }
    for (int y = 0; y < c.height; ++y) {
        std::memmove(d, s, rowBytes);
        s += rowBytes + c.srcSkip;
        d += rowBytes + c.dstSkip;
    }
}

template <PixFmt Fmt, Src S, bool K, Fast F>
BlitLoop FastLoop()
{
    using Px = Pixel<Fmt, S, 0, false, true, K, F>;
    if constexpr (F == Fast::Copy && S == Src::Direct && !K) {
        return &CopyRowsWalk<Fmt>;
    } else if constexpr (F == Fast::AddPair || F == Fast::SubPair) {
        return &PairWalk565<Px, K, F == Fast::AddPair>;
    } else {
        return &PixelWalk<Px, false>;
    }
}

// The fast branch's loops of one format.
template <PixFmt Fmt>
BlitLoop SelectFast(const BlitChoice& ch)
{
    return WithBool(ch.src == Src::Palette, [&](auto pal) {
        constexpr Src S = pal() ? Src::Palette : Src::Direct;
        return WithBool(ch.key, [&](auto k) -> BlitLoop {
            switch (ch.fast) {
                case Fast::Copy: return FastLoop<Fmt, S, k(), Fast::Copy>();
                case Fast::HalfSum: return FastLoop<Fmt, S, k(), Fast::HalfSum>();
                default: break;
            }
            if constexpr (Fmt == PixFmt::X8888) {
                switch (ch.fast) {
                    case Fast::AddSat: return FastLoop<Fmt, S, k(), Fast::AddSat>();
                    case Fast::SubSat: return FastLoop<Fmt, S, k(), Fast::SubSat>();
                    case Fast::AddFast: return FastLoop<Fmt, S, k(), Fast::AddFast>();
                    case Fast::Sub: return FastLoop<Fmt, S, k(), Fast::Sub>();
                    default: return nullptr;
                }
            } else {
                switch (ch.fast) {
                    case Fast::Cube: return FastLoop<Fmt, S, k(), Fast::Cube>();
                    case Fast::AddPair: return FastLoop<Fmt, S, k(), Fast::AddPair>();
                    case Fast::SubPair: return FastLoop<Fmt, S, k(), Fast::SubPair>();
                    default: return nullptr;
                }
            }
        });
    });
}

}  // namespace blitk
