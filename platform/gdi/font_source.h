// Where GDI fonts take their glyphs from: the system's fonts (fontconfig and
// FreeType) or, in tests, a source of hand-made glyphs. GetGlyphOutlineA lays
// out what a source renders the way GDI does.
#pragma once

#include "platform/gdi/font.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct FontRequest {
    std::string face;  // UTF-8; empty: the system's default face
    int height = 16;   // > 0 cell height, < 0 character height
    int weight = FW_NORMAL;
    bool italic = false;
    int charSet = DEFAULT_CHARSET;
    bool fixedPitch = false;
};

// One rendered glyph: levels top row first (0/1 for monochrome, 0-16 for grey).
struct SourceGlyph {
    int width = 0;
    int rows = 0;
    int left = 0;  // box left edge from the pen
    int top = 0;   // box top row above the baseline
    int advance = 0;
    std::vector<std::uint8_t> levels;
};

class FontFace {
public:
    virtual ~FontFace() = default;
    virtual void GetMetrics(TEXTMETRICA* out) const = 0;
    // code: a byte, or lead * 256 + trail in the face's code page. False when
    // the face cannot render at all; a code it lacks renders its missing glyph.
    virtual bool RenderGlyph(UINT code, bool grey, SourceGlyph* out) = 0;
};

class FontSource {
public:
    virtual ~FontSource() = default;
    // Null when no font can serve the request.
    virtual std::unique_ptr<FontFace> Open(const FontRequest& request) = 0;
};

// The system's fonts.
FontSource& SystemFontSource();
// Test hook: fonts come from `source` until it is reset with null.
void SetFontSourceForTest(FontSource* source);

// One face of a font file through FreeType (index: the face in a collection),
// sized and synthesised as the request asks; null when FreeType cannot open it.
std::unique_ptr<FontFace> OpenFreeTypeFace(const char* path, int index, const FontRequest& request);
