// Textured 2D triangle spans: RGB565 destination, direct sources without alpha.
// Instantiates the loops of triangle_textured.h for this family alone.
#include "softrender/triangle/triangle_textured.h"

void DrawTriangleR565Direct(const TRIANGLEDRAW& draw)
{
    DrawTriangleTexturedFamily<softpix::PixFmt::R565, false, false>(draw);
}
