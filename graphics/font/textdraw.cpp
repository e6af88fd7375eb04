// Owns the text entries and the string worker: splitting a Shift-JIS (or
// Hangul) string into character cells, measuring it and writing its glyphs
// from the font's software cache into a MEMIMG, or drawing them from its
// texture cache through the draw entries. Calls the glyph renderer, the 2D
// and Direct3D string draws, the draw entries, the drawing state and the screen layer.
#include "graphics/font/font.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/file/filefuncs.h"
#include "core/log.h"
#include "core/inactivewait.h"
#include "core/fatalexit.h"
#include "graphics/soft/backend2d.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/drawapi.h"
#include "graphics/graph.h"
#include "graphics/soft/draw2d.h"
#include "graphics/drawstate.h"
#include "graphics/mask.h"
#include "graphics/image/colorfmt.h"
#include "graphics/screen.h"
#include "softrender/blit/blit.h"

namespace {

// The splitter's render list, its default output and the worker's cells.
FONTCELL g_renderList[FONT_MAX_STRING_CELLS];
FONTCELL g_splitCells[FONT_MAX_STRING_CELLS];
FONTCELL g_workerCells[FONT_MAX_STRING_CELLS];

const GLYPHENTRY* CachedOrRendered(int handle, FONTREC* f, const FONTCELL& cell)
{
    const FONTCODESLOT& slot = f->Codes[FontCellCode(cell)];
    if (slot.Cached != 0 && slot.Entry != nullptr) return slot.Entry;
    const GLYPHENTRY* entry = RenderGlyphsToCache(handle, 1, &cell);
    if (entry == nullptr) ExitWithFatalError("テキストキャッシュの作成に失敗しました");
    return entry;
}

struct Channels {
    int r;
    int g;
    int b;
};

// A colour value with the draw brightness applied, as channels.
Channels Brightened(DWORD colour)
{
    int r = 0;
    int g = 0;
    int b = 0;
    SplitColorValueToRGB(colour, &r, &g, &b);
    const DWORD bright = DrawState.DrawBright;
    return Channels{r * static_cast<int>((bright >> 16) & 0xFF) / 255, g * static_cast<int>((bright >> 8) & 0xFF) / 255,
                    b * static_cast<int>(bright & 0xFF) / 255};
}

// Writes cell pixels into one destination image.
class GlyphWriter {
public:
    GlyphWriter(const FONTREC* f, MEMIMG* dest, Channels colour, Channels edge, int trans)
        : f_(f), dest_(dest), colour_(colour), edge_(edge), trans_(trans != 0)
    {
        format_ = dest->Body->ColorFormat;
        bytes_ = MemImgBytesPerPixel(dest->Body);
        pitch_ = dest->Body->Pitch;
        colourValue_ = ConvertRGBToScreenColor(colour.r, colour.g, colour.b);
        edgeValue_ = ConvertRGBToScreenColor(edge.r, edge.g, edge.b);
        // A prepared 2D destination may hold the kernels' layout until it is finished.
        if (dest == Draw2DBlock.Dest && Draw2DBlock.DestConverted == 1) {
            colourValue_ = ScreenColorInKernelLayout(colourValue_);
            edgeValue_ = ScreenColorInKernelLayout(edgeValue_);
        }
        for (int v = 0; v < 16 && f->Type == FONTTYPE_ANTIALIAS; ++v) {
            // Full ink is full alpha: level 16 gives 255.
            greyValues_[v] = GetColorValueInFormat(format_, colour.r, colour.g, colour.b, v * 17);
        }
    }

    // Cell pixel (x, y) of the glyph to destination pixel (dx, dy).
    void Put(const BYTE* cell, int x, int y, int dx, int dy) const
    {
        DWORD value = 0;
        if (!Pixel(cell, x, y, &value)) {
            if (trans_) return;
            value = 0;
        }
        Store(dx, dy, value);
    }

    // One row of a horizontal glyph, the common case, without per-pixel
    // dispatch for plain fonts.
    void PutRow(const BYTE* cell, int x0, int y, int dx0, int dy, int count) const
    {
        if (f_->Type == 0 && trans_) {
            const BYTE* row = cell + static_cast<std::size_t>(y) * f_->SoftRowBytes;
            BYTE* out = dest_->Pixels + static_cast<std::ptrdiff_t>(dy) * pitch_ + static_cast<std::ptrdiff_t>(dx0) * bytes_;
            // A byte of cell bits at a time: empty stretches cost one test.
            for (int i = 0; i < count;) {
                const int x = x0 + i;
                const int take = std::min(8 - (x & 7), count - i);
                unsigned bits = static_cast<BYTE>(row[x >> 3] << (x & 7)) & (0xFF00u >> take);
                while (bits != 0) {
                    const int k = __builtin_clz(bits) - 24;
                    bits &= ~(0x80u >> k);
                    if (bytes_ == 4) {
                        std::memcpy(out + 4 * (i + k), &colourValue_, 4);
                    } else if (bytes_ == 2) {
                        const WORD v = static_cast<WORD>(colourValue_);
                        std::memcpy(out + 2 * (i + k), &v, 2);
                    } else {
                        out[i + k] = static_cast<BYTE>(colourValue_);
                    }
                }
                i += take;
            }
            return;
        }
        for (int i = 0; i < count; ++i) Put(cell, x0 + i, y, dx0 + i, dy);
    }

private:
    bool Pixel(const BYTE* cell, int x, int y, DWORD* value) const
    {
        const BYTE* row = cell + static_cast<std::size_t>(y) * f_->SoftRowBytes;
        switch (f_->Type) {
        case 0:
            if ((row[x >> 3] & (0x80 >> (x & 7))) == 0) return false;
            *value = colourValue_;
            return true;
        case FONTTYPE_EDGE:
            if (row[x] == 0) return false;
            *value = row[x] == 1 ? colourValue_ : edgeValue_;
            return true;
        case FONTTYPE_ANTIALIAS:
            if (row[x] == 0) return false;
            *value = greyValues_[row[x] & 15];
            return true;
        default: {
            const int b = row[x] & 15;
            const int e = row[x] >> 4;
            if (b == 0 && e == 0) return false;
            if (b == 0) {
                *value = GetColorValueInFormat(format_, edge_.r, edge_.g, edge_.b, e * 16);
            } else if (b == 15) {
                *value = GetColorValueInFormat(format_, colour_.r, colour_.g, colour_.b, 255);
            } else {
                const int a = ((15 - b) * e + 16 * b) % 256;
                const int t = b * 4096 / a;
                // C division truncates toward zero, also for a darker colour.
                *value = GetColorValueInFormat(format_, edge_.r + (colour_.r - edge_.r) * t / 256,
                                               edge_.g + (colour_.g - edge_.g) * t / 256,
                                               edge_.b + (colour_.b - edge_.b) * t / 256, a);
            }
            return true;
        }
        }
    }

    void Store(int dx, int dy, DWORD value) const
    {
        BYTE* p = dest_->Pixels + static_cast<std::ptrdiff_t>(dy) * pitch_ + static_cast<std::ptrdiff_t>(dx) * bytes_;
        if (bytes_ == 4) {
            std::memcpy(p, &value, 4);
        } else if (bytes_ == 2) {
            const WORD v = static_cast<WORD>(value);
            std::memcpy(p, &v, 2);
        } else {
            *p = static_cast<BYTE>(value);
        }
    }

    const FONTREC* f_;
    MEMIMG* dest_;
    Channels colour_;
    Channels edge_;
    bool trans_;
    const COLORFMT* format_;
    int bytes_;
    int pitch_;
    DWORD colourValue_;
    DWORD edgeValue_;
    DWORD greyValues_[16] = {};
};

DWORD Packed(Channels c)
{
    return 0xFF000000u | static_cast<DWORD>(c.r) << 16 | static_cast<DWORD>(c.g) << 8 | static_cast<DWORD>(c.b);
}

// One glyph of a texture cache as a textured rectangle of its cell: the edge
// first for edged fonts, each tinted by the draw brightness, without the
// blend graph.
class TextureGlyphDrawer {
public:
    TextureGlyphDrawer(const FONTREC* f, double rateX, double rateY, DWORD colour, DWORD edge)
        : f_(f), rateX_(rateX), rateY_(rateY), colour_(colour), edge_(edge),
          scaled_(rateX != 1.0 || rateY != 1.0)
    {
    }

    // The string's glyphs as one run of parts of the cache graph, drawn as
    // Draw would draw them one by one: false, with nothing drawn, where that
    // takes more than one brightness per string (an edge), leaves the blend
    // graph between glyphs, turns or scales them, or renders a glyph anew
    // while drawing.
    bool DrawRun(const FONTCELL* cells, int count, int x, int y, double* pen) const
    {
        if (scaled_ || (f_->Type & FONTTYPE_EDGE) != 0 || DrawState.BlendGraph != -1) return false;
        // On the stack: a callback run inside the draw's inactive wait may draw a string too.
        GRAPHSUBRECT parts[FONT_MAX_STRING_CELLS];
        double at = *pen;
        int n = 0;
        for (int i = 0; i < count; ++i) {
            const FONTCODESLOT& slot = f_->Codes[FontCellCode(cells[i])];
            if (slot.Cached == 0 || slot.Entry == nullptr) return false;
            const GLYPHENTRY* entry = slot.Entry;
            if (!IsFontSpaceCell(cells[i]) && entry->BoxWidth > 0 && entry->BoxHeight > 0) {
                GRAPHSUBRECT& p = parts[n++];
                GetFontCellPlace(f_, entry->Slot, &p.SrcX, &p.SrcY);
                p.X = x + static_cast<int>(at) + entry->OriginX;
                p.Y = y + entry->TopOffset;
                p.Width = entry->BoxWidth;
                p.Height = entry->BoxHeight;
            }
            at += entry->Advance + f_->Spacing;
        }
        if (n > 0) {
            const DWORD bright = DrawState.DrawBright;
            StorePackedBrightness(colour_);
            DrawGraphSubRects(parts, n, f_->CacheGraph, 1);
            StorePackedBrightness(bright);
        }
        *pen = at;
        return true;
    }

    void Draw(const GLYPHENTRY* entry, int x, int y, double pen, int vertical) const
    {
        DRAWSTATE& d = DrawState;
        const int blendGraph = d.BlendGraph, borderParam = d.BlendGraphBorderParam,
                  borderRange = d.BlendGraphBorderRange;
        const DWORD bright = d.DrawBright;
        if (blendGraph != -1) StoreBlendGraphSetting(-1, 0, 0);
        if ((f_->Type & FONTTYPE_EDGE) != 0) {
            StorePackedBrightness(edge_);
            One(f_->EdgeHalfGraph, entry, x, y, pen, vertical);
        }
        StorePackedBrightness(colour_);
        One(f_->CacheGraph, entry, x, y, pen, vertical);
        if (blendGraph != -1) StoreBlendGraphSetting(blendGraph, borderParam, borderRange);
        StorePackedBrightness(bright);
    }

private:
    void One(int graph, const GLYPHENTRY* entry, int x, int y, double pen, int vertical) const
    {
        int cx = 0;
        int cy = 0;
        GetFontCellPlace(f_, entry->Slot, &cx, &cy);
        const int w = entry->BoxWidth;
        const int h = entry->BoxHeight;
        if (vertical == 0) {
            if (!scaled_) {
                DrawGraphSubRect(x + static_cast<int>(pen) + entry->OriginX, y + entry->TopOffset, cx, cy, w, h, graph,
                                 1, 0);
                return;
            }
            const int x1 = x + static_cast<int>(pen + entry->OriginX * rateX_);
            const int y1 = y + static_cast<int>(entry->TopOffset * rateY_);
            DrawGraphSubRectScaled(x1, y1, x1 + static_cast<int>(w * rateX_), y1 + static_cast<int>(h * rateY_), cx,
                                   cy, w, h, graph, 1);
            return;
        }
        // A quarter turn clockwise: the glyph's top faces +x, its left edge runs down the pen.
        const int left = y + static_cast<int>(pen + entry->OriginX * rateY_);
        const int top = x + static_cast<int>((f_->CellHeight - entry->TopOffset) * rateX_);
        const int length = static_cast<int>(w * rateY_);
        const int depth = static_cast<int>(h * rateX_);
        RECT box{top - depth, left, top, left + length};
        const RECT area = DrawState.DrawArea;
        const DRAWAREAF areaF = DrawState.DrawAreaF;
        ClipRectAgainstRect(&box, &area);
        if (box.right <= box.left || box.bottom <= box.top) return;
        const int cell = CreateDerivedGraph(cx, cy, w, h, graph);
        if (cell == -1) return;
        DrawState.DrawArea = box;
        DrawState.DrawAreaF = DrawAreaFOf(box);
        G_D3D_SetViewportFromDrawArea(&box);
        const float t = static_cast<float>(top) - 0.5f, b = static_cast<float>(top - depth) - 0.5f;
        const float l = static_cast<float>(left) - 0.5f, r = static_cast<float>(left + length) - 0.5f;
        DrawGraphToQuadF(t, l, t, r, b, r, b, l, cell, 1);
        DrawState.DrawArea = area;
        DrawState.DrawAreaF = areaF;
        G_D3D_SetViewportFromDrawArea(&area);
        DestroyGraphHandle(cell, 0);
    }

    const FONTREC* f_;
    double rateX_;
    double rateY_;
    DWORD colour_;
    DWORD edge_;
    bool scaled_;
};

RECT ClipFor(const MEMIMG* dest, const RECT* clip)
{
    RECT r{0, 0, dest->Width, dest->Height};
    if (clip != nullptr) {
        r.left = std::max<LONG>(r.left, clip->left);
        r.top = std::max<LONG>(r.top, clip->top);
        r.right = std::min<LONG>(r.right, clip->right);
        r.bottom = std::min<LONG>(r.bottom, clip->bottom);
    }
    return r;
}

} // namespace

DWORD GetBrightenedTextColor(DWORD colour)
{
    const Channels c = Brightened(colour);
    return ConvertRGBToScreenColor(c.r, c.g, c.b);
}

int SplitStringForFont(FONTCELL* cells, const char* text, int font, int length, int* count)
{
    FONTREC* f = GetFontRecord(font);
    if (f == nullptr) return -1;
    if (cells == nullptr) cells = g_splitCells;
    int n = text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
    if (length >= 0 && length < n) n = length;
    const int listCap = std::min(FONT_MAX_STRING_CELLS, f->SlotCount);
    int made = 0;
    int listed = 0;
    const auto* bytes = reinterpret_cast<const BYTE*>(text);
    // Characters past the buffer's 256 cells are neither drawn nor measured.
    for (int i = 0; i < n && made < FONT_MAX_STRING_CELLS;) {
        FONTCELL cell{};
        if (IsDoubleByteLeadByte(bytes + i, f->CharSetKind) != 0 && i + 1 < n) {
            cell.Code[0] = bytes[i];
            cell.Code[1] = bytes[i + 1];
            i += 2;
        } else {
            cell.Code[0] = bytes[i];
            i += 1;
        }
        cells[made++] = cell;
        if (f->Codes[FontCellCode(cell)].Cached == 0 && listed < listCap) g_renderList[listed++] = cell;
    }
    if (listed > 0) RenderGlyphsToCache(font, listed, g_renderList);
    if (count != nullptr) *count = made;
    return 0;
}

int BlendStringWithFontCache(const KERNELPARAMS& k, MEMIMG* dest, const MEMIMGBODY* imageBody, int x, int y,
                             const char* text, DWORD colour, int font, SIZE* size)
{
    FONTREC* f = GetFontRecord(font);
    if (f == nullptr || f->Type != FONTTYPE_ANTIALIAS || imageBody == nullptr || imageBody->UseAlpha == 0) return 0;
    struct Placed {
        const GLYPHENTRY* entry;
        int left;
    };
    static Placed placed[FONT_MAX_STRING_CELLS];
    int count = 0;
    if (text != nullptr && text[0] != '\0') SplitStringForFont(g_workerCells, text, font, -1, &count);
    double pen = 0.0;
    int drawn = 0;
    int inkRight = std::numeric_limits<int>::min();
    for (int i = 0; i < count; ++i) {
        const FONTCELL& cell = g_workerCells[i];
        const FONTCODESLOT& slot = f->Codes[FontCellCode(cell)];
        // A glyph made while drawing may take the cell of an earlier one.
        if (slot.Cached == 0 || slot.Entry == nullptr) return 0;
        const GLYPHENTRY* entry = slot.Entry;
        if (!IsFontSpaceCell(cell) && entry->BoxWidth > 0 && entry->BoxHeight > 0) {
            const int left = static_cast<int>(pen) + entry->OriginX;
            // Composing lets a later glyph's ink replace an earlier one's, where blending would mix them.
            if (left < inkRight) return 0;
            inkRight = left + entry->BoxWidth;
            placed[drawn++] = Placed{entry, left};
        }
        pen += entry->Advance + f->Spacing;
    }
    const SIZE extent{static_cast<int>(pen), f->CellHeight};
    if (size != nullptr) *size = extent;
    if (dest == nullptr || IsMemImgAlive(dest) == 0) return 1;

    // The composing image is the screen's size: what it cuts off is not drawn either.
    int sw = 0;
    int sh = 0;
    GetScreenPixelSize(&sw, &sh);
    KERNELPARAMS glyphs = k;
    RECT& area = glyphs.Area;
    area = RECT{x, y, x + std::min<LONG>(extent.cx, sw), y + std::min<LONG>(extent.cy, sh)};
    ClipRectAgainstRect(&area, &k.Area);
    if (area.right <= area.left || area.bottom <= area.top) return 1;
    if (area.left < 0 || area.top < 0 || area.right > dest->Width || area.bottom > dest->Height) return 1;

    const Channels c = Brightened(colour);
    DWORD levels[16];
    // Level 0 is what the composing image is cleared to.
    levels[0] = 0;
    for (int v = 1; v < 16; ++v) levels[v] = GetColorValueInFormat(imageBody->ColorFormat, c.r, c.g, c.b, v * 17);
    for (int i = 0; i < drawn; ++i) {
        const GLYPHENTRY* entry = placed[i].entry;
        int cx = 0;
        int cy = 0;
        GetFontCellPlace(f, entry->Slot, &cx, &cy);
        const BYTE* cell = f->SoftCache + static_cast<std::size_t>(cy) * f->SoftRowBytes + cx;
        softrender::BlitCoverageGlyph(glyphs, dest, imageBody, levels, cell, f->SoftRowBytes, entry->BoxWidth,
                                      entry->BoxHeight, x + placed[i].left, y + entry->TopOffset);
    }
    return 1;
}

int RenderStringWithFontCache(int mode, int x, int y, int scale, double rateX, double rateY, const char* text,
                              DWORD colour, MEMIMG* dest, const RECT* clip, int trans, int font, DWORD edgeColour,
                              int length, int vertical, SIZE* size)
{
    if (HasScreenLayer() == 0) return -1;
    FONTREC* f = GetFontRecord(font);
    if (f == nullptr) return -1;
    if (!(f->TextureCache == 1 && scale != 0)) {
        rateX = 1.0;
        rateY = 1.0;
    }
    const double advanceRate = vertical != 0 ? rateY : rateX;
    const Channels body = Brightened(colour);
    const Channels edge = Brightened(edgeColour);
    double pen = 0.0;
    if (text != nullptr && text[0] != '\0') {
        int count = 0;
        SplitStringForFont(g_workerCells, text, font, length, &count);
        if (mode == 0) {
            for (int i = 0; i < count; ++i) {
                const GLYPHENTRY* entry = CachedOrRendered(font, f, g_workerCells[i]);
                pen += (entry->Advance + f->Spacing) * advanceRate;
            }
        } else if (dest != nullptr && IsMemImgAlive(dest) != 0) {
            const GlyphWriter writer(f, dest, body, edge, trans);
            const RECT area = ClipFor(dest, clip);
            for (int i = 0; i < count; ++i) {
                const FONTCELL& cell = g_workerCells[i];
                const GLYPHENTRY* entry = CachedOrRendered(font, f, cell);
                if (!IsFontSpaceCell(cell) && entry->BoxWidth > 0 && entry->BoxHeight > 0) {
                    int cx = 0;
                    int cy = 0;
                    GetFontCellPlace(f, entry->Slot, &cx, &cy);
                    const BYTE* cellBits = f->SoftCache + static_cast<std::size_t>(cy) * f->SoftRowBytes;
                    const int w = entry->BoxWidth;
                    const int h = entry->BoxHeight;
                    const int penPx = static_cast<int>(pen);
                    if (vertical == 0) {
                        const int left = x + penPx + entry->OriginX;
                        const int top = y + entry->TopOffset;
                        const int x0 = std::max<int>(left, area.left);
                        const int x1 = std::min<int>(left + w, area.right);
                        for (int dy = std::max<int>(top, area.top); dy < std::min<int>(top + h, area.bottom) && x0 < x1;
                             ++dy) {
                            writer.PutRow(cellBits, cx + x0 - left, dy - top, x0, dy, x1 - x0);
                        }
                    } else {
                        // A quarter turn clockwise: the glyph's top faces +x.
                        const int topEdge = x + (f->CellHeight - entry->TopOffset);
                        const int leftEdge = y + penPx + entry->OriginX;
                        for (int gy = 0; gy < h; ++gy) {
                            const int dx = topEdge - 1 - gy;
                            if (dx < area.left || dx >= area.right) continue;
                            for (int gx = 0; gx < w; ++gx) {
                                const int dy = leftEdge + gx;
                                if (dy >= area.top && dy < area.bottom) writer.Put(cellBits, cx + gx, gy, dx, dy);
                            }
                        }
                    }
                }
                pen += (entry->Advance + f->Spacing) * advanceRate;
            }
            // What the fast-blit planes described is gone.
            dest->Body->RunsReady = 0;
            dest->Body->AlphaPremultiplied = 0;
        } else if (dest == nullptr && f->TextureCache == 1) {
            const TextureGlyphDrawer drawer(f, rateX, rateY, Packed(body), Packed(edge));
            const bool run = vertical == 0 && drawer.DrawRun(g_workerCells, count, x, y, &pen);
            for (int i = 0; i < count && !run; ++i) {
                const FONTCELL& cell = g_workerCells[i];
                const GLYPHENTRY* entry = CachedOrRendered(font, f, cell);
                if (!IsFontSpaceCell(cell) && entry->BoxWidth > 0 && entry->BoxHeight > 0) {
                    drawer.Draw(entry, x, y, pen, vertical);
                }
                pen += (entry->Advance + f->Spacing) * advanceRate;
            }
        }
    }
    const int advance = static_cast<int>(pen);
    if (size != nullptr) {
        *size = vertical != 0 ? SIZE{f->CellHeight, advance} : SIZE{advance, f->CellHeight};
    }
    return advance;
}

int DrawTextWithFontHandle(int x, int y, const char* text, DWORD colour, int font, DWORD edgeColour, int vertical)
{
    const RECT& area = DrawState.DrawArea;
    if (text == nullptr || text[0] == '\0' || area.right <= area.left || area.bottom <= area.top) return 0;
    if (GetFontRecord(font) == nullptr) {
        WriteLog("フォントハンドル値が異常です\n");
        return -1;
    }
    WaitWhileInactive();
    // A focus return in full screen makes every font anew inside the wait.
    FONTREC* f = GetFontRecord(font);
    if (f == nullptr) return -1;
    // The string's extent is the line from x to the area's edge.
    const RECT line = vertical == 0 ? RECT{x, y, area.right, y + f->Size + 3} : RECT{x, y, x + f->Size + 3, area.bottom};
    MASKEDDRAW masked;
    BeginMaskedDraw(&masked, line);
    const bool front = IsSoftwareDrawing() == 1 && DrawState.DrawTarget == -4;
    const bool subtract = f->TextureCache == 1 && DrawState.BlendMode == ToInt(BlendMode::Subtract);
    RECT rect{};
    if (front || subtract) {
        rect = line;
        if (rect.left >= area.right) {
            EndMaskedDraw(&masked);
            return 0;
        }
        if (front && ScreenState.FrontImageStale == 1) RefreshFrontMemImg();
    }
    int result = 0;
    if (f->TextureCache == 1) {
        if (subtract) BeginSubtractBlendByInversion(&rect);
        result = G_D3D_DrawFontString(x, y, text, colour, font, edgeColour, vertical);
        if (subtract) EndSubtractBlendByInversion(&rect);
    } else {
        result = DrawFontString2D(x, y, text, colour, font, edgeColour, vertical);
    }
    EndMaskedDraw(&masked);
    if (front) FlushFrontMemImgRect(&rect);
    return result;
}

int DrawTextDefaultFont(int x, int y, const char* text, DWORD colour, DWORD edgeColour)
{
    RefreshDefaultFont();
    return DrawTextWithFontHandle(x, y, text, colour, FontSystem.DefaultFont, edgeColour, 0);
}
