// Textured 2D triangle spans: XRGB8888 destination, direct sources with alpha.
// Instantiates the loops of triangle_textured.h for this family alone.
#include "softrender/triangle/triangle_textured.h"

void DrawTriangleX8888Alpha(const TRIANGLEDRAW& draw)
{
    DrawTriangleTexturedFamily<softpix::PixFmt::X8888, false, true>(draw);
}
