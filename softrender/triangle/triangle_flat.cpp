// Flat-colour 2D triangle spans: the colour tinted once through the product table, then
// the shared flat-colour operators over every covered pixel.
// Reads graphics/blendtable; calls softrender/pixelops.
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "graphics/blendtable.h"
#include "softrender/pixelops/dispatch.h"
#include "softrender/pixelops/flat_ops.h"
#include "softrender/pixelops/op_context.h"
#include "softrender/triangle/triangle_spans.h"

namespace {

using softpix::PixFmt;

// The triangle tints through the product table even for a white brightness, where it
// changes nothing. RGB565 colours are taken to 16 bits so the red index stays in its row.
std::uint32_t TintTriangleColour(std::uint32_t c, PixFmt f, std::uint32_t bright)
{
    const auto& p = BlendTables.ProductTable;
    const std::uint32_t bB = bright & 0xFF, bG = (bright >> 8) & 0xFF, bR = (bright >> 16) & 0xFF;
    if (f == PixFmt::R565) {
        c &= 0xFFFFu;
        return softpix::Pack565(p[bR][softpix::R565(c)], p[bG][softpix::G565(c)], p[bB][softpix::B565(c)]);
    }
    return (c & 0xFF000000u) | (p[bR][(c >> 16) & 0xFF] << 16) | (p[bG][(c >> 8) & 0xFF] << 8) | p[bB][c & 0xFF];
}

// Mode 0 stores the colour: sixteen bytes at a time where the processor has SSE2.
template <PixFmt F>
inline void FillSpan(std::uint8_t* out, std::int32_t count, std::uint32_t colour)
{
    constexpr int bytes = F == PixFmt::X8888 ? 4 : 2;
    std::int32_t i = 0;
#if defined(__SSE2__)
    const __m128i v = F == PixFmt::X8888 ? _mm_set1_epi32(static_cast<int>(colour))
                                         : _mm_set1_epi16(static_cast<short>(colour));
    for (; i + 16 / bytes <= count; i += 16 / bytes)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + static_cast<std::ptrdiff_t>(i) * bytes), v);
#endif
    for (; i < count; ++i) std::memcpy(out + static_cast<std::ptrdiff_t>(i) * bytes, &colour, bytes);
}

template <PixFmt F, int Mode>
void RunFlatSpans(const TRIANGLEDRAW& draw, const softpix::FlatOpCtx& ctx)
{
    using Op = softpix::FlatOp<F, Mode>;
    std::uint8_t* const pixels = draw.Dst->Pixels;
    const std::ptrdiff_t pitch = draw.Dst->Body->Pitch;
    WalkTriangleRows(*draw.Setup, draw.Clip, [&](std::int32_t y, std::int32_t x, std::int32_t count) {
        std::uint8_t* const out = pixels + y * pitch + static_cast<std::ptrdiff_t>(x) * Op::DstBytes;
        if constexpr (Mode == 0) {
            FillSpan<F>(out, count, ctx.Colour);
        } else {
            for (std::int32_t i = 0; i < count; ++i) Op::Apply(ctx, out + static_cast<std::ptrdiff_t>(i) * Op::DstBytes);
        }
    });
}

template <PixFmt F>
void DrawFlatFamily(const TRIANGLEDRAW& draw, std::uint32_t tinted)
{
    const int mode = softpix::SelectFlatMode(draw.Mode, draw.BlendParam);
    if (mode < 0) return;
    const softpix::FlatOpCtx ctx = softpix::MakeFlatOpCtx(tinted, F, draw.BlendParam);
    softpix::WithDrawingMode(mode, [&](auto m) { RunFlatSpans<F, decltype(m)::value>(draw, ctx); });
}

}  // namespace

void DrawFlatTriangle(const TRIANGLEDRAW& draw, DWORD colour)
{
    const int format = draw.Dst->Body->PixelFormat;
    const PixFmt f = format == MEMIMG_FORMAT_RGB565 ? PixFmt::R565 : PixFmt::X8888;
    const std::uint32_t tinted = TintTriangleColour(colour, f, draw.DrawBright);
    if (format == MEMIMG_FORMAT_RGB565) DrawFlatFamily<PixFmt::R565>(draw, tinted);
    else if (format == MEMIMG_FORMAT_XRGB8888) DrawFlatFamily<PixFmt::X8888>(draw, tinted);
}
