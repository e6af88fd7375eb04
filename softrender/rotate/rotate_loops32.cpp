// The rotate kernel's loops on 32-bit XRGB pixels, compiled on their own.
#include "softrender/rotate/rotate_loop.h"

namespace softrender {

void DrawRotated32(const RotateDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                   bool alpha, bool trans)
{
    DrawRotatedLoops<softpix::PixFmt::X8888>(d, ctx, mode, palette, graph, white, alpha, trans);
}

}  // namespace softrender
