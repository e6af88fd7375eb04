// Stretch loops for RGB565 direct sources (with or without alpha): one
// instantiation of the walk per (mode, G, W, A, K). Calls stretch/stretch_walk.h.
#include "softrender/pixelops/dispatch.h"
#include "softrender/stretch/stretch_walk.h"

namespace softpix {

void RunStretchR565(const StretchWalk& w, const ImageOpCtx& c, const StretchChoice& k)
{
    WithDrawingMode(k.Mode, [&](auto m) {
        WithBool(k.G, [&](auto G) {
            WithBool(k.W, [&](auto W) {
                WithBool(k.A, [&](auto A) {
                    WithBool(k.K, [&](auto K) {
                        StretchLoop<ImageOp<PixFmt::R565, false, A(), decltype(m)::value, G(), W(), K()>>(w, c);
                    });
                });
            });
        });
    });
}

}  // namespace softpix
