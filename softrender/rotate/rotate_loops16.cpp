// The rotate kernel's loops on 16-bit RGB 5:6:5 pixels, compiled on their own.
#include "softrender/rotate/rotate_loop.h"

namespace softrender {

void DrawRotated16(const RotateDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                   bool alpha, bool trans)
{
    DrawRotatedLoops<softpix::PixFmt::R565>(d, ctx, mode, palette, graph, white, alpha, trans);
}

}  // namespace softrender
