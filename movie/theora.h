// The Ogg Theora player: one THEORACTX per open movie, with its page index,
// its decode thread and frame stock, and the YUV-to-RGB conversion. Calls
// libogg, libtheora's theora_* interface, the allocator, the log, the file
// functions it is given and the screen layer's DirectDraw object.
#pragma once

#include <ogg/ogg.h>
#include <theora/theora.h>

#include <atomic>
#include <cstdint>

#include "core/file/filefuncs.h"
#include "graphics/image/graphimage.h"
#include "platform/ddraw/ddraw.h"

// Decode-thread states.
enum TheoraThreadState : std::int32_t {
    THEORA_STOCK_FULL = 0,
    THEORA_DECODING = 1,
    THEORA_SEEKING = 2,
    THEORA_ENDED = 3,
    THEORA_PAUSED = 4,
};

// One decoded frame of the stock. The thread writes an entry only while
// Filled is 0 and sets Filled last; the main thread reads only filled ones.
// The planes are the picture region, rows stride bytes apart.
struct FRAMESTOCK {
    std::atomic<std::int32_t> Filled;
    std::atomic<std::int32_t> Frame;
    std::int32_t HasPicture; // 0: the frame is stocked, but there is no picture to show
    BYTE* PlaneY;
    BYTE* PlaneU; // Cb
    BYTE* PlaneV; // Cr
    int YWidth, YHeight, YStride;
    int UVWidth, UVHeight, UVStride;
    // Chroma subsampling (0 or 1 per axis) and where the picture starts within
    // its first chroma sample, so every layout finds each pixel's own chroma.
    int ChromaShiftX, ChromaShiftY;
    int ChromaPhaseX, ChromaPhaseY;
};

struct THEORAPAGE {
    std::uint32_t FilePos;
    std::int32_t FirstFrame;
    std::int32_t HasKeyFrame;
    std::int32_t PageFrames;
};

struct MOVIEINFO {
    double FramesPerSecond;
    std::int32_t FrameCount;
    std::int32_t Width;
    std::int32_t Height;
};

struct THEORACTX {
    std::atomic<std::int32_t> State;
    std::atomic<std::int32_t> PauseRequest;
    std::atomic<std::int32_t> StopRequest;
    std::atomic<std::int32_t> SeekRequest;
    std::atomic<std::int32_t> SeekTarget;
    std::atomic<std::int32_t> EndOfData;
    HANDLE DecodeThread;
    FILEFUNCS FileFuncs;
    FILEHANDLE File;
    ogg_sync_state SyncState;
    ogg_page Page;
    ogg_stream_state StreamState;
    ogg_packet Packet;
    theora_info Info;
    theora_comment Comment;
    theora_state DecoderState;
    THEORAPAGE* PageIndex;
    std::int32_t PageCount;
    BYTE* KeyFrameFlags;
    std::int64_t FrameCount;
    std::atomic<std::int32_t> CurrentFrame;
    std::atomic<std::int32_t> DecodePosition;
    std::int32_t HeaderCount;
    FRAMESTOCK* FrameStock;
    std::int32_t StockCount;
    GraphImage RgbImage;
    IDirectDrawSurface7* YuvSurface;
    DWORD YuvFourCC;
    std::int32_t ImageDone;
    std::int32_t SurfaceDone;
    // 1 once the decoder has decoded a picture of its own: before that its
    // output planes are not set up. The thread's alone.
    std::int32_t DecoderPictured;
    // Frame packets handed to the decoder so far: how tests see that a jump
    // decodes only from its last key frame.
    std::atomic<std::int64_t> DecodedPackets;
};

// Open, index, close and getters.
THEORACTX* OpenTheoraMovie(const FILEFUNCS* funcs, FILEHANDLE file, int stockEntries);
int CloseTheoraMovie(THEORACTX* context);
int ReadTheoraFileChunk(THEORACTX* context, int bytes);
int ParseTheoraHeaders(THEORACTX* context);
GraphImage* GetTheoraFrameImage(THEORACTX* context);
IDirectDrawSurface7* GetTheoraYuvSurface(THEORACTX* context);
int GetTheoraMovieInfo(THEORACTX* context, MOVIEINFO* info);
int GetTheoraCurrentFrame(THEORACTX* context);

// The decode thread and the frame protocol.
int SeekTheoraFrame(THEORACTX* context, int frame);
int AdvanceTheoraFrame(THEORACTX* context, int count);
DWORD TheoraDecodeThreadProc(void* context);
int DecodeTheoraPackets(THEORACTX* context, int count);
// The main thread's wait for the stock entry of CurrentFrame; null when the
// thread has ended or the data ended without that frame.
FRAMESTOCK* RequestTheoraFrame(THEORACTX* context);

// YUV surface and conversion.
int InitTheoraColorTables();
void CreateTheoraYuvSurface(THEORACTX* context);
int CopyTheoraFrameToImage(THEORACTX* context, int toImage, int toSurface);

// Where CreateTheoraYuvSurface finds DirectDraw: the screen layer's object,
// or for tests a source of their own (null restores the screen layer's).
using TheoraDirectDrawSource = IDirectDraw7* (*)();
void SetTheoraDirectDrawSource(TheoraDirectDrawSource source);
