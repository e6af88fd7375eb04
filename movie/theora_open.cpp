// Owns the life of a THEORACTX: the open (header parse, page and key-frame
// index), the chunk reads, the close and the getters. Calls libogg and
// libtheora, the allocator, the log and the caller's file functions; the
// decode thread and the first frame come from theora_decode and theora_yuv.
#include "movie/theora.h"

#include <cstring>
#include <new>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/image/graphimage.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"

namespace {

constexpr int CHUNK_BYTES = 4096;
constexpr int INDEX_GROWTH = 1000;
// Larger pictures are refused before the decoder sizes its buffers from them.
constexpr std::uint32_t MAX_SIDE = 8192;
constexpr std::uint64_t MAX_PIXELS = 4096ull * 4096ull;
// Seeks take a signed 32-bit offset.
constexpr std::uint64_t MAX_FILE_POS = 0x7FFFFFFF;

bool PictureFits(const theora_info& info)
{
    if (info.width == 0 || info.height == 0 || info.width > MAX_SIDE || info.height > MAX_SIDE) return false;
    if (static_cast<std::uint64_t>(info.width) * info.height > MAX_PIXELS) return false;
    if (info.frame_width == 0 || info.frame_height == 0) return false;
    return static_cast<std::uint64_t>(info.offset_x) + info.frame_width <= info.width &&
           static_cast<std::uint64_t>(info.offset_y) + info.frame_height <= info.height;
}

// Grows a block by INDEX_GROWTH records; false (block kept) when refused.
template <typename T>
bool GrowIndexBlock(T** block, std::int64_t used)
{
    std::size_t bytes = static_cast<std::size_t>(used + INDEX_GROWTH) * sizeof(T);
    void* grown = ReallocMemory(*block, bytes, "", 0);
    if (grown == nullptr) return false;
    *block = static_cast<T*>(grown);
    return true;
}

// Walks the whole file once; the positions count every byte the sync layer
// skips too, so they stay exact after damage between pages. False when an
// index block could not grow (logged).
bool BuildIndex(THEORACTX* ctx)
{
    std::uint64_t position = 0;
    std::uint64_t last = 0;
    bool newPage = false;
    std::int32_t pageRoom = INDEX_GROWTH;
    std::int64_t frameRoom = INDEX_GROWTH;
    for (;;) {
        while (ogg_stream_packetout(&ctx->StreamState, &ctx->Packet) != 1) {
            long taken = ogg_sync_pageseek(&ctx->SyncState, &ctx->Page);
            if (taken > 0) {
                if (position + static_cast<std::uint64_t>(taken) > MAX_FILE_POS) return true;
                last = position;
                position += static_cast<std::uint64_t>(taken);
                newPage = true;
                ogg_stream_pagein(&ctx->StreamState, &ctx->Page);
            } else if (taken < 0) {
                position += static_cast<std::uint64_t>(-taken);
            } else if (ReadTheoraFileChunk(ctx, CHUNK_BYTES) == 0) {
                return true;
            }
        }
        int key = theora_packet_iskeyframe(&ctx->Packet);
        if (key < 0) continue;
        if (ctx->FrameCount >= 0x7FFFFFFF) return true;
        if (newPage) {
            newPage = false;
            if (ctx->PageCount == pageRoom) {
                if (!GrowIndexBlock(&ctx->PageIndex, ctx->PageCount)) {
                    WriteLog("Theora ページ情報格納用メモリの確保に失敗しました\n");
                    return false;
                }
                pageRoom += INDEX_GROWTH;
            }
            ctx->PageIndex[ctx->PageCount] = {static_cast<std::uint32_t>(last),
                                              static_cast<std::int32_t>(ctx->FrameCount), 0, 0};
            ++ctx->PageCount;
        }
        if (ctx->FrameCount == frameRoom) {
            if (!GrowIndexBlock(&ctx->KeyFrameFlags, ctx->FrameCount)) {
                WriteLog("Theora キーフレーム情報格納用メモリの確保に失敗しました\n");
                return false;
            }
            frameRoom += INDEX_GROWTH;
        }
        THEORAPAGE& record = ctx->PageIndex[ctx->PageCount - 1];
        if (key == 1) record.HasKeyFrame = 1;
        ctx->KeyFrameFlags[ctx->FrameCount] = key == 1 ? 1 : 0;
        ++ctx->FrameCount;
        ++record.PageFrames;
    }
}

THEORACTX* FailOpen(THEORACTX* ctx, const char* message)
{
    if (message != nullptr) WriteLog(message);
    CloseTheoraMovie(ctx);
    return nullptr;
}

} // namespace

int ReadTheoraFileChunk(THEORACTX* ctx, int bytes)
{
    char* buffer = ogg_sync_buffer(&ctx->SyncState, bytes);
    if (buffer == nullptr) return 0;
    std::uint32_t read = ctx->FileFuncs.Read(buffer, 1, static_cast<std::uint32_t>(bytes), ctx->File);
    if (read > static_cast<std::uint32_t>(bytes)) read = 0;
    ogg_sync_wrote(&ctx->SyncState, static_cast<long>(read));
    return static_cast<int>(read);
}

int ParseTheoraHeaders(THEORACTX* ctx)
{
    // Phase 1: the first beginning-of-stream page whose packet is a Theora header.
    bool found = false;
    while (!found) {
        if (ReadTheoraFileChunk(ctx, CHUNK_BYTES) == 0) break;
        while (ogg_sync_pageout(&ctx->SyncState, &ctx->Page) == 1) {
            if (ogg_page_bos(&ctx->Page) == 0) {
                ogg_stream_pagein(&ctx->StreamState, &ctx->Page);
                found = true;
                break;
            }
            ogg_stream_state trial;
            ogg_stream_init(&trial, ogg_page_serialno(&ctx->Page));
            ogg_stream_pagein(&trial, &ctx->Page);
            if (ogg_stream_packetout(&trial, &ctx->Packet) == 1 &&
                theora_decode_header(&ctx->Info, &ctx->Comment, &ctx->Packet) == 0) {
                ctx->StreamState = trial;
                ctx->HeaderCount = 1;
                found = true;
                break;
            }
            ogg_stream_clear(&trial);
        }
    }
    // Phase 2: the comment and setup headers.
    while (ctx->HeaderCount < 3) {
        while (ctx->HeaderCount < 3) {
            int got = ogg_stream_packetout(&ctx->StreamState, &ctx->Packet);
            if (got == 0) break;
            if (got < 0) return -1;
            if (theora_decode_header(&ctx->Info, &ctx->Comment, &ctx->Packet) != 0) return -1;
            ++ctx->HeaderCount;
        }
        if (ogg_sync_pageout(&ctx->SyncState, &ctx->Page) > 0) {
            ogg_stream_pagein(&ctx->StreamState, &ctx->Page);
        } else if (ReadTheoraFileChunk(ctx, CHUNK_BYTES) == 0) {
            return -1;
        }
    }
    return 1;
}

THEORACTX* OpenTheoraMovie(const FILEFUNCS* funcs, FILEHANDLE file, int stockEntries)
{
    char magic[4] = {};
    if (funcs->Read(magic, 1, 4, file) != 4 || std::memcmp(magic, "OggS", 4) != 0) return nullptr;
    funcs->Seek(file, 0, 0);

    void* block = AllocMemoryZeroed(sizeof(THEORACTX), "", 0);
    if (block == nullptr) {
        WriteLog("Theora ムービーデコード処理用のメモリ確保に失敗しました\n");
        return nullptr;
    }
    auto* ctx = new (block) THEORACTX{};
    ctx->HeaderCount = 0;
    ctx->CurrentFrame = -1;
    ogg_sync_init(&ctx->SyncState);
    theora_info_init(&ctx->Info);
    theora_comment_init(&ctx->Comment);
    ctx->FileFuncs = *funcs;
    ctx->File = file;

    if (ParseTheoraHeaders(ctx) != 1 || !PictureFits(ctx->Info)) return FailOpen(ctx, nullptr);

    ctx->PauseRequest = 1;
    ctx->State = THEORA_STOCK_FULL;
    ctx->DecodeThread = CreateThread(nullptr, 0, TheoraDecodeThreadProc, ctx, 0, nullptr);
    if (ctx->DecodeThread == nullptr) {
        return FailOpen(ctx, "Theora ムービーデコード用スレッドの作成に失敗しました\n");
    }

    // A decoder that refuses the headers it accepted one by one would leave
    // the thread with no decoder to feed.
    if (theora_decode_init(&ctx->DecoderState, &ctx->Info) != 0) return FailOpen(ctx, nullptr);
    ogg_sync_reset(&ctx->SyncState);
    ogg_stream_reset(&ctx->StreamState);
    ctx->FileFuncs.Seek(ctx->File, 0, 0);

    ctx->PageIndex = static_cast<THEORAPAGE*>(AllocMemory(INDEX_GROWTH * sizeof(THEORAPAGE), "", 0));
    if (ctx->PageIndex == nullptr) return FailOpen(ctx, "Theora ページ情報格納用メモリの確保に失敗しました\n");
    ctx->PageCount = 0;
    ctx->KeyFrameFlags = static_cast<BYTE*>(AllocMemory(INDEX_GROWTH, "", 0));
    if (ctx->KeyFrameFlags == nullptr) {
        return FailOpen(ctx, "Theora キーフレーム情報格納用メモリの確保に失敗しました\n");
    }
    ctx->FrameCount = 0;
    if (!BuildIndex(ctx)) return FailOpen(ctx, nullptr);
    if (ctx->PageCount > 0) ctx->PageIndex[0].FilePos = 0;

    CreateTheoraYuvSurface(ctx);
    if (SetupGraphImageXRGB32(static_cast<int>(ctx->Info.frame_width), static_cast<int>(ctx->Info.frame_height),
                              &ctx->RgbImage) == -1) {
        return FailOpen(ctx, "Theora ムービーデコードフレームストック用画像バッファの確保に失敗しました\n");
    }

    ctx->StockCount = stockEntries;
    void* stock = stockEntries > 0 ? AllocMemoryZeroed(sizeof(FRAMESTOCK) * static_cast<std::size_t>(stockEntries), "", 0)
                                   : nullptr;
    if (stock == nullptr) {
        ctx->StockCount = 0;
        return FailOpen(ctx, "Theora ムービーデコードフレームストック用のメモリ確保に失敗しました\n");
    }
    ctx->FrameStock = static_cast<FRAMESTOCK*>(stock);
    for (int i = 0; i < stockEntries; ++i) new (&ctx->FrameStock[i]) FRAMESTOCK{};

    SeekTheoraFrame(ctx, 0);
    CopyTheoraFrameToImage(ctx, 1, 1);
    return ctx;
}

int CloseTheoraMovie(THEORACTX* ctx)
{
    if (ctx->DecodeThread != nullptr) {
        ctx->StopRequest = 1;
        while (ctx->State != THEORA_ENDED) Sleep(1);
        WaitForSingleObject(ctx->DecodeThread, INFINITE);
        CloseHandle(ctx->DecodeThread);
        ctx->DecodeThread = nullptr;
    }
    if (ctx->FrameStock != nullptr) {
        for (int i = 0; i < ctx->StockCount; ++i) {
            FreeMemory(ctx->FrameStock[i].PlaneY);
            FreeMemory(ctx->FrameStock[i].PlaneU);
            FreeMemory(ctx->FrameStock[i].PlaneV);
        }
        FreeMemory(ctx->FrameStock);
        ctx->FrameStock = nullptr;
    }
    if (ctx->YuvSurface != nullptr) {
        ctx->YuvSurface->Release();
        ctx->YuvSurface = nullptr;
    }
    FreeMemory(ctx->PageIndex);
    FreeMemory(ctx->KeyFrameFlags);
    FreeGraphImagePixels(&ctx->RgbImage);
    ogg_stream_clear(&ctx->StreamState);
    theora_clear(&ctx->DecoderState);
    theora_comment_clear(&ctx->Comment);
    theora_info_clear(&ctx->Info);
    ogg_sync_clear(&ctx->SyncState);
    ctx->~THEORACTX();
    FreeMemory(ctx);
    return 0;
}

GraphImage* GetTheoraFrameImage(THEORACTX* ctx)
{
    return &ctx->RgbImage;
}

IDirectDrawSurface7* GetTheoraYuvSurface(THEORACTX* ctx)
{
    return ctx->YuvSurface;
}

int GetTheoraMovieInfo(THEORACTX* ctx, MOVIEINFO* info)
{
    info->FramesPerSecond = static_cast<double>(ctx->Info.fps_numerator) / static_cast<double>(ctx->Info.fps_denominator);
    info->FrameCount = static_cast<std::int32_t>(ctx->FrameCount);
    // The picture region, not the encoded frame around it.
    info->Width = static_cast<std::int32_t>(ctx->Info.frame_width);
    info->Height = static_cast<std::int32_t>(ctx->Info.frame_height);
    return 0;
}

int GetTheoraCurrentFrame(THEORACTX* ctx)
{
    return ctx->CurrentFrame;
}
