// The 3D triangle kernel's loops with vertex colour on 32-bit XRGB pixels: one loop
// per source kind, blend mode and variant key. Set up by triangle3d.cpp;
// the rules come from pixelrules/vertexcolour_rules.h.
#include "graphics/blendtable.h"
#include "softrender/pixelops/dispatch.h"
#include "softrender/triangle3d/triangle3d_loop.h"

namespace softrender {

void DrawTri3DVertexColour32(const Tri3DDraw& d, int mode, bool palette, bool graph, bool alpha, bool trans)
{
    using softpix::WithBool;
    const VertexColourContext ctx{d.texPalette, BlendTables.BlendGraphFactorTable};
    softpix::WithDrawingMode(mode, [&](auto m) {
        WithBool(palette, [&](auto pal) {
            WithBool(graph, [&](auto g) {
                WithBool(alpha && !palette, [&](auto a) {
                    WithBool(trans, [&](auto k) {
                        constexpr bool P = decltype(pal)::value, G = decltype(g)::value;
                        constexpr bool A = decltype(a)::value && !P, K = decltype(k)::value;
                        using Rule = VertexColourRule<PixFmt::X8888, P, decltype(m)::value, G, A, K>;
                        RunTri3DRows<TexelLayout<PixFmt::X8888, P, A>, 4, G, K && !A, true>(
                            d, [&](BYTE* dst, const BYTE* texel, std::uint32_t gb, const VertexColour& vc) {
                                Rule::Apply(ctx, dst, texel, gb, vc);
                            });
                    });
                });
            });
        });
    });
}

}  // namespace softrender
