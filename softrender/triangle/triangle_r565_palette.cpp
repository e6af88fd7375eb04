// Textured 2D triangle spans: RGB565 destination, palette sources.
// Instantiates the loops of triangle_textured.h for this family alone.
#include "softrender/triangle/triangle_textured.h"

void DrawTriangleR565Palette(const TRIANGLEDRAW& draw)
{
    DrawTriangleTexturedFamily<softpix::PixFmt::R565, true, false>(draw);
}
