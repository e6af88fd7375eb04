// Owns the colour tables and the last step of every frame: the YUV surface
// (made through the screen layer's DirectDraw object) and the conversion
// of a stock entry into the player's 32-bit XRGB image. Waits for frames
// through the frame request of theora_decode.
#include "movie/theora_yuv.h"

#include <cstring>

#include "graphics/screen.h"
#include "movie/theora_yuv_simd.h"

namespace {

// Coefficients scaled by 16384, truncated; the clamp table covers every
// quotient they can give.
constexpr int CLAMP_LOW = -512;
BYTE g_clamp[1280];
std::int32_t g_luma[256];
std::int32_t g_redFromCr[256];
std::int32_t g_greenFromCb[256];
std::int32_t g_greenFromCr[256];
std::int32_t g_blueFromCb[256];

TheoraDirectDrawSource g_directDrawSource = nullptr;

inline BYTE Clamp(std::int32_t v)
{
    return g_clamp[v - CLAMP_LOW];
}

inline BYTE ClampInt(int v)
{
    return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline void PutPixel(BYTE* p, BYTE r, BYTE g, BYTE b)
{
    p[0] = b;
    p[1] = g;
    p[2] = r;
    p[3] = 255;
}

} // namespace

int InitTheoraColorTables()
{
    for (int v = CLAMP_LOW; v < CLAMP_LOW + 1280; ++v) g_clamp[v - CLAMP_LOW] = ClampInt(v);
    for (int i = 0; i < 256; ++i) {
        g_luma[i] = THEORA_LUMA * (i - 16);
        g_redFromCr[i] = THEORA_RED_FROM_CR * (i - 128);
        g_greenFromCb[i] = THEORA_GREEN_FROM_CB * (i - 128);
        g_greenFromCr[i] = THEORA_GREEN_FROM_CR * (i - 128);
        g_blueFromCb[i] = THEORA_BLUE_FROM_CB * (i - 128);
    }
    return 0;
}

bool IsTheoraFrame420(const FRAMESTOCK* frame)
{
    return frame->ChromaShiftX == 1 && frame->ChromaShiftY == 1 && frame->ChromaPhaseX == 0 &&
           frame->ChromaPhaseY == 0 && frame->YWidth == 2 * frame->UVWidth && frame->YHeight == 2 * frame->UVHeight;
}

namespace {

// The table loop over the blocks [from, rows.Blocks) of a row pair.
void ConvertRowPairFromTables(const Theora420RowPair& rows, int from)
{
    const BYTE* luma[2] = {rows.Luma0, rows.Luma1};
    BYTE* out[2] = {rows.Out0, rows.Out1};
    for (int bx = from; bx < rows.Blocks; ++bx) {
        const std::int32_t red = g_redFromCr[rows.Cr[bx]];
        const std::int32_t green = g_greenFromCb[rows.Cb[bx]] + g_greenFromCr[rows.Cr[bx]];
        const std::int32_t blue = g_blueFromCb[rows.Cb[bx]];
        for (int row = 0; row < 2; ++row) {
            for (int k = 0; k < 2; ++k) {
                const std::int32_t l = g_luma[luma[row][bx * 2 + k]];
                PutPixel(out[row] + (bx * 2 + k) * 4, Clamp((l + red) / 16384), Clamp((l + green) / 16384),
                         Clamp((l + blue) / 16384));
            }
        }
    }
}

} // namespace

void ConvertTheoraFrameFixed(const FRAMESTOCK* frame, GraphImage* image, IsaLevel isa)
{
    isa = softrender::UsableIsaLevel(isa);
    BYTE* pixels = static_cast<BYTE*>(image->Pixels);
    for (int by = 0; by < frame->YHeight / 2; ++by) {
        const std::ptrdiff_t y = static_cast<std::ptrdiff_t>(by) * 2;
        Theora420RowPair rows;
        rows.Luma0 = frame->PlaneY + y * frame->YStride;
        rows.Luma1 = rows.Luma0 + frame->YStride;
        rows.Cb = frame->PlaneU + static_cast<std::ptrdiff_t>(by) * frame->UVStride;
        rows.Cr = frame->PlaneV + static_cast<std::ptrdiff_t>(by) * frame->UVStride;
        rows.Out0 = pixels + y * image->Pitch;
        rows.Out1 = rows.Out0 + image->Pitch;
        rows.Blocks = frame->YWidth / 2;
        int done = 0;
        if (isa == IsaLevel::Avx2) done = ConvertTheoraRowPairAvx2(rows);
        if (isa != IsaLevel::Portable) {
            Theora420RowPair rest = rows;
            rest.Luma0 += 2 * done;
            rest.Luma1 += 2 * done;
            rest.Cb += done;
            rest.Cr += done;
            rest.Out0 += 8 * done;
            rest.Out1 += 8 * done;
            rest.Blocks -= done;
            done += ConvertTheoraRowPairSse2(rest);
        }
        ConvertRowPairFromTables(rows, done);
    }
}

void ConvertTheoraFrameFloat(const FRAMESTOCK* frame, GraphImage* image)
{
    BYTE* pixels = static_cast<BYTE*>(image->Pixels);
    for (int y = 0; y < frame->YHeight; ++y) {
        const BYTE* luma = frame->PlaneY + static_cast<std::ptrdiff_t>(y) * frame->YStride;
        const std::ptrdiff_t chromaRow =
            static_cast<std::ptrdiff_t>((y + frame->ChromaPhaseY) >> frame->ChromaShiftY) * frame->UVStride;
        BYTE* out = pixels + static_cast<std::ptrdiff_t>(y) * image->Pitch;
        for (int x = 0; x < frame->YWidth; ++x) {
            const int cx = (x + frame->ChromaPhaseX) >> frame->ChromaShiftX;
            const double u = frame->PlaneU[chromaRow + cx] - 128;
            const double v = frame->PlaneV[chromaRow + cx] - 128;
            const float l = static_cast<float>((luma[x] - 16) * static_cast<double>(1.164f));
            const int r = static_cast<int>(l + static_cast<double>(1.596f) * v);
            const int g = static_cast<int>((l - static_cast<double>(0.391f) * u) - static_cast<double>(0.813f) * v);
            const int b = static_cast<int>(l + static_cast<double>(2.018f) * u);
            PutPixel(out + x * 4, ClampInt(r), ClampInt(g), ClampInt(b));
        }
    }
}

void PackTheoraFrame(const FRAMESTOCK* frame, DWORD fourcc, BYTE* surface, long pitch)
{
    if (fourcc == FOURCC_YV12) {
        for (int r = 0; r < frame->YHeight; ++r) {
            std::memcpy(surface + r * pitch, frame->PlaneY + static_cast<std::ptrdiff_t>(r) * frame->YStride,
                        static_cast<std::size_t>(frame->YWidth));
        }
        const long half = pitch / 2;
        BYTE* crPlane = surface + frame->YHeight * pitch;
        BYTE* cbPlane = crPlane + frame->UVHeight * half;
        for (int r = 0; r < frame->UVHeight; ++r) {
            const std::ptrdiff_t from = static_cast<std::ptrdiff_t>(r) * frame->UVStride;
            std::memcpy(crPlane + r * half, frame->PlaneV + from, static_cast<std::size_t>(frame->UVWidth));
            std::memcpy(cbPlane + r * half, frame->PlaneU + from, static_cast<std::size_t>(frame->UVWidth));
        }
        return;
    }
    const bool yuy2 = fourcc == FOURCC_YUY2;
    for (int r = 0; r < frame->YHeight; ++r) {
        const BYTE* luma = frame->PlaneY + static_cast<std::ptrdiff_t>(r) * frame->YStride;
        const BYTE* cb = frame->PlaneU + static_cast<std::ptrdiff_t>(r / 2) * frame->UVStride;
        const BYTE* cr = frame->PlaneV + static_cast<std::ptrdiff_t>(r / 2) * frame->UVStride;
        BYTE* out = surface + r * pitch;
        for (int x = 0; x < frame->YWidth / 2; ++x) {
            const BYTE group[4] = {luma[2 * x], cb[x], luma[2 * x + 1], cr[x]};
            BYTE* p = out + x * 4;
            if (yuy2) {
                std::memcpy(p, group, 4);
            } else {
                p[0] = group[1];
                p[1] = group[0];
                p[2] = group[3];
                p[3] = group[2];
            }
        }
    }
}

void SetTheoraDirectDrawSource(TheoraDirectDrawSource source)
{
    g_directDrawSource = source;
}

void CreateTheoraYuvSurface(THEORACTX* ctx)
{
    if (ctx->YuvSurface != nullptr) {
        ctx->YuvSurface->Release();
        ctx->YuvSurface = nullptr;
    }
    IDirectDraw7* directDraw = g_directDrawSource != nullptr ? g_directDrawSource() : GetDirectDrawInterface();
    if (directDraw == nullptr) return;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    // The picture region, which is what every stock entry holds.
    desc.dwWidth = ctx->Info.frame_width;
    desc.dwHeight = ctx->Info.frame_height;
    desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
    desc.ddpfPixelFormat.dwFlags = DDPF_FOURCC;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    for (DWORD fourcc : {FOURCC_YV12, FOURCC_YUY2, FOURCC_UYVY}) {
        ctx->YuvFourCC = fourcc;
        desc.ddpfPixelFormat.dwFourCC = fourcc;
        IDirectDrawSurface7* surface = nullptr;
        if (directDraw->CreateSurface(&desc, &surface, nullptr) == DD_OK && surface != nullptr) {
            ctx->YuvSurface = surface;
            return;
        }
    }
    ctx->YuvFourCC = 0;
}

int CopyTheoraFrameToImage(THEORACTX* ctx, int toImage, int toSurface)
{
    const bool wantSurface = toSurface == 1 && ctx->SurfaceDone == 0 && ctx->YuvSurface != nullptr;
    const bool wantImage = toImage == 1 && ctx->ImageDone == 0;
    if (!wantSurface && !wantImage) return 0;
    const FRAMESTOCK* frame = RequestTheoraFrame(ctx);
    if (frame == nullptr) return 0;
    if (frame->HasPicture == 0) {
        // Nothing new to show for this frame; asking again changes nothing.
        if (wantSurface) ctx->SurfaceDone = 1;
        if (wantImage) ctx->ImageDone = 1;
        return 0;
    }

    if (wantSurface) {
        DDSURFACEDESC2 desc{};
        bool locked = false;
        for (int attempt = 0; attempt < 3 && !locked; ++attempt) {
            if (ctx->YuvSurface != nullptr) {
                desc = {};
                desc.dwSize = sizeof desc;
                locked = ctx->YuvSurface->Lock(nullptr, &desc, DDLOCK_WRITEONLY, nullptr) == DD_OK;
            }
            if (!locked) CreateTheoraYuvSurface(ctx);
        }
        if (locked) {
            if (IsTheoraFrame420(frame)) {
                PackTheoraFrame(frame, ctx->YuvFourCC, static_cast<BYTE*>(desc.lpSurface), desc.lPitch);
            }
            ctx->YuvSurface->Unlock(nullptr);
            ctx->SurfaceDone = 1;
        }
    }
    if (!wantImage) return 1;
    if (IsTheoraFrame420(frame)) {
        ConvertTheoraFrameFixed(frame, &ctx->RgbImage);
    } else {
        ConvertTheoraFrameFloat(frame, &ctx->RgbImage);
    }
    ctx->ImageDone = 1;
    return 1;
}
