// The 3D triangle kernel's loops with vertex colour on 16-bit RGB 5:6:5 pixels,
// compiled on their own; the rules come from pixelrules/vertexcolour_rules.h.
#include "softrender/triangle3d/triangle3d_loop.h"

namespace softrender {

void DrawTri3DVertexColour16(const Tri3DDraw& d, int mode, bool palette, bool graph, bool alpha, bool trans)
{
    DrawTri3DVertexColourLoops<PixFmt::R565>(d, mode, palette, graph, alpha, trans);
}

}  // namespace softrender
