// Reference model of the software pixel rules (see pixel_reference.h).
#include "pixel_reference.h"

namespace pixref {
namespace {

using i64 = std::int64_t;

i64 P(i64 v, i64 i) { return i * v / 255; }
i64 S(i64 v, i64 j) { return j * v / 255; }  // C++ division truncates toward zero
i64 FloorDiv(i64 a, i64 b)
{
    i64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}
i64 Pow2(int n) { return i64(1) << n; }

bool IsDrawing(int mode) { return (mode >= 0 && mode <= 4) || mode == 10 || mode == 11; }
bool White(std::uint32_t b) { return (b & 0xFFFFFF) == 0xFFFFFF; }

// Channel c of a word: 8888 bytes 0..2 (blue, green, red); 565 fields blue, green, red.
i64 Ch(bool x8888, std::uint32_t v, int c)
{
    if (x8888) return (v >> (8 * c)) & 0xFF;
    if (c == 0) return v & 0x1F;
    if (c == 1) return (v >> 5) & 0x3F;
    return (v >> 11) & 0x1F;
}
int Width(bool x8888, int c) { return x8888 ? 8 : (c == 1 ? 6 : 5); }
std::uint32_t Pack(bool x8888, const i64 ch[3], std::uint32_t byte3)
{
    if (x8888) return (byte3 << 24) | std::uint32_t(ch[2] << 16) | std::uint32_t(ch[1] << 8) | std::uint32_t(ch[0]);
    return std::uint32_t((ch[2] << 11) | (ch[1] << 5) | ch[0]);
}
i64 BrightOf(std::uint32_t bright, int c) { return (bright >> (8 * c)) & 0xFF; }

}  // namespace

std::uint32_t PackedAdd8888(std::uint32_t u, std::uint32_t d)
{
    i64 ub = u & 0xFF, db = d & 0xFF;
    i64 b = ub + db, carry = b >= 256;
    if (b > 255) b = 255;
    i64 out[3] = {b, 0, 0};
    for (int c = 1; c < 3; ++c) {
        i64 uc = (u >> (8 * c)) & 0xFF, dc = (d >> (8 * c)) & 0xFF;
        i64 g = (uc & 0xFE) + (dc & 0xFE) + carry;
        if (g >= 256) {
            out[c] = 255;
            carry = 1;
        } else {
            out[c] = g | (uc & 1) | (dc & 1);
            carry = 0;
        }
    }
    return Pack(true, out, std::uint32_t(carry));
}

std::uint32_t PackedSub8888(std::uint32_t u, std::uint32_t d)
{
    i64 ub = u & 0xFF, db = d & 0xFF, borrow = 0;
    i64 out[3];
    if (ub <= db) out[0] = db - ub;
    else {
        out[0] = 0;
        borrow = 1;
    }
    for (int c = 1; c < 3; ++c) {
        i64 uc = (u >> (8 * c)) & 0xFF, dc = (d >> (8 * c)) & 0xFF;
        i64 w = (dc | 1) - (uc & 0xFE) - borrow;
        if (w < 0) {
            out[c] = 0;
            borrow = 1;
        } else {
            out[c] = w;
            borrow = 0;
        }
    }
    return Pack(true, out, 0);
}

std::uint32_t PackedAdd565(std::uint32_t u, std::uint32_t d)
{
    i64 ub = u & 0x1F, db = d & 0x1F, ug = (u >> 5) & 0x3F, dg = (d >> 5) & 0x3F, ur = (u >> 11) & 0x1F,
        dr = (d >> 11) & 0x1F;
    i64 out[3];
    i64 b = ub + db, cB = b >= 32;
    out[0] = b > 31 ? 31 : b;
    i64 g = (ug & 0x3E) + (dg & 0x3E) + cB, cG = 0;
    if (g >= 64) {
        cG = 1;
        out[1] = 62 | cB | (ug & 1) | (dg & 1);
    } else {
        out[1] = g | (ug & 1) | (dg & 1);
    }
    i64 r = (ur & 0x1E) + (dr & 0x1E) + cG;
    out[2] = r >= 32 ? 31 : (r | (ur & 1) | (dr & 1));
    return Pack(false, out, 0);
}

std::uint32_t PackedSub565(std::uint32_t u, std::uint32_t d)
{
    i64 ub = u & 0x1F, db = d & 0x1F, ug = (u >> 5) & 0x3F, dg = (d >> 5) & 0x3F, ur = (u >> 11) & 0x1F,
        dr = (d >> 11) & 0x1F;
    i64 out[3], bB = 0, bG = 0;
    if (ub <= db) out[0] = db - ub;
    else {
        out[0] = 0;
        bB = 1;
    }
    i64 w = (dg | 1) - (ug & 0x3E) - bB;
    if (w < 0) {
        out[1] = 0;
        bG = 1;
    } else {
        out[1] = w & 0x3E;
    }
    i64 z = (dr | 1) - (ur & 0x1E) - bG;
    out[2] = z < 0 ? 0 : z;
    return Pack(false, out, 0);
}

std::optional<std::uint32_t> FlatPixel(const FlatCase& k, std::uint32_t d)
{
    int mode = k.Mode;
    if (!IsDrawing(mode)) return std::nullopt;
    if (mode == 1 && k.P == 255) mode = 0;
    if ((mode == 1 || mode == 2 || mode == 3) && k.P == 0) return std::nullopt;
    const bool x = k.X8888;
    std::uint32_t c = x ? k.Colour : (k.Colour & 0xFFFF);
    i64 s[3];
    for (int i = 0; i < 3; ++i) {
        s[i] = Ch(x, c, i);
        if (!White(k.Bright)) s[i] = (s[i] * BrightOf(k.Bright, i)) >> 8;
    }
    const std::uint32_t byte3 = d >> 24;
    if (mode == 0) return x ? (Pack(true, s, c >> 24)) : Pack(false, s, 0);
    if (mode == 2 || mode == 3) {
        i64 u[3];
        for (int i = 0; i < 3; ++i) u[i] = P(k.P, s[i]);
        std::uint32_t uw = Pack(x, u, 0);
        if (x) return mode == 2 ? PackedAdd8888(uw, d) : PackedSub8888(uw, d);
        return mode == 2 ? PackedAdd565(uw, d & 0xFFFF) : PackedSub565(uw, d & 0xFFFF);
    }
    i64 out[3];
    for (int i = 0; i < 3; ++i) {
        const i64 dc = Ch(x, d, i), w = Width(x, i), max = Pow2(int(w)) - 1;
        i64 target;
        if (mode == 4) {
            out[i] = (dc * s[i]) >> w;
            continue;
        }
        if (mode == 1) target = s[i];
        else if (mode == 10) target = max - s[i];
        else target = (dc * s[i]) >> w;
        out[i] = x ? FloorDiv(dc * 256 + (target - dc) * k.P, 256) : dc + S(k.P, target - dc);
    }
    return Pack(x, out, byte3);
}

std::optional<std::uint32_t> ImagePixel(const ImageCase& k, std::uint32_t d)
{
    int mode = k.Mode;
    if (!IsDrawing(mode)) return std::nullopt;
    if (mode == 1 && k.P == 0) return std::nullopt;
    if (mode == 1 && k.P == 255) mode = 0;
    if (mode == 2 && k.P == 0) return std::nullopt;
    if (mode == 3 && k.P == 0 && !k.Palette) return std::nullopt;
    const bool x = k.X8888, white = White(k.Bright);

    std::uint32_t s;
    i64 a = 255;
    bool alphaFormula = false;
    if (k.Palette) {
        if (k.Key && k.Texel == k.ColorKey) return std::nullopt;
        s = k.Entries[k.Texel];
        if (!x) s &= 0xFFFF;
    } else {
        s = x ? k.Texel : (k.Texel & 0xFFFF);
        if (k.Alpha) {
            a = x ? (k.Texel >> 24) : ((k.Texel >> 16) & 0xFF);
            if (k.Key) {
                if (a == 0 && !(mode == 4 && k.Fam != Family::Stretch)) return std::nullopt;
                alphaFormula = a != 255;
            } else {
                alphaFormula = true;
            }
        } else if (k.Key && s == k.ColorKey) {
            return std::nullopt;
        }
    }

    if (x && k.Fam == Family::Stretch && mode == 3 && k.P == 255 && !k.Graph && white && !k.Alpha && k.Mmx) {
        std::uint32_t r = 0;
        for (int b = 0; b < 4; ++b) {
            i64 dk = (d >> (8 * b)) & 0xFF, sk = (s >> (8 * b)) & 0xFF;
            r |= std::uint32_t(dk > sk ? dk - sk : 0) << (8 * b);
        }
        return r;
    }

    // The weight: graph factor and alpha, each one 8-bit factor.
    i64 wgt = 1;
    int n = 0;
    if (k.Graph) {
        wgt *= k.Factor;
        ++n;
    }
    if (alphaFormula) {
        wgt *= a;
        ++n;
    }
    const std::uint32_t byte3 = d >> 24;

    if (mode == 0 && n == 0 && white) return s;  // the whole source word, byte 3 included
    i64 sc[3], t[3], out[3];
    for (int i = 0; i < 3; ++i) {
        sc[i] = Ch(x, s, i);
        const i64 max = Pow2(Width(x, i)) - 1;
        const i64 v = mode == 10 ? max - sc[i] : sc[i];
        t[i] = white ? v : P(BrightOf(k.Bright, i), v);
    }
    if (mode == 2 || mode == 3) {
        i64 u[3];
        for (int i = 0; i < 3; ++i) {
            if (x) {
                u[i] = n == 0 ? P(k.P, t[i]) : FloorDiv(t[i] * wgt * k.P, Pow2(8 * (n + 1)));
            } else if (!k.Graph && !alphaFormula) {
                u[i] = P(k.P, t[i]);
            } else if (!k.Graph) {
                const i64 sa = FloorDiv(sc[i] * a, 256);
                u[i] = P(k.P, white ? sa : P(BrightOf(k.Bright, i), sa));
            } else {
                u[i] = P(k.P, FloorDiv(t[i] * wgt, Pow2(8 * n)));
            }
        }
        const std::uint32_t uw = Pack(x, u, 0);
        if (x) return mode == 2 ? PackedAdd8888(uw, d) : PackedSub8888(uw, d);
        return mode == 2 ? PackedAdd565(uw, d & 0xFFFF) : PackedSub565(uw, d & 0xFFFF);
    }
    for (int i = 0; i < 3; ++i) {
        const i64 dc = Ch(x, d, i), w = Width(x, i);
        if (mode == 0) {
            out[i] = n == 0 ? t[i] : dc + FloorDiv((t[i] - dc) * wgt, Pow2(8 * n));
        } else if (mode == 4) {
            out[i] = FloorDiv(t[i] * dc * wgt, Pow2(int(w) + 8 * n));
        } else {
            const i64 target = mode == 11 ? FloorDiv(t[i] * dc, Pow2(int(w))) : t[i];
            if (!x && n == 0) {
                out[i] = dc + S(k.P, target - dc);
            } else if (!x && mode == 11 && i == 1 && k.Fam == Family::RotTri3D && !k.Palette && !k.Graph && white &&
                       alphaFormula) {
                out[i] = dc + FloorDiv((FloorDiv(sc[i] * dc, 2) - 32 * dc) * a * k.P, Pow2(21));
            } else {
                out[i] = dc + FloorDiv((target - dc) * wgt * k.P, Pow2(8 * (n + 1)));
            }
        }
    }
    return Pack(x, out, byte3);
}

}  // namespace pixref
