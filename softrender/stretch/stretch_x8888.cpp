// Stretch loops for XRGB8888 direct sources (with or without alpha): one
// instantiation of the walk per (mode, G, W, A, K), plus the byte-wise
// subtraction. Calls stretch/stretch_walk.h.
#include "softrender/pixelops/dispatch.h"
#include "softrender/stretch/stretch_walk.h"

namespace softpix {

void RunStretchX8888(const StretchWalk& w, const ImageOpCtx& c, const StretchChoice& k)
{
    if (k.Mode == kModeByteSub) {
        WithBool(k.K, [&](auto K) {
            StretchLoop<ImageOp<PixFmt::X8888, false, false, kModeByteSub, false, true, K()>>(w, c);
        });
        return;
    }
    WithDrawingMode(k.Mode, [&](auto m) {
        WithBool(k.G, [&](auto G) {
            WithBool(k.W, [&](auto W) {
                WithBool(k.A, [&](auto A) {
                    WithBool(k.K, [&](auto K) {
                        StretchLoop<ImageOp<PixFmt::X8888, false, A(), decltype(m)::value, G(), W(), K()>>(w, c);
                    });
                });
            });
        });
    });
}

}  // namespace softpix
