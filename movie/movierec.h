// The movie record (MOVIEREC) behind a movie handle, as the movie player's
// own files and its tests see it: the Theora player, the multimedia-stream
// objects, the frame image and the overlay state.
#pragma once

#include <cstdint>

#include "core/file/filefuncs.h"
#include "graphics/image/graphimage.h"
#include "movie/movie.h"
#include "platform/dshow/dshow.h"

struct THEORACTX;

constexpr int MOVIE_TABLE_SIZE = 100;
constexpr int MOVIE_FILE_NAME_SIZE = 260;
// The play-type bit that makes a movie loop.
constexpr int MOVIE_PLAYTYPE_LOOP_BIT = 2;

// Kinds of sample surface.
enum MOVIE_SURFACEMODE {
    MOVIE_SURFACE_SCREEN = 0,
    MOVIE_SURFACE_OVERLAY = 1,
    MOVIE_SURFACE_RGB24 = 2,
};

struct MOVIEREC {
    std::int32_t Check;
    std::int32_t PlayType;
    std::int32_t TheoraFlag;
    THEORACTX* TheoraPlayer;
    std::uint64_t TheoraStartTime;
    FILEHANDLE TheoraFile;
    std::int32_t SoundHandle;
    RECT SampleRect;
    IAMMultiMediaStream* MultiMediaStream;
    IMediaStream* VideoStream;
    IAMMediaStream* AMVideoStream;
    IDirectDrawMediaStream* DDStream;
    IDirectDrawStreamSample* Sample;
    IDirectDrawSurface7* SampleSurface;
    IDirectDrawSurface7* SampleSurface7;
    IDirectDrawSurface7* SampleSurface4;  // the frame copy's view; null in overlay mode
    IDirectDraw7* DirectDraw4;
    IGraphBuilder* FilterGraph;
    IMediaControl* MediaControl;
    IMediaSeeking* MediaSeeking;
    IBasicAudio* BasicAudio;
    std::uint64_t LastUpdateFlip;
    std::uint32_t LastUpdateTime;
    std::int32_t Width;
    std::int32_t Height;
    std::int32_t HalfWidthFlag;
    std::int32_t PlayRequested;
    std::int32_t Paused;
    std::int32_t FrameReady;
    std::int32_t YuvSample;
    std::int32_t SurfaceMode;
    std::int64_t SavedTime;
    std::int32_t TempFileFlag;
    char FileName[MOVIE_FILE_NAME_SIZE];
    HANDLE UpdateEvent;
    std::int32_t UpdatePending;
    GraphImage FrameImage;
    GraphImage* Picture;
    std::int32_t OverlayX, OverlayY, OverlayScale, OverlayShown;
    RECT OverlaySrcRect, OverlayDestRect;
    MovieFrameCallback FrameCallback;
    void* FrameCallbackData;
};

// The multimedia-stream set-up of a record; 0, or -1 after its log line.
int SetupMovieMediaStream(IDirectDraw7* directDraw, MOVIEREC* movie, const char* name, int* width, int* height,
                          int surfaceMode);
// Releases the record's stream objects in the order their users need.
void ReleaseMovieStreamObjects(MOVIEREC* movie);
