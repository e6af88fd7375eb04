// The 3D triangle kernel's loops without vertex colour on 16-bit RGB 5:6:5 pixels,
// compiled on their own; the rules come from pixelops/image_ops.h.
#include "softrender/triangle3d/triangle3d_loop.h"

namespace softrender {

void DrawTri3DImage16(const Tri3DDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                      bool alpha, bool trans)
{
    DrawTri3DImageLoops<PixFmt::R565>(d, ctx, mode, palette, graph, white, alpha, trans);
}

}  // namespace softrender
