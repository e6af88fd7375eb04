// An independent model of the 1:1 blit for the tests: written per channel
// from the rules (the packed procedures from their per-channel description,
// the tables from their formulas), sharing no code with the kernel.
#pragma once

#include <cstdint>
#include <vector>

namespace blitref {

using u32 = std::uint32_t;
using i64 = std::int64_t;

enum Kind { kPalette, kDirect, kAlpha };

struct Call {
    int format;  // 0 RGB 5:6:5, 1 XRGB
    Kind kind;
    int mode;
    int p;
    u32 bright;  // 0x00RRGGBB
    int keyFlag;
    u32 key;
    bool mmx;
    bool graph;
    int graphParam;  // blend-graph factor ramp
    int graphRange;
    bool runsReady;  // the source has a prepared run table
};

struct Images {
    int sw, sh;
    std::vector<u32> src;      // index, pixel, or (alpha 16-bit) colour | a << 16 | junk << 24
    std::vector<u32> palette;  // 256 entries in the format's layout
    std::vector<int> graph;    // sw * sh bytes
    int dw, dh;
    std::vector<u32> dst;
    int x, y;
    int areaLeft, areaTop, areaRight, areaBottom;
};

inline i64 P(i64 v, i64 i) { return i * v / 255; }
inline i64 Dsigned(i64 v, i64 j) { return j >= 0 ? j * v / 255 : -((-j) * v / 255); }
inline i64 Q(i64 k, i64 s, i64 d) { return (s * k + d * (63 - k)) / 63; }
inline i64 Factor(int param, int range, int g)
{
    i64 r = range + 1;
    i64 base = 256 - ((65536 / r + 256) * param / 256);
    i64 e = g * 256 / r + base;
    return e < 0 ? 0 : (e > 255 ? 255 : e);
}
inline i64 Lerp(i64 d, i64 x, i64 w, int bits)
{
    i64 num = (d << bits) + (x - d) * w;  // never negative: w below its base
    return num >> bits;
}
inline i64 h(i64 v) { return v >> 1; }

// ---- 32-bit channels: B, G, R and byte 3 ----
struct C4 {
    i64 c[3];
    i64 b3;
};
inline C4 Split32(u32 v) { return {{v & 255, (v >> 8) & 255, (v >> 16) & 255}, v >> 24}; }
inline u32 Join32(const C4& x)
{
    return static_cast<u32>(x.c[0] | (x.c[1] << 8) | (x.c[2] << 16) | (x.b3 << 24));
}

inline C4 AddFast32(C4 d, C4 a, bool full)
{
    C4 r{};
    r.c[0] = d.c[0] + a.c[0] > 255 ? 255 : d.c[0] + a.c[0];
    i64 gs = h(d.c[1]) + h(a.c[1]);
    i64 x = (d.c[0] + a.c[0] >= 256) ? 1 : 0;
    if (full) x |= (d.c[1] | a.c[1]) & 1;
    r.c[1] = gs >= 128 ? 255 : 2 * gs + x;
    i64 rs = h(d.c[2]) + h(a.c[2]);
    i64 y = gs >= 128 ? 1 : 0;
    if (full) y |= (d.c[2] | a.c[2]) & 1;
    r.c[2] = rs >= 128 ? 255 : 2 * rs + y;
    r.b3 = rs >= 128 ? 1 : 0;
    return r;
}
inline C4 Sub32(C4 d, C4 a)
{
    C4 r{};
    r.c[0] = d.c[0] >= a.c[0] ? d.c[0] - a.c[0] : 0;
    i64 x = d.c[0] >= a.c[0] ? 1 : 0;
    r.c[1] = h(d.c[1]) >= h(a.c[1]) ? 2 * (h(d.c[1]) - h(a.c[1])) + x : 0;
    i64 y = h(d.c[1]) >= h(a.c[1]) ? 1 : 0;
    r.c[2] = h(d.c[2]) >= h(a.c[2]) ? 2 * (h(d.c[2]) - h(a.c[2])) + y : 0;
    r.b3 = 0;
    return r;
}

// ---- 16-bit channels ----
constexpr int kBits[3] = {5, 6, 5};
constexpr i64 kMax[3] = {31, 63, 31};
struct C3 {
    i64 c[3];
};
inline C3 Split16(u32 v) { return {{v & 31, (v >> 5) & 63, (v >> 11) & 31}}; }
inline u32 Join16(const C3& x) { return static_cast<u32>(x.c[0] | (x.c[1] << 5) | (x.c[2] << 11)); }

inline C3 AddFast16(C3 d, C3 a, bool full)
{
    C3 r{};
    r.c[0] = d.c[0] + a.c[0] > 31 ? 31 : d.c[0] + a.c[0];
    i64 x = d.c[0] + a.c[0] >= 32 ? 1 : 0;
    if (full) x |= (d.c[1] | a.c[1]) & 1;
    i64 gs = h(d.c[1]) + h(a.c[1]);
    r.c[1] = gs >= 32 ? 62 + x : 2 * gs + x;
    i64 y = gs >= 32 ? 1 : 0;
    if (full) y |= (d.c[2] | a.c[2]) & 1;
    i64 rs = h(d.c[2]) + h(a.c[2]);
    r.c[2] = rs >= 16 ? 31 : 2 * rs + y;
    return r;
}
inline bool RedOverflow16(C3 d, C3 a) { return h(d.c[2]) + h(a.c[2]) >= 16; }
// The right pixel of a pair: its blue takes the left pixel's red carry.
inline C3 AddPairRight16(C3 d, C3 a, bool leftRedOverflow)
{
    C3 r = AddFast16(d, a, false);
    i64 bs = (d.c[0] & 30) + (a.c[0] & 30) + (leftRedOverflow ? 1 : 0);
    r.c[0] = bs > 31 ? 31 : bs;
    i64 x = bs >= 32 ? 1 : 0;
    i64 gs = h(d.c[1]) + h(a.c[1]);
    r.c[1] = gs >= 32 ? 62 + x : 2 * gs + x;
    return r;
}
inline C3 Sub16(C3 d, C3 a)
{
    C3 r{};
    r.c[0] = d.c[0] >= a.c[0] ? d.c[0] - a.c[0] : 0;
    r.c[1] = h(d.c[1]) >= h(a.c[1]) ? 2 * (h(d.c[1]) - h(a.c[1])) : 0;
    i64 y = h(d.c[1]) >= h(a.c[1]) ? 1 : 0;
    r.c[2] = h(d.c[2]) >= h(a.c[2]) ? 2 * (h(d.c[2]) - h(a.c[2])) + y : 0;
    return r;
}
inline bool RedBorrow16(C3 d, C3 a) { return h(d.c[2]) < h(a.c[2]); }
inline C3 SubPairRight16(C3 d, C3 a, bool leftRedBorrow)
{
    C3 r = Sub16(d, a);
    i64 b = (d.c[0] | 1) - (a.c[0] & 30) - (leftRedBorrow ? 1 : 0);
    r.c[0] = b < 0 ? 0 : b;
    return r;
}

class Model {
public:
    Model(const Call& call, const Images& im) : k(call), m(im) {}

    std::vector<u32> Run()
    {
        std::vector<u32> out = m.dst;
        int mode = k.mode;
        int p = k.p;
        if (mode < 0 || mode > 11 || (mode >= 5 && mode <= 9)) return out;
        if (mode == 1 && p == 255) mode = 0;
        if ((mode == 1 || mode == 2) && p == 0) return out;
        if (mode == 3 && p == 0 && k.kind != kPalette) return out;
        mode_ = mode;

        i64 left = m.x, top = m.y, right = i64{m.x} + m.sw, bottom = i64{m.y} + m.sh;
        if (left < m.areaLeft) left = m.areaLeft;
        if (top < m.areaTop) top = m.areaTop;
        if (right > m.areaRight) right = m.areaRight;
        if (bottom > m.areaBottom) bottom = m.areaBottom;
        if (right <= left || bottom <= top) return out;

        white_ = (k.bright & 0xFFFFFF) == 0xFFFFFF;
        bool runs = k.keyFlag == 1 && k.runsReady && left == m.x && top == m.y && right - left == m.sw &&
                    bottom - top == m.sh;
        bool fast = !runs && white_ && !k.graph && k.kind != kAlpha;

        for (i64 dy = top; dy < bottom; ++dy) {
            for (i64 dx = left; dx < right; ++dx) {
                int sx = static_cast<int>(dx - m.x), sy = static_cast<int>(dy - m.y);
                u32& d = out[dy * m.dw + dx];
                int pairPos = static_cast<int>(dx - left);
                if (runs) {
                    RunPixel(sx, sy, d);
                } else if (fast) {
                    FastPixel(sx, sy, d, pairPos, static_cast<int>(right - left), dx, dy, out);
                } else {
                    GeneralPixel(sx, sy, d);
                }
            }
        }
        return out;
    }

private:
    const Call& k;
    const Images& m;
    int mode_ = 0;
    bool white_ = true;

    u32 SrcRaw(int sx, int sy) const { return m.src[sy * m.sw + sx]; }
    u32 Colour(u32 raw) const
    {
        if (k.kind == kPalette) return m.palette[raw];
        if (k.kind == kAlpha && k.format == 0) return raw & 0xFFFF;
        return raw;
    }
    i64 AlphaOf(u32 raw) const
    {
        if (k.kind != kAlpha) return 255;
        return k.format == 1 ? raw >> 24 : (raw >> 16) & 255;
    }
    i64 F(int sx, int sy) const { return Factor(k.graphParam, k.graphRange, m.graph[sy * m.sw + sx]); }
    i64 TintRow(int ch) const { return (k.bright >> (8 * ch)) & 255; }
    i64 Tint(i64 v, int ch) const { return white_ ? v : P(TintRow(ch), v); }

    // ---- per-format rules ----
    u32 Opaque(u32 s, u32 dv, i64 f) const { return k.format == 1 ? Opaque32(s, dv, f) : Opaque16(s, dv, f); }
    u32 AlphaRule(u32 s, i64 a, u32 dv, i64 f) const
    {
        return k.format == 1 ? Alpha32(s, a, dv, f) : Alpha16(s, a, dv, f);
    }

    u32 Opaque32(u32 sv, u32 dv, i64 f) const
    {
        C4 s = Split32(sv), d = Split32(dv), r = d;
        const i64 p = k.p;
        switch (mode_) {
            case 0:
                if (!k.graph && white_) return sv;
                for (int i = 0; i < 3; ++i) r.c[i] = k.graph ? Lerp(d.c[i], Tint(s.c[i], i), f, 8) : Tint(s.c[i], i);
                return Join32(r);
            case 2:
            case 3: {
                C4 a{};
                for (int i = 0; i < 3; ++i) a.c[i] = k.graph ? (Tint(s.c[i], i) * f * p) >> 16 : P(p, Tint(s.c[i], i));
                return Join32(mode_ == 2 ? AddFast32(d, a, true) : Sub32(d, a));
            }
            case 4:
                for (int i = 0; i < 3; ++i) {
                    i64 t = Tint(s.c[i], i);
                    r.c[i] = k.graph ? (t * d.c[i] * f) >> 16 : (t * d.c[i]) >> 8;
                }
                return Join32(r);
            default:
                for (int i = 0; i < 3; ++i) {
                    i64 x = Target32(s.c[i], d.c[i], i);
                    r.c[i] = k.graph ? Lerp(d.c[i], x, f * p, 16) : Lerp(d.c[i], x, p, 8);
                }
                return Join32(r);
        }
    }
    i64 Target32(i64 s, i64 d, int i) const
    {
        if (mode_ == 10) return Tint(255 - s, i);
        if (mode_ == 11) return (Tint(s, i) * d) >> 8;
        return Tint(s, i);
    }
    u32 Alpha32(u32 sv, i64 a, u32 dv, i64 f) const
    {
        C4 s = Split32(sv), d = Split32(dv), r = d;
        const i64 p = k.p;
        switch (mode_) {
            case 0:
                for (int i = 0; i < 3; ++i) {
                    r.c[i] = k.graph ? Lerp(d.c[i], Tint(s.c[i], i), f * a, 16) : Lerp(d.c[i], Tint(s.c[i], i), a, 8);
                }
                return Join32(r);
            case 2:
            case 3: {
                C4 am{};
                for (int i = 0; i < 3; ++i) {
                    i64 t = Tint(s.c[i], i);
                    am.c[i] = k.graph ? (t * a * f * p) >> 24 : (t * a * p) >> 16;
                }
                return Join32(mode_ == 2 ? AddFast32(d, am, true) : Sub32(d, am));
            }
            case 4:
                for (int i = 0; i < 3; ++i) {
                    i64 t = Tint(s.c[i], i);
                    r.c[i] = k.graph ? (t * d.c[i] * f * a) >> 24 : (t * d.c[i] * a) >> 16;
                }
                return Join32(r);
            default:
                for (int i = 0; i < 3; ++i) {
                    i64 x = Target32(s.c[i], d.c[i], i);
                    r.c[i] = k.graph ? Lerp(d.c[i], x, f * a * p, 24) : Lerp(d.c[i], x, a * p, 16);
                }
                return Join32(r);
        }
    }

    i64 Target16(i64 s, i64 d, int i) const
    {
        if (mode_ == 10) return Tint(kMax[i] - s, i);
        if (mode_ == 11) return (Tint(s, i) * d) >> kBits[i];
        return Tint(s, i);
    }
    u32 Opaque16(u32 sv, u32 dv, i64 f) const
    {
        C3 s = Split16(sv), d = Split16(dv), r = d;
        const i64 p = k.p;
        switch (mode_) {
            case 0:
                if (!k.graph && white_) return sv & 0xFFFF;
                for (int i = 0; i < 3; ++i) r.c[i] = k.graph ? Lerp(d.c[i], Tint(s.c[i], i), f, 8) : Tint(s.c[i], i);
                return Join16(r);
            case 2:
            case 3: {
                C3 a{};
                for (int i = 0; i < 3; ++i) {
                    i64 t = Tint(s.c[i], i);
                    a.c[i] = P(p, k.graph ? (t * f) >> 8 : t);
                }
                return Join16(mode_ == 2 ? AddFast16(d, a, true) : Sub16(d, a));
            }
            case 4:
                for (int i = 0; i < 3; ++i) {
                    i64 t = Tint(s.c[i], i);
                    r.c[i] = k.graph ? (t * d.c[i] * f) >> (kBits[i] + 8) : (t * d.c[i]) >> kBits[i];
                }
                return Join16(r);
            default:
                for (int i = 0; i < 3; ++i) {
                    i64 x = Target16(s.c[i], d.c[i], i);
                    r.c[i] = k.graph ? Lerp(d.c[i], x, f * p, 16) : d.c[i] + Dsigned(p, x - d.c[i]);
                }
                return Join16(r);
        }
    }
    u32 Alpha16(u32 sv, i64 a, u32 dv, i64 f) const
    {
        C3 s = Split16(sv), d = Split16(dv), r = d;
        const i64 p = k.p;
        switch (mode_) {
            case 0:
                for (int i = 0; i < 3; ++i) {
                    r.c[i] = k.graph ? Lerp(d.c[i], Tint(s.c[i], i), a * f, 16) : Lerp(d.c[i], Tint(s.c[i], i), a, 8);
                }
                return Join16(r);
            case 2:
            case 3: {
                C3 am{};
                for (int i = 0; i < 3; ++i) {
                    am.c[i] = k.graph ? P(p, (Tint(s.c[i], i) * a * f) >> 16) : P(p, Tint((s.c[i] * a) >> 8, i));
                }
                return Join16(mode_ == 2 ? AddFast16(d, am, true) : Sub16(d, am));
            }
            case 4:
                for (int i = 0; i < 3; ++i) {
                    i64 t = Tint(s.c[i], i);
                    r.c[i] = k.graph ? (t * d.c[i] * a * f) >> (kBits[i] + 16) : (t * d.c[i] * a) >> (kBits[i] + 8);
                }
                return Join16(r);
            default:
                for (int i = 0; i < 3; ++i) {
                    i64 x = Target16(s.c[i], d.c[i], i);
                    r.c[i] = k.graph ? Lerp(d.c[i], x, a * f * p, 24) : Lerp(d.c[i], x, a * p, 16);
                }
                if (mode_ == 11 && white_ && !k.graph) {
                    i64 w = a * p;
                    r.c[1] = (32 * d.c[1] * (65536 - w) + ((s.c[1] * d.c[1]) >> 1) * w) >> 21;
                }
                return Join16(r);
        }
    }

    // ---- the three ways a pixel is decided ----
    void RunPixel(int sx, int sy, u32& d) const
    {
        u32 raw = SrcRaw(sx, sy);
        i64 f = k.graph ? F(sx, sy) : 0;
        if (k.kind == kAlpha) {
            i64 a = AlphaOf(raw);
            if (a == 0) return;
            d = a == 255 ? Opaque(Colour(raw), d, f) : AlphaRule(Colour(raw), a, d, f);
        } else {
            if (raw == k.key) return;
            d = Opaque(Colour(raw), d, f);
        }
    }

    void GeneralPixel(int sx, int sy, u32& d) const
    {
        u32 raw = SrcRaw(sx, sy);
        i64 f = k.graph ? F(sx, sy) : 0;
        if (k.kind != kAlpha) {
            if (k.keyFlag != 0 && raw == k.key) return;
            d = Opaque(Colour(raw), d, f);
            return;
        }
        i64 a = AlphaOf(raw);
        u32 s = Colour(raw);
        if (k.keyFlag != 0) {
            bool skipsZero = k.format == 1 ? mode_ <= 3 : (mode_ <= 3 || mode_ == 10);
            if (a == 0 && skipsZero) return;
            d = a == 255 ? Opaque(s, d, f) : AlphaRule(s, a, d, f);
        } else if (mode_ == 0 && white_ && !k.graph) {
            d = s;
        } else {
            d = AlphaRule(s, a, d, f);
        }
    }

    bool FastKey(u32 raw) const
    {
        if (k.keyFlag == 0) return false;
        if (k.kind == kPalette) return raw == (k.key & 255);
        return k.format == 0 ? raw == (k.key & 0xFFFF) : raw == k.key;
    }

    void FastPixel(int sx, int sy, u32& d, int pos, int rowWidth, i64 dx, i64 dy, std::vector<u32>& out) const
    {
        u32 raw = SrcRaw(sx, sy);
        if (FastKey(raw)) return;
        u32 s = Colour(raw);
        if (k.format == 1) {
            C4 sc = Split32(s), dc = Split32(d);
            switch (mode_) {
                case 0: d = s; return;
                case 1:
                    if (k.p == 128) {
                        C4 r{};
                        for (int i = 0; i < 3; ++i) r.c[i] = h(sc.c[i]) + h(dc.c[i]);
                        r.b3 = 0;
                        d = Join32(r);
                        return;
                    }
                    break;
                case 2:
                case 3:
                    if (k.p == 255) {
                        C4 r{};
                        if (k.mmx) {
                            for (int i = 0; i < 3; ++i) r.c[i] = Sat(dc.c[i], sc.c[i], mode_ == 2, 255);
                            r.b3 = Sat(dc.b3, sc.b3, mode_ == 2, 255);
                        } else {
                            r = mode_ == 2 ? AddFast32(dc, sc, false) : Sub32(dc, sc);
                        }
                        d = Join32(r);
                        return;
                    }
                    break;
                default: break;
            }
            d = Opaque32(s, d, 0);
            return;
        }
        C3 sc = Split16(s), dc = Split16(d);
        switch (mode_) {
            case 0: d = s; return;
            case 1: {
                C3 r{};
                for (int i = 0; i < 3; ++i) r.c[i] = k.p == 128 ? h(sc.c[i]) + h(dc.c[i]) : Q(k.p >> 2, sc.c[i], dc.c[i]);
                d = Join16(r);
                return;
            }
            case 2:
            case 3:
                if (k.p == 255) {
                    // Pairs from the row's left edge; the right pixel of an opaque pair
                    // takes the left one's red carry (add) or borrow (subtract).
                    bool right = (pos & 1) == 1;
                    bool partnerExists = right || pos + 1 < rowWidth;
                    bool partnerOpaque = false;
                    u32 partnerRaw = 0;
                    if (partnerExists) {
                        int psx = right ? sx - 1 : sx + 1;
                        partnerRaw = SrcRaw(psx, sy);
                        partnerOpaque = !FastKey(partnerRaw);
                    }
                    if (right && partnerOpaque) {
                        C3 ls = Split16(Colour(partnerRaw));
                        C3 ld = Split16(m.dst[dy * m.dw + dx - 1]);  // the left pixel before the draw
                        bool carry = mode_ == 2 ? RedOverflow16(ld, ls) : RedBorrow16(ld, ls);
                        d = Join16(mode_ == 2 ? AddPairRight16(dc, sc, carry) : SubPairRight16(dc, sc, carry));
                    } else {
                        d = Join16(mode_ == 2 ? AddFast16(dc, sc, false) : Sub16(dc, sc));
                    }
                    (void)out;
                    return;
                }
                break;
            default: break;
        }
        d = Opaque16(s, d, 0);
    }

    static i64 Sat(i64 d, i64 a, bool add, i64 max)
    {
        i64 v = add ? d + a : d - a;
        return v < 0 ? 0 : (v > max ? max : v);
    }
};

}  // namespace blitref
