// The decode thread and the frame protocol: the thread keeps the stock
// filled ahead of CurrentFrame, follows loops and seeks; the main thread
// moves CurrentFrame and waits for its entry. The two meet only in the
// context's atomic words and the stock entries. Calls libogg, libtheora,
// the allocator and the context's file functions.
#include "movie/theora.h"

#include <cstring>

#include "core/memory.h"
#include "platform/kernel/clock.h"

namespace {

constexpr int CHUNK_BYTES = 4096;

// The next packet of the Theora stream; false once the file has no more.
bool TakePacket(THEORACTX* ctx)
{
    while (ogg_stream_packetout(&ctx->StreamState, &ctx->Packet) != 1) {
        if (ogg_sync_pageout(&ctx->SyncState, &ctx->Page) > 0) {
            ogg_stream_pagein(&ctx->StreamState, &ctx->Page);
        } else if (ctx->FileFuncs.Eof(ctx->File) != 0 || ReadTheoraFileChunk(ctx, CHUNK_BYTES) == 0) {
            return false;
        }
    }
    return true;
}

void FeedDecoder(THEORACTX* ctx, bool framePacket)
{
    int result = theora_decode_packetin(&ctx->DecoderState, &ctx->Packet);
    if (!framePacket) return;
    ctx->DecodedPackets.fetch_add(1);
    // An empty packet repeats the previous picture, so it makes none.
    if (result == 0 && ctx->Packet.bytes > 0) ctx->DecoderPictured = 1;
}

// Takes up to the next frame packet, handing every packet to the decoder;
// false at the end of the file.
bool DecodeNextFrame(THEORACTX* ctx)
{
    for (;;) {
        if (!TakePacket(ctx)) return false;
        bool frame = theora_packet_iskeyframe(&ctx->Packet) >= 0;
        FeedDecoder(ctx, frame);
        if (frame) return true;
    }
}

// Frees a filled entry for the thread, unless the main thread has meanwhile
// made it the current frame. Dropping first and checking after (both
// sequentially consistent) means either the thread sees the new current
// frame, or the main thread sees the entry empty and waits.
bool DropEntry(THEORACTX* ctx, FRAMESTOCK& entry)
{
    entry.Filled = 0;
    if (ctx->CurrentFrame == entry.Frame.load(std::memory_order_relaxed)) {
        entry.Filled = 1;
        return false;
    }
    return true;
}

bool InWindow(std::int64_t frame, std::int64_t current, std::int64_t size, std::int64_t count)
{
    if (count <= 0) return false;
    std::int64_t ahead = ((frame - current) % count + count) % count;
    return ahead < size;
}

// Copies the decoder's picture region into the entry as compact planes.
bool CopyPicture(THEORACTX* ctx, FRAMESTOCK& entry)
{
    yuv_buffer yuv;
    if (ctx->DecoderPictured == 0 || theora_decode_YUVout(&ctx->DecoderState, &yuv) != 0) return false;
    const int ox = static_cast<int>(ctx->Info.offset_x);
    const int oy = static_cast<int>(ctx->Info.offset_y);
    const int w = static_cast<int>(ctx->Info.frame_width);
    const int h = static_cast<int>(ctx->Info.frame_height);
    if (yuv.y_width < ox + w || yuv.y_height < oy + h || yuv.uv_width <= 0 || yuv.uv_height <= 0) return false;
    if (std::abs(yuv.y_stride) < yuv.y_width || std::abs(yuv.uv_stride) < yuv.uv_width) return false;
    const int sx = yuv.uv_width < yuv.y_width ? 1 : 0;
    const int sy = yuv.uv_height < yuv.y_height ? 1 : 0;
    const int cx0 = ox >> sx;
    const int cy0 = oy >> sy;
    const int cw = ((ox + w - 1) >> sx) - cx0 + 1;
    const int ch = ((oy + h - 1) >> sy) - cy0 + 1;
    if (yuv.uv_width < cx0 + cw || yuv.uv_height < cy0 + ch) return false;

    if (entry.YWidth != w || entry.YHeight != h) {
        FreeMemory(entry.PlaneY);
        entry.PlaneY = nullptr;
    }
    if (entry.UVWidth != cw || entry.UVHeight != ch) {
        FreeMemory(entry.PlaneU);
        FreeMemory(entry.PlaneV);
        entry.PlaneU = entry.PlaneV = nullptr;
    }
    entry.YWidth = w;
    entry.YHeight = h;
    entry.YStride = w;
    entry.UVWidth = cw;
    entry.UVHeight = ch;
    entry.UVStride = cw;
    entry.ChromaShiftX = sx;
    entry.ChromaShiftY = sy;
    entry.ChromaPhaseX = ox - (cx0 << sx);
    entry.ChromaPhaseY = oy - (cy0 << sy);
    const std::size_t lumaBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    const std::size_t chromaBytes = static_cast<std::size_t>(cw) * static_cast<std::size_t>(ch);
    if (entry.PlaneY == nullptr) entry.PlaneY = static_cast<BYTE*>(AllocMemory(lumaBytes, "", 0));
    if (entry.PlaneU == nullptr) entry.PlaneU = static_cast<BYTE*>(AllocMemory(chromaBytes, "", 0));
    if (entry.PlaneV == nullptr) entry.PlaneV = static_cast<BYTE*>(AllocMemory(chromaBytes, "", 0));
    if (entry.PlaneY == nullptr || entry.PlaneU == nullptr || entry.PlaneV == nullptr) return false;

    // Row by row: the decoder's rows carry a border beyond the picture.
    for (int r = 0; r < h; ++r) {
        std::memcpy(entry.PlaneY + static_cast<std::size_t>(r) * w,
                    yuv.y + static_cast<std::ptrdiff_t>(oy + r) * yuv.y_stride + ox, static_cast<std::size_t>(w));
    }
    for (int r = 0; r < ch; ++r) {
        std::ptrdiff_t from = static_cast<std::ptrdiff_t>(cy0 + r) * yuv.uv_stride + cx0;
        std::memcpy(entry.PlaneU + static_cast<std::size_t>(r) * cw, yuv.u + from, static_cast<std::size_t>(cw));
        std::memcpy(entry.PlaneV + static_cast<std::size_t>(r) * cw, yuv.v + from, static_cast<std::size_t>(cw));
    }
    return true;
}

// Stocks frame DecodePosition. A frame without a picture (none decoded yet,
// or no memory for its planes) is stocked as missing, so requests for it
// answer at once and the decoder moves on.
void StoreFrame(THEORACTX* ctx, FRAMESTOCK& entry)
{
    entry.HasPicture = CopyPicture(ctx, entry) ? 1 : 0;
    entry.Frame.store(ctx->DecodePosition, std::memory_order_relaxed);
    entry.Filled = 1;
}

// Starts the file over after its last frame and decodes frame 0.
bool RestartFile(THEORACTX* ctx)
{
    ogg_sync_reset(&ctx->SyncState);
    ogg_stream_reset(&ctx->StreamState);
    ctx->FileFuncs.Seek(ctx->File, static_cast<int>(ctx->PageIndex[0].FilePos), 0);
    if (!DecodeNextFrame(ctx)) return false;
    ctx->DecodePosition = 0;
    return true;
}

void DecodePass(THEORACTX* ctx)
{
    const std::int64_t c = ctx->CurrentFrame;
    const std::int64_t d = ctx->DecodePosition;
    const std::int64_t s = ctx->StockCount;
    const std::int64_t m = ctx->FrameCount;
    const std::int64_t w = c + s;
    FRAMESTOCK* stock = ctx->FrameStock;

    if (ctx->EndOfData == 0) {
        for (int i = 0; i < s; ++i) {
            if (stock[i].Filled == 0) continue;
            std::int64_t f = stock[i].Frame.load(std::memory_order_relaxed);
            // Frames below c stay only in the part of the window [c, c + s)
            // that has wrapped to the start.
            bool stale = f < c ? !(w >= m && f < w - m) : (f > d && f > w);
            if (stale) DropEntry(ctx, stock[i]);
        }
    }
    auto findFree = [&]() -> FRAMESTOCK* {
        for (int i = 0; i < s; ++i) {
            if (stock[i].Filled == 0) return &stock[i];
        }
        return nullptr;
    };
    auto findFrame = [&](std::int64_t frame) {
        for (int i = 0; i < s; ++i) {
            if (stock[i].Filled != 0 && stock[i].Frame.load(std::memory_order_relaxed) == frame) return true;
        }
        return false;
    };
    FRAMESTOCK* free = findFree();
    if (free == nullptr && ctx->EndOfData == 0 && !findFrame(c)) {
        // The display has outrun the decoder across the loop point and every
        // entry holds a frame it has left behind: only the window ahead counts.
        for (int i = 0; i < s; ++i) {
            if (!InWindow(stock[i].Frame.load(std::memory_order_relaxed), c, s, m)) DropEntry(ctx, stock[i]);
        }
        free = findFree();
    }
    if (free == nullptr) {
        ctx->State = THEORA_STOCK_FULL;
        Sleep(0);
        return;
    }
    ctx->State = THEORA_DECODING;
    const bool holdsD = findFrame(d);
    const bool holdsC = findFrame(c);
    // A display behind the decoder with nothing stocked for it has wrapped
    // past the loop point: the decoder goes round to it in one step.
    const bool wrapped = !holdsC && c < d;
    if (holdsD || c > d || wrapped) {
        const std::int64_t step = !holdsC && c > d ? c - d : (wrapped ? c - d + m : 1);
        if (d + step < m) {
            if (DecodeTheoraPackets(ctx, static_cast<int>(step)) == -1) {
                ctx->EndOfData = 1;
                Sleep(1);
                return;
            }
        } else {
            bool ok = RestartFile(ctx);
            if (ok && d + step - m > 0) ok = DecodeTheoraPackets(ctx, static_cast<int>(d + step - m)) != -1;
            if (!ok) {
                ctx->EndOfData = 1;
                Sleep(1);
                return;
            }
        }
    }
    // The decoder can land on a frame the stock already holds (after a loop).
    if (findFrame(ctx->DecodePosition)) {
        Sleep(0);
        return;
    }
    StoreFrame(ctx, *free);
    Sleep(0);
}

// The thread's side of a seek; false when no page reaches the target.
bool CarryOutSeek(THEORACTX* ctx)
{
    ctx->State = THEORA_SEEKING;
    const std::int32_t target = ctx->SeekTarget;
    int k = 0;
    while (k < ctx->PageCount &&
           static_cast<std::int64_t>(ctx->PageIndex[k].FirstFrame) + ctx->PageIndex[k].PageFrames <= target) {
        ++k;
    }
    if (k >= ctx->PageCount) return false;
    int j = 0;
    if (k > 0) {
        j = k - 1;
        while (j > 0 && ctx->PageIndex[j].HasKeyFrame == 0) --j;
        // A key frame's packet may begin on the page before the one completing it.
        if (j > 0) --j;
    }
    ogg_sync_reset(&ctx->SyncState);
    ogg_stream_reset(&ctx->StreamState);
    ctx->FileFuncs.Seek(ctx->File, static_cast<int>(ctx->PageIndex[j].FilePos), 0);
    std::int64_t first = ctx->PageIndex[j].FirstFrame;
    bool more = true;
    if (j > 0) {
        while (ogg_sync_pageout(&ctx->SyncState, &ctx->Page) <= 0) {
            if (ReadTheoraFileChunk(ctx, CHUNK_BYTES) == 0) {
                more = false;
                break;
            }
        }
        if (more) {
            // The stream drops the tail of a packet begun before this page.
            if (ogg_page_continued(&ctx->Page)) ++first;
            ogg_stream_pagein(&ctx->StreamState, &ctx->Page);
        }
    }
    for (std::int64_t f = first; more && f <= target; ++f) more = DecodeNextFrame(ctx);
    for (int i = 0; i < ctx->StockCount; ++i) ctx->FrameStock[i].Filled = 0;
    ctx->DecodePosition = target;
    ctx->EndOfData = 0;
    ctx->SeekRequest = 0;
    return true;
}

FRAMESTOCK* FindFilledFrame(THEORACTX* ctx, std::int32_t frame)
{
    for (int i = 0; i < ctx->StockCount; ++i) {
        FRAMESTOCK& entry = ctx->FrameStock[i];
        // Filled again after Frame: an entry the thread refilled meanwhile
        // shows as empty until its planes are complete.
        if (entry.Filled == 1 && entry.Frame == frame && entry.Filled == 1) return &entry;
    }
    return nullptr;
}

} // namespace

int DecodeTheoraPackets(THEORACTX* ctx, int count)
{
    if (count < 1) return 0;
    const std::int64_t d = ctx->DecodePosition;
    std::int64_t key = -1;
    for (std::int64_t f = d + count - 1; f >= d; --f) {
        if (f >= 0 && f < ctx->FrameCount && ctx->KeyFrameFlags[f] == 1) {
            key = f;
            break;
        }
    }
    int taken = 0;
    int lastKey = 0;
    while (taken < count) {
        if (!TakePacket(ctx)) return -1;
        const int kind = theora_packet_iskeyframe(&ctx->Packet);
        const std::int32_t position = ctx->DecodePosition;
        // Packets before the last key frame of the range are not decoded.
        if (key < 0 || key <= static_cast<std::int64_t>(position) + 1) FeedDecoder(ctx, kind >= 0);
        if (kind < 0) continue;
        ctx->DecodePosition = position + 1;
        ++taken;
        lastKey = kind == 1 ? 1 : 0;
    }
    return lastKey;
}

DWORD TheoraDecodeThreadProc(void* parameter)
{
    auto* ctx = static_cast<THEORACTX*>(parameter);
    while (ctx->StopRequest == 0) {
        if (ctx->PauseRequest == 1) {
            ctx->State = THEORA_PAUSED;
            Sleep(1);
        } else if (ctx->SeekRequest == 1) {
            if (!CarryOutSeek(ctx)) break;
        } else {
            DecodePass(ctx);
        }
    }
    // The last touch of the context: the close frees it once it sees this.
    ctx->State = THEORA_ENDED;
    return 0;
}

int SeekTheoraFrame(THEORACTX* ctx, int frame)
{
    if (frame == ctx->CurrentFrame) return 0;
    // An ended thread would never report its pause.
    if (ctx->State == THEORA_ENDED) return 0;
    ctx->ImageDone = 0;
    ctx->SurfaceDone = 0;
    ctx->PauseRequest = 1;
    while (ctx->State != THEORA_PAUSED) {
        if (ctx->State == THEORA_ENDED) return 0;
        Sleep(0);
    }
    std::int64_t clamped = frame < 0 ? 0 : frame;
    if (clamped > ctx->FrameCount) clamped = ctx->FrameCount;
    ctx->CurrentFrame = static_cast<std::int32_t>(clamped);
    ctx->SeekTarget = static_cast<std::int32_t>(clamped);
    ctx->SeekRequest = 1;
    ctx->PauseRequest = 0;
    return 0;
}

int AdvanceTheoraFrame(THEORACTX* ctx, int count)
{
    if (count < 1) return 0;
    std::int64_t next = static_cast<std::int64_t>(ctx->CurrentFrame) + count;
    if (next >= ctx->FrameCount) next -= ctx->FrameCount;
    ctx->CurrentFrame = static_cast<std::int32_t>(next);
    ctx->ImageDone = 0;
    ctx->SurfaceDone = 0;
    return 0;
}

FRAMESTOCK* RequestTheoraFrame(THEORACTX* ctx)
{
    for (;;) {
        while (ctx->State == THEORA_SEEKING || (ctx->SeekRequest == 1 && ctx->State != THEORA_ENDED)) Sleep(1);
        if (ctx->State == THEORA_ENDED) return nullptr;
        if (FRAMESTOCK* entry = FindFilledFrame(ctx, ctx->CurrentFrame)) return entry;
        if (ctx->EndOfData == 1) return nullptr;
        Sleep(0);
    }
}
