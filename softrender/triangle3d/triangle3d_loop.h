// The 3D triangle kernel's per-draw set-up record and its row loop: depth
// test and write, perspective division, texel addressing, bounds skip,
// blend-graph byte and colour-key test, then the pixel rule of the loop.
// Filled by triangle3d.cpp; instantiated by the triangle3d_*.cpp loop units.
#pragma once

#include <cstdint>

#include "graphics/blendtable.h"
#include "softrender/kernelparams.h"
#include "softrender/pixelops/dispatch.h"
#include "softrender/pixelops/image_ops.h"
#include "softrender/pixelrules/kernel_image.h"
#include "softrender/pixelrules/vertexcolour_rules.h"

namespace softrender {

struct Tri3DSpan {
    int firstX;
    int count;
};

// Interpolant indexes: the rhw-weighted texture coordinates with rhw itself,
// depth, and the diffuse blue, green, red and alpha.
enum Tri3DInterpolant { kInterpQ, kInterpUQ, kInterpVQ, kInterpZ, kInterpB, kInterpG, kInterpR, kInterpA, kInterpCount };

struct Tri3DDraw {
    BYTE* dstPixels;
    int dstPitch;
    BYTE* depthPixels;  // null: no depth test
    int depthPitch;
    bool depthWrite;
    const BYTE* texPixels;
    int texPitch;
    std::uint32_t texWidth;
    std::uint32_t texHeight;
    std::uint32_t colorKey;
    const BYTE* texPalette;
    const BYTE* graphPixels;  // null: no blend graph
    int graphPitch;
    int y0;
    int rows;
    const Tri3DSpan* spans;
    IsaLevel isa;       // lowered to the processor's, and to Portable where images share bytes
    bool gatherTexels;  // every texel's byte offset fits 32 bits, and the texture is not the destination
    // Fixed-point values at the screen origin and their steps per pixel and per
    // row, in 64 bits so that far-off origins of small triangles do not overflow.
    std::int64_t origin[kInterpCount];
    std::int64_t stepX[kInterpCount];
    std::int64_t stepY[kInterpCount];
};

inline std::uint32_t ClampChannel(std::int32_t v)
{
    v >>= 14;
    return v < 0 ? 0u : (v > 255 ? 255u : static_cast<std::uint32_t>(v));
}

// The four interpolants that place a pixel (q, u q, v q, z) at the next pixel
// of a span and their steps per pixel, in wrapping 32-bit arithmetic.
struct Tri3DLanes {
    std::uint32_t v[4];
    std::uint32_t step[4];
    void Advance(int n)
    {
        for (int k = 0; k < 4; ++k) v[k] += static_cast<std::uint32_t>(n) * step[k];
    }
};

// Marks a skipped pixel in the texel columns a lane stage writes.
constexpr std::uint32_t kTri3DSkip = 0xFFFFFFFFu;

// One pixel's depth test and write and its texel position; false when the
// pixel is skipped. The depth is written before the texel is known.
[[gnu::always_inline]] inline bool Tri3DTexelAt(const Tri3DDraw& d, const std::uint32_t* v, BYTE* zp, std::uint32_t* u,
                                                std::uint32_t* w)
{
    if (zp != nullptr) {
        std::int32_t n = static_cast<std::int32_t>(v[kInterpZ]) >> 8;
        // Clamped, so z = 1.0 is the farthest value rather than wrapping to 0.
        n = n < 0 ? 0 : (n > 0xFFFF ? 0xFFFF : n);
        if (Load16(zp) < static_cast<std::uint32_t>(n)) return false;
        if (d.depthWrite) Store16(zp, static_cast<std::uint16_t>(n));
    }
    const std::int32_t q = static_cast<std::int32_t>(v[kInterpQ]);
    if (q == 0) return false;
    const std::uint32_t Q = static_cast<std::uint32_t>(0x20000000 / q);
    *u = (static_cast<std::uint32_t>(static_cast<std::int32_t>(v[kInterpUQ]) >> 10) * Q * d.texWidth) >> 19;
    *w = (static_cast<std::uint32_t>(static_cast<std::int32_t>(v[kInterpVQ]) >> 10) * Q * d.texHeight) >> 19;
    return *u < d.texWidth && *w < d.texHeight;
}

// The vector lane stages (triangle3d_avx2.cpp, triangle3d_sse2.cpp): n pixels'
// depth tests and writes and texel columns (kTri3DSkip where skipped) from l,
// which they advance by n. Reached only when d.isa allows, and only when the
// depth image shares no bytes with the destination, texture or blend graph
// (the depth of a few pixels is written ahead of their texels).
constexpr int kTri3DChunk = 64;
void Tri3DLaneStageAvx2(const Tri3DDraw& d, Tri3DLanes& l, BYTE* zp, int n, std::uint32_t* u, std::uint32_t* w);
void Tri3DLaneStageSse2(const Tri3DDraw& d, Tri3DLanes& l, BYTE* zp, int n, std::uint32_t* u, std::uint32_t* w);
// A whole span of 32-bit texels written unchanged, eight at once (gathered,
// or permuted from one row); also needs a texture sharing no bytes with the
// destination.
void Tri3DCopySpan32Avx2(const Tri3DDraw& d, Tri3DLanes& l, BYTE* dp, BYTE* zp, int n);

// Pixel(dst, texel, graphByte, vertexColour) applies the rule of the loop;
// Copy32: the rule stores the 32-bit texel unchanged.
template <class Texel, int DstBytes, bool G, bool KeyTest, bool VC, bool Copy32, class Pixel>
void RunTri3DRows(const Tri3DDraw& d, const Pixel& pixel)
{
    constexpr int kLast = VC ? kInterpCount : kInterpZ + 1;
    // Row values in wrapping 64-bit arithmetic (exact for every sane input, and
    // defined for absurd ones); per-pixel values wrap in 32 bits as they step.
    std::uint64_t row[kInterpCount];
    std::uint32_t stepX[kInterpCount];
    for (int i = 0; i < kLast; ++i) {
        row[i] = static_cast<std::uint64_t>(d.origin[i]) +
                 static_cast<std::uint64_t>(d.y0) * static_cast<std::uint64_t>(d.stepY[i]) +
                 static_cast<std::uint64_t>(d.stepY[i] / 2);
        stepX[i] = static_cast<std::uint32_t>(d.stepX[i]);
    }
    const bool depth = d.depthPixels != nullptr;
    VertexColour vc{};
    // One pixel of the rule once its texel is known.
    auto apply = [&](BYTE* dp, std::uint32_t u, std::uint32_t w, const std::uint32_t* v) {
        const BYTE* texel = d.texPixels + static_cast<std::ptrdiff_t>(w) * d.texPitch + u * Texel::Size;
        std::uint32_t g = 0;
        if constexpr (G) g = d.graphPixels[static_cast<std::ptrdiff_t>(w) * d.graphPitch + u];
        if constexpr (KeyTest) {
            if (Texel::KeyValue(texel) == d.colorKey) return;
        }
        if constexpr (VC) {
            vc.m[0] = ClampChannel(static_cast<std::int32_t>(v[kInterpB]));
            vc.m[1] = ClampChannel(static_cast<std::int32_t>(v[kInterpG]));
            vc.m[2] = ClampChannel(static_cast<std::int32_t>(v[kInterpR]));
            vc.mA = ClampChannel(static_cast<std::int32_t>(v[kInterpA]));
        }
        (void)v;
        pixel(dp, texel, g, vc);
    };

    for (int r = 0; r < d.rows; ++r) {
        const int count = d.spans[r].count;
        const int x0 = d.spans[r].firstX;
        const int y = d.y0 + r;
        if (count > 0) {
            std::uint32_t v[kInterpCount];
            for (int i = 0; i < kLast; ++i)
                v[i] = static_cast<std::uint32_t>(row[i] +
                                                  static_cast<std::uint64_t>(x0) * static_cast<std::uint64_t>(d.stepX[i]) +
                                                  static_cast<std::uint64_t>(d.stepX[i] / 2));
            if (v[kInterpQ] != 0) {
                BYTE* dp = d.dstPixels + static_cast<std::ptrdiff_t>(y) * d.dstPitch + static_cast<std::ptrdiff_t>(x0) * DstBytes;
                BYTE* zp = depth ? d.depthPixels + static_cast<std::ptrdiff_t>(y) * d.depthPitch + static_cast<std::ptrdiff_t>(x0) * 2
                                 : nullptr;
                if (d.isa == IsaLevel::Portable) {
                    for (int i = 0; i < count; ++i) {
                        std::uint32_t u, w;
                        if (Tri3DTexelAt(d, v, zp, &u, &w)) apply(dp, u, w, v);
                        for (int k = 0; k < kLast; ++k) v[k] += stepX[k];
                        dp += DstBytes;
                        if (depth) zp += 2;
                    }
                } else {
                    Tri3DLanes l{{v[0], v[1], v[2], v[3]}, {stepX[0], stepX[1], stepX[2], stepX[3]}};
                    bool copied = false;
                    if constexpr (Copy32) {
                        if (d.isa == IsaLevel::Avx2 && d.gatherTexels) {
                            Tri3DCopySpan32Avx2(d, l, dp, zp, count);
                            copied = true;
                        }
                    }
                    for (int i = 0; i < count && !copied; i += kTri3DChunk) {
                        const int n = count - i < kTri3DChunk ? count - i : kTri3DChunk;
                        std::uint32_t us[kTri3DChunk], ws[kTri3DChunk];
                        if (d.isa == IsaLevel::Avx2) Tri3DLaneStageAvx2(d, l, zp, n, us, ws);
                        else Tri3DLaneStageSse2(d, l, zp, n, us, ws);
                        for (int j = 0; j < n; ++j) {
                            if (us[j] != kTri3DSkip) apply(dp, us[j], ws[j], v);
                            if constexpr (VC)
                                for (int k = kInterpB; k < kInterpCount; ++k) v[k] += stepX[k];
                            dp += DstBytes;
                        }
                        if (depth) zp += 2 * n;
                    }
                }
            }
        }
        for (int i = 0; i < kLast; ++i) row[i] += static_cast<std::uint64_t>(d.stepY[i]);
    }
}

// Every loop of one pixel format: one per source kind, blend mode and key.
template <PixFmt F>
void DrawTri3DImageLoops(const Tri3DDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph,
                         bool white, bool alpha, bool trans)
{
    constexpr int kBytes = F == PixFmt::R565 ? 2 : 4;
    softpix::WithBool(white, [&](auto w) {
        softpix::WithTexturedKeys(mode, palette, alpha, graph, trans, [&](auto m, auto p, auto a, auto g, auto k) {
            constexpr bool P = decltype(p)::value, A = decltype(a)::value, G = decltype(g)::value;
            using Op = softpix::ImageOp<F, P, A, decltype(m)::value, G, decltype(w)::value, decltype(k)::value,
                                        softpix::Family::RotTri3D>;
            // The operator makes the colour-key test itself.
            constexpr bool kCopy32 = Op::OverwritesFromTexel && F == PixFmt::X8888 && !P;
            RunTri3DRows<TexelLayout<F, P, A>, kBytes, G, false, false, kCopy32>(
                d, [&](BYTE* dst, const BYTE* texel, std::uint32_t gb, const VertexColour&) {
                    Op::Apply(ctx, dst, texel, static_cast<std::uint8_t>(gb));
                });
        });
    });
}

template <PixFmt F>
void DrawTri3DVertexColourLoops(const Tri3DDraw& d, int mode, bool palette, bool graph, bool alpha, bool trans)
{
    constexpr int kBytes = F == PixFmt::R565 ? 2 : 4;
    const VertexColourContext ctx{d.texPalette, BlendTables.BlendGraphFactorTable};
    softpix::WithTexturedKeys(mode, palette, alpha, graph, trans, [&](auto m, auto p, auto a, auto g, auto k) {
        constexpr bool P = decltype(p)::value, A = decltype(a)::value, G = decltype(g)::value;
        constexpr bool K = decltype(k)::value;
        using Rule = VertexColourRule<F, P, decltype(m)::value, G, A, K>;
        RunTri3DRows<TexelLayout<F, P, A>, kBytes, G, K && !A, true, false>(
            d, [&](BYTE* dst, const BYTE* texel, std::uint32_t gb, const VertexColour& vc) {
                Rule::Apply(ctx, dst, texel, gb, vc);
            });
    });
}

// One translation unit per pixel format and family keeps the build parallel.
void DrawTri3DVertexColour32(const Tri3DDraw& d, int mode, bool palette, bool graph, bool alpha, bool trans);
void DrawTri3DVertexColour16(const Tri3DDraw& d, int mode, bool palette, bool graph, bool alpha, bool trans);
void DrawTri3DImage32(const Tri3DDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                      bool alpha, bool trans);
void DrawTri3DImage16(const Tri3DDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                      bool alpha, bool trans);

}  // namespace softrender
