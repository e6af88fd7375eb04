// The rotate kernel's loops on 32-bit XRGB pixels: the shared image operators
// (rotate and 3D family), one loop per source kind, blend mode and variant
// key. Set up by rotate.cpp; the rules come from pixelops/image_ops.h.
#include "softrender/pixelops/dispatch.h"
#include "softrender/rotate/rotate_loop.h"

namespace softrender {

void DrawRotated32(const RotateDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                   bool alpha, bool trans)
{
    using softpix::WithBool;
    softpix::WithDrawingMode(mode, [&](auto m) {
        WithBool(palette, [&](auto pal) {
            WithBool(graph, [&](auto g) {
                WithBool(white, [&](auto w) {
                    WithBool(alpha && !palette, [&](auto a) {
                        WithBool(trans, [&](auto k) {
                            constexpr bool P = decltype(pal)::value;
                            RunRotateRows<softpix::ImageOp<softpix::PixFmt::X8888, P, decltype(a)::value && !P,
                                                           decltype(m)::value, decltype(g)::value, decltype(w)::value,
                                                           decltype(k)::value, softpix::Family::RotTri3D>>(d, ctx);
                        });
                    });
                });
            });
        });
    });
}

}  // namespace softrender
