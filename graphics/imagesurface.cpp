// Owns the image-surface records' objects; no record exists until the graph
// layer makes them, so each operation answers -1 for any handle.
#include "graphics/imagesurface.h"

int ReleaseImageSurfaceObjects(int)
{
    return -1;
}

int CreateImageSurfaceObjects(int)
{
    return -1;
}

int SetImageSurfaceColorKey(int)
{
    return -1;
}
