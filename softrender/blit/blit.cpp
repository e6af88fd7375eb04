// The 1:1 blit's frame: refusals, clipping against the draw area, the
// per-call values, the parameter shortcuts and the choice of loop. Reads its
// KERNELPARAMS and BLENDTABLES; the loops live in blit_kernel.h.
#include "softrender/blit/blit.h"

#include "graphics/blendtable.h"
#include "graphics/matrix.h"
#include "softrender/blit/blit_kernel.h"
#include "softrender/pixelops/op_context.h"
#include "softrender/simd/isa.h"

#include <algorithm>
#include <climits>

using blitk::BlitCall;
using blitk::BlitChoice;
using blitk::BlitLoop;
using blitk::Fast;
using blitk::Src;

namespace {

int ClampToInt(long long v)
{
    return static_cast<int>(v < INT_MIN ? INT_MIN : (v > INT_MAX ? INT_MAX : v));
}

// The fast branch's loop for a mode, or Fast::None for the general rules.
Fast ChooseFast(PixFmt format, BlendMode mode, int p, bool mmx)
{
    const bool r565 = format == PixFmt::R565;
    switch (mode) {
        case BlendMode::Copy: return Fast::Copy;
        case BlendMode::Blend:
            if (p == 128) return Fast::HalfSum;
            return r565 ? Fast::Cube : Fast::None;
        case BlendMode::Add:
            if (p != 255) return Fast::None;
            if (r565) return Fast::AddPair;
            return mmx ? Fast::AddSat : Fast::AddFast;
        case BlendMode::Subtract:
            if (p != 255) return Fast::None;
            if (r565) return Fast::SubPair;
            return mmx ? Fast::SubSat : Fast::Sub;
        default: return Fast::None;
    }
}

}  // namespace

void softrender::BlitMemImg(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMG* src, int x, int y, int keyFlag)
{
    const MEMIMG* blendGraph = k.BlendGraph;
    if (!IsMemImgAlive(dst) || !IsMemImgAlive(src)) return;
    const MEMIMGBODY* sb = src->Body;
    const MEMIMGBODY* db = dst->Body;
    if (sb->PixelFormat != db->PixelFormat || db->UsePalette || db->UseAlpha) return;
    int format = sb->PixelFormat;
    if (format != MEMIMG_FORMAT_RGB565 && format != MEMIMG_FORMAT_XRGB8888) return;
    // The blend graph is read at every source position, so it must cover the source.
    if (blendGraph != nullptr &&
        (!IsMemImgAlive(blendGraph) || blendGraph->Width < src->Width || blendGraph->Height < src->Height)) {
        return;
    }

    RECT r = {x, y, ClampToInt(static_cast<long long>(x) + src->Width),
              ClampToInt(static_cast<long long>(y) + src->Height)};
    ClipRectAgainstRect(&r, &k.Area);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return;
    // The draw area lies inside the target; a stale one must still not write outside it.
    if (r.left < 0 || r.top < 0 || r.right > dst->Width || r.bottom > dst->Height) return;

    const int p = k.Param;
    Src srcKind = sb->UsePalette ? Src::Palette : (sb->UseAlpha ? Src::Alpha : Src::Direct);
    const int mode = softpix::SelectImageMode(k.Mode, p, srcKind == Src::Palette);
    if (mode < 0) return;

    int xOff = static_cast<int>(static_cast<long long>(r.left) - x);
    int yOff = static_cast<int>(static_cast<long long>(r.top) - y);
    bool runs = keyFlag == 1 && sb->RunsReady == 1 && sb->RunTable != nullptr && width == src->Width &&
                height == src->Height && src->Width == sb->Width && src->Height == sb->Height;

    int sbpp = MemImgBytesPerPixel(sb);
    int dbpp = MemImgBytesPerPixel(db);
    DWORD bright = k.Bright;

    // Field by field: clearing the whole record costs a small draw more than its pixels.
    BlitCall call;
    call.src = src->Pixels + static_cast<std::ptrdiff_t>(yOff) * sb->Pitch + static_cast<std::ptrdiff_t>(xOff) * sbpp;
    call.dst = dst->Pixels + static_cast<std::ptrdiff_t>(r.top) * db->Pitch + static_cast<std::ptrdiff_t>(r.left) * dbpp;
    call.width = width;
    call.height = height;
    call.srcSkip = static_cast<std::ptrdiff_t>(sb->Pitch) - static_cast<std::ptrdiff_t>(width) * sbpp;
    call.dstSkip = static_cast<std::ptrdiff_t>(db->Pitch) - static_cast<std::ptrdiff_t>(width) * dbpp;
    call.graph = nullptr;
    call.graphSkip = 0;
    if (blendGraph != nullptr) {
        int gp = blendGraph->Body->Pitch;
        call.graph = blendGraph->Pixels + static_cast<std::ptrdiff_t>(yOff) * gp + xOff;
        call.graphSkip = static_cast<std::ptrdiff_t>(gp) - width;
    }
    call.ops = softpix::MakeImageOpCtx(sb, p, bright);
    call.cube = BlendTables.InterpolationCube[p >> 2];
    call.runs = sb->RunTable;

    BlitChoice choice;
    choice.src = srcKind;
    choice.mode = mode;
    choice.graph = blendGraph != nullptr;
    choice.white = softpix::IsWhite(bright);
    choice.key = keyFlag != 0;
    choice.runs = runs;
    choice.fast = Fast::None;
    choice.isa = softrender::UsableIsaLevel(k.Isa);
    if (!runs && choice.white && !choice.graph && srcKind != Src::Alpha) choice.fast = ChooseFast(static_cast<PixFmt>(format), static_cast<BlendMode>(mode), p, k.Mmx);

    BlitLoop loop;
    if (format == MEMIMG_FORMAT_XRGB8888) {
        loop = runs ? blitk::SelectXrgbRunLoop(choice) : blitk::SelectXrgbPixelLoop(choice);
    } else {
        loop = runs ? blitk::SelectRgb565RunLoop(choice) : blitk::SelectRgb565PixelLoop(choice);
    }
    if (loop != nullptr) loop(call);
}

void softrender::BlitCoverageGlyph(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMGBODY* levelsBody,
                                   const DWORD levels[16], const BYTE* coverage, int pitch, int w, int h, int x,
                                   int y)
{
    if (k.BlendGraph != nullptr || !IsMemImgAlive(dst) || levelsBody == nullptr || !levelsBody->UseAlpha) return;
    const MEMIMGBODY* db = dst->Body;
    const int format = levelsBody->PixelFormat;
    if (format != db->PixelFormat || db->UsePalette || db->UseAlpha) return;
    if (format != MEMIMG_FORMAT_RGB565 && format != MEMIMG_FORMAT_XRGB8888) return;
    RECT r = {x, y, ClampToInt(static_cast<long long>(x) + w), ClampToInt(static_cast<long long>(y) + h)};
    ClipRectAgainstRect(&r, &k.Area);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return;
    if (r.left < 0 || r.top < 0 || r.right > dst->Width || r.bottom > dst->Height) return;
    const int p = k.Param;
    const int mode = softpix::SelectImageMode(k.Mode, p, false);
    if (mode < 0) return;

    BlitChoice choice;
    choice.src = Src::Alpha;
    choice.mode = mode;
    choice.graph = false;
    choice.white = softpix::IsWhite(k.Bright);
    choice.key = true;
    choice.runs = false;
    choice.fast = Fast::None;
    choice.isa = softrender::UsableIsaLevel(k.Isa);
    const BlitLoop loop =
        format == MEMIMG_FORMAT_XRGB8888 ? blitk::SelectXrgbPixelLoop(choice) : blitk::SelectRgb565PixelLoop(choice);
    if (loop == nullptr) return;

    // The glyph's texels are made a band of rows at a time and blitted by the
    // loop the composed image would take, so the pixels are the same.
    constexpr int kBandTexels = 2048;
    const int chunk = std::min(width, kBandTexels);
    const int dbpp = MemImgBytesPerPixel(db);
    BlitCall call;
    call.ops = softpix::MakeImageOpCtx(levelsBody, p, k.Bright);
    call.graph = nullptr;
    call.graphSkip = 0;
    call.cube = BlendTables.InterpolationCube[p >> 2];
    call.runs = nullptr;
    call.dstSkip = static_cast<std::ptrdiff_t>(db->Pitch);
    alignas(32) DWORD band[kBandTexels];
    const int xOff = r.left - x;
    const int yOff = r.top - y;
    for (int cx = 0; cx < width; cx += chunk) {
        const int cw = std::min(chunk, width - cx);
        const int rows = std::max(1, kBandTexels / cw);
        for (int row = 0; row < height; row += rows) {
            const int rh = std::min(rows, height - row);
            for (int j = 0; j < rh; ++j) {
                const BYTE* in = coverage + static_cast<std::ptrdiff_t>(yOff + row + j) * pitch + xOff + cx;
                DWORD* out = band + static_cast<std::ptrdiff_t>(j) * cw;
                if (choice.isa == IsaLevel::Avx2) {
                    blitk::ExpandCoverageAvx2(in, out, cw, levels);
                } else {
                    for (int i = 0; i < cw; ++i) out[i] = levels[in[i] & 15];
                }
            }
            call.src = reinterpret_cast<const BYTE*>(band);
            call.dst = dst->Pixels + static_cast<std::ptrdiff_t>(r.top + row) * db->Pitch +
                       static_cast<std::ptrdiff_t>(r.left + cx) * dbpp;
            call.width = cw;
            call.height = rh;
            call.srcSkip = 0;
            call.dstSkip = static_cast<std::ptrdiff_t>(db->Pitch) - static_cast<std::ptrdiff_t>(cw) * dbpp;
            loop(call);
        }
    }
}
