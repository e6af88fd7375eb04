// Owns the GDI font objects: CreateFontA opens a face from the current font
// source (platform/gdi/freetype_font.cpp, or a test's), GetGlyphOutlineA lays
// its glyphs out as GDI bitmaps. Registry and contexts: platform/gdi/gdi.cpp.
#include "platform/gdi/font.h"

#include "platform/gdi/font_source.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/codepage.h"

#include <cstring>
#include <new>

namespace {

struct GdiFont final : GdiObject {
    explicit GdiFont(std::unique_ptr<FontFace> f) : face(std::move(f)) {}
    bool IsFont() const override { return true; }
    std::unique_ptr<FontFace> face;
};

FontSource* g_testSource = nullptr;

FontFace* SelectedFace(HDC dc)
{
    GdiObject* font = SelectedFontLocked(dc);
    auto* f = dynamic_cast<GdiFont*>(font);
    return f != nullptr ? f->face.get() : nullptr;
}

bool IsIdentity(const MAT2* m)
{
    return m->eM11.value == 1 && m->eM11.fract == 0 && m->eM12.value == 0 && m->eM12.fract == 0 &&
           m->eM21.value == 0 && m->eM21.fract == 0 && m->eM22.value == 1 && m->eM22.fract == 0;
}

} // namespace

void SetFontSourceForTest(FontSource* source)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    g_testSource = source;
}

HFONT CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD charSet, DWORD, DWORD,
                  DWORD, DWORD pitchAndFamily, LPCSTR face)
{
    FontRequest request;
    if (face != nullptr) request.face = ConvertCp932ToUtf8(face, std::strlen(face));
    request.height = height == 0 ? 16 : height;
    request.weight = weight <= 0 ? FW_NORMAL : weight;
    request.italic = italic != 0;
    request.charSet = static_cast<int>(charSet & 0xFF);
    request.fixedPitch = (pitchAndFamily & 3) == FIXED_PITCH;
    FontSource* source;
    {
        std::lock_guard<std::mutex> lock(GdiMutex());
        source = g_testSource != nullptr ? g_testSource : &SystemFontSource();
    }
    std::unique_ptr<FontFace> opened = source->Open(request);
    if (opened == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(GdiMutex());
    return static_cast<HFONT>(RegisterGdiObject(new GdiFont(std::move(opened))));
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    FontFace* face = SelectedFace(dc);
    if (face == nullptr || metrics == nullptr) return FALSE;
    face->GetMetrics(metrics);
    return TRUE;
}

DWORD GetGlyphOutlineA(HDC dc, UINT code, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, void* buffer,
                       const MAT2* matrix)
{
    if (metrics == nullptr || matrix == nullptr || !IsIdentity(matrix)) return GDI_ERROR;
    if (format != GGO_BITMAP && format != GGO_GRAY4_BITMAP) return GDI_ERROR;
    const bool grey = format == GGO_GRAY4_BITMAP;
    std::lock_guard<std::mutex> lock(GdiMutex());
    FontFace* face = SelectedFace(dc);
    SourceGlyph glyph;
    if (face == nullptr) return GDI_ERROR;
    // Rendering keeps tables and bitmaps of its own: memory running out
    // fails the call as GDI does.
    try {
        if (!face->RenderGlyph(code, grey, &glyph)) return GDI_ERROR;
    } catch (const std::bad_alloc&) {
        return GDI_ERROR;
    }

    metrics->gmCellIncX = static_cast<short>(glyph.advance);
    metrics->gmCellIncY = 0;
    if (glyph.width <= 0 || glyph.rows <= 0) {
        // A blank glyph still reports a one-pixel box, as GDI does.
        metrics->gmBlackBoxX = 1;
        metrics->gmBlackBoxY = 1;
        metrics->gmptGlyphOrigin = POINT{0, 0};
        return 0;
    }
    metrics->gmBlackBoxX = static_cast<UINT>(glyph.width);
    metrics->gmBlackBoxY = static_cast<UINT>(glyph.rows);
    metrics->gmptGlyphOrigin = POINT{glyph.left, glyph.top};
    const DWORD pitch = grey ? (static_cast<DWORD>(glyph.width) + 3) & ~3u : ((static_cast<DWORD>(glyph.width) + 31) / 32) * 4;
    const DWORD size = pitch * static_cast<DWORD>(glyph.rows);
    if (buffer == nullptr || bufferSize == 0) return size;
    if (bufferSize < size) return GDI_ERROR;
    auto* out = static_cast<BYTE*>(buffer);
    std::memset(out, 0, size);
    for (int y = 0; y < glyph.rows; ++y) {
        BYTE* row = out + static_cast<std::size_t>(y) * pitch;
        const std::uint8_t* in = glyph.levels.data() + static_cast<std::size_t>(y) * glyph.width;
        for (int x = 0; x < glyph.width; ++x) {
            if (grey) {
                row[x] = in[x] > 16 ? 16 : in[x];
            } else if (in[x] != 0) {
                row[x >> 3] = static_cast<BYTE>(row[x >> 3] | (0x80 >> (x & 7)));
            }
        }
    }
    return size;
}
