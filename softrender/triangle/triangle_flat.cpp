// Flat-colour 2D triangle spans: the colour tinted once through the product table, then
// the shared flat-colour operators over every covered pixel.
// Reads graphics/blendtable; calls softrender/pixelops.
#include <cstddef>
#include <cstdint>

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

template <class Op>
void RunFlatSpans(const TRIANGLEDRAW& draw, const softpix::FlatOpCtx& ctx)
{
    std::uint8_t* const pixels = draw.Dst->Pixels;
    const std::ptrdiff_t pitch = draw.Dst->Body->Pitch;
    WalkTriangleRows(*draw.Setup, draw.Clip, [&](std::int32_t y, std::int32_t x, std::int32_t count) {
        std::uint8_t* out = pixels + y * pitch + static_cast<std::ptrdiff_t>(x) * Op::DstBytes;
        for (std::int32_t i = 0; i < count; ++i, out += Op::DstBytes) Op::Apply(ctx, out);
    });
}

template <PixFmt F>
void DrawFlatFamily(const TRIANGLEDRAW& draw, std::uint32_t tinted)
{
    const int mode = softpix::SelectFlatMode(draw.BlendMode, draw.BlendParam);
    if (mode < 0) return;
    const softpix::FlatOpCtx ctx = softpix::MakeFlatOpCtx(tinted, F, draw.BlendParam);
    softpix::WithDrawingMode(mode, [&](auto m) { RunFlatSpans<softpix::FlatOp<F, decltype(m)::value>>(draw, ctx); });
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
