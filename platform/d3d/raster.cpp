// The software device's pixel rules: pixel centres on integers, the top-left
// fill rule on positions snapped to 1/256 pixel, flat colours from a
// primitive's first vertex, lines without their last pixel, point and
// bilinear sampling, the stage combiner, alpha test, key, depth and blending.
#include "platform/d3d/raster.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace d3dsoft {

RasterCounters g_counters;

namespace {

struct C {
    int b, g, r, a;
};

template <class T>
[[gnu::noinline]] void Grow(std::vector<T>* v, std::size_t n)
{
    v->resize(n);
}

// Scratch rows only ever grow: shrinking and growing again would clear the new part each time.
template <class T>
inline void Reserve(std::vector<T>* v, std::size_t n)
{
    if (v->size() < n) [[unlikely]]
        Grow(v, n);
}

int Mul(int a, int b)
{
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// Mul of every pair, for the loops that take one product per channel.
struct ProductTable {
    std::uint8_t v[256][256];
    ProductTable()
    {
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b) v[a][b] = static_cast<std::uint8_t>(Mul(a, b));
    }
};
const ProductTable& Products()
{
    static const ProductTable table;
    return table;
}

int Widen(DWORD raw, int bits)
{
    if (bits >= 8) return static_cast<int>(raw >> (bits - 8)) & 0xFF;
    int x = static_cast<int>(raw) << (8 - bits);
    for (int s = bits; s < 8; s += bits) x |= x >> s;
    return x & 0xFF;
}

DWORD ReadRaw(const PixelView& v, int x, int y)
{
    const std::uint8_t* p = v.pixels + static_cast<std::ptrdiff_t>(y) * v.pitch + x * v.bytes;
    if (v.bytes == 2) {
        std::uint16_t w;
        std::memcpy(&w, p, 2);
        return w;
    }
    DWORD d;
    std::memcpy(&d, p, 4);
    return d;
}

C Decode(const PixelView& v, DWORD raw)
{
    C c;
    int* ch[4] = {&c.b, &c.g, &c.r, &c.a};
    for (int i = 0; i < 4; ++i) {
        if (v.bits[i] == 0) {
            *ch[i] = i == 3 ? 255 : 0;
        } else {
            *ch[i] = Widen((raw & v.mask[i]) >> v.shift[i], v.bits[i]);
        }
    }
    return c;
}

DWORD Encode(const PixelView& v, const C& c)
{
    const int ch[4] = {c.b, c.g, c.r, c.a};
    DWORD raw = v.spare;
    for (int i = 0; i < 4; ++i) {
        if (v.bits[i] == 0) continue;
        DWORD x = static_cast<DWORD>(ch[i]);
        x = v.bits[i] >= 8 ? x << (v.bits[i] - 8) : x >> (8 - v.bits[i]);
        raw |= (x << v.shift[i]) & v.mask[i];
    }
    return raw;
}

void WriteRaw(const PixelView& v, int x, int y, DWORD raw)
{
    std::uint8_t* p = v.pixels + static_cast<std::ptrdiff_t>(y) * v.pitch + x * v.bytes;
    if (v.bytes == 2) {
        const std::uint16_t w = static_cast<std::uint16_t>(raw);
        std::memcpy(p, &w, 2);
    } else {
        std::memcpy(p, &raw, 4);
    }
}

int Address(long long i, int n, DWORD mode)
{
    if (mode == D3DTADDRESS_WRAP) return static_cast<int>(((i % n) + n) % n);
    if (mode == D3DTADDRESS_MIRROR) {
        long long m = ((i % (2LL * n)) + 2LL * n) % (2LL * n);
        return static_cast<int>(m < n ? m : 2LL * n - 1 - m);
    }
    return static_cast<int>(std::clamp<long long>(i, 0, n - 1));
}

long long FloorToLong(double v)
{
    if (!(v > -1e15)) return -1000000000000000LL;
    if (v > 1e15) return 1000000000000000LL;
    // Inside the limits the value's whole part is exact, so truncating and stepping down
    // below a negative fraction floors without a library call.
    const long long i = static_cast<long long>(v);
    return i - (static_cast<double>(i) > v ? 1 : 0);
}

// One texel lookup; *keyed reports a point sample equal to the key.
C Sample(const PixelView& t, const Stage& s, double u, double v, bool* keyed)
{
    if (s.magFilter != D3DTFG_LINEAR) {
        const int x = Address(FloorToLong(u * t.width), t.width, s.address);
        const int y = Address(FloorToLong(v * t.height), t.height, s.address);
        const DWORD raw = ReadRaw(t, x, y);
        if (t.hasKey && (raw & t.colourMask) == (t.key & t.colourMask)) *keyed = true;
        return Decode(t, raw);
    }
    const double sx = u * t.width - 0.5, sy = v * t.height - 0.5;
    const long long ix = FloorToLong(sx), iy = FloorToLong(sy);
    const int fx = static_cast<int>((sx - static_cast<double>(ix)) * 256.0);
    const int fy = static_cast<int>((sy - static_cast<double>(iy)) * 256.0);
    const int x0 = Address(ix, t.width, s.address), x1 = Address(ix + 1, t.width, s.address);
    const int y0 = Address(iy, t.height, s.address), y1 = Address(iy + 1, t.height, s.address);
    const C c00 = Decode(t, ReadRaw(t, x0, y0)), c10 = Decode(t, ReadRaw(t, x1, y0));
    const C c01 = Decode(t, ReadRaw(t, x0, y1)), c11 = Decode(t, ReadRaw(t, x1, y1));
    auto mix = [&](int a, int b, int c, int d) {
        const int top = a * (256 - fx) + b * fx;
        const int bottom = c * (256 - fx) + d * fx;
        return (top * (256 - fy) + bottom * fy + 32768) >> 16;
    };
    return C{mix(c00.b, c10.b, c01.b, c11.b), mix(c00.g, c10.g, c01.g, c11.g), mix(c00.r, c10.r, c01.r, c11.r),
             mix(c00.a, c10.a, c01.a, c11.a)};
}

struct Fragment {
    double u[2], v[2];
    double z;
    C diffuse, specular;
};

C Argument(DWORD arg, const C& diffuse, const C& current, const C& texel, const C& factor, const C& specular)
{
    C c;
    switch (arg & 0xF) {
    case D3DTA_DIFFUSE: c = diffuse; break;
    case D3DTA_CURRENT: c = current; break;
    case D3DTA_TEXTURE: c = texel; break;
    case D3DTA_TFACTOR: c = factor; break;
    default: c = specular; break;
    }
    if (arg & D3DTA_COMPLEMENT) c = C{255 - c.b, 255 - c.g, 255 - c.r, 255 - c.a};
    if (arg & 0x20) c.b = c.g = c.r = c.a;
    return c;
}

int Operate(DWORD op, int a1, int a2, int diffuseAlpha, int currentAlpha)
{
    switch (op) {
    case D3DTOP_SELECTARG1: return a1;
    case D3DTOP_SELECTARG2: return a2;
    case D3DTOP_MODULATE: return Mul(a1, a2);
    case D3DTOP_MODULATE2X: return std::min(255, Mul(a1, a2) * 2);
    case D3DTOP_MODULATE4X: return std::min(255, Mul(a1, a2) * 4);
    case D3DTOP_ADD: return std::min(255, a1 + a2);
    case D3DTOP_SUBTRACT: return std::max(0, a1 - a2);
    case D3DTOP_BLENDDIFFUSEALPHA: return Mul(a1, diffuseAlpha) + Mul(a2, 255 - diffuseAlpha);
    case D3DTOP_BLENDCURRENTALPHA: return Mul(a1, currentAlpha) + Mul(a2, 255 - currentAlpha);
    default: return a1;
    }
}

bool Compare(DWORD func, DWORD value, DWORD ref)
{
    switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return value < ref;
    case D3DCMP_EQUAL: return value == ref;
    case D3DCMP_LESSEQUAL: return value <= ref;
    case D3DCMP_GREATER: return value > ref;
    case D3DCMP_NOTEQUAL: return value != ref;
    case D3DCMP_GREATEREQUAL: return value >= ref;
    default: return true;
    }
}

// The band of Compare(func, alpha, ref) over alphas 0..255.
AlphaBand BandOf(DWORD func, DWORD ref)
{
    const int r = static_cast<int>(ref);
    switch (func) {
    case D3DCMP_NEVER: return AlphaBand{1, 0, false};
    case D3DCMP_LESS: return AlphaBand{0, r - 1, false};
    case D3DCMP_EQUAL: return AlphaBand{r, r, false};
    case D3DCMP_LESSEQUAL: return AlphaBand{0, r, false};
    case D3DCMP_GREATER: return AlphaBand{r + 1, 255, false};
    case D3DCMP_NOTEQUAL: return AlphaBand{r, r, true};
    case D3DCMP_GREATEREQUAL: return AlphaBand{r, 255, false};
    default: return AlphaBand{0, 255, false};
    }
}

int Factor(DWORD f, int x, int k, const C& src, const C& dst)
{
    const int sk[4] = {src.b, src.g, src.r, src.a};
    const int dk[4] = {dst.b, dst.g, dst.r, dst.a};
    switch (f) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return x;
    case D3DBLEND_SRCCOLOR: return Mul(x, sk[k]);
    case D3DBLEND_INVSRCCOLOR: return Mul(x, 255 - sk[k]);
    case D3DBLEND_SRCALPHA: return Mul(x, src.a);
    case D3DBLEND_INVSRCALPHA: return Mul(x, 255 - src.a);
    case D3DBLEND_DESTALPHA: return Mul(x, dst.a);
    case D3DBLEND_INVDESTALPHA: return Mul(x, 255 - dst.a);
    case D3DBLEND_DESTCOLOR: return Mul(x, dk[k]);
    case D3DBLEND_INVDESTCOLOR: return Mul(x, 255 - dk[k]);
    default: return x;
    }
}

void Shade(const DrawContext& c, const Fragment& f, int px, int py)
{
    const DWORD* rs = c.renderStates;
    const DWORD tf = rs[D3DRENDERSTATE_TEXTUREFACTOR];
    const C factor{static_cast<int>(tf & 0xFF), static_cast<int>((tf >> 8) & 0xFF),
                   static_cast<int>((tf >> 16) & 0xFF), static_cast<int>(tf >> 24)};
    C current = f.diffuse;
    bool keyed = false;
    for (int s = 0; s < 8; ++s) {
        const Stage& st = c.stages[s];
        if (st.colorOp == D3DTOP_DISABLE) break;
        C texel{255, 255, 255, 255};
        if (c.textures[s].pixels != nullptr) {
            const int set = st.texCoordIndex < 2 ? static_cast<int>(st.texCoordIndex) : 0;
            texel = Sample(c.textures[s], st, f.u[set], f.v[set], &keyed);
        }
        const C c1 = Argument(st.colorArg1, f.diffuse, current, texel, factor, f.specular);
        const C c2 = Argument(st.colorArg2, f.diffuse, current, texel, factor, f.specular);
        C next;
        next.b = Operate(st.colorOp, c1.b, c2.b, f.diffuse.a, current.a);
        next.g = Operate(st.colorOp, c1.g, c2.g, f.diffuse.a, current.a);
        next.r = Operate(st.colorOp, c1.r, c2.r, f.diffuse.a, current.a);
        if (st.alphaOp == D3DTOP_DISABLE) {
            next.a = current.a;
        } else {
            const int a1 = Argument(st.alphaArg1, f.diffuse, current, texel, factor, f.specular).a;
            const int a2 = Argument(st.alphaArg2, f.diffuse, current, texel, factor, f.specular).a;
            next.a = Operate(st.alphaOp, a1, a2, f.diffuse.a, current.a);
        }
        current = next;
    }
    if (keyed && rs[D3DRENDERSTATE_COLORKEYENABLE] != 0) return;
    if (rs[D3DRENDERSTATE_ALPHATESTENABLE] != 0 &&
        !Compare(rs[D3DRENDERSTATE_ALPHAFUNC], static_cast<DWORD>(current.a), rs[D3DRENDERSTATE_ALPHAREF] & 0xFF))
        return;
    if (c.depth.pixels != nullptr && rs[D3DRENDERSTATE_ZENABLE] != 0) {
        const double z = std::clamp(f.z, 0.0, 1.0);
        const DWORD z16 = static_cast<DWORD>(z * 65535.0 + 0.5);
        if (!Compare(rs[D3DRENDERSTATE_ZFUNC], z16, ReadRaw(c.depth, px, py))) return;
        if (rs[D3DRENDERSTATE_ZWRITEENABLE] != 0) WriteRaw(c.depth, px, py, z16);
    }
    C out = current;
    if (rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0) {
        const C dst = Decode(c.target, ReadRaw(c.target, px, py));
        const int sk[4] = {current.b, current.g, current.r, current.a};
        const int dk[4] = {dst.b, dst.g, dst.r, dst.a};
        int o[4];
        for (int k = 0; k < 4; ++k) {
            o[k] = std::min(255, Factor(rs[D3DRENDERSTATE_SRCBLEND], sk[k], k, current, dst) +
                                     Factor(rs[D3DRENDERSTATE_DESTBLEND], dk[k], k, current, dst));
        }
        out = C{o[0], o[1], o[2], o[3]};
    }
    WriteRaw(c.target, px, py, Encode(c.target, out));
    ++g_counters.pixels;
}


FastSetup DecideFastOnce(const DrawContext& c)
{
    FastSetup f;
    const DWORD* rs = c.renderStates;
    const Stage& s0 = c.stages[0];
    const PixelView& t = c.textures[0];
    const PixelView& d = c.target;
    if (c.stages[1].colorOp != D3DTOP_DISABLE || t.pixels == nullptr) return f;
    if (s0.magFilter == D3DTFG_LINEAR || s0.address != D3DTADDRESS_CLAMP || s0.texCoordIndex != 0) return f;
    if (rs[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT) return f;
    if (c.depth.pixels != nullptr && rs[D3DRENDERSTATE_ZENABLE] != 0) return f;
    if (d.bytes != 4 || d.mask[0] != 0xFF || d.mask[1] != 0xFF00 || d.mask[2] != 0xFF0000 || d.mask[3] != 0) return f;
    if (s0.colorArg1 != D3DTA_TEXTURE) return f;
    if (s0.colorOp == D3DTOP_MODULATE && s0.colorArg2 == D3DTA_DIFFUSE) {
        f.modColour = true;
    } else if (s0.colorOp != D3DTOP_SELECTARG1) {
        return f;
    }
    if (s0.alphaOp == D3DTOP_DISABLE || (s0.alphaOp == D3DTOP_SELECTARG2 && s0.alphaArg2 == D3DTA_DIFFUSE) ||
        (s0.alphaOp == D3DTOP_SELECTARG1 && s0.alphaArg1 == D3DTA_DIFFUSE)) {
        f.alphaFrom = 0;
    } else if (s0.alphaOp == D3DTOP_SELECTARG1 && s0.alphaArg1 == D3DTA_TEXTURE) {
        f.alphaFrom = 1;
    } else if (s0.alphaOp == D3DTOP_MODULATE && s0.alphaArg1 == D3DTA_TEXTURE && s0.alphaArg2 == D3DTA_DIFFUSE) {
        f.alphaFrom = 2;
    } else {
        return f;
    }
    if (rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0) {
        const DWORD sb = rs[D3DRENDERSTATE_SRCBLEND], db = rs[D3DRENDERSTATE_DESTBLEND];
        if (sb == D3DBLEND_SRCALPHA && db == D3DBLEND_INVSRCALPHA) f.blend = 1;
        else if (sb == D3DBLEND_SRCALPHA && db == D3DBLEND_ONE) f.blend = 2;
        else return f;
    }
    f.key = rs[D3DRENDERSTATE_COLORKEYENABLE] != 0 && t.hasKey;
    f.alphaTest = rs[D3DRENDERSTATE_ALPHATESTENABLE] != 0;
    f.alphaFunc = rs[D3DRENDERSTATE_ALPHAFUNC];
    f.alphaRef = rs[D3DRENDERSTATE_ALPHAREF] & 0xFF;
    f.band = BandOf(f.alphaFunc, f.alphaRef);
    f.ok = true;
    return f;
}

// Same arithmetic as Shade, without its dispatch; decided once per draw.
const FastSetup& DecideFast(const DrawContext& c)
{
    if (!c.fastKnown) {
        c.fast = DecideFastOnce(c);
        c.fastKnown = true;
        c.rectSpans[0] = c.rectSpans[1] = nullptr;
        c.rectFast = c.fast;
    }
    return c.fast;
}

inline int TexelIndex(double v, int n)
{
    if (!(v > 0.0)) return 0;
    if (v >= n - 1) return n - 1;
    return static_cast<int>(v);
}

// One row of a triangle in the fast case; u and v come from the same plane
// formula as every other pixel.
template <int Blend, int AlphaFrom, bool Modulate>
void SpanFastRow(const DrawContext& c, const FastSetup& f, const C& diffuse, const double* pu, const double* pv,
                 double x0, double yTerm, long long from, long long to, int py, const int* columns)
{
    const PixelView& t = c.textures[0];
    const bool direct = t.bytes == 4 && t.mask[0] == 0xFF && t.mask[1] == 0xFF00 && t.mask[2] == 0xFF0000;
    const bool texAlpha = t.bits[3] != 0;
    std::uint8_t* row = c.target.pixels + static_cast<std::ptrdiff_t>(py) * c.target.pitch;
    const auto& T = Products().v;
    // A row along which v does not change reads one texture row.
    const bool rowConstant = pv[1] == 0.0;
    const int rowTy = TexelIndex((pv[0] + pv[1] * 0.0 + pv[2] * yTerm) * t.height, t.height);
    for (long long px = from; px <= to; ++px) {
        const double dxp = static_cast<double>(px) - x0;
        // The same sums as the general path: f0 + dx * (px - x0) + dy * (py - y0).
        const int tx = columns != nullptr ? columns[px] : TexelIndex((pu[0] + pu[1] * dxp + pu[2] * yTerm) * t.width, t.width);
        const int ty = rowConstant ? rowTy : TexelIndex((pv[0] + pv[1] * dxp + pv[2] * yTerm) * t.height, t.height);
        const DWORD raw = ReadRaw(t, tx, ty);
        if (f.key && (raw & t.colourMask) == (t.key & t.colourMask)) continue;
        int r, g, b, ta;
        if (direct) {
            b = static_cast<int>(raw & 0xFF);
            g = static_cast<int>((raw >> 8) & 0xFF);
            r = static_cast<int>((raw >> 16) & 0xFF);
            ta = texAlpha ? static_cast<int>(raw >> 24) : 255;
        } else {
            const C tex = Decode(t, raw);
            r = tex.r, g = tex.g, b = tex.b, ta = tex.a;
        }
        if (Modulate) {
            r = T[r][diffuse.r];
            g = T[g][diffuse.g];
            b = T[b][diffuse.b];
        }
        const int a = AlphaFrom == 0 ? diffuse.a : AlphaFrom == 1 ? ta : T[ta][diffuse.a];
        if (f.alphaTest && !Compare(f.alphaFunc, static_cast<DWORD>(a), f.alphaRef)) continue;
        std::uint8_t* p = row + px * 4;
        if (Blend == 1) {
            const auto& A = T[a];
            const auto& IA = T[255 - a];
            b = std::min(255, A[b] + IA[p[0]]);
            g = std::min(255, A[g] + IA[p[1]]);
            r = std::min(255, A[r] + IA[p[2]]);
        } else if (Blend == 2) {
            const auto& A = T[a];
            b = std::min(255, A[b] + p[0]);
            g = std::min(255, A[g] + p[1]);
            r = std::min(255, A[r] + p[2]);
        }
        const DWORD out = c.target.spare | static_cast<DWORD>(r) << 16 | static_cast<DWORD>(g) << 8 | static_cast<DWORD>(b);
        std::memcpy(p, &out, 4);
    }
    g_counters.pixels += to - from + 1;
}

// Rows pyFirst..pyLast of one span shape, each row's v term py - y0: columns from..to, or with
// ranges, row py's columns ranges[2 * (py - pyFirst)] .. ranges[2 * (py - pyFirst) + 1] (none when
// the first is past the second).
using SpanFn = void (*)(const DrawContext&, const FastSetup&, const C&, const double*, const double*, double, double,
                        long long, long long, int, int, const int*, const long long*);

template <int Blend, int AlphaFrom, bool Modulate>
void SpanFast(const DrawContext& c, const FastSetup& f, const C& diffuse, const double* pu, const double* pv,
              double x0, double y0, long long from, long long to, int pyFirst, int pyLast, const int* columns,
              const long long* ranges)
{
    for (int py = pyFirst; py <= pyLast; ++py) {
        if (ranges != nullptr) {
            from = ranges[2 * (py - pyFirst)];
            to = ranges[2 * (py - pyFirst) + 1];
            if (from > to) continue;
        }
        SpanFastRow<Blend, AlphaFrom, Modulate>(c, f, diffuse, pu, pv, x0, static_cast<double>(py) - y0, from, to, py,
                                                columns);
    }
}

template <int Blend, int AlphaFrom>
SpanFn PickModulate(bool modulate)
{
    return modulate ? SpanFast<Blend, AlphaFrom, true> : SpanFast<Blend, AlphaFrom, false>;
}

template <int Blend>
SpanFn PickAlpha(int alphaFrom, bool modulate)
{
    if (alphaFrom == 0) return PickModulate<Blend, 0>(modulate);
    if (alphaFrom == 1) return PickModulate<Blend, 1>(modulate);
    return PickModulate<Blend, 2>(modulate);
}

#if defined(__SSE2__)
// Mul on eight 16-bit lanes. With t = a * b + 128 below 65536, (t + (t >> 8)) >> 8
// equals (t * 257) >> 16, which one high multiply gives.
inline __m128i MulLanes(__m128i a, __m128i b)
{
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    return _mm_mulhi_epu16(t, _mm_set1_epi16(257));
}

// TexelIndex((q[0] + q[1] * (x - x0) + q[2] * yTerm) * n, n) of columns x..x+3, two at a time:
// the same operations in the same order round alike, and max/min clamp as TexelIndex does
// (a NaN takes the second operand, zero).
inline void Indices4(const double* q, long long x, double x0, double yTerm, int n, int* out)
{
    const __m128d base = _mm_set1_pd(q[0]), step = _mm_set1_pd(q[1]), down = _mm_set1_pd(q[2] * yTerm);
    const __m128d size = _mm_set1_pd(n), last = _mm_set1_pd(n - 1), origin = _mm_set1_pd(x0);
    for (int h = 0; h < 2; ++h) {
        const __m128d dxp = _mm_sub_pd(
            _mm_set_pd(static_cast<double>(x + 2 * h + 1), static_cast<double>(x + 2 * h)), origin);
        __m128d v = _mm_mul_pd(_mm_add_pd(_mm_add_pd(base, _mm_mul_pd(step, dxp)), down), size);
        v = _mm_min_pd(_mm_max_pd(v, _mm_setzero_pd()), last);
        const __m128i i = _mm_cvttpd_epi32(v);
        out[2 * h] = _mm_cvtsi128_si32(i);
        out[2 * h + 1] = _mm_cvtsi128_si32(_mm_srli_si128(i, 4));
    }
}

// SpanFast four pixels at a time: texels are fetched one by one into BGRA,
// then modulation and blending run on all channels of the four at once.
// Keyed and alpha-tested pixels keep what the target held. The settings are
// read once for all the rows given.
template <int Blend, bool Key, bool Test>
void SpanVector(const DrawContext& c, const FastSetup& setup, const C& colour, const double* pu, const double* pv,
                double x0, double y0, long long from, long long to, int pyFirst, int pyLast, const int* columns,
                const long long* ranges)
{
    constexpr bool mayDrop = Key || Test;
    // Copies: the pixel stores may alias anything reached through a reference, which would
    // reload every setting at every group.
    const FastSetup f = setup;
    const C diffuse = colour;
    const PixelView& t = c.textures[0];
    const bool direct = t.bytes == 4 && t.mask[0] == 0xFF && t.mask[1] == 0xFF00 && t.mask[2] == 0xFF0000;
    const std::uint32_t* const decode = t.bytes == 2 ? t.decode : nullptr;
    const bool texAlpha = t.bits[3] != 0;
    // Alpha from the diffuse colour alone reads the texel as opaque, then takes the diffuse alpha by modulation.
    const DWORD alphaFill = (f.alphaFrom == 0 || !texAlpha) ? 0xFF000000u : 0u;
    const int m[4] = {f.modColour ? diffuse.b : 255, f.modColour ? diffuse.g : 255, f.modColour ? diffuse.r : 255,
                      f.alphaFrom == 1 ? 255 : diffuse.a};
    const __m128i mod = _mm_setr_epi16(static_cast<short>(m[0]), static_cast<short>(m[1]), static_cast<short>(m[2]),
                                       static_cast<short>(m[3]), static_cast<short>(m[0]), static_cast<short>(m[1]),
                                       static_cast<short>(m[2]), static_cast<short>(m[3]));
    const bool identity = m[0] == 255 && m[1] == 255 && m[2] == 255 && m[3] == 255;
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(255);
    const __m128i colourBits = _mm_set1_epi32(0x00FFFFFF), spare = _mm_set1_epi32(static_cast<int>(c.target.spare));
    const DWORD keyBits = t.key & t.colourMask;
    const auto& T = Products().v;
    const bool rowConstant = pv[1] == 0.0;
    const __m128i fill = _mm_set1_epi32(static_cast<int>(alphaFill));
    const __m128i keyMask = _mm_set1_epi32(static_cast<int>(t.colourMask));
    const __m128i keyValue = _mm_set1_epi32(static_cast<int>(keyBits));
    // The usual quad reads one texture row through the cached columns.
    const bool easy = direct && columns != nullptr && rowConstant;
    const bool easy16 = decode != nullptr && columns != nullptr && rowConstant;
    // The key and the alpha test on four texels at once; alphas are bytes, so signed 32-bit
    // compares order them as Compare does.
    const AlphaBand band = f.band;
    const __m128i bandBelow = _mm_set1_epi32(band.low - 1), bandAbove = _mm_set1_epi32(band.high + 1);
    const __m128i bandFlip = _mm_set1_epi32(band.inside ? 0 : -1);
    const __m128i diffuseAlpha = _mm_set1_epi32(diffuse.a);
    // raw: the texels as stored, for the key; texel: the same in BGRA with the alpha fill.
    auto dropOf = [&](__m128i raw, __m128i texel) __attribute__((always_inline)) {
        const __m128i drop = Key ? _mm_cmpeq_epi32(_mm_and_si128(raw, keyMask), keyValue) : zero;
        if (!Test) return drop;
        __m128i al = diffuseAlpha;
        if (f.alphaFrom != 0) {
            al = _mm_srli_epi32(texel, 24);
            if (f.alphaFrom == 2)
                al = _mm_mulhi_epu16(_mm_add_epi32(_mm_mullo_epi16(al, diffuseAlpha), _mm_set1_epi32(128)),
                                     _mm_set1_epi32(257));
        }
        const __m128i fail = _mm_xor_si128(
            _mm_and_si128(_mm_cmpgt_epi32(al, bandBelow), _mm_cmpgt_epi32(bandAbove, al)), bandFlip);
        return _mm_or_si128(drop, fail);
    };
    // The row being drawn.
    double yTerm = 0;
    int rowTy = 0;
    const std::uint8_t* texRow = nullptr;
    // The texel of column x in BGRA, and whether the key or the alpha test drops the pixel.
    auto fetch = [&](long long x, std::uint32_t* drop) __attribute__((always_inline)) {
        DWORD raw;
        if (easy) {
            std::memcpy(&raw, texRow + static_cast<std::ptrdiff_t>(columns[x]) * 4, 4);
        } else if (easy16) {
            std::uint16_t w;
            std::memcpy(&w, texRow + static_cast<std::ptrdiff_t>(columns[x]) * 2, 2);
            raw = w;
        } else {
            const double dxp = static_cast<double>(x) - x0;
            const int tx =
                columns != nullptr ? columns[x] : TexelIndex((pu[0] + pu[1] * dxp + pu[2] * yTerm) * t.width, t.width);
            const int ty =
                rowConstant ? rowTy : TexelIndex((pv[0] + pv[1] * dxp + pv[2] * yTerm) * t.height, t.height);
            raw = ReadRaw(t, tx, ty);
        }
        DWORD texel;
        if (easy || direct) {
            texel = raw | alphaFill;
        } else if (decode != nullptr) {
            texel = decode[raw] | alphaFill;
        } else {
            const C d = Decode(t, raw);
            texel = static_cast<DWORD>(d.b) | static_cast<DWORD>(d.g) << 8 | static_cast<DWORD>(d.r) << 16 |
                    static_cast<DWORD>(d.a) << 24 | alphaFill;
        }
        if (mayDrop) {
            bool out = Key && (raw & t.colourMask) == keyBits;
            if (Test && !out) {
                const int ta = static_cast<int>(texel >> 24);
                const int al = f.alphaFrom == 0 ? diffuse.a : f.alphaFrom == 1 ? ta : T[ta][diffuse.a];
                out = !Compare(f.alphaFunc, static_cast<DWORD>(al), f.alphaRef);
            }
            *drop = out ? 0xFFFFFFFFu : 0u;
        }
        return static_cast<int>(texel);
    };
    // When every source pixel has the same alpha (from the diffuse colour, or a texture without
    // alpha), the blend factors are fixed for the span; the target keeps no alpha, so the source's
    // alpha lane need not be computed. Mul(x, 255) = x and Mul(x, 0) = 0 drop whole products.
    const bool fixedAlpha = f.alphaFrom == 0 || !texAlpha;
    const int A = m[3];
    const bool colourIdentity = m[0] == 255 && m[1] == 255 && m[2] == 255;
    const __m128i factor = _mm_set1_epi16(static_cast<short>(A)), inverse = _mm_set1_epi16(static_cast<short>(255 - A));
    auto combineFixed = [&](__m128i s, __m128i d) __attribute__((always_inline)) {
        if (colourIdentity && (Blend == 0 || A == 255)) {
            if (Blend == 2) return _mm_adds_epu8(s, d);
            return s;
        }
        if (Blend == 1 && A == 0) return d;
        __m128i lo = _mm_unpacklo_epi8(s, zero), hi = _mm_unpackhi_epi8(s, zero);
        if (!colourIdentity) {
            lo = MulLanes(lo, mod);
            hi = MulLanes(hi, mod);
        }
        if (Blend != 0 && A != 255) {
            lo = MulLanes(lo, factor);
            hi = MulLanes(hi, factor);
        }
        if (Blend == 1 && A != 255) {
            lo = _mm_add_epi16(lo, MulLanes(_mm_unpacklo_epi8(d, zero), inverse));
            hi = _mm_add_epi16(hi, MulLanes(_mm_unpackhi_epi8(d, zero), inverse));
        } else if (Blend == 2) {
            lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(d, zero));
            hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(d, zero));
        }
        return _mm_packus_epi16(lo, hi);
    };
    auto combine = [&](__m128i s, __m128i d, __m128i drop) __attribute__((always_inline)) {
        if (fixedAlpha) {
            const __m128i out = _mm_or_si128(_mm_and_si128(combineFixed(s, d), colourBits), spare);
            if (!mayDrop) return out;
            return _mm_or_si128(_mm_andnot_si128(drop, out), _mm_and_si128(drop, d));
        }
        __m128i lo = _mm_unpacklo_epi8(s, zero), hi = _mm_unpackhi_epi8(s, zero);
        if (!identity) {
            lo = MulLanes(lo, mod);
            hi = MulLanes(hi, mod);
        }
        if (Blend != 0) {
            const __m128i alo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(lo, 0xFF), 0xFF);
            const __m128i ahi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(hi, 0xFF), 0xFF);
            const __m128i dlo = _mm_unpacklo_epi8(d, zero), dhi = _mm_unpackhi_epi8(d, zero);
            lo = MulLanes(lo, alo);
            hi = MulLanes(hi, ahi);
            if (Blend == 1) {
                lo = _mm_add_epi16(lo, MulLanes(dlo, _mm_sub_epi16(full, alo)));
                hi = _mm_add_epi16(hi, MulLanes(dhi, _mm_sub_epi16(full, ahi)));
            } else {
                lo = _mm_add_epi16(lo, dlo);
                hi = _mm_add_epi16(hi, dhi);
            }
        }
        // Packing saturates each sum at 255.
        const __m128i out = _mm_or_si128(_mm_and_si128(_mm_packus_epi16(lo, hi), colourBits), spare);
        if (!mayDrop) return out;
        return _mm_or_si128(_mm_andnot_si128(drop, out), _mm_and_si128(drop, d));
    };
    const std::uint8_t* const targetEnd = c.target.pixels + static_cast<std::ptrdiff_t>(c.target.pitch) * c.target.height;
    const std::uint8_t* const textureEnd = t.pixels + static_cast<std::ptrdiff_t>(t.pitch) * t.height;
    for (int py = pyFirst; py <= pyLast; ++py) {
        if (ranges != nullptr) {
            from = ranges[2 * (py - pyFirst)];
            to = ranges[2 * (py - pyFirst) + 1];
            if (from > to) continue;
        }
        yTerm = static_cast<double>(py) - y0;
        std::uint8_t* const row = c.target.pixels + static_cast<std::ptrdiff_t>(py) * c.target.pitch;
        rowTy = TexelIndex((pv[0] + pv[1] * 0.0 + pv[2] * yTerm) * t.height, t.height);
        texRow = t.pixels + static_cast<std::ptrdiff_t>(rowTy) * t.pitch;
        g_counters.pixels += to - from + 1;
        long long px = from;
        // Whole groups stay in registers: values built in memory and read back wide stall the store buffer.
        for (; px + 3 <= to; px += 4) {
            std::uint8_t* p = row + px * 4;
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            if (easy &&
                (f.unitColumns || (columns[px + 1] == columns[px] + 1 && columns[px + 2] == columns[px] + 2 &&
                                   columns[px + 3] == columns[px] + 3))) {
                // Four neighbouring texels, as an unscaled quad reads them.
                const __m128i raw = _mm_loadu_si128(
                    reinterpret_cast<const __m128i*>(texRow + static_cast<std::ptrdiff_t>(columns[px]) * 4));
                const __m128i texel = _mm_or_si128(raw, fill);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), combine(texel, d, dropOf(raw, texel)));
                continue;
            }
            if (easy16) {
                // 16-bit texels widened through the layout's table.
                std::uint16_t w[4];
                if (f.unitColumns) {
                    std::memcpy(w, texRow + static_cast<std::ptrdiff_t>(columns[px]) * 2, 8);
                } else {
                    for (int k = 0; k < 4; ++k)
                        std::memcpy(&w[k], texRow + static_cast<std::ptrdiff_t>(columns[px + k]) * 2, 2);
                }
                const __m128i texel = _mm_or_si128(
                    _mm_setr_epi32(static_cast<int>(decode[w[0]]), static_cast<int>(decode[w[1]]),
                                   static_cast<int>(decode[w[2]]), static_cast<int>(decode[w[3]])),
                    fill);
                const __m128i raw = Key ? _mm_setr_epi32(w[0], w[1], w[2], w[3]) : zero;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), combine(texel, d, dropOf(raw, texel)));
                continue;
            }
            if (direct && !easy) {
                // Turned or scaled quads: the four coordinates by the same sums in double lanes.
                alignas(16) int tx[4], ty[4];
                if (columns != nullptr) {
                    for (int k = 0; k < 4; ++k) tx[k] = columns[px + k];
                } else {
                    Indices4(pu, px, x0, yTerm, t.width, tx);
                }
                if (rowConstant) {
                    for (int k = 0; k < 4; ++k) ty[k] = rowTy;
                } else {
                    Indices4(pv, px, x0, yTerm, t.height, ty);
                }
                // Gathered in registers: four narrow stores read back wide would stall the store buffer.
                auto texelAt = [&](int k) __attribute__((always_inline)) {
                    int v;
                    std::memcpy(&v, t.pixels + static_cast<std::ptrdiff_t>(ty[k]) * t.pitch + tx[k] * 4, 4);
                    return _mm_cvtsi32_si128(v);
                };
                const __m128i raw = _mm_unpacklo_epi64(_mm_unpacklo_epi32(texelAt(0), texelAt(1)),
                                                       _mm_unpacklo_epi32(texelAt(2), texelAt(3)));
                const __m128i texel = _mm_or_si128(raw, fill);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), combine(texel, d, dropOf(raw, texel)));
                continue;
            }
            std::uint32_t k[4] = {};
            const int t0 = fetch(px, &k[0]), t1 = fetch(px + 1, &k[1]), t2 = fetch(px + 2, &k[2]),
                      t3 = fetch(px + 3, &k[3]);
            const __m128i drop = mayDrop ? _mm_setr_epi32(static_cast<int>(k[0]), static_cast<int>(k[1]),
                                                          static_cast<int>(k[2]), static_cast<int>(k[3]))
                                         : zero;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), combine(_mm_setr_epi32(t0, t1, t2, t3), d, drop));
        }
        if (px > to) continue;
        const int n = static_cast<int>(to - px + 1);
        std::uint8_t* p = row + px * 4;
        // A short end of neighbouring texels is read four wide like a whole group, when both
        // reads stay inside their surfaces; only its own pixels are written back.
        bool wide = easy && p + 16 <= targetEnd;
        for (int k = 1; k < n && wide && !f.unitColumns; ++k) wide = columns[px + k] == columns[px] + k;
        const std::uint8_t* texels = texRow + static_cast<std::ptrdiff_t>(columns != nullptr ? columns[px] : 0) * 4;
        if (wide && texels + 16 <= textureEnd) {
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels));
            const __m128i texel = _mm_or_si128(raw, fill);
            alignas(16) std::uint32_t out[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(out), combine(texel, d, dropOf(raw, texel)));
            std::memcpy(p, out, static_cast<std::size_t>(n) * 4);
            continue;
        }
        alignas(16) std::uint32_t src[4] = {}, dst[4] = {}, skip[4] = {};
        for (int k = 0; k < n; ++k) src[k] = static_cast<std::uint32_t>(fetch(px + k, &skip[k]));
        std::memcpy(dst, p, static_cast<std::size_t>(n) * 4);
        const __m128i out = combine(_mm_load_si128(reinterpret_cast<const __m128i*>(src)),
                                    _mm_load_si128(reinterpret_cast<const __m128i*>(dst)),
                                    _mm_load_si128(reinterpret_cast<const __m128i*>(skip)));
        _mm_store_si128(reinterpret_cast<__m128i*>(dst), out);
        std::memcpy(p, dst, static_cast<std::size_t>(n) * 4);
    }
}

template <int Blend>
SpanFn PickVector(const FastSetup& f)
{
    if (f.key) return f.alphaTest ? SpanVector<Blend, true, true> : SpanVector<Blend, true, false>;
    return f.alphaTest ? SpanVector<Blend, false, true> : SpanVector<Blend, false, false>;
}

#if defined(__x86_64__) || defined(__i386__)
#define D3DSOFT_WIDE_SPANS 1
// SpanVector eight pixels at a time with AVX2, for 32-bit BGRA textures and 16-bit ones read
// along a texture row: texels are gathered by offset (16-bit ones from the layout's table),
// the short end of a row is loaded and stored under a lane mask.
// The same operations in the same order as the four-wide code, so the same pixels.
// Reached only when the processor has AVX2 (see BestSpanLevel).
#pragma GCC push_options
#pragma GCC target("avx2")

inline __m256i MulLanes8(__m256i a, __m256i b)
{
    const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(a, b), _mm256_set1_epi16(128));
    return _mm256_mulhi_epu16(t, _mm256_set1_epi16(257));
}

// One plane's values in every lane, for Indices4's sums over four double lanes at a time:
// q0, q1, q2 * yTerm, the texture's size and its last index.
struct PlaneLanes {
    __m256d base, step, down, size, last;
    PlaneLanes(const double* q, double yTerm, int n)
        : base(_mm256_set1_pd(q[0])), step(_mm256_set1_pd(q[1])), down(_mm256_set1_pd(q[2] * yTerm)),
          size(_mm256_set1_pd(n)), last(_mm256_set1_pd(n - 1))
    {
    }
};

// Indices4's values for eight columns from each column's base + step * (x - x0), taken once for
// all rows: the same sums in the same order.
inline __m256i IndicesOfSums(const PlaneLanes& q, const double* sums)
{
    __m128i half[2];
    for (int h = 0; h < 2; ++h) {
        __m256d v = _mm256_mul_pd(_mm256_add_pd(_mm256_loadu_pd(sums + 4 * h), q.down), q.size);
        v = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), q.last);
        half[h] = _mm256_cvttpd_epi32(v);
    }
    return _mm256_setr_m128i(half[0], half[1]);
}

// How texels are found (Mode): 0 16-bit along a texture row, 1 neighbouring texels along a
// row, 2 cached columns along a row, 3 both coordinates from their planes. Each mode and alpha
// source has its own loops, which keep every setting in registers. Fixed: every source pixel
// has the same alpha (from the diffuse colour, or a texture without alpha).
template <int Blend, bool Key, bool Test, int Mode, int AlphaFrom, bool Fixed>
void SpanWideRows(const DrawContext& c, const FastSetup& setup, const C& colour, const double* pu, const double* pv,
                  double x0, double y0, long long from, long long to, int pyFirst, int pyLast, const int* columns,
                  const long long* ranges)
{
    const PixelView& t = c.textures[0];
    const std::uint32_t* const decode = t.decode;
    const bool nibbles = t.bytes == 2 && t.mask[0] == 0xF && t.mask[1] == 0xF0 && t.mask[2] == 0xF00 &&
                         t.mask[3] == 0xF000;
    constexpr bool mayDrop = Key || Test;
    const FastSetup f = setup;
    const C diffuse = colour;
    const DWORD alphaFill = Fixed ? 0xFF000000u : 0u;
    const int m[4] = {f.modColour ? diffuse.b : 255, f.modColour ? diffuse.g : 255, f.modColour ? diffuse.r : 255,
                      AlphaFrom == 1 ? 255 : diffuse.a};
    const __m256i mod = _mm256_set1_epi64x(static_cast<long long>(static_cast<std::uint64_t>(m[0]) |
                                                                  static_cast<std::uint64_t>(m[1]) << 16 |
                                                                  static_cast<std::uint64_t>(m[2]) << 32 |
                                                                  static_cast<std::uint64_t>(m[3]) << 48));
    const bool identity = m[0] == 255 && m[1] == 255 && m[2] == 255 && m[3] == 255;
    const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi16(255);
    const __m256i colourBits = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i spare = _mm256_set1_epi32(static_cast<int>(c.target.spare));
    const DWORD keyBits = t.key & t.colourMask;
    const bool rowConstant = pv[1] == 0.0;
    const __m256i fill = _mm256_set1_epi32(static_cast<int>(alphaFill));
    const __m256i keyMask = _mm256_set1_epi32(static_cast<int>(t.colourMask));
    const __m256i keyValue = _mm256_set1_epi32(static_cast<int>(keyBits));
    const AlphaBand band = f.band;
    const __m256i bandBelow = _mm256_set1_epi32(band.low - 1), bandAbove = _mm256_set1_epi32(band.high + 1);
    const __m256i bandFlip = _mm256_set1_epi32(band.inside ? 0 : -1);
    const __m256i diffuseAlpha = _mm256_set1_epi32(diffuse.a);
    auto dropOf = [&](__m256i raw, __m256i texel) __attribute__((always_inline)) {
        const __m256i drop = Key ? _mm256_cmpeq_epi32(_mm256_and_si256(raw, keyMask), keyValue) : zero;
        if (!Test) return drop;
        __m256i al = diffuseAlpha;
        if (AlphaFrom != 0) {
            al = _mm256_srli_epi32(texel, 24);
            if (AlphaFrom == 2)
                al = _mm256_mulhi_epu16(
                    _mm256_add_epi32(_mm256_mullo_epi16(al, diffuseAlpha), _mm256_set1_epi32(128)),
                    _mm256_set1_epi32(257));
        }
        const __m256i fail = _mm256_xor_si256(
            _mm256_and_si256(_mm256_cmpgt_epi32(al, bandBelow), _mm256_cmpgt_epi32(bandAbove, al)), bandFlip);
        return _mm256_or_si256(drop, fail);
    };
    constexpr bool fixedAlpha = Fixed;
    const int A = m[3];
    const bool colourIdentity = m[0] == 255 && m[1] == 255 && m[2] == 255;
    const __m256i factor = _mm256_set1_epi16(static_cast<short>(A));
    const __m256i inverse = _mm256_set1_epi16(static_cast<short>(255 - A));
    auto combineFixed = [&](__m256i s, __m256i d) __attribute__((always_inline)) {
        if (colourIdentity && (Blend == 0 || A == 255)) {
            if (Blend == 2) return _mm256_adds_epu8(s, d);
            return s;
        }
        if (Blend == 1 && A == 0) return d;
        __m256i lo = _mm256_unpacklo_epi8(s, zero), hi = _mm256_unpackhi_epi8(s, zero);
        if (!colourIdentity) {
            lo = MulLanes8(lo, mod);
            hi = MulLanes8(hi, mod);
        }
        if (Blend != 0 && A != 255) {
            lo = MulLanes8(lo, factor);
            hi = MulLanes8(hi, factor);
        }
        if (Blend == 1 && A != 255) {
            lo = _mm256_add_epi16(lo, MulLanes8(_mm256_unpacklo_epi8(d, zero), inverse));
            hi = _mm256_add_epi16(hi, MulLanes8(_mm256_unpackhi_epi8(d, zero), inverse));
        } else if (Blend == 2) {
            lo = _mm256_add_epi16(lo, _mm256_unpacklo_epi8(d, zero));
            hi = _mm256_add_epi16(hi, _mm256_unpackhi_epi8(d, zero));
        }
        return _mm256_packus_epi16(lo, hi);
    };
    // With the texel's own alpha unscaled, a group whose texels are all clear keeps the target
    // and one whose texels are all opaque is the fixed-alpha sum at full alpha.
    const bool wholeGroups = Blend != 0 && !fixedAlpha && m[3] == 255 && Mode != 3;
    const __m256i alphaBits = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    // Each pixel's alpha byte into the four words of its widened channels, for the pixels that
    // unpacking the low and the high half of each 128-bit lane gives.
    const __m256i alphaOfLow = _mm256_setr_epi8(3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1, 3, -1, 3, -1,
                                                3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1);
    const __m256i alphaOfHigh = _mm256_setr_epi8(11, -1, 11, -1, 11, -1, 11, -1, 15, -1, 15, -1, 15, -1, 15, -1, 11,
                                                 -1, 11, -1, 11, -1, 11, -1, 15, -1, 15, -1, 15, -1, 15, -1);
    auto combine = [&](__m256i s, __m256i d, __m256i drop) __attribute__((always_inline)) {
        __m256i out;
        if constexpr (fixedAlpha) {
            out = combineFixed(s, d);
        } else if (Blend == 0 && identity) {
            // Widened and packed again unchanged.
            out = s;
        } else if (wholeGroups && _mm256_testz_si256(s, alphaBits)) {
            out = d;
        } else if (wholeGroups && _mm256_testc_si256(s, alphaBits)) {
            out = combineFixed(s, d);
        } else {
            __m256i lo = _mm256_unpacklo_epi8(s, zero), hi = _mm256_unpackhi_epi8(s, zero);
            if (!identity) {
                lo = MulLanes8(lo, mod);
                hi = MulLanes8(hi, mod);
            }
            if (Blend != 0) {
                // An alpha the modulation leaves alone is taken straight from the texels' bytes.
                const bool rawAlpha = AlphaFrom == 1 || m[3] == 255;
                const __m256i alo = rawAlpha ? _mm256_shuffle_epi8(s, alphaOfLow)
                                             : _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(lo, 0xFF), 0xFF);
                const __m256i ahi = rawAlpha ? _mm256_shuffle_epi8(s, alphaOfHigh)
                                             : _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(hi, 0xFF), 0xFF);
                const __m256i dlo = _mm256_unpacklo_epi8(d, zero), dhi = _mm256_unpackhi_epi8(d, zero);
                lo = MulLanes8(lo, alo);
                hi = MulLanes8(hi, ahi);
                if (Blend == 1) {
                    lo = _mm256_add_epi16(lo, MulLanes8(dlo, _mm256_sub_epi16(full, alo)));
                    hi = _mm256_add_epi16(hi, MulLanes8(dhi, _mm256_sub_epi16(full, ahi)));
                } else {
                    lo = _mm256_add_epi16(lo, dlo);
                    hi = _mm256_add_epi16(hi, dhi);
                }
            }
            out = _mm256_packus_epi16(lo, hi);
        }
        out = _mm256_or_si256(_mm256_and_si256(out, colourBits), spare);
        if (!mayDrop) return out;
        return _mm256_blendv_epi8(out, d, drop);
    };
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const std::uint8_t* const textureEnd = t.pixels + static_cast<std::ptrdiff_t>(t.pitch) * t.height;
    const __m256i pitch = _mm256_set1_epi32(t.pitch);
    const auto* texBase = reinterpret_cast<const int*>(t.pixels);
    const __m256d origin = _mm256_set1_pd(x0);
    const __m256d firstLanes = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
    PlaneLanes uLanes(pu, 0.0, t.width), vLanes(pv, 0.0, t.height);
    // A turned shape's columns: base + step * (x - x0) of both planes, the part of each sum its
    // row does not change, from the first column of any row to seven past the last.
    static thread_local std::vector<double> columnSums;
    const long long firstColumn = from;
    const double* uSums = nullptr;
    const double* vSums = nullptr;
    if constexpr (Mode == 3) {
        const std::size_t count = static_cast<std::size_t>((to - from + 8 + 3) & ~3LL);
        Reserve(&columnSums, 2 * count);
        double* const u = columnSums.data();
        double* const v = u + count;
        for (std::size_t i = 0; i < count; i += 4) {
            const __m256d dx =
                _mm256_sub_pd(_mm256_add_pd(_mm256_set1_pd(static_cast<double>(from + static_cast<long long>(i))),
                                            firstLanes),
                              origin);
            _mm256_storeu_pd(u + i, _mm256_add_pd(uLanes.base, _mm256_mul_pd(uLanes.step, dx)));
            _mm256_storeu_pd(v + i, _mm256_add_pd(vLanes.base, _mm256_mul_pd(vLanes.step, dx)));
        }
        uSums = u;
        vSums = v;
    }
    // Stores through the target may alias anything, so what each row reads is kept in locals.
    std::uint8_t* const targetPixels = c.target.pixels;
    const std::ptrdiff_t targetPitch = c.target.pitch;
    const std::uint8_t* const texPixels = t.pixels;
    const std::ptrdiff_t texPitch = t.pitch;
    const int* const texRows = f.rows;
    const bool unitColumns = f.unitColumns;
    // A row's texture row; a turned row reads no single one.
    auto texRowOf = [&](int py, double yTerm) __attribute__((always_inline)) {
        return Mode != 3 && texRows != nullptr ? texRows[py - pyFirst]
               : Mode != 3 || rowConstant    ? TexelIndex((pv[0] + pv[1] * 0.0 + pv[2] * yTerm) * t.height, t.height)
                                             : 0;
    };
    // One group of eight; a short end writes only its own lanes.
    // Planes: a turned span reading both coordinates from their planes, the common turned case.
    auto group = [&](std::uint8_t* row, const std::uint8_t* texRow, int rowTy, long long px, auto whole,
                     auto planes) __attribute__((always_inline)) {
        constexpr bool Whole = decltype(whole)::value;
        auto* p = reinterpret_cast<__m256i*>(row + px * 4);
        const __m256i lanes =
            Whole ? _mm256_set1_epi32(-1)
                  : _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(to - px + 1)), laneIndex);
        const __m256i d =
            Whole ? _mm256_loadu_si256(p) : _mm256_maskload_epi32(reinterpret_cast<const int*>(p), lanes);
        __m256i raw, texel;
        if constexpr (Mode == 0) {
            // A short end reads eight neighbouring texels too while they lie inside the
            // surface: the lanes past the end are not stored.
            __m128i words;
            if (unitColumns &&
                (Whole || texRow + (static_cast<std::ptrdiff_t>(columns[px]) + 8) * 2 <= textureEnd)) {
                words = _mm_loadu_si128(
                    reinterpret_cast<const __m128i*>(texRow + static_cast<std::ptrdiff_t>(columns[px]) * 2));
            } else {
                alignas(16) std::uint16_t w[8] = {};
                const int n = Whole ? 8 : static_cast<int>(to - px + 1);
                for (int k = 0; k < n; ++k)
                    std::memcpy(&w[k], texRow + static_cast<std::ptrdiff_t>(columns[px + k]) * 2, 2);
                words = _mm_load_si128(reinterpret_cast<const __m128i*>(w));
            }
            raw = _mm256_cvtepu16_epi32(words);
            if (nibbles) {
                // Four bits a channel in BGRA order: the low and high nibbles of each byte
                // interleaved are the channels in order, each widened to x * 17 as the table
                // holds them.
                const __m128i lowNibbles = _mm_set1_epi8(0xF);
                const __m128i lo = _mm_and_si128(words, lowNibbles);
                const __m128i hi = _mm_and_si128(_mm_srli_epi16(words, 4), lowNibbles);
                const __m256i spread = _mm256_setr_m128i(_mm_unpacklo_epi8(lo, hi), _mm_unpackhi_epi8(lo, hi));
                texel = _mm256_or_si256(_mm256_or_si256(spread, _mm256_slli_epi32(spread, 4)), fill);
            } else {
                texel = _mm256_or_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(decode), raw, 4), fill);
            }
        } else {
            if constexpr (Mode == 1) {
                const int* at = reinterpret_cast<const int*>(texRow) + columns[px];
                raw = Whole ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at))
                            : _mm256_maskload_epi32(at, lanes);
            } else if constexpr (Mode == 2) {
                const __m256i tx = _mm256_maskload_epi32(columns + px, lanes);
                raw = _mm256_mask_i32gather_epi32(zero, reinterpret_cast<const int*>(texRow), tx, lanes, 4);
            } else {
                const std::ptrdiff_t k = px - firstColumn;
                constexpr bool Planes = decltype(planes)::value;
                const __m256i tx = !Planes && columns != nullptr ? _mm256_maskload_epi32(columns + px, lanes)
                                                                 : IndicesOfSums(uLanes, uSums + k);
                const __m256i ty =
                    !Planes && rowConstant ? _mm256_set1_epi32(rowTy) : IndicesOfSums(vLanes, vSums + k);
                const __m256i offset = _mm256_add_epi32(_mm256_mullo_epi32(ty, pitch), _mm256_slli_epi32(tx, 2));
                raw = _mm256_mask_i32gather_epi32(zero, texBase, offset, lanes, 1);
            }
            texel = _mm256_or_si256(raw, fill);
        }
        const __m256i out = combine(texel, d, dropOf(raw, texel));
        if (Whole) _mm256_storeu_si256(p, out);
        else _mm256_maskstore_epi32(reinterpret_cast<int*>(p), lanes, out);
    };
    long long pixels = ranges == nullptr ? (to - from + 1) * (pyLast - pyFirst + 1) : 0;
    if (Mode != 3 && ranges == nullptr && texRows != nullptr && to - from < 32) {
        // A rectangle's rows all have the same columns: a narrow one (a glyph, a small sprite) goes
        // down each group of columns through all rows, which keeps the loop's settings in registers.
        auto down = [&](long long px, auto whole) __attribute__((always_inline)) {
            std::uint8_t* row = targetPixels + static_cast<std::ptrdiff_t>(pyFirst) * targetPitch;
            for (int i = 0; i <= pyLast - pyFirst; ++i, row += targetPitch)
                group(row, texPixels + static_cast<std::ptrdiff_t>(texRows[i]) * texPitch, texRows[i], px, whole,
                      std::false_type{});
        };
        long long px = from;
        for (; px + 7 <= to; px += 8) down(px, std::true_type{});
        if (px <= to) down(px, std::false_type{});
        g_counters.pixels += pixels;
        return;
    }
    auto rows = [&](auto planes) __attribute__((always_inline)) {
        for (int py = pyFirst; py <= pyLast; ++py) {
            if (ranges != nullptr) {
                from = ranges[2 * (py - pyFirst)];
                to = ranges[2 * (py - pyFirst) + 1];
                if (from > to) continue;
                pixels += to - from + 1;
            }
            const double yTerm = static_cast<double>(py) - y0;
            std::uint8_t* const row = targetPixels + static_cast<std::ptrdiff_t>(py) * targetPitch;
            const int rowTy = decltype(planes)::value ? 0 : texRowOf(py, yTerm);
            const std::uint8_t* const texRow = texPixels + static_cast<std::ptrdiff_t>(rowTy) * texPitch;
            if constexpr (Mode == 3) {
                uLanes.down = _mm256_set1_pd(pu[2] * yTerm);
                vLanes.down = _mm256_set1_pd(pv[2] * yTerm);
            }
            long long px = from;
            for (; px + 7 <= to; px += 8) group(row, texRow, rowTy, px, std::true_type{}, planes);
            if (px <= to) group(row, texRow, rowTy, px, std::false_type{}, planes);
        }
    };
    if (Mode == 3 && columns == nullptr && !rowConstant) rows(std::true_type{});
    else rows(std::false_type{});
    g_counters.pixels += pixels;
}

template <int Blend, bool Key, bool Test, int Mode>
SpanFn WideRowsOf(int alphaFrom, bool texAlpha)
{
    if (alphaFrom == 0) return SpanWideRows<Blend, Key, Test, Mode, 0, true>;
    if (alphaFrom == 1)
        return texAlpha ? SpanWideRows<Blend, Key, Test, Mode, 1, false> : SpanWideRows<Blend, Key, Test, Mode, 1, true>;
    return texAlpha ? SpanWideRows<Blend, Key, Test, Mode, 2, false> : SpanWideRows<Blend, Key, Test, Mode, 2, true>;
}

// The wide routine for a texture; `along`: every row reads one texture row from given columns.
template <int Blend, bool Key, bool Test>
SpanFn WideFor(const PixelView& t, const FastSetup& setup, bool along)
{
    const bool direct = t.bytes == 4 && t.mask[0] == 0xFF && t.mask[1] == 0xFF00 && t.mask[2] == 0xFF0000;
    // 16-bit texels along one texture row, widened through the layout's table.
    const bool easy16 = !direct && t.bytes == 2 && t.decode != nullptr && along;
    if (!direct && !easy16) return SpanVector<Blend, Key, Test>;
    const bool texAlpha = t.bits[3] != 0;
    const int a = setup.alphaFrom;
    return easy16                       ? WideRowsOf<Blend, Key, Test, 0>(a, texAlpha)
           : along && setup.unitColumns ? WideRowsOf<Blend, Key, Test, 1>(a, texAlpha)
           : along                      ? WideRowsOf<Blend, Key, Test, 2>(a, texAlpha)
                                        : WideRowsOf<Blend, Key, Test, 3>(a, texAlpha);
}

template <int Blend, bool Key, bool Test>
void SpanWide(const DrawContext& c, const FastSetup& setup, const C& colour, const double* pu, const double* pv,
              double x0, double y0, long long from, long long to, int pyFirst, int pyLast, const int* columns,
              const long long* ranges)
{
    const SpanFn rows = WideFor<Blend, Key, Test>(c.textures[0], setup, columns != nullptr && pv[1] == 0.0);
    rows(c, setup, colour, pu, pv, x0, y0, from, to, pyFirst, pyLast, columns, ranges);
}

// IndexRun's values four at a time.
void IndexRunWide(double a, double b, double origin, int n, long long first, long long last, int* out)
{
    const __m256d base = _mm256_set1_pd(a), step = _mm256_set1_pd(b), at = _mm256_set1_pd(origin);
    const __m256d size = _mm256_set1_pd(n), top = _mm256_set1_pd(n - 1), lanes = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
    long long i = first;
    for (; i + 3 <= last; i += 4) {
        const __m256d di = _mm256_sub_pd(_mm256_add_pd(_mm256_set1_pd(static_cast<double>(i)), lanes), at);
        __m256d v = _mm256_mul_pd(_mm256_add_pd(base, _mm256_mul_pd(step, di)), size);
        v = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), top);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (i - first)), _mm256_cvttpd_epi32(v));
    }
    for (; i <= last; ++i) out[i - first] = TexelIndex((a + b * (static_cast<double>(i) - origin)) * n, n);
}

#pragma GCC pop_options

// With `along`, the routine for that texture's rows read along given columns, picked now.
template <int Blend>
SpanFn PickWide(const FastSetup& f, const PixelView* along)
{
    auto pick = [&](auto key, auto test) -> SpanFn {
        constexpr bool K = decltype(key)::value, T = decltype(test)::value;
        return along != nullptr ? WideFor<Blend, K, T>(*along, f, true) : SpanWide<Blend, K, T>;
    };
    const std::true_type yes;
    const std::false_type no;
    if (f.key) return f.alphaTest ? pick(yes, yes) : pick(yes, no);
    return f.alphaTest ? pick(no, yes) : pick(no, no);
}

int BestSpanLevel()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? 2 : 1;
}
#else
int BestSpanLevel()
{
    return 1;
}
#endif
#else
int BestSpanLevel()
{
    return 0;
}
#endif

const int kBestSpanLevel = BestSpanLevel();
int g_spanLevel = kBestSpanLevel;

// TexelIndex((a + b * (i - origin)) * n, n) for i = first..last, into out[0..last - first].
void IndexRun(double a, double b, double origin, int n, long long first, long long last, int* out)
{
#if defined(D3DSOFT_WIDE_SPANS)
    if (g_spanLevel >= 2) {
        IndexRunWide(a, b, origin, n, first, last, out);
        return;
    }
#endif
    for (long long i = first; i <= last; ++i) out[i - first] = TexelIndex((a + b * (static_cast<double>(i) - origin)) * n, n);
}

// `along`: the draw's texture when every row reads one texture row from given columns.
SpanFn PickSpan(const FastSetup& f, const PixelView* along = nullptr)
{
#if defined(__SSE2__)
#if defined(D3DSOFT_WIDE_SPANS)
    if (g_spanLevel >= 2)
        return f.blend == 0   ? PickWide<0>(f, along)
               : f.blend == 1 ? PickWide<1>(f, along)
                              : PickWide<2>(f, along);
#endif
    if (g_spanLevel >= 1) return f.blend == 0 ? PickVector<0>(f) : f.blend == 1 ? PickVector<1>(f) : PickVector<2>(f);
#endif
    if (f.blend == 0) return PickAlpha<0>(f.alphaFrom, f.modColour);
    if (f.blend == 1) return PickAlpha<1>(f.alphaFrom, f.modColour);
    return PickAlpha<2>(f.alphaFrom, f.modColour);
}

C ColourOf(const std::uint8_t* bgra)
{
    return C{bgra[0], bgra[1], bgra[2], bgra[3]};
}

// A linear attribute over a triangle, evaluated the same way at every pixel.
struct Plane {
    double f0 = 0, dx = 0, dy = 0;
};

// A triangle's attribute planes from its snapped positions, taken in the order
// the vertices were given: every caller makes them by the same sums, so they agree to the bit.
struct PlaneFrame {
    double px0, py0, ex1, ey1, ex2, ey2, det;
    PlaneFrame(const long long X[3], const long long Y[3])
        : px0(X[0] / 256.0), py0(Y[0] / 256.0), ex1(X[1] / 256.0 - px0), ey1(Y[1] / 256.0 - py0),
          ex2(X[2] / 256.0 - px0), ey2(Y[2] / 256.0 - py0), det(ex1 * ey2 - ex2 * ey1)
    {
    }
    Plane Of(double f0, double f1, double f2) const
    {
        Plane p;
        p.f0 = f0;
        p.dx = ((f1 - f0) * ey2 - (f2 - f0) * ey1) / det;
        p.dy = ((f2 - f0) * ex1 - (f1 - f0) * ex2) / det;
        return p;
    }
};

// Positions beyond this many pixels are not drawn; the integer edge sums stay exact below it.
constexpr double kPositionLimit = 1048576.0;

long long Snap(float v)
{
    const double x = static_cast<double>(v) * 256.0 + 0.5;
    // Below 2^52 the whole part is exact: truncating and stepping down below a negative
    // fraction floors without a library call.
    if (!(std::fabs(x) < 4503599627370496.0)) return static_cast<long long>(std::floor(x));
    const long long i = static_cast<long long>(x);
    return i - (static_cast<double>(i) > x ? 1 : 0);
}

bool Gouraud(const DrawContext& c)
{
    return c.renderStates[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT;
}

int ColourChannel(double v)
{
    return static_cast<int>(std::clamp(std::floor(v + 0.5), 0.0, 255.0));
}

} // namespace

int SetSpanLevel(int level)
{
    g_spanLevel = std::clamp(level, -1, kBestSpanLevel);
    return g_spanLevel;
}

namespace {

// Every value of a 16-bit layout in BGRA, as Decode gives it: built once per layout and kept.
const std::uint32_t* DecodeTable(const PixelView& v)
{
    struct Entry {
        DWORD mask[4];
        std::unique_ptr<std::uint32_t[]> table;
    };
    static std::mutex lock;
    static std::vector<Entry> tables;
    const std::lock_guard<std::mutex> hold(lock);
    for (const Entry& e : tables)
        if (std::memcmp(e.mask, v.mask, sizeof e.mask) == 0) return e.table.get();
    Entry e;
    std::memcpy(e.mask, v.mask, sizeof e.mask);
    e.table = std::make_unique<std::uint32_t[]>(65536);
    // Each channel's values widened once, as Decode widens them.
    std::vector<std::uint32_t> widened[4];
    for (int i = 0; i < 4; ++i) {
        const DWORD top = v.bits[i] == 0 ? 0 : (v.mask[i] & 0xFFFF) >> v.shift[i];
        widened[i].resize(top + 1);
        for (DWORD x = 0; x <= top; ++x) {
            const int w = v.bits[i] == 0 ? (i == 3 ? 255 : 0) : Widen(x, v.bits[i]);
            widened[i][x] = static_cast<std::uint32_t>(w) << (8 * i);
        }
    }
    // A channel's index is what the low byte gives plus what the high byte gives (their mask
    // bits are apart). Channels inside one byte fold into a part per byte value, so most
    // entries cost two reads; a channel across both bytes adds its own.
    std::uint32_t lowPart[256] = {}, highPart[256] = {};
    std::vector<int> across;
    std::vector<std::uint32_t> lowIndex[4], highIndex[4];
    for (int i = 0; i < 4; ++i) {
        const DWORD mask = v.bits[i] == 0 ? 0 : v.mask[i];
        lowIndex[i].resize(256);
        highIndex[i].resize(256);
        for (DWORD x = 0; x < 256; ++x) {
            lowIndex[i][x] = (x & mask) >> v.shift[i];
            highIndex[i][x] = ((x << 8) & mask) >> v.shift[i];
        }
        const bool low = (mask & 0xFF) != 0, high = (mask & 0xFF00) != 0;
        if (low && high) {
            across.push_back(i);
            continue;
        }
        for (DWORD x = 0; x < 256; ++x) {
            lowPart[x] |= high ? 0 : widened[i][lowIndex[i][x]];
            highPart[x] |= high ? widened[i][highIndex[i][x]] : 0;
        }
    }
    for (DWORD hi = 0; hi < 256; ++hi) {
        std::uint32_t* const row = e.table.get() + hi * 256;
        for (DWORD lo = 0; lo < 256; ++lo) row[lo] = lowPart[lo] | highPart[hi];
        for (const int i : across) {
            const std::uint32_t* const w = widened[i].data() + highIndex[i][hi];
            for (DWORD lo = 0; lo < 256; ++lo) row[lo] |= w[lowIndex[i][lo]];
        }
    }
    tables.push_back(std::move(e));
    return tables.back().table.get();
}

bool DescribeLayout(const DDPIXELFORMAT& format, PixelView* view);

} // namespace

// Every draw locks and describes its surfaces, which share a few layouts: the last ones are kept.
bool DescribeFormat(const DDPIXELFORMAT& format, PixelView* view)
{
    if (format.dwRGBBitCount != 16 && format.dwRGBBitCount != 32) return false;
    struct Known {
        DWORD key[6];
        PixelView layout;
        bool ok;
    };
    static thread_local Known known[4];
    static thread_local int used = 0, next = 0;
    const DWORD key[6] = {format.dwRGBBitCount, format.dwFlags & DDPF_ALPHAPIXELS, format.dwBBitMask,
                          format.dwGBitMask,    format.dwRBitMask,                format.dwRGBAlphaBitMask};
    auto copyLayout = [](const PixelView& from, PixelView* to) {
        to->bytes = from.bytes;
        std::memcpy(to->mask, from.mask, sizeof to->mask);
        std::memcpy(to->shift, from.shift, sizeof to->shift);
        std::memcpy(to->bits, from.bits, sizeof to->bits);
        to->spare = from.spare;
        to->colourMask = from.colourMask;
        to->decode = from.decode;
    };
    for (int i = 0; i < used; ++i) {
        if (std::memcmp(known[i].key, key, sizeof key) == 0) {
            copyLayout(known[i].layout, view);
            return known[i].ok;
        }
    }
    Known& k = known[next];
    next = (next + 1) % 4;
    used = std::min(used + 1, 4);
    std::memcpy(k.key, key, sizeof key);
    k.layout = PixelView{};
    k.ok = DescribeLayout(format, &k.layout);
    if (k.ok && k.layout.bytes == 2) k.layout.decode = DecodeTable(k.layout);
    copyLayout(k.layout, view);
    return k.ok;
}

namespace {

bool DescribeLayout(const DDPIXELFORMAT& format, PixelView* view)
{
    view->bytes = static_cast<int>(format.dwRGBBitCount / 8);
    const DWORD masks[4] = {format.dwBBitMask, format.dwGBitMask, format.dwRBitMask,
                            (format.dwFlags & DDPF_ALPHAPIXELS) ? format.dwRGBAlphaBitMask : 0u};
    DWORD used = 0;
    for (int i = 0; i < 4; ++i) {
        DWORD m = masks[i];
        view->mask[i] = m;
        view->shift[i] = 0;
        view->bits[i] = 0;
        if (m == 0) continue;
        while (((m >> view->shift[i]) & 1) == 0) ++view->shift[i];
        while (view->shift[i] + view->bits[i] < 32 && ((m >> (view->shift[i] + view->bits[i])) & 1) != 0)
            ++view->bits[i];
        used |= m;
    }
    const DWORD all = format.dwRGBBitCount == 32 ? 0xFFFFFFFFu : 0xFFFFu;
    view->spare = all & ~used;
    view->colourMask = masks[0] | masks[1] | masks[2];
    return view->bits[0] > 0 && view->bits[1] > 0 && view->bits[2] > 0;
}

} // namespace

void DrawTriangle(const DrawContext& c, const Vertex& a, const Vertex& b, const Vertex& d)
{
    ++g_counters.triangles;
    const Vertex* v[3] = {&a, &b, &d};
    for (const Vertex* p : v) {
        if (!(std::fabs(p->x) < kPositionLimit) || !(std::fabs(p->y) < kPositionLimit)) {
            ++g_counters.rejected;
            return;
        }
    }
    long long X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = Snap(v[i]->x);
        Y[i] = Snap(v[i]->y);
    }
    const long long area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
    const DWORD cull = c.renderStates[D3DRENDERSTATE_CULLMODE];
    if (area == 0 || (cull == D3DCULL_CCW && area < 0) || (cull == D3DCULL_CW && area > 0)) {
        ++g_counters.rejected;
        return;
    }
    int order[3] = {0, 1, 2};
    if (area < 0) std::swap(order[1], order[2]);

    long long minX = std::min({X[0], X[1], X[2]}), maxX = std::max({X[0], X[1], X[2]});
    long long minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
    auto ceilDiv = [](long long n) { return n >= 0 ? (n + 255) / 256 : -((-n) / 256); };
    auto floorDiv = [](long long n) { return n >= 0 ? n / 256 : -((-n + 255) / 256); };
    const long long x0 = std::max<long long>(ceilDiv(minX), c.clip.left);
    const long long x1 = std::min<long long>(floorDiv(maxX), c.clip.right - 1);
    const long long y0 = std::max<long long>(ceilDiv(minY), c.clip.top);
    const long long y1 = std::min<long long>(floorDiv(maxY), c.clip.bottom - 1);
    if (x0 > x1 || y0 > y1) return;

    struct Edge {
        long long ax, ay, dx, dy;
        long long bias;
    } edges[3];
    for (int e = 0; e < 3; ++e) {
        const int i = order[e], j = order[(e + 1) % 3];
        Edge& g = edges[e];
        g.ax = X[i];
        g.ay = Y[i];
        g.dx = X[j] - X[i];
        g.dy = Y[j] - Y[i];
        const bool topLeft = (g.dy == 0 && g.dx > 0) || g.dy < 0;
        g.bias = topLeft ? 0 : -1;
    }

    // Attribute planes, from the vertices in the order they were given.
    const PlaneFrame frame(X, Y);
    const double px0 = frame.px0, py0 = frame.py0;
    auto plane = [&](double f0, double f1, double f2) { return frame.Of(f0, f1, f2); };
    auto at = [&](const Plane& p, long long px, long long py) {
        return p.f0 + p.dx * (static_cast<double>(px) - px0) + p.dy * (static_cast<double>(py) - py0);
    };
    const Plane pu0 = plane(a.u[0], b.u[0], d.u[0]), pv0 = plane(a.v[0], b.v[0], d.v[0]);
    Fragment f{};
    f.diffuse = ColourOf(a.diffuse);
    f.specular = ColourOf(a.specular);

    FastSetup fast = g_spanLevel >= 0 ? DecideFast(c) : FastSetup{};
    const SpanFn span = fast.ok ? PickSpan(fast) : nullptr;
    // When u does not change down the triangle, every row reads the same texel columns.
    static thread_local std::vector<int> columnCache;
    const int* columns = nullptr;
    if (fast.ok && pu0.dy == 0.0 && x1 >= x0) {
        Reserve(&columnCache, static_cast<std::size_t>(x1 + 1));
        const int w = c.textures[0].width;
        bool unit = true;
        for (long long px = x0; px <= x1; ++px) {
            const int column = TexelIndex(at(pu0, px, y0) * w, w);
            if (px > x0 && column != columnCache[static_cast<std::size_t>(px - 1)] + 1) unit = false;
            columnCache[static_cast<std::size_t>(px)] = column;
        }
        columns = columnCache.data();
        fast.unitColumns = unit;
    }
    // The span code takes the covered columns of every row in one call.
    static thread_local std::vector<long long> ranges;
    if (fast.ok) Reserve(&ranges, static_cast<std::size_t>(2 * (y1 - y0 + 1)));
    // The edge sums at the row's first column, one row down each time.
    long long eRow[3];
    for (int k = 0; k < 3; ++k) {
        const Edge& g = edges[k];
        eRow[k] = g.dx * (y0 * 256 - g.ay) - g.dy * (x0 * 256 - g.ax) + g.bias;
    }
    if (fast.ok) {
        // The covered columns of every row for the span code. An edge whose sum e falls by s
        // each column to the right (s > 0) ends the row at x0 + floor(e / s); one whose sum
        // rises (s < 0) starts it at x0 + ceil(-e / -s); a level one (s = 0) takes all or none.
        // Outside those cases the same bounds hold or leave the range empty, so every row's
        // floor is carried down as a quotient and remainder instead of divided out.
        struct Bound {
            long long q, r, s, dq, dr;
            int side;  // -1 starts rows, 1 ends them, 0 level
        } bounds[3];
        auto divideDown = [](long long n, long long d, long long* q, long long* r) {
            *q = n / d;
            *r = n % d;
            if (*r < 0) {
                *r += d;
                --*q;
            }
        };
        // An edge bounds only the rows whose sample line it crosses: on any other row the two
        // edges that cross it meet the line strictly inside this one's half-plane, so it takes
        // nothing away there. Rows between vertex rows so take two edges, not three.
        long long firstRow[3], lastRow[3];
        for (int k = 0; k < 3; ++k) {
            const long long step = edges[k].dy * 256;
            Bound& b = bounds[k];
            b.side = step > 0 ? 1 : step < 0 ? -1 : 0;
            b.s = step > 0 ? step : step < 0 ? -step : 1;
            divideDown(edges[k].dx * 256, b.s, &b.dq, &b.dr);
            const long long ya = edges[k].ay, yb = edges[k].ay + edges[k].dy;
            firstRow[k] = std::max(y0, ceilDiv(std::min(ya, yb)));
            lastRow[k] = std::min(y1, floorDiv(std::max(ya, yb)));
        }
        // Bound k at row py, from the edge sum at that row's first column.
        auto startAt = [&](int k, long long py) {
            divideDown(eRow[k] + edges[k].dx * 256 * (py - y0), bounds[k].s, &bounds[k].q, &bounds[k].r);
        };
        // The bounds are stepped in locals: the stores into the ranges could alias them.
        long long* const rangeOut = ranges.data();
        auto rowsOf = [&](long long first, long long last, auto... kept) __attribute__((always_inline)) {
            Bound b[sizeof...(kept)] = {*kept...};
            for (long long py = first; py <= last; ++py) {
                long long lo = x0, hi = x1;
#pragma GCC unroll 3
                for (Bound& e : b) {
                    if (e.side > 0) hi = std::min(hi, x0 + e.q);
                    else if (e.side < 0) lo = std::max(lo, x0 - e.q);
                    else if (e.q < 0) hi = x0 - 1;
                    // Both remainders are below s, so one carry at most; taken without a
                    // branch, which uneven slopes would make unpredictable.
                    e.r += e.dr;
                    const bool carry = e.r >= e.s;
                    e.r -= carry ? e.s : 0;
                    e.q += e.dq + (carry ? 1 : 0);
                }
                rangeOut[2 * (py - y0)] = lo;
                rangeOut[2 * (py - y0) + 1] = hi;
            }
            int k = 0;
            ((*kept = b[k++]), ...);
        };
        bool started[3] = {};
        for (long long py = y0; py <= y1;) {
            // The rows from py on that the same edges cross.
            int crossing[3];
            int n = 0;
            long long end = y1;
            for (int k = 0; k < 3; ++k) {
                if (firstRow[k] <= py && py <= lastRow[k]) {
                    crossing[n++] = k;
                    end = std::min(end, lastRow[k]);
                } else if (firstRow[k] > py) {
                    end = std::min(end, firstRow[k] - 1);
                }
            }
            if (n == 2) {
                for (int j = 0; j < 2; ++j)
                    if (!started[crossing[j]]) startAt(crossing[j], py), started[crossing[j]] = true;
                rowsOf(py, end, &bounds[crossing[0]], &bounds[crossing[1]]);
            } else {
                // Every edge, each at this row (a row on a vertex, or no row between).
                for (int k = 0; k < 3; ++k)
                    if (!(firstRow[k] <= py && py <= lastRow[k] && started[k])) startAt(k, py), started[k] = true;
                rowsOf(py, end, &bounds[0], &bounds[1], &bounds[2]);
            }
            py = end + 1;
        }
        const double pu[3] = {pu0.f0, pu0.dx, pu0.dy}, pv[3] = {pv0.f0, pv0.dx, pv0.dy};
        span(c, fast, f.diffuse, pu, pv, px0, py0, x0, x1, static_cast<int>(y0), static_cast<int>(y1), columns,
             ranges.data());
        return;
    }
    // The general shader's other planes; the span code reads only the first stage's.
    const Plane pu1 = plane(a.u[1], b.u[1], d.u[1]), pv1 = plane(a.v[1], b.v[1], d.v[1]);
    const Plane pz = plane(a.z, b.z, d.z);
    const bool gouraud = Gouraud(c);
    Plane pc[8];
    if (gouraud) {
        for (int k = 0; k < 4; ++k) {
            pc[k] = plane(a.diffuse[k], b.diffuse[k], d.diffuse[k]);
            pc[4 + k] = plane(a.specular[k], b.specular[k], d.specular[k]);
        }
    }
    for (long long py = y0; py <= y1; ++py) {
        long long e[3] = {eRow[0], eRow[1], eRow[2]};
        for (int k = 0; k < 3; ++k) eRow[k] += edges[k].dx * 256;
        for (long long px = x0; px <= x1; ++px) {
            if ((e[0] | e[1] | e[2]) >= 0) {
                f.u[0] = at(pu0, px, py);
                f.v[0] = at(pv0, px, py);
                f.u[1] = at(pu1, px, py);
                f.v[1] = at(pv1, px, py);
                f.z = at(pz, px, py);
                if (gouraud) {
                    f.diffuse = C{ColourChannel(at(pc[0], px, py)), ColourChannel(at(pc[1], px, py)),
                                  ColourChannel(at(pc[2], px, py)), ColourChannel(at(pc[3], px, py))};
                    f.specular = C{ColourChannel(at(pc[4], px, py)), ColourChannel(at(pc[5], px, py)),
                                   ColourChannel(at(pc[6], px, py)), ColourChannel(at(pc[7], px, py))};
                }
                Shade(c, f, static_cast<int>(px), static_cast<int>(py));
            }
            for (int k = 0; k < 3; ++k) e[k] -= edges[k].dy * 256;
        }
    }
}

namespace {

// The first texture stage's u and v planes of a triangle, by the sums DrawTriangle uses.
struct TexturePlanes {
    Plane u, v;
    double px0 = 0, py0 = 0;
};

// X and Y: the vertices' snapped positions.
TexturePlanes PlanesOf(const long long X[3], const long long Y[3], const Vertex& a, const Vertex& b, const Vertex& d)
{
    TexturePlanes t;
    const PlaneFrame frame(X, Y);
    t.px0 = frame.px0;
    t.py0 = frame.py0;
    t.u = frame.Of(a.u[0], b.u[0], d.u[0]);
    t.v = frame.Of(a.v[0], b.v[0], d.v[0]);
    return t;
}

// Whether each of v[0..n-1] is one past the one before.
bool StepsByOne(const int* v, long long n)
{
    long long i = 1;
#if defined(__SSE2__)
    const __m128i one = _mm_set1_epi32(1);
    for (; i + 4 <= n; i += 4) {
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i));
        const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i - 1));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(next, _mm_add_epi32(last, one))) != 0xFFFF) return false;
    }
#endif
    for (; i < n; ++i)
        if (v[i] != v[i - 1] + 1) return false;
    return true;
}

// What a rectangle's halves read follows from their corners relative to each other and to the
// first pixel, and from their texture coordinates: a PlaneFrame takes differences of positions
// that are exact multiples of 1/256, and a pixel's sum takes px - origin, exact as well, so a
// sprite of one size drawn at whole pixels, or a glyph drawn again, reads what it read before.
// Such shapes are kept with their planes and texel columns.
struct ShapeKey {
    std::uint64_t w[10];
    bool operator==(const ShapeKey& o) const
    {
        std::uint64_t d = 0;
#pragma GCC unroll 10
        for (int i = 0; i < 10; ++i) d |= w[i] ^ o.w[i];
        return d == 0;
    }
};

struct Shape {
    ShapeKey key{};
    bool known = false;
    bool usable = false;  // both halves read the same texels at every pixel
    bool unit = false;    // one texel a pixel along a row
    double pu[3] = {}, pv[3] = {};
    std::vector<int> columns, rows;
};

constexpr std::size_t kShapes = 256;

std::uint32_t Bits(float f)
{
    return std::bit_cast<std::uint32_t>(f);
}

std::uint64_t Pair(std::uint32_t lo, std::uint32_t hi)
{
    return static_cast<std::uint64_t>(lo) | static_cast<std::uint64_t>(hi) << 32;
}

// The first of a rectangle's two slots: one multiply carries the bits of what tells shapes apart
// (the size, the place on the 1/256 grid within a pixel, two opposite corners' texture
// coordinates) into the top of the product; the rest mostly follow, and keys are compared whole.
// Known from the snapped sides alone, so the slot can be fetched while the rest is worked out.
std::size_t SlotOf(const Vertex* a, const Vertex* b, long long xa, long long xb, long long ya, long long yb)
{
    const std::uint64_t size = Pair(static_cast<std::uint32_t>(xb - xa), static_cast<std::uint32_t>(yb - ya));
    const std::uint64_t phase = Pair(static_cast<std::uint32_t>(xa & 255), static_cast<std::uint32_t>(ya & 255));
    const std::uint64_t h = size ^ std::rotl(phase, 7) ^ std::rotl(Pair(Bits(a[0].u[0]), Bits(a[0].v[0])), 14) ^
                            std::rotl(Pair(Bits(b[2].u[0]), Bits(b[2].v[0])), 21);
    return static_cast<std::size_t>((h * 0x9E3779B97F4A7C15ull) >> 56) & ~std::size_t{1};
}

thread_local Shape g_shapes[kShapes];

// The rectangle a = (p0, p1, p2), b = (p3, p2, p1) with snapped sides xa, xb, ya, yb, drawn over
// pixels x0..x1, y0..y1 of a texture of n by m texels.
const Shape& ShapeOf(const Vertex* a, const Vertex* b, long long xa, long long xb, long long ya, long long yb,
                     long long x0, long long x1, long long y0, long long y1, int n, int m, std::size_t slot)
{
    Shape* const shapes = g_shapes;
    static thread_local std::vector<int> rows, other;
    const auto u32 = [](long long v) { return static_cast<std::uint32_t>(v); };
    const ShapeKey key{{Pair(u32(xb - xa), u32(yb - ya)), Pair(u32(xa - 256 * x0), u32(ya - 256 * y0)),
                        Pair(u32(x1 - x0), u32(y1 - y0)), Pair(u32(n), u32(m)),
                        Pair(Bits(a[0].u[0]), Bits(a[0].v[0])), Pair(Bits(a[1].u[0]), Bits(a[1].v[0])),
                        Pair(Bits(a[2].u[0]), Bits(a[2].v[0])), Pair(Bits(b[0].u[0]), Bits(b[0].v[0])),
                        Pair(Bits(b[1].u[0]), Bits(b[1].v[0])), Pair(Bits(b[2].u[0]), Bits(b[2].v[0]))}};
    // Two ways a slot: shapes that meet in one slot, drawn in turn, both stay.
    Shape& shape = shapes[slot];
    if (shape.known && shape.key == key) return shape;
    if (shapes[slot + 1].known && shapes[slot + 1].key == key) return shapes[slot + 1];
    // The one used later moves to the second way; the other gives its place.
    std::swap(shape, shapes[slot + 1]);
    shape.key = key;
    shape.known = true;
    shape.usable = false;
    // The halves' snapped corners, from the four snapped sides they share, moved so that the
    // first pixel is (0, 0): the planes are the same, their origins move by whole pixels.
    const long long ox = 256 * x0, oy = 256 * y0;
    const long long Xa[3] = {xa - ox, xb - ox, xa - ox}, Ya[3] = {ya - oy, ya - oy, yb - oy};
    const long long Xb[3] = {xb - ox, xa - ox, xb - ox}, Yb[3] = {yb - oy, yb - oy, ya - oy};
    const TexturePlanes pa = PlanesOf(Xa, Ya, a[0], a[1], a[2]), pb = PlanesOf(Xb, Yb, b[0], b[1], b[2]);
    if (pa.u.dy != 0.0 || pb.u.dy != 0.0 || pa.v.dx != 0.0 || pb.v.dx != 0.0) return shape;
    const long long columns = x1 - x0 + 1, count = y1 - y0 + 1;
    // Three past the end for the copy four at a time.
    Reserve(&shape.columns, static_cast<std::size_t>(columns + 3));
    Reserve(&other, static_cast<std::size_t>(std::max(columns, 2 * count)));
    IndexRun(pa.u.f0, pa.u.dx, pa.px0, n, 0, columns - 1, shape.columns.data());
    IndexRun(pb.u.f0, pb.u.dx, pb.px0, n, 0, columns - 1, other.data());
    if (std::memcmp(shape.columns.data(), other.data(), static_cast<std::size_t>(columns) * sizeof(int)) != 0)
        return shape;
    // (f0 + dx * 0.0) first, as the plane sum at the left edge takes it.
    IndexRun(pa.v.f0 + pa.v.dx * 0.0, pa.v.dy, pa.py0, m, 0, count - 1, other.data());
    IndexRun(pb.v.f0 + pb.v.dx * 0.0, pb.v.dy, pb.py0, m, 0, count - 1, other.data() + count);
    if (std::memcmp(other.data(), other.data() + count, static_cast<std::size_t>(count) * sizeof(int)) != 0)
        return shape;
    shape.usable = true;
    shape.unit = StepsByOne(shape.columns.data(), columns);
    shape.rows.assign(other.data(), other.data() + count);
    shape.pu[0] = pa.u.f0, shape.pu[1] = pa.u.dx, shape.pu[2] = pa.u.dy;
    shape.pv[0] = pa.v.f0, shape.pv[1] = pa.v.dx, shape.pv[2] = pa.v.dy;
    return shape;
}

} // namespace

bool DrawRectangle(const DrawContext& c, const Vertex* a, const Vertex* b)
{
    if (g_spanLevel < 0 || c.renderStates[D3DRENDERSTATE_CULLMODE] != D3DCULL_NONE) return false;
    // a = (p0, p1, p2) and b = (p3, p2, p1) of an axis-aligned rectangle, one flat colour.
    auto same = [](const Vertex& p, const Vertex& q) { return p.x == q.x && p.y == q.y; };
    if (!same(b[1], a[2]) || !same(b[2], a[1]) || a[0].y != a[1].y || a[2].y != b[0].y || a[0].x != a[2].x ||
        a[1].x != b[0].x || std::memcmp(a[0].diffuse, b[0].diffuse, 4) != 0)
        return false;
    for (const Vertex* p : {&a[0], &b[0]})
        if (!(std::fabs(p->x) < kPositionLimit) || !(std::fabs(p->y) < kPositionLimit)) return false;
    const long long xa = Snap(a[0].x), xb = Snap(a[1].x), ya = Snap(a[0].y), yb = Snap(a[2].y);
    if (xa == xb || ya == yb) return false;
    const std::size_t slot = SlotOf(a, b, xa, xb, ya, yb);
    __builtin_prefetch(&g_shapes[slot]);
    // The two triangles share their diagonal, so together they cover the pixel centres of the
    // rectangle's left and top edges and not those of its right and bottom ones.
    auto firstAtOrAfter = [](long long n) { return n >= 0 ? (n + 255) / 256 : -((-n) / 256); };
    const long long x0 = std::max<long long>(firstAtOrAfter(std::min(xa, xb)), c.clip.left);
    const long long x1 = std::min<long long>(firstAtOrAfter(std::max(xa, xb)) - 1, c.clip.right - 1);
    const long long y0 = std::max<long long>(firstAtOrAfter(std::min(ya, yb)), c.clip.top);
    const long long y1 = std::min<long long>(firstAtOrAfter(std::max(ya, yb)) - 1, c.clip.bottom - 1);
    if (x0 > x1 || y0 > y1) {
        // Outside the area: no pixel, whatever the states.
        g_counters.triangles += 2;
        return true;
    }
    const FastSetup& fast = DecideFast(c);
    if (!fast.ok) return false;
    const PixelView& t = c.textures[0];
    const Shape& shape = ShapeOf(a, b, xa, xb, ya, yb, x0, x1, y0, y1, t.width, t.height, slot);
    if (!shape.usable) return false;
    static thread_local std::vector<int> columnCache;
    Reserve(&columnCache, static_cast<std::size_t>(x1 + 4));
    // Four at a time: a glyph's few columns cost less than a library copy's set-up.
    for (long long i = 0; i <= x1 - x0; i += 4)
        std::memcpy(columnCache.data() + x0 + i, shape.columns.data() + i, 4 * sizeof(int));
    g_counters.triangles += 2;
    // Set on the draw's own copy: copying the decision for each rectangle costs more than its fields.
    FastSetup& f = c.rectFast;
    f.unitColumns = shape.unit;
    f.rows = shape.rows.data();
    DrawContext::RectSpan& picked = c.rectSpans[shape.unit ? 1 : 0];
    if (picked == nullptr) picked = reinterpret_cast<DrawContext::RectSpan>(PickSpan(f, &t));
    const auto span = reinterpret_cast<SpanFn>(picked);
    const C diffuse = ColourOf(a[0].diffuse);
    // The planes' origin, the first corner, where the halves' planes start.
    span(c, f, diffuse, shape.pu, shape.pv, static_cast<double>(xa) / 256.0, static_cast<double>(ya) / 256.0, x0, x1,
         static_cast<int>(y0), static_cast<int>(y1), columnCache.data(), nullptr);
    return true;
}

namespace {

// A flat, untextured line into a 32-bit target in one of the usual blends:
// its colour is the first vertex's whatever the pixel, so only the blend is left per pixel.
bool PlainColourLine(const DrawContext& c, int* blend)
{
    const DWORD* rs = c.renderStates;
    const Stage& s0 = c.stages[0];
    const PixelView& d = c.target;
    if (rs[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT || rs[D3DRENDERSTATE_ALPHATESTENABLE] != 0) return false;
    if (c.depth.pixels != nullptr && rs[D3DRENDERSTATE_ZENABLE] != 0) return false;
    if (d.bytes != 4 || d.mask[0] != 0xFF || d.mask[1] != 0xFF00 || d.mask[2] != 0xFF0000 || d.mask[3] != 0) return false;
    const bool colourFromDiffuse = (s0.colorOp == D3DTOP_SELECTARG2 && s0.colorArg2 == D3DTA_DIFFUSE) ||
                                   (s0.colorOp == D3DTOP_SELECTARG1 && s0.colorArg1 == D3DTA_DIFFUSE);
    const bool alphaFromDiffuse = s0.alphaOp == D3DTOP_DISABLE ||
                                  (s0.alphaOp == D3DTOP_SELECTARG2 && s0.alphaArg2 == D3DTA_DIFFUSE) ||
                                  (s0.alphaOp == D3DTOP_SELECTARG1 && s0.alphaArg1 == D3DTA_DIFFUSE);
    if (!colourFromDiffuse || !alphaFromDiffuse || c.stages[1].colorOp != D3DTOP_DISABLE) return false;
    *blend = 0;
    if (rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0) {
        const DWORD sb = rs[D3DRENDERSTATE_SRCBLEND], db = rs[D3DRENDERSTATE_DESTBLEND];
        if (sb == D3DBLEND_SRCALPHA && db == D3DBLEND_INVSRCALPHA) *blend = 1;
        else if (sb == D3DBLEND_SRCALPHA && db == D3DBLEND_ONE) *blend = 2;
        else return false;
    }
    return true;
}

void PlotPlain(const DrawContext& c, int blend, const C& s, int px, int py)
{
    std::uint8_t* p = c.target.pixels + static_cast<std::ptrdiff_t>(py) * c.target.pitch + px * 4;
    int r = s.r, g = s.g, b = s.b;
    if (blend != 0) {
        const auto& T = Products().v;
        const auto& A = T[s.a];
        const auto& IA = T[255 - s.a];
        b = std::min(255, A[b] + (blend == 1 ? IA[p[0]] : p[0]));
        g = std::min(255, A[g] + (blend == 1 ? IA[p[1]] : p[1]));
        r = std::min(255, A[r] + (blend == 1 ? IA[p[2]] : p[2]));
    }
    const DWORD out = c.target.spare | static_cast<DWORD>(r) << 16 | static_cast<DWORD>(g) << 8 | static_cast<DWORD>(b);
    std::memcpy(p, &out, 4);
    ++g_counters.pixels;
}

} // namespace

void DrawLine(const DrawContext& c, const Vertex& a, const Vertex& b)
{
    const double ax = Snap(a.x) / 256.0, ay = Snap(a.y) / 256.0;
    const double bx = Snap(b.x) / 256.0, by = Snap(b.y) / 256.0;
    if (!(std::fabs(ax) < kPositionLimit && std::fabs(ay) < kPositionLimit && std::fabs(bx) < kPositionLimit &&
          std::fabs(by) < kPositionLimit))
        return;
    const double dx = bx - ax, dy = by - ay;
    if (dx == 0 && dy == 0) return;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const double s0 = xMajor ? ax : ay, s1 = xMajor ? bx : by, ds = xMajor ? dx : dy;
    const long long c0 = FloorToLong(s0 + 0.5), c1 = FloorToLong(s1 + 0.5);
    const long long step = c1 > c0 ? 1 : -1;
    const bool gouraud = Gouraud(c);
    int plainBlend = 0;
    const bool plain = PlainColourLine(c, &plainBlend);
    if (plain) {
        const C colour = ColourOf(a.diffuse);
        const double o0 = xMajor ? ay : ax, od = xMajor ? dy : dx;
        // Along an axis t * 0 adds nothing: every pixel has the first one's minor coordinate.
        const bool straight = od == 0;
        const long long fixed = FloorToLong(o0 + 0.5);
        for (long long k = c0; k != c1; k += step) {
            const long long m = straight
                                    ? fixed
                                    : FloorToLong(o0 + std::clamp((static_cast<double>(k) - s0) / ds, 0.0, 1.0) * od + 0.5);
            const long long px = xMajor ? k : m, py = xMajor ? m : k;
            if (px < c.clip.left || px >= c.clip.right || py < c.clip.top || py >= c.clip.bottom) continue;
            PlotPlain(c, plainBlend, colour, static_cast<int>(px), static_cast<int>(py));
        }
        return;
    }
    Fragment f{};
    for (long long k = c0; k != c1; k += step) {
        const double t = std::clamp((static_cast<double>(k) - s0) / ds, 0.0, 1.0);
        const double other = xMajor ? ay + t * dy : ax + t * dx;
        const long long m = FloorToLong(other + 0.5);
        const long long px = xMajor ? k : m, py = xMajor ? m : k;
        if (px < c.clip.left || px >= c.clip.right || py < c.clip.top || py >= c.clip.bottom) continue;
        for (int s = 0; s < 2; ++s) {
            f.u[s] = a.u[s] + t * (b.u[s] - a.u[s]);
            f.v[s] = a.v[s] + t * (b.v[s] - a.v[s]);
        }
        f.z = a.z + t * (b.z - a.z);
        if (gouraud) {
            auto lerp = [t](int p, int q) { return ColourChannel(p + t * (q - p)); };
            f.diffuse = C{lerp(a.diffuse[0], b.diffuse[0]), lerp(a.diffuse[1], b.diffuse[1]),
                          lerp(a.diffuse[2], b.diffuse[2]), lerp(a.diffuse[3], b.diffuse[3])};
            f.specular = C{lerp(a.specular[0], b.specular[0]), lerp(a.specular[1], b.specular[1]),
                           lerp(a.specular[2], b.specular[2]), lerp(a.specular[3], b.specular[3])};
        } else {
            f.diffuse = ColourOf(a.diffuse);
            f.specular = ColourOf(a.specular);
        }
        Shade(c, f, static_cast<int>(px), static_cast<int>(py));
    }
}

void DrawPoint(const DrawContext& c, const Vertex& a)
{
    const long long px = FloorToLong(a.x + 0.5), py = FloorToLong(a.y + 0.5);
    if (px < c.clip.left || px >= c.clip.right || py < c.clip.top || py >= c.clip.bottom) return;
    Fragment f{};
    for (int s = 0; s < 2; ++s) {
        f.u[s] = a.u[s];
        f.v[s] = a.v[s];
    }
    f.z = a.z;
    f.diffuse = ColourOf(a.diffuse);
    f.specular = ColourOf(a.specular);
    Shade(c, f, static_cast<int>(px), static_cast<int>(py));
}

} // namespace d3dsoft
