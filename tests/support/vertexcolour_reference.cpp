// Reference model of the vertex-colour pixel rules (see vertexcolour_reference.h).
#include "vertexcolour_reference.h"

#include "pixel_reference.h"

namespace vcref {
namespace {

using i64 = std::int64_t;

i64 FloorDiv(i64 a, i64 b)
{
    i64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

int Width(bool x, int i) { return x ? 8 : (i == 1 ? 6 : 5); }
int Shift(bool x, int i) { return x ? 8 * i : (i == 0 ? 0 : (i == 1 ? 5 : 11)); }
i64 Ch(bool x, std::uint32_t w, int i) { return (w >> Shift(x, i)) & ((1 << Width(x, i)) - 1); }

std::uint32_t Pack(bool x, const i64 c[3], std::uint32_t byte3)
{
    std::uint32_t w = 0;
    for (int i = 0; i < 3; ++i) w |= static_cast<std::uint32_t>(c[i]) << Shift(x, i);
    return x ? (w | (byte3 << 24)) : w;
}

// d moves toward t by the weight, a fraction of 2^(8n).
i64 MixN(i64 d, i64 t, i64 w, int n) { return FloorDiv(d * (i64(1) << (8 * n)) + (t - d) * w, i64(1) << (8 * n)); }

}  // namespace

std::optional<std::uint32_t> VcPixel(const VcCase& k, std::uint32_t d)
{
    const int mode = k.Mode;
    if (!((mode >= 0 && mode <= 4) || mode == 10 || mode == 11)) return std::nullopt;
    const bool x = k.X8888;
    std::uint32_t s;
    i64 a = 255;
    bool useA = false;
    if (k.Palette) {
        if (k.Key && k.Texel == k.ColorKey) return std::nullopt;
        s = k.Entries[k.Texel];
    } else {
        s = x ? k.Texel : (k.Texel & 0xFFFF);
        if (k.Alpha) {
            a = x ? (k.Texel >> 24) : ((k.Texel >> 16) & 0xFF);
            if (k.Key) {
                if (a == 0 && mode != 4) return std::nullopt;
                useA = a != 255;
            } else {
                useA = true;
            }
        } else if (k.Key && (x ? k.Texel : (k.Texel & 0xFFFF)) == k.ColorKey) {
            return std::nullopt;
        }
    }
    if (!x) d &= 0xFFFF;
    const i64 f = k.Graph ? k.Factor : 1;
    const i64 wa = useA ? a : 1;
    const int extra = int(k.Graph) + int(useA);
    const std::uint32_t byte3 = d >> 24;

    i64 out[3];
    if (mode == 2 || mode == 3) {
        for (int i = 0; i < 3; ++i) {
            const i64 sm = Ch(x, s, i) * k.M[i];
            i64 e;
            if (!k.Graph && !useA) e = (sm * k.MA) >> 16;
            else if (!k.Graph) e = (sm * a * k.MA) >> 24;
            else if (!useA) e = (sm * k.MA * k.Factor) >> 24;
            else e = ((sm >> 8) * a * k.MA * k.Factor) >> 24;
            out[i] = e;
        }
        const std::uint32_t e = Pack(x, out, 0);
        if (x) return mode == 2 ? pixref::PackedAdd8888(e, d) : pixref::PackedSub8888(e, d);
        return mode == 2 ? pixref::PackedAdd565(e, d) : pixref::PackedSub565(e, d);
    }
    for (int i = 0; i < 3; ++i) {
        const i64 sc = Ch(x, s, i), dc = Ch(x, d, i), m = k.M[i], w = Width(x, i);
        const i64 max = (i64(1) << w) - 1;
        switch (mode) {
        case 0: {
            const i64 sp = FloorDiv(sc * m, 256);
            out[i] = extra == 0 ? sp : MixN(dc, sp, f * wa, extra);
            break;
        }
        case 1:
            out[i] = MixN(dc, FloorDiv(sc * m, 256), k.MA * f * wa, 1 + extra);
            break;
        case 4:
            if (k.Graph && useA) out[i] = FloorDiv(dc * FloorDiv(sc * m, 256) * f * a, i64(1) << (w + 16));
            else out[i] = FloorDiv(dc * sc * m * f * wa, i64(1) << (w + 8 + 8 * extra));
            break;
        case 10:
            out[i] = MixN(dc, FloorDiv((max - sc) * m, 256), k.MA * f * wa, 1 + extra);
            break;
        default:  // 11
            out[i] = MixN(dc, FloorDiv(sc * m * dc, i64(1) << (w + 8)), k.MA * f * wa, 1 + extra);
            break;
        }
    }
    return Pack(x, out, byte3);
}

}  // namespace vcref
