// The 1:1 blit kernel's loops: the per-call values, the pixel rules of both
// pixel formats for every source kind, blend mode, blend graph, brightness
// and colour-key choice, and the walks (per pixel, in pairs, by runs) that
// the dispatch instantiates. Included only by the blit's own sources.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "softrender/pixel_ops.h"

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
    const BYTE* src;
    BYTE* dst;
    const BYTE* graph;  // null without a blend graph
    int width;
    int height;
    std::ptrdiff_t srcSkip;  // pitch minus the drawn row's bytes
    std::ptrdiff_t dstSkip;
    std::ptrdiff_t graphSkip;
    const DWORD* scale;  // product-table row p
    const DWORD* tintB;  // product-table rows of the brightness bytes
    const DWORD* tintG;
    const DWORD* tintR;
    const int* step;  // difference-table row p, addressed from its centre
    const BYTE (*cube)[64];  // interpolation-cube plane p / 4
    const BYTE* factors;     // blend-graph factor table
    const BYTE* palette;     // the source body's own palette
    DWORD key;
    DWORD p;
    const BYTE* runs;  // run table (run-length path)
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
};

// One table per format and path, each in its own translation unit.
BlitLoop SelectXrgbPixelLoop(const BlitChoice& choice);
BlitLoop SelectXrgbRunLoop(const BlitChoice& choice);
BlitLoop SelectRgb565PixelLoop(const BlitChoice& choice);
BlitLoop SelectRgb565RunLoop(const BlitChoice& choice);

// ---------------------------------------------------------------- sources

template <int Fmt, Src S>
struct Source;

// XRGB: colour in bytes 0-2; an alpha source carries a in byte 3.
template <Src S>
struct Source<1, S> {
    static constexpr int kBytes = S == Src::Palette ? 1 : 4;
    struct Px {
        DWORD colour;  // whole u32 (palette entry, or pixel)
        DWORD alpha;
        DWORD raw;  // what the colour key is compared with
    };
    [[gnu::always_inline]] static inline Px Fetch(const BlitCall& c, const BYTE* s)
    {
        if constexpr (S == Src::Palette) {
            DWORD i = *s;
            return {softpx::Load32(c.palette + 4 * i), 255, i};
        } else {
            DWORD v = softpx::Load32(s);
            return {v, v >> 24, v};
        }
    }
};

// RGB 5:6:5: an alpha source has 4-byte pixels, colour word then alpha byte.
template <Src S>
struct Source<0, S> {
    static constexpr int kBytes = S == Src::Palette ? 1 : (S == Src::Alpha ? 4 : 2);
    struct Px {
        DWORD colour;
        DWORD alpha;
        DWORD raw;
    };
    [[gnu::always_inline]] static inline Px Fetch(const BlitCall& c, const BYTE* s)
    {
        if constexpr (S == Src::Palette) {
            DWORD i = *s;
            return {softpx::Load16(c.palette + 2 * i), 255, i};
        } else if constexpr (S == Src::Alpha) {
            DWORD v = softpx::Load32(s);
            return {v & 0xFFFF, (v >> 16) & 0xFF, v & 0xFFFF};
        } else {
            DWORD v = softpx::Load16(s);
            return {v, 255, v};
        }
    }
};

// ------------------------------------------------------------ 32-bit rules

namespace x8888 {

[[gnu::always_inline]] inline DWORD Ch(DWORD v, int i) { return (v >> (8 * i)) & 0xFF; }

template <bool W>
[[gnu::always_inline]] inline DWORD Tint(const BlitCall& c, DWORD v, int i)
{
    if constexpr (W) {
        return v;
    } else {
        const DWORD* row = i == 0 ? c.tintB : (i == 1 ? c.tintG : c.tintR);
        return row[v];
    }
}

// The colour a mode blends toward, per channel: s', n' or m.
template <int Mode, bool W>
[[gnu::always_inline]] inline DWORD Target(const BlitCall& c, DWORD s, DWORD d, int i)
{
    if constexpr (Mode == 10) {
        return Tint<W>(c, 255 - Ch(s, i), i);
    } else if constexpr (Mode == 11) {
        return (Tint<W>(c, Ch(s, i), i) * Ch(d, i)) >> 8;
    } else {
        return Tint<W>(c, Ch(s, i), i);
    }
}

template <class Fn>
[[gnu::always_inline]] inline DWORD Channels(DWORD d, Fn fn)
{
    return (d & 0xFF000000u) | fn(0) | (fn(1) << 8) | (fn(2) << 16);
}

template <int Mode, bool G, bool W>
[[gnu::always_inline]] inline DWORD Opaque(const BlitCall& c, DWORD s, DWORD d, DWORD f)
{
    using softpx::Lerp;
    if constexpr (Mode == 0) {
        if constexpr (G) {
            return Channels(d, [&](int i) { return Lerp<8>(Ch(d, i), Tint<W>(c, Ch(s, i), i), f); });
        } else if constexpr (W) {
            return s;
        } else {
            return Channels(d, [&](int i) { return Tint<W>(c, Ch(s, i), i); });
        }
    } else if constexpr (Mode == 2 || Mode == 3) {
        DWORD a = 0;
        for (int i = 0; i < 3; ++i) {
            DWORD t = Tint<W>(c, Ch(s, i), i);
            a |= (G ? (t * f * c.p) >> 16 : c.scale[t]) << (8 * i);
        }
        return Mode == 2 ? softpx::AddFull8888(d, a) : softpx::Sub8888(d, a);
    } else if constexpr (Mode == 4) {
        return Channels(d, [&](int i) {
            DWORD t = Tint<W>(c, Ch(s, i), i);
            return G ? (t * Ch(d, i) * f) >> 16 : (t * Ch(d, i)) >> 8;
        });
    } else {  // 1, 10, 11
        return Channels(d, [&](int i) {
            DWORD x = Target<Mode, W>(c, s, d, i);
            return G ? Lerp<16>(Ch(d, i), x, f * c.p) : Lerp<8>(Ch(d, i), x, c.p);
        });
    }
}

template <int Mode, bool G, bool W>
[[gnu::always_inline]] inline DWORD Alpha(const BlitCall& c, DWORD s, DWORD a, DWORD d, DWORD f)
{
    using softpx::Lerp;
    if constexpr (Mode == 0) {
        return Channels(d, [&](int i) {
            DWORD t = Tint<W>(c, Ch(s, i), i);
            return G ? Lerp<16>(Ch(d, i), t, f * a) : Lerp<8>(Ch(d, i), t, a);
        });
    } else if constexpr (Mode == 2 || Mode == 3) {
        DWORD amount = 0;
        for (int i = 0; i < 3; ++i) {
            DWORD t = Tint<W>(c, Ch(s, i), i);
            amount |= (G ? (t * a * f * c.p) >> 24 : (t * a * c.p) >> 16) << (8 * i);
        }
        return Mode == 2 ? softpx::AddFull8888(d, amount) : softpx::Sub8888(d, amount);
    } else if constexpr (Mode == 4) {
        return Channels(d, [&](int i) {
            DWORD t = Tint<W>(c, Ch(s, i), i);
            return G ? (t * Ch(d, i) * f * a) >> 24 : (t * Ch(d, i) * a) >> 16;
        });
    } else {
        return Channels(d, [&](int i) {
            DWORD x = Target<Mode, W>(c, s, d, i);
            return G ? Lerp<24>(Ch(d, i), x, f * a * c.p) : Lerp<16>(Ch(d, i), x, a * c.p);
        });
    }
}

template <Fast F>
[[gnu::always_inline]] inline DWORD FastOp(DWORD s, DWORD d)
{
    if constexpr (F == Fast::Copy) return s;
    if constexpr (F == Fast::HalfSum) return softpx::HalfSum8888(d, s);
    if constexpr (F == Fast::AddSat) return softpx::AddSat8888(d, s);
    if constexpr (F == Fast::SubSat) return softpx::SubSat8888(d, s);
    if constexpr (F == Fast::AddFast) return softpx::AddFast8888(d, s);
    if constexpr (F == Fast::Sub) return softpx::Sub8888(d, s);
    return d;
}

}  // namespace x8888

// ------------------------------------------------------------ 16-bit rules

namespace r565 {

constexpr int kShift[3] = {0, 5, 11};
constexpr int kBits[3] = {5, 6, 5};
constexpr DWORD kMax[3] = {31, 63, 31};

[[gnu::always_inline]] inline DWORD Ch(DWORD v, int i) { return (v >> kShift[i]) & kMax[i]; }

template <bool W>
[[gnu::always_inline]] inline DWORD Tint(const BlitCall& c, DWORD v, int i)
{
    if constexpr (W) {
        return v;
    } else {
        const DWORD* row = i == 0 ? c.tintB : (i == 1 ? c.tintG : c.tintR);
        return row[v];
    }
}

template <int Mode, bool W>
[[gnu::always_inline]] inline DWORD Target(const BlitCall& c, DWORD s, DWORD d, int i)
{
    if constexpr (Mode == 10) {
        return Tint<W>(c, kMax[i] - Ch(s, i), i);
    } else if constexpr (Mode == 11) {
        return (Tint<W>(c, Ch(s, i), i) * Ch(d, i)) >> kBits[i];
    } else {
        return Tint<W>(c, Ch(s, i), i);
    }
}

template <class Fn>
[[gnu::always_inline]] inline WORD Channels(Fn fn)
{
    return static_cast<WORD>(fn(0) | (fn(1) << 5) | (fn(2) << 11));
}

// d + (x - d) * p / 255, truncated toward zero, by the difference table.
[[gnu::always_inline]] inline DWORD Step(const BlitCall& c, DWORD d, DWORD x)
{
    return static_cast<DWORD>(static_cast<int>(d) + c.step[static_cast<int>(x) - static_cast<int>(d)]);
}

template <int Mode, bool G, bool W>
[[gnu::always_inline]] inline WORD Opaque(const BlitCall& c, DWORD s, DWORD d, DWORD f)
{
    using softpx::Lerp;
    if constexpr (Mode == 0) {
        if constexpr (G) {
            return Channels([&](int i) { return Lerp<8>(Ch(d, i), Tint<W>(c, Ch(s, i), i), f); });
        } else if constexpr (W) {
            return static_cast<WORD>(s);
        } else {
            return Channels([&](int i) { return Tint<W>(c, Ch(s, i), i); });
        }
    } else if constexpr (Mode == 2 || Mode == 3) {
        DWORD a = Channels([&](int i) {
            DWORD t = Tint<W>(c, Ch(s, i), i);
            return c.scale[G ? (t * f) >> 8 : t];
        });
        return Mode == 2 ? softpx::AddFull565(d, a) : softpx::Sub565(d, a);
    } else if constexpr (Mode == 4) {
        return Channels([&](int i) {
            DWORD t = Tint<W>(c, Ch(s, i), i);
            return G ? (t * Ch(d, i) * f) >> (kBits[i] + 8) : (t * Ch(d, i)) >> kBits[i];
        });
    } else {
        return Channels([&](int i) {
            DWORD x = Target<Mode, W>(c, s, d, i);
            return G ? Lerp<16>(Ch(d, i), x, f * c.p) : Step(c, Ch(d, i), x);
        });
    }
}

template <int Mode, bool G, bool W>
[[gnu::always_inline]] inline WORD Alpha(const BlitCall& c, DWORD s, DWORD a, DWORD d, DWORD f)
{
    using softpx::Lerp;
    if constexpr (Mode == 0) {
        return Channels([&](int i) {
            DWORD t = Tint<W>(c, Ch(s, i), i);
            return G ? Lerp<16>(Ch(d, i), t, a * f) : Lerp<8>(Ch(d, i), t, a);
        });
    } else if constexpr (Mode == 2 || Mode == 3) {
        // Without a blend graph alpha scales the source before the tint.
        DWORD amount = Channels([&](int i) {
            DWORD v = G ? (Tint<W>(c, Ch(s, i), i) * a * f) >> 16 : Tint<W>(c, (Ch(s, i) * a) >> 8, i);
            return c.scale[v];
        });
        return Mode == 2 ? softpx::AddFull565(d, amount) : softpx::Sub565(d, amount);
    } else if constexpr (Mode == 4) {
        return Channels([&](int i) {
            DWORD t = Tint<W>(c, Ch(s, i), i);
            return G ? (t * Ch(d, i) * a * f) >> (kBits[i] + 16) : (t * Ch(d, i) * a) >> (kBits[i] + 8);
        });
    } else {
        return Channels([&](int i) {
            if constexpr (Mode == 11 && W && !G) {
                if (i == 1) {
                    // Green keeps five fraction bits of the product.
                    DWORD w = a * c.p;
                    DWORD dg = Ch(d, 1);
                    return (32 * dg * (65536 - w) + ((Ch(s, 1) * dg) >> 1) * w) >> 21;
                }
            }
            DWORD x = Target<Mode, W>(c, s, d, i);
            return G ? Lerp<24>(Ch(d, i), x, a * f * c.p) : Lerp<16>(Ch(d, i), x, a * c.p);
        });
    }
}

template <Fast F>
[[gnu::always_inline]] inline WORD FastOp(const BlitCall& c, DWORD s, DWORD d)
{
    if constexpr (F == Fast::Copy) return static_cast<WORD>(s);
    if constexpr (F == Fast::HalfSum) return static_cast<WORD>(softpx::HalfSum565(s, d));
    if constexpr (F == Fast::Cube) return Channels([&](int i) { return DWORD{c.cube[Ch(s, i)][Ch(d, i)]}; });
    if constexpr (F == Fast::AddPair) return softpx::AddFast565(d, s);
    if constexpr (F == Fast::SubPair) return softpx::Sub565(d, s);
    return static_cast<WORD>(d);
}

}  // namespace r565

// ------------------------------------------------------------ pixel steps

// Everything one destination pixel needs for one combination.
template <int Fmt, Src S, int Mode, bool G, bool W, bool K, Fast F>
struct Pixel {
    using Source_ = Source<Fmt, S>;
    static constexpr int kSrcBytes = Source_::kBytes;
    static constexpr int kDstBytes = Fmt == 1 ? 4 : 2;

    static DWORD LoadDst(const BYTE* d)
    {
        if constexpr (Fmt == 1) {
            return softpx::Load32(d);
        } else {
            return softpx::Load16(d);
        }
    }
    static void StoreDst(BYTE* d, DWORD v)
    {
        if constexpr (Fmt == 1) {
            softpx::Store32(d, v);
        } else {
            softpx::Store16(d, static_cast<WORD>(v));
        }
    }

    // Fast loops compare a palette index with the key's low byte and a
    // 16-bit pixel with its low 16 bits; the others compare with the whole key.
    [[gnu::always_inline]] static inline bool IsKey(const BlitCall& c, DWORD raw)
    {
        if constexpr (F != Fast::None && S == Src::Palette) {
            return raw == (c.key & 0xFF);
        } else if constexpr (F != Fast::None && Fmt == 0) {
            return raw == (c.key & 0xFFFF);
        } else {
            return raw == c.key;
        }
    }

    [[gnu::always_inline]] static inline DWORD OpaqueRule(const BlitCall& c, DWORD s, DWORD d, DWORD f)
    {
        if constexpr (Fmt == 1) {
            return x8888::Opaque<Mode, G, W>(c, s, d, f);
        } else {
            return r565::Opaque<Mode, G, W>(c, s, d, f);
        }
    }
    [[gnu::always_inline]] static inline DWORD AlphaRule(const BlitCall& c, DWORD s, DWORD a, DWORD d, DWORD f)
    {
        if constexpr (Fmt == 1) {
            return x8888::Alpha<Mode, G, W>(c, s, a, d, f);
        } else {
            return r565::Alpha<Mode, G, W>(c, s, a, d, f);
        }
    }

    [[gnu::always_inline]] static inline DWORD Factor(const BlitCall& c, const BYTE* g)
    {
        if constexpr (G) {
            return c.factors[*g];
        } else {
            (void)c;
            (void)g;
            return 0;
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
            DWORD d = LoadDst(dp);
            if constexpr (F != Fast::None) {
                if constexpr (Fmt == 1) {
                    StoreDst(dp, x8888::FastOp<F>(px.colour, d));
                } else {
                    StoreDst(dp, r565::FastOp<F>(c, px.colour, d));
                }
            } else {
                StoreDst(dp, OpaqueRule(c, px.colour, d, Factor(c, g)));
            }
        } else if constexpr (K) {
            // Only mode 4 can tell a skipped a = 0 from its alpha rule (it writes black).
            if (px.alpha == 0 && Mode != 4) return;
            DWORD d = LoadDst(dp);
            if (px.alpha == 255) {
                StoreDst(dp, OpaqueRule(c, px.colour, d, Factor(c, g)));
            } else {
                StoreDst(dp, AlphaRule(c, px.colour, px.alpha, d, Factor(c, g)));
            }
        } else if constexpr (Mode == 0 && W && !G) {
            StoreDst(dp, px.colour);  // the whole word, alpha ignored
        } else {
            StoreDst(dp, AlphaRule(c, px.colour, px.alpha, LoadDst(dp), Factor(c, g)));
        }
    }

    // The run-length path: no key and no alpha test.
    [[gnu::always_inline]] static inline void Opaque(const BlitCall& c, const BYTE* sp, BYTE* dp, const BYTE* g)
    {
        auto px = Source_::Fetch(c, sp);
        StoreDst(dp, OpaqueRule(c, px.colour, LoadDst(dp), Factor(c, g)));
    }
    [[gnu::always_inline]] static inline void Translucent(const BlitCall& c, const BYTE* sp, BYTE* dp, const BYTE* g)
    {
        if constexpr (S == Src::Alpha) {
            auto px = Source_::Fetch(c, sp);
            StoreDst(dp, AlphaRule(c, px.colour, px.alpha, LoadDst(dp), Factor(c, g)));
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
                DWORD sw = a.colour | (b.colour << 16);
                DWORD dw = softpx::Load32(d);
                softpx::Store32(d, Add ? softpx::AddPair565(sw, dw) : softpx::SubPair565(sw, dw));
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
            left -= n;
            if (kind == 0) {
                s += n * Px::kSrcBytes;
                d += n * Px::kDstBytes;
                if constexpr (G) g += n;
                continue;
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
template <int Fmt, bool Runs>
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
template <int Fmt>
void CopyRowsWalk(const BlitCall& c)
{
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    std::size_t rowBytes = static_cast<std::size_t>(c.width) * (Fmt == 1 ? 4 : 2);
    for (int y = 0; y < c.height; ++y) {
        std::memmove(d, s, rowBytes);
        s += rowBytes + c.srcSkip;
        d += rowBytes + c.dstSkip;
    }
}

template <int Fmt, Src S, bool K, Fast F>
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
template <int Fmt>
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
            if constexpr (Fmt == 1) {
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
