// Owns the 3D surface table and the texture pieces of graphs: the split into
// power-of-two sides, pieces of new and derived graphs, their texture
// surfaces, uploads through the converting copy, fills and deletion. Calls
// the image-surface records, the device's texture slots and the batch flush.
#include "graphics/d3d/d3dtexture.h"

#include <algorithm>
#include <cstring>

#include "core/fatalexit.h"
#include "core/log.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/drawstate.h"
#include "graphics/image/convert.h"
#include "graphics/screen.h"

SURF3DTABLE Surface3DTable;

namespace {

void BuildCorners(SURF3DREC* r, int textureWidth, int textureHeight)
{
    const float x0 = r->X, y0 = r->Y, x1 = static_cast<float>(r->X + r->Width),
                y1 = static_cast<float>(r->Y + r->Height);
    const float u0 = static_cast<float>(r->TexelX) / textureWidth;
    const float u1 = static_cast<float>(r->TexelX + r->Width) / textureWidth;
    const float v0 = static_cast<float>(r->TexelY) / textureHeight;
    const float v1 = static_cast<float>(r->TexelY + r->Height) / textureHeight;
    const float xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
    const float us[4] = {u0, u1, u0, u1}, vs[4] = {v0, v0, v1, v1};
    for (int i = 0; i < 4; ++i) r->Corners[i] = TLVTXTEX{xs[i], ys[i], 0.0f, 1.0f, 0xFFFFFFFF, us[i], vs[i]};
}

void SetCornerFlags(SURF3DREC* r, int graphWidth, int graphHeight)
{
    for (int i = 0; i < 4; ++i) {
        const double x = r->Corners[i].x, y = r->Corners[i].y;
        r->CornerFlags[i] =
            (graphHeight - x * (static_cast<double>(graphHeight) / graphWidth) >= y) ? 1 : 0;
    }
}

int ScreenWidth()
{
    int w = 0, h = 0;
    GetScreenPixelSize(&w, &h);
    return w > 0 ? w : 640;
}

} // namespace

IDirectDrawSurface7* PieceTexture(const SURF3DREC* piece)
{
    if (piece == nullptr) return nullptr;
    const IMGSURFREC* is = GetImageSurfaceRecord(piece->ImageSurface);
    return is != nullptr ? is->Surface : nullptr;
}

// Bilinear filtering at a graph's right and bottom edges, and a pixel centre
// on the far edge of a mirrored quad, read the texels beyond the graph.
void RepeatPieceEdges(const SURF3DREC* p)
{
    if (p == nullptr || p->OwnsTexture == 0 || p->Width == 0 || p->Height == 0) return;
    const IMGSURFREC* is = GetImageSurfaceRecord(p->ImageSurface);
    if (is == nullptr || is->Software != 0 || is->Surface == nullptr) return;
    const int right = p->TexelX + p->Width, bottom = p->TexelY + p->Height;
    const int texW = is->Width, texH = is->Height;
    if (right >= texW && bottom >= texH) return;
    const COLORFMT* format = G_D3D_GetTextureColorFormat(is->FormatIndex);
    const int bytes = format != nullptr ? format->BitsPerPixel / 8 : 0;
    if (bytes <= 0) return;
    int pitch = 0;
    void* pixels = nullptr;
    const int locked = LockImageSurface(p->ImageSurface, &pitch, &pixels, 0, nullptr, nullptr);
    if (locked != 0) {
        // Someone else holds the lock (-2): leave the texture to them.
        if (locked == -2) UnlockImageSurface(p->ImageSurface, nullptr);
        return;
    }
    auto* base = static_cast<BYTE*>(pixels);
    for (int y = p->TexelY; y < bottom; ++y) {
        BYTE* row = base + static_cast<std::ptrdiff_t>(y) * pitch;
        for (int x = right; x < texW; ++x) std::memcpy(row + x * bytes, row + (right - 1) * bytes, bytes);
    }
    const BYTE* last = base + static_cast<std::ptrdiff_t>(bottom - 1) * pitch + p->TexelX * bytes;
    for (int y = bottom; y < texH; ++y)
        std::memcpy(base + static_cast<std::ptrdiff_t>(y) * pitch + p->TexelX * bytes, last,
                    static_cast<std::size_t>(texW - p->TexelX) * bytes);
    UnlockImageSurface(p->ImageSurface, nullptr);
}

int AddSurface3DData(int textureWidth, int textureHeight, int x, int y, int width, int height, int sourceX,
                     int sourceY, int owner, const SURF3DREC* parent, int texelX, int texelY, const IMGFLAGS* flags)
{
    if (D3DState.Direct3D == nullptr) return WriteLog("３Ｄグラフィックエンジンが初期化されていません\n");
    if (Surface3DTable.Count >= HANDLECAP_SURFACE3D) return WriteLog("３Ｄグラフィックの数が許容量を越えました。\n");
    const int slot = FindFreeHandleSlot(Surface3DTable);
    if (slot < 0) return WriteLog("３Ｄグラフィックの数が許容量を越えました。\n");
    SURF3DREC* r = AllocHandleRecord(Surface3DTable, slot, __FILE__, __LINE__);
    if (r == nullptr) return WriteLog("メモリの確保に失敗しました in AddSurface3DData \n");
    if (parent != nullptr) {
        r->ImageSurface = parent->ImageSurface;
        IncImageSurfaceRef(r->ImageSurface);
    } else {
        r->ImageSurface = AddImageSurface(1, static_cast<WORD>(textureWidth), static_cast<WORD>(textureHeight),
                                          DrawState.TransColor, flags);
        if (r->ImageSurface < 0) {
            DiscardHandleRecord(Surface3DTable, slot);
            return -1;
        }
    }
    r->X = static_cast<WORD>(x);
    r->Y = static_cast<WORD>(y);
    r->Width = static_cast<WORD>(width);
    r->Height = static_cast<WORD>(height);
    r->SourceX = static_cast<WORD>(sourceX);
    r->SourceY = static_cast<WORD>(sourceY);
    r->TexelX = static_cast<WORD>(texelX);
    r->TexelY = static_cast<WORD>(texelY);
    r->Owner = owner;
    r->OwnsTexture = parent == nullptr ? 1 : 0;
    if (parent != nullptr) {
        r->TexelX = static_cast<WORD>(r->TexelX + parent->TexelX);
        r->TexelY = static_cast<WORD>(r->TexelY + parent->TexelY);
        r->SourceX = static_cast<WORD>(r->SourceX + parent->SourceX);
        r->SourceY = static_cast<WORD>(r->SourceY + parent->SourceY);
    }
    const IMGSURFREC* is = GetImageSurfaceRecord(r->ImageSurface);
    BuildCorners(r, is != nullptr ? is->Width : 1, is != nullptr ? is->Height : 1);
    return CommitHandleRecord(Surface3DTable, slot);
}

SURF3DREC* G_D3D_GetSurface3DData(int handle)
{
    return GetHandleRecord(Surface3DTable, handle);
}

int G_D3D_DeleteSurface3DData(int handle)
{
    SURF3DREC* r = G_D3D_GetSurface3DData(handle);
    if (r == nullptr) return -1;
    if (DecImageSurfaceRef(r->ImageSurface) == 0) DeleteImageSurface(r->ImageSurface);
    return ReleaseHandleRecord(Surface3DTable, handle);
}

// Records go also while the Direct3D object is released (a lost screen):
// their textures were released with it.
int G_D3D_DeleteAllSurface3DData()
{
    DeleteAllHandleRecords(Surface3DTable, [](HANDLEVALUE h) { G_D3D_DeleteSurface3DData(h); });
    return 0;
}

int G_D3D_SplitTextureLength(int length, int* sizes, int capacity, int oneTexture)
{
    const int m = static_cast<int>(D3DState.MinTextureSide);
    const int X = static_cast<int>(D3DState.MaxTextureSide);
    const int S = ScreenWidth();
    const int B = m > 32 ? m : 32;
    if (capacity < 1) return -1;
    if (length <= B) {
        int c = B;
        while (m < c && c / 2 >= length) c /= 2;
        sizes[0] = c;
        return 1;
    }
    int M;
    if (oneTexture == 1) {
        M = X;
    } else if (S <= X) {
        M = 8;
        while (M < S) M *= 2;
    } else {
        M = X;
    }
    int c = M;
    while (c > B && c > length) c /= 2;
    if ((oneTexture == 1 || length < S) && 2 * c <= M) {
        sizes[0] = c < length ? 2 * c : c;
        return 1;
    }
    int n = 0;
    int rest = length;
    for (;;) {
        // Every piece must fit the caller's array; a side that needs more is refused.
        if (n >= capacity) return -1;
        sizes[n++] = c;
        rest -= c;
        if (rest <= 0) break;
        if (rest > 3 * c / 4 && c < M) {
            sizes[n - 1] = 2 * c;
            break;
        }
        while (rest < c && c > B) c /= 2;
    }
    if (n >= 2 && sizes[n - 1] == sizes[n - 2] && 2 * sizes[n - 1] <= M) {
        sizes[n - 2] *= 2;
        --n;
    }
    return n;
}

int G_D3D_CreateGraphTextures(GRAPHREC* g)
{
    if (D3DState.Direct3D == nullptr) return -1;
    const int one = (g->Format.DrawValid != 0 || g->SingleChannelOption != 0) ? 1 : 0;
    int widths[D3D_MAX_PIECES], heights[D3D_MAX_PIECES];
    const int nx = G_D3D_SplitTextureLength(g->Width, widths, D3D_MAX_PIECES, one);
    const int ny = G_D3D_SplitTextureLength(g->Height, heights, D3D_MAX_PIECES, one);
    if (nx < 0 || ny < 0 || nx * ny > D3D_MAX_PIECES) {
        WriteLogFormat("エラー：画像の分割数が最大数の %d を超えました", D3D_MAX_PIECES);
        return -1;
    }
    struct Piece {
        int x, y, w, h;
    } pieces[D3D_MAX_PIECES];
    int count = 0;
    int y = 0;
    for (int j = 0; j < ny; ++j) {
        int x = 0;
        for (int i = 0; i < nx; ++i) {
            pieces[count++] = Piece{x, y, widths[i], heights[j]};
            x += widths[i];
        }
        y += heights[j];
    }
    if (D3DState.DeviceDesc.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) {
        const int first = count;
        for (int k = 0; k < first; ++k) {
            Piece p = pieces[k];
            if (p.w == p.h) continue;
            const int side = std::min(p.w, p.h);
            const int n = std::max(p.w, p.h) / side;
            if (count + n - 1 > D3D_MAX_PIECES) {
                WriteLogFormat("エラー：画像の分割数が最大数の %d を超えました", D3D_MAX_PIECES);
                return -1;
            }
            pieces[k] = Piece{p.x, p.y, side, side};
            for (int q = 1; q < n; ++q) {
                pieces[count++] = p.w > p.h ? Piece{p.x + q * side, p.y, side, side} : Piece{p.x, p.y + q * side, side, side};
            }
        }
    }
    for (int k = 0; k < count; ++k) {
        const Piece& p = pieces[k];
        const int vw = std::max(0, std::min(p.w, g->Width - p.x));
        const int vh = std::max(0, std::min(p.h, g->Height - p.y));
        const int h = AddSurface3DData(p.w, p.h, p.x, p.y, vw, vh, p.x, p.y, g->Handle, nullptr, 0, 0, &g->Format);
        if (h < 0) {
            for (int q = 0; q < k; ++q) G_D3D_DeleteSurface3DData(g->Surfaces[q]);
            return -1;
        }
        g->Surfaces[k] = h;
        SetCornerFlags(G_D3D_GetSurface3DData(h), g->Width, g->Height);
    }
    g->SurfaceCount = count;
    return 0;
}

int G_D3D_CreateDerivedGraphTextures(GRAPHREC* g, int x, int y, int w, int h, const GRAPHREC* parent)
{
    G_D3D_EndScene(D3DState.CurrentDevice);
    g->SurfaceCount = 0;
    if (parent->SurfaceCount == 1) {
        const SURF3DREC* pp = G_D3D_GetSurface3DData(parent->Surfaces[0]);
        if (pp == nullptr) return -1;
        const int handle = AddSurface3DData(0, 0, 0, 0, w, h, x, y, g->Handle, pp, x, y, nullptr);
        if (handle < 0) return -1;
        g->Surfaces[0] = handle;
        SetCornerFlags(G_D3D_GetSurface3DData(handle), w, h);
        g->SurfaceCount = 1;
        return 0;
    }
    for (int i = 0; i < parent->SurfaceCount; ++i) {
        const SURF3DREC* pp = G_D3D_GetSurface3DData(parent->Surfaces[i]);
        if (pp == nullptr) continue;
        const int left = std::max<int>(x, pp->X), top = std::max<int>(y, pp->Y);
        const int right = std::min<int>(x + w, pp->X + pp->Width), bottom = std::min<int>(y + h, pp->Y + pp->Height);
        if (right <= left || bottom <= top) continue;
        const int handle = AddSurface3DData(0, 0, left - x, top - y, right - left, bottom - top, left, top, g->Handle,
                                            pp, left - pp->X, top - pp->Y, nullptr);
        if (handle < 0) {
            for (int q = 0; q < g->SurfaceCount; ++q) G_D3D_DeleteSurface3DData(g->Surfaces[q]);
            g->SurfaceCount = 0;
            return -1;
        }
        // The view's source starts at the parent piece's; its own offset is inside the parent.
        SURF3DREC* r = G_D3D_GetSurface3DData(handle);
        r->SourceX = static_cast<WORD>(pp->SourceX + (left - pp->X));
        r->SourceY = static_cast<WORD>(pp->SourceY + (top - pp->Y));
        SetCornerFlags(r, w, h);
        g->Surfaces[g->SurfaceCount++] = handle;
    }
    return 0;
}

int G_D3D_DeleteGraphTextures(GRAPHREC* g)
{
    for (int i = 0; i < g->SurfaceCount; ++i) G_D3D_DeleteSurface3DData(g->Surfaces[i]);
    return 0;
}

int G_D3D_TransferImageToSurface3DData(const RECT* sourceRect, int texelX, int texelY, int piece,
                                       const GraphImage* image, const GraphImage* alphaImage, int singleChannelOption,
                                       int useKeyColour)
{
    if (D3DState.Direct3D == nullptr) return -1;
    G_D3D_FlushCurrentVertexBatch();
    const SURF3DREC* p = G_D3D_GetSurface3DData(piece);
    if (p == nullptr || image == nullptr || image->Pixels == nullptr) return -1;
    IMGSURFREC* is = GetImageSurfaceRecord(p->ImageSurface);
    if (is == nullptr) return -1;
    // The rectangle stays inside the image and the texture.
    RECT src = *sourceRect;
    int limitW = image->Width, limitH = image->Height;
    if (alphaImage != nullptr && alphaImage->Pixels != nullptr) {
        limitW = std::min(limitW, alphaImage->Width);
        limitH = std::min(limitH, alphaImage->Height);
    }
    src.right = std::min<LONG>(src.right, limitW);
    src.bottom = std::min<LONG>(src.bottom, limitH);
    src.right = std::min<LONG>(src.right, src.left + (is->Width - texelX));
    src.bottom = std::min<LONG>(src.bottom, src.top + (is->Height - texelY));
    if (src.left < 0 || src.top < 0 || src.right <= src.left || src.bottom <= src.top) {
        SetImageSurfaceColorKey(p->ImageSurface);
        return 0;
    }
    const COLORFMT* format = G_D3D_GetTextureColorFormat(is->FormatIndex);
    RECT dst{texelX, texelY, texelX + (src.right - src.left), texelY + (src.bottom - src.top)};
    int pitch = 0;
    void* pixels = nullptr;
    if (LockImageSurface(p->ImageSurface, &pitch, &pixels, 1, &dst, nullptr) != 0)
        ExitWithFatalError("テンポラリテクスチャサーフェスの作成に失敗しました");
    const bool alphaSource = image->Format.AlphaWidth != 0 || (alphaImage != nullptr && alphaImage->Pixels != nullptr);
    const int keyToAlpha = (format->AlphaWidth != 0 && !alphaSource && useKeyColour != 0) ? 1 : 0;
    const DWORD key = is->ColorKey;
    const bool withAlpha = alphaImage != nullptr && alphaImage->Pixels != nullptr;
    CopyPixelsConvertingFormat(pixels, pitch, format, image->Pixels, image->Pitch, &image->Format,
                               withAlpha ? alphaImage->Pixels : nullptr, withAlpha ? alphaImage->Pitch : 0,
                               withAlpha ? &alphaImage->Format : nullptr, 0, 0, &src, 0, keyToAlpha, key, 0, 0,
                               singleChannelOption, 0, 0);
    UnlockImageSurface(p->ImageSurface, &dst);
    if (dst.right == p->TexelX + p->Width || dst.bottom == p->TexelY + p->Height) RepeatPieceEdges(p);
    SetImageSurfaceColorKey(p->ImageSurface);
    return 0;
}

int G_D3D_TransferImageToGraphTextures(int offsetX, int offsetY, GRAPHREC* g, const GraphImage* image,
                                       const GraphImage* alphaImage)
{
    const int useKey = DrawState.KeyColorOption == 0 ? 1 : 0;
    for (int i = 0; i < g->SurfaceCount; ++i) {
        const SURF3DREC* p = G_D3D_GetSurface3DData(g->Surfaces[i]);
        if (p == nullptr) return -1;
        RECT src{p->X + offsetX, p->Y + offsetY, p->X + offsetX + p->Width, p->Y + offsetY + p->Height};
        if (G_D3D_TransferImageToSurface3DData(&src, p->TexelX, p->TexelY, g->Surfaces[i], image, alphaImage,
                                               static_cast<int>(g->SingleChannelOption), useKey) != 0)
            return -1;
    }
    return 0;
}

int G_D3D_TransferImageRectToGraphTextures(const RECT* sourceRect, int destX, int destY, GRAPHREC* g,
                                           const GraphImage* image, const GraphImage* alphaImage)
{
    const int useKey = DrawState.KeyColorOption == 0 ? 1 : 0;
    const int w = sourceRect->right - sourceRect->left, h = sourceRect->bottom - sourceRect->top;
    for (int i = 0; i < g->SurfaceCount; ++i) {
        const SURF3DREC* p = G_D3D_GetSurface3DData(g->Surfaces[i]);
        if (p == nullptr) return -1;
        const int left = std::max<int>(destX, p->X), top = std::max<int>(destY, p->Y);
        const int right = std::min<int>(destX + w, p->X + p->Width), bottom = std::min<int>(destY + h, p->Y + p->Height);
        if (right <= left || bottom <= top) continue;
        RECT src{sourceRect->left + (left - destX), sourceRect->top + (top - destY),
                 sourceRect->left + (right - destX), sourceRect->top + (bottom - destY)};
        if (G_D3D_TransferImageToSurface3DData(&src, p->TexelX + (left - p->X), p->TexelY + (top - p->Y),
                                               g->Surfaces[i], image, alphaImage, 0, useKey) != 0)
            return -1;
    }
    return 0;
}

int G_D3D_FillGraphTextures(GRAPHREC* g, int red, int green, int blue, int alpha)
{
    if (D3DState.Direct3D == nullptr) return -1;
    if (D3DState.DeviceUnusable != 0) return 0;
    G_D3D_FlushCurrentVertexBatch();
    for (int i = 0; i < g->SurfaceCount; ++i) {
        const SURF3DREC* p = G_D3D_GetSurface3DData(g->Surfaces[i]);
        if (p == nullptr) return -1;
        FillImageSurfaceColor(p->ImageSurface, red, green, blue, alpha);
    }
    return 0;
}

int G_D3D_CreateTextureSurface(IMGSURFREC* r, IDirectDraw7* dd)
{
    const IMGFLAGS& f = r->Format;
    r->FormatIndex = GetTextureFormatIndex(&f);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = r->Width;
    desc.dwHeight = r->Height;
    desc.ddpfPixelFormat = *G_D3D_GetTexturePixelFormat(r->FormatIndex);
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | (f.DrawValid == 1 ? DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY : 0);
    if (f.DrawValid != 1 && f.UnmanagedTexture != 1) desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    IDirectDrawSurface7* surface = nullptr;
    if (D3DState.Direct3D == nullptr || desc.ddpfPixelFormat.dwRGBBitCount == 0 ||
        FAILED(dd->CreateSurface(&desc, &surface, nullptr)) || surface == nullptr) {
        WriteLog("テクスチャサーフェスの作成に失敗しました\n");
        WriteLogFormat("DrawValid:%d  AlphaChFlag%d  AlphaTestFlag:%d  ColorBitDepth:%d", f.DrawValid,
                       f.AlphaChFlag, f.AlphaTestFlag, f.ColorBitDepth);
        return -1;
    }
    r->Surface = surface;
    return 0;
}

int G_D3D_RestoreGraphTextures(GRAPHREC* g)
{
    int answer = 0;
    for (int i = 0; i < g->SurfaceCount; ++i) {
        const SURF3DREC* p = G_D3D_GetSurface3DData(g->Surfaces[i]);
        if (p == nullptr) return -1;
        answer |= RestoreImageSurfaceIfLost(p->ImageSurface);
    }
    return answer;
}

int G_D3D_RestoreAllSurface3DData()
{
    for (std::uint32_t i = 0; i < Surface3DTable.HighWater; ++i) {
        const SURF3DREC* p = Surface3DTable.Records[i];
        if (p != nullptr) RestoreImageSurfaceIfLost(p->ImageSurface);
    }
    return 0;
}
