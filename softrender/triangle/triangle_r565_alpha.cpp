// Textured 2D triangle spans: RGB565 destination, direct sources with alpha.
// Instantiates the loops of triangle_textured.h for this family alone.
#include "softrender/triangle/triangle_textured.h"

void DrawTriangleR565Alpha(const TRIANGLEDRAW& draw)
{
    DrawTriangleTexturedFamily<softpix::PixFmt::R565, false, true>(draw);
}
