// Stretch loops for 8-bit palette sources of either format: one
// instantiation of the walk per (format, mode, G, W, K), plus the byte-wise
// subtraction for XRGB8888 entries. Calls stretch/stretch_walk.h.
#include "softrender/pixelops/dispatch.h"
#include "softrender/stretch/stretch_walk.h"

namespace softpix {

void RunStretchPalette(bool x8888, const StretchWalk& w, const ImageOpCtx& c, const StretchChoice& k)
{
    if (k.Mode == kModeByteSub) {
        WithBool(k.K, [&](auto K) {
            StretchLoop<ImageOp<PixFmt::X8888, true, false, kModeByteSub, false, true, K()>>(w, c);
        });
        return;
    }
    WithDrawingMode(k.Mode, [&](auto m) {
        WithBool(k.G, [&](auto G) {
            WithBool(k.W, [&](auto W) {
                WithBool(k.K, [&](auto K) {
                    if (x8888) StretchLoop<ImageOp<PixFmt::X8888, true, false, decltype(m)::value, G(), W(), K()>>(w, c);
                    else StretchLoop<ImageOp<PixFmt::R565, true, false, decltype(m)::value, G(), W(), K()>>(w, c);
                });
            });
        });
    });
}

}  // namespace softpix
