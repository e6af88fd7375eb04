// Per-call preparation shared by the rectangle, line and circle kernels.
// Reads its KERNELPARAMS; clips with graphics/matrix.
#include "softrender/shapes/shape_target.h"

#include "graphics/matrix.h"
#include "softrender/pixelops/op_context.h"

namespace softpix {

bool PrepareShapeTarget(const KERNELPARAMS& k, MEMIMG* dst, std::uint32_t colour, bool refuseAlpha, ShapeTarget* t)
{
    if (dst == nullptr || dst->Body == nullptr || dst->Pixels == nullptr) return false;
    const MEMIMGBODY* b = dst->Body;
    if (b->UsePalette == 1) return false;
    if (refuseAlpha && b->UseAlpha == 1) return false;
    if (b->PixelFormat == MEMIMG_FORMAT_XRGB8888) t->Format = PixFmt::X8888;
    else if (b->PixelFormat == MEMIMG_FORMAT_RGB565) t->Format = PixFmt::R565;
    else return false;
    t->BytesPerPixel = MemImgBytesPerPixel(b);
    if (t->BytesPerPixel < (t->Format == PixFmt::X8888 ? 4 : 2)) return false;

    // The drawing state keeps its draw area inside the draw target; clipping to
    // the image as well keeps any other caller's image safe.
    t->Area = k.Area;
    const RECT whole{0, 0, dst->Width, dst->Height};
    ClipRectAgainstRect(&t->Area, &whole);
    if (t->Area.right <= t->Area.left || t->Area.bottom <= t->Area.top) return false;

    t->Mode = SelectFlatMode(k.Mode, k.Param);
    if (t->Mode < 0) return false;
    t->Pixels = dst->Pixels;
    t->Pitch = b->Pitch;
    t->Ctx = MakeFlatOpCtx(TintShapeColour(colour, t->Format, k.Bright), t->Format, k.Param);
    return true;
}

}  // namespace softpix
