// Owns the Direct3D string draw: fonts with a texture glyph cache draw their
// glyphs as textured rectangles through the string worker; any other font
// goes to the 2D string draw. Calls the font system and the 2D back-end.
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"

#include "graphics/soft/backend2d.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"

int G_D3D_DrawFontString(int x, int y, const char* text, DWORD colour, int font, DWORD edgeColour, int vertical)
{
    const FONTREC* f = GetFontRecord(font);
    if (f == nullptr) return -1;
    if (f->TextureCache != 1) return DrawFontString2D(x, y, text, colour, font, edgeColour, vertical);
    if (D3DState.Direct3D == nullptr || D3DState.DeviceUnusable != 0) return -1;
    // A cache graph that cannot be made again (after a reset) leaves nothing to draw from.
    if (RefreshFontCacheSurfaces(font) < 0) return -1;
    RenderStringWithFontCache(1, x, y, 0, 1.0, 1.0, text, colour, nullptr, &DrawState.DrawArea, 1, font, edgeColour,
                              -1, vertical, nullptr);
    return 0;
}
