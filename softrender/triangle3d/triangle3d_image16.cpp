// The 3D triangle kernel's loops without vertex colour on 16-bit RGB 5:6:5 pixels:
// the shared image operators (rotate and 3D family) under the bright colour
// and blend parameter, one loop per source kind, blend mode and variant key.
// Set up by triangle3d.cpp; the rules come from pixelops/image_ops.h.
#include "softrender/pixelops/dispatch.h"
#include "softrender/triangle3d/triangle3d_loop.h"

namespace softrender {

void DrawTri3DImage16(const Tri3DDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                      bool alpha, bool trans)
{
    using softpix::WithBool;
    softpix::WithDrawingMode(mode, [&](auto m) {
        WithBool(palette, [&](auto pal) {
            WithBool(graph, [&](auto g) {
                WithBool(white, [&](auto w) {
                    WithBool(alpha && !palette, [&](auto a) {
                        WithBool(trans, [&](auto k) {
                            constexpr bool P = decltype(pal)::value, G = decltype(g)::value;
                            constexpr bool A = decltype(a)::value && !P;
                            using Op = softpix::ImageOp<PixFmt::R565, P, A, decltype(m)::value, G, decltype(w)::value,
                                                        decltype(k)::value, softpix::Family::RotTri3D>;
                            // The operator makes the colour-key test itself.
                            RunTri3DRows<TexelLayout<PixFmt::R565, P, A>, 2, G, false, false>(
                                d, [&](BYTE* dst, const BYTE* texel, std::uint32_t gb, const VertexColour&) {
                                    Op::Apply(ctx, dst, texel, static_cast<std::uint8_t>(gb));
                                });
                        });
                    });
                });
            });
        });
    });
}

}  // namespace softrender
