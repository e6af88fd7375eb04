// Reference model of the triangle's pixel rules for the tests: the flat colour and the
// textured texel combined with a destination pixel, per channel in 64-bit arithmetic with
// explicit floor and truncation, the packed saturating operations from their per-channel
// rules. Shares no code or tables with the kernel.
#pragma once

#include <cstdint>
#include <optional>

namespace triref {

using i64 = std::int64_t;
using u32 = std::uint32_t;

enum class Source { Direct, Alpha, Palette };

inline i64 FloorShift(i64 a, int n)
{
    const i64 d = i64{1} << n;
    return a >= 0 ? a / d : -((-a + d - 1) / d);
}
inline i64 P(i64 v, i64 i) { return i * v / 255; }
inline i64 S(i64 v, i64 j) { return j * v / 255; }  // C++ division truncates toward zero

inline bool IsDrawing(int mode) { return (mode >= 0 && mode <= 4) || mode == 10 || mode == 11; }

// Mode drawn, or -1 for nothing.
inline int SelectMode(int mode, int p, bool flat, bool palette)
{
    if (!IsDrawing(mode)) return -1;
    if (mode == 1 && p == 255) return 0;
    if ((mode == 1 || mode == 2) && p == 0) return -1;
    if (mode == 3 && p == 0 && (flat || !palette)) return -1;
    return mode;
}

// --- packed saturating operations, channel by channel ---

inline u32 Add8888(u32 u, u32 d)
{
    const i64 ub = u & 0xFF, ug = (u >> 8) & 0xFF, ur = (u >> 16) & 0xFF;
    const i64 db = d & 0xFF, dg = (d >> 8) & 0xFF, dr = (d >> 16) & 0xFF;
    const i64 cb = ub + db >= 256;
    const i64 b = cb ? 255 : ub + db;
    const i64 gs = (ug & 0xFE) + (dg & 0xFE) + cb;
    const i64 cg = gs >= 256;
    const i64 g = cg ? 255 : (gs | (ug & 1) | (dg & 1));
    const i64 rs = (ur & 0xFE) + (dr & 0xFE) + cg;
    const i64 cr = rs >= 256;
    const i64 r = cr ? 255 : (rs | (ur & 1) | (dr & 1));
    return static_cast<u32>(b | g << 8 | r << 16 | cr << 24);
}

inline u32 Sub8888(u32 u, u32 d)
{
    const i64 ub = u & 0xFF, ug = (u >> 8) & 0xFF, ur = (u >> 16) & 0xFF;
    const i64 db = d & 0xFF, dg = (d >> 8) & 0xFF, dr = (d >> 16) & 0xFF;
    const i64 bb = ub > db;
    const i64 b = bb ? 0 : db - ub;
    const i64 gw = (dg | 1) - (ug & 0xFE) - bb;
    const i64 bg = gw < 0;
    const i64 g = bg ? 0 : gw;
    const i64 rw = (dr | 1) - (ur & 0xFE) - bg;
    const i64 r = rw < 0 ? 0 : rw;
    return static_cast<u32>(b | g << 8 | r << 16);
}

inline u32 Add565(u32 u, u32 d)
{
    const i64 ub = u & 31, ug = (u >> 5) & 63, ur = (u >> 11) & 31;
    const i64 db = d & 31, dg = (d >> 5) & 63, dr = (d >> 11) & 31;
    const i64 cb = ub + db >= 32;
    const i64 b = cb ? 31 : ub + db;
    const i64 gs = (ug & 0x3E) + (dg & 0x3E) + cb;
    const i64 cg = gs >= 64;
    const i64 g = cg ? (62 | cb | (ug & 1) | (dg & 1)) : (gs | (ug & 1) | (dg & 1));
    const i64 rs = (ur & 0x1E) + (dr & 0x1E) + cg;
    const i64 r = rs >= 32 ? 31 : (rs | (ur & 1) | (dr & 1));
    return static_cast<u32>(b | g << 5 | r << 11);
}

inline u32 Sub565(u32 u, u32 d)
{
    const i64 ub = u & 31, ug = (u >> 5) & 63, ur = (u >> 11) & 31;
    const i64 db = d & 31, dg = (d >> 5) & 63, dr = (d >> 11) & 31;
    const i64 bb = ub > db;
    const i64 b = bb ? 0 : db - ub;
    const i64 gw = (dg | 1) - (ug & 0x3E) - bb;
    const i64 bg = gw < 0;
    const i64 g = bg ? 0 : (gw & 0x3E);
    const i64 rw = (dr | 1) - (ur & 0x1E) - bg;
    const i64 r = rw < 0 ? 0 : rw;
    return static_cast<u32>(b | g << 5 | r << 11);
}

// --- channels ---

struct Channels {
    i64 c[3];  // blue, green, red
};
inline Channels Split(u32 v, bool x8888)
{
    if (x8888) return {{v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF}};
    return {{v & 31, (v >> 5) & 63, (v >> 11) & 31}};
}
inline u32 Join(const Channels& ch, bool x8888)
{
    if (x8888) return static_cast<u32>(ch.c[0] | ch.c[1] << 8 | ch.c[2] << 16);
    return static_cast<u32>(ch.c[0] | ch.c[1] << 5 | ch.c[2] << 11);
}
inline int Width(int i, bool x8888) { return x8888 ? 8 : (i == 1 ? 6 : 5); }
inline i64 BrightOf(u32 bright, int i) { return (bright >> (8 * i)) & 0xFF; }

// --- flat colour ---

// The triangle's flat colour over destination d (same format), or nothing for a mode that
// draws nothing. Byte 3 of XRGB8888 results is included.
inline std::optional<u32> FlatPixel(bool x8888, int mode, int p, u32 bright, u32 colour, u32 d)
{
    mode = SelectMode(mode, p, true, false);
    if (mode < 0) return std::nullopt;
    if (!x8888) colour &= 0xFFFF;
    Channels c = Split(colour, x8888);
    for (int i = 0; i < 3; ++i) c.c[i] = P(BrightOf(bright, i), c.c[i]);  // always tinted
    const u32 tinted = Join(c, x8888) | (x8888 ? (colour & 0xFF000000u) : 0);
    const Channels dc = Split(d, x8888);
    const u32 keep = x8888 ? (d & 0xFF000000u) : 0;
    if (mode == 0) return tinted;
    if (mode == 2 || mode == 3) {
        Channels a;
        for (int i = 0; i < 3; ++i) a.c[i] = P(p, c.c[i]);
        const u32 amount = Join(a, x8888);
        if (x8888) return mode == 2 ? Add8888(amount, d) : Sub8888(amount, d);
        return mode == 2 ? Add565(amount, d) : Sub565(amount, d);
    }
    Channels out;
    for (int i = 0; i < 3; ++i) {
        const int w = Width(i, x8888);
        const i64 s = c.c[i], dd = dc.c[i], max = (i64{1} << w) - 1;
        i64 target;
        if (mode == 4) {
            out.c[i] = (dd * s) >> w;
            continue;
        }
        if (mode == 1) target = s;
        else if (mode == 10) target = max - s;
        else target = (dd * s) >> w;
        out.c[i] = x8888 ? dd + FloorShift((target - dd) * p, 8) : dd + S(p, target - dd);
    }
    return Join(out, x8888) | keep;
}

// --- textured ---

struct TexelCase {
    bool X8888;
    Source Kind;
    int Mode;  // as in the drawing state
    int P;
    u32 Bright;
    bool Graph;
    bool Key;
    u32 ColorKey;
};

// word: the texel word (the 16-bit colour for RGB565, the whole 32-bit word for XRGB8888);
// alpha: the texel's alpha (alpha sources); index/entry: the palette index and its entry;
// factor: the blend-graph factor. Answers the new destination pixel, or nothing when the
// pixel keeps its value.
inline std::optional<u32> TexelPixel(const TexelCase& k, u32 word, i64 alpha, u32 index, u32 entry, i64 factor,
                                     u32 d)
{
    const bool x = k.X8888;
    const bool pal = k.Kind == Source::Palette;
    const int mode = SelectMode(k.Mode, k.P, false, pal);
    if (mode < 0) return std::nullopt;
    const u32 s = pal ? entry : word;

    // Gate: opaque or alpha formula, or skip.
    bool useAlpha = false;
    if (k.Kind == Source::Alpha) {
        if (!k.Key) {
            useAlpha = true;
        } else if (alpha == 255) {
            useAlpha = false;
        } else {
            // Alpha 0 with the key on is drawn (as transparent) only in the modes whose
            // result can differ from a skip: multiply turns the pixel black.
            const bool drawsZero = mode == 4 || mode == 11 || (x && mode == 10);
            if (alpha == 0 && !drawsZero) return std::nullopt;
            useAlpha = true;
        }
    } else if (k.Key) {
        if ((pal ? index : s) == k.ColorKey) return std::nullopt;
    }

    const bool white = (k.Bright & 0xFFFFFF) == 0xFFFFFF;
    i64 weight = 1;
    int factors = 0;
    if (k.Graph) weight *= factor, ++factors;
    if (useAlpha) weight *= alpha, ++factors;

    const Channels sc = Split(s, x), dc = Split(d, x);
    const u32 keep = x ? (d & 0xFF000000u) : 0;
    auto tint = [&](int i, i64 v) { return white ? v : P(BrightOf(k.Bright, i), v); };

    if (mode == 0 && factors == 0) {
        if (white) return x ? s : (s & 0xFFFF);  // whole word, byte 3 included
        Channels t;
        for (int i = 0; i < 3; ++i) t.c[i] = tint(i, sc.c[i]);
        return Join(t, x) | keep;
    }
    if (mode == 2 || mode == 3) {
        Channels a;
        for (int i = 0; i < 3; ++i) {
            if (x) {
                const i64 t = tint(i, sc.c[i]);
                a.c[i] = factors == 0 ? P(k.P, t) : FloorShift(t * weight * k.P, 8 * (factors + 1));
            } else if (!k.Graph && useAlpha) {
                a.c[i] = P(k.P, tint(i, FloorShift(sc.c[i] * alpha, 8)));  // alpha before the tint
            } else {
                a.c[i] = P(k.P, FloorShift(tint(i, sc.c[i]) * weight, 8 * factors));
            }
        }
        const u32 amount = Join(a, x);
        if (x) return mode == 2 ? Add8888(amount, d) : Sub8888(amount, d);
        return mode == 2 ? Add565(amount, d) : Sub565(amount, d);
    }
    Channels out;
    for (int i = 0; i < 3; ++i) {
        const int w = Width(i, x);
        const i64 dd = dc.c[i], max = (i64{1} << w) - 1;
        if (mode == 0) {
            out.c[i] = dd + FloorShift((tint(i, sc.c[i]) - dd) * weight, 8 * factors);
            continue;
        }
        if (mode == 4) {
            out.c[i] = FloorShift(tint(i, sc.c[i]) * dd * weight, w + 8 * factors);
            continue;
        }
        i64 target;
        if (mode == 1) target = tint(i, sc.c[i]);
        else if (mode == 10) target = tint(i, max - sc.c[i]);
        else target = FloorShift(tint(i, sc.c[i]) * dd, w);
        if (!x && factors == 0) out.c[i] = dd + S(k.P, target - dd);
        else out.c[i] = dd + FloorShift((target - dd) * weight * k.P, 8 * (factors + 1));
    }
    return Join(out, x) | keep;
}

}  // namespace triref
