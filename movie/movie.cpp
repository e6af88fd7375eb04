// Owns the movie table: opening a file with the Theora player or through the
// multimedia streams, lookup, disposal, pause and resume with the window, the
// release and rebuild of stream objects around display changes. Calls the
// Theora player, the sound handles, the file layer, the log and the screen.
#include "movie/movierec.h"

#include <cstring>

#include "core/clock.h"
#include "core/handle.h"
#include "core/log.h"
#include "core/memory.h"
#include "graphics/screen.h"
#include "movie/theora.h"
#include "platform/kernel/file.h"
#include "platform/kernel/handle.h"
#include "sound/decoder.h"
#include "sound/sound.h"

int MovieHalfWidthOption = 0;

namespace {

constexpr int kTheoraStock = 10;

struct MOVIETABLE {
    MOVIEREC* Records[MOVIE_TABLE_SIZE];
    int Count;
    int CheckCounter;
};

MOVIETABLE g_movies = {};

int MakeHandle(const MOVIEREC* m, int slot)
{
    return MakeHandleValue(static_cast<std::uint32_t>(m->Check), HANDLETAG_MOVIE, static_cast<std::uint32_t>(slot));
}

void FreeSlot(int slot)
{
    FreeMemory(g_movies.Records[slot]);
    g_movies.Records[slot] = nullptr;
}

// Where the soundtrack and the clock meet: frame 0 counts as shown at
// TheoraStartTime, so the current frame stays current from now on.
void RestartTheoraClock(MOVIEREC* m)
{
    MOVIEINFO info{};
    GetTheoraMovieInfo(m->TheoraPlayer, &info);
    const int frame = GetTheoraCurrentFrame(m->TheoraPlayer);
    const double elapsed = info.FramesPerSecond > 0 ? frame / info.FramesPerSecond * 1000000.0 : 0.0;
    m->TheoraStartTime = GetMicrosecondClock(0) - static_cast<std::int64_t>(elapsed);
}

bool HasSampleSurface(const MOVIEREC* m)
{
    return m->SampleSurface4 != nullptr || m->SampleSurface7 != nullptr;
}

} // namespace

int GetMovieCount()
{
    return g_movies.Count;
}

int OpenMovie(const char* name, int* width, int* height, int surfaceMode)
{
    int slot = 0;
    while (slot < MOVIE_TABLE_SIZE && g_movies.Records[slot] != nullptr) ++slot;
    if (slot == MOVIE_TABLE_SIZE) return -1;
    auto* m = static_cast<MOVIEREC*>(AllocMemoryZeroed(sizeof(MOVIEREC), __FILE__, __LINE__));
    if (m == nullptr) return WriteLog("メモリの確保に失敗しました in OpenMovie\n");
    g_movies.Records[slot] = m;
    m->HalfWidthFlag = MovieHalfWidthOption;
    m->SoundHandle = -1;

    m->TheoraFile = name != nullptr ? OpenLibraryFile(name, 0, 1, 0) : 0;
    if (m->TheoraFile != 0) m->TheoraPlayer = OpenTheoraMovie(GetFileFunctionTable(), m->TheoraFile, kTheoraStock);
    if (m->TheoraPlayer != nullptr) {
        const int savedMode = GetSoundLoadMode();
        MovieSoundtrackFlag = 1;
        SetSoundLoadMode(3);
        m->SoundHandle = CreateSoundFromFile(name, 1, -1);
        MovieSoundtrackFlag = 0;
        SetSoundLoadMode(savedMode);
        MOVIEINFO info{};
        GetTheoraMovieInfo(m->TheoraPlayer, &info);
        m->Width = info.Width;
        m->Height = info.Height;
        if (width != nullptr) *width = info.Width;
        if (height != nullptr) *height = info.Height;
        m->TheoraFlag = 1;
        m->Picture = GetTheoraFrameImage(m->TheoraPlayer);
        m->SurfaceMode = MOVIE_SURFACE_SCREEN;
    } else {
        if (m->TheoraFile != 0) CloseLibraryFile(m->TheoraFile);
        m->TheoraFile = 0;
        m->TempFileFlag = 0;
        if (name == nullptr ||
            SetupMovieMediaStream(GetDirectDrawInterface(), m, name, width, height, surfaceMode) == -1) {
            FreeSlot(slot);
            return WriteLog("ムービーファイルオープン処理時にエラーが発生しました\n");
        }
        m->Picture = &m->FrameImage;
    }
    m->Paused = 1;
    m->PlayRequested = 0;
    m->PlayType = 1;
    m->Check = g_movies.CheckCounter;
    g_movies.CheckCounter = g_movies.CheckCounter >= static_cast<int>(HANDLE_CHECK_MAX) ? 0 : g_movies.CheckCounter + 1;
    ++g_movies.Count;
    return MakeHandle(m, slot);
}

MOVIEREC* GetMovieRecord(int movie)
{
    if (movie < 0 || (movie & HANDLE_TAG_MASK) != HANDLETAG_MOVIE) return nullptr;
    const int slot = movie & HANDLE_SLOT_MASK;
    if (slot >= MOVIE_TABLE_SIZE) return nullptr;
    MOVIEREC* m = g_movies.Records[slot];
    if (m == nullptr || (m->Check << 16) != (movie & HANDLE_CHECK_MASK)) return nullptr;
    return m;
}

void ReleaseMovieStreamObjects(MOVIEREC* m)
{
    // The sample first: it stops its own completion of a pending update.
    IUnknown** objects[] = {
        reinterpret_cast<IUnknown**>(&m->SampleSurface4), reinterpret_cast<IUnknown**>(&m->SampleSurface7),
        reinterpret_cast<IUnknown**>(&m->SampleSurface),  reinterpret_cast<IUnknown**>(&m->Sample),
        reinterpret_cast<IUnknown**>(&m->DDStream),       reinterpret_cast<IUnknown**>(&m->AMVideoStream),
        reinterpret_cast<IUnknown**>(&m->VideoStream),    reinterpret_cast<IUnknown**>(&m->BasicAudio),
        reinterpret_cast<IUnknown**>(&m->MediaSeeking),   reinterpret_cast<IUnknown**>(&m->DirectDraw4),
        reinterpret_cast<IUnknown**>(&m->MediaControl),   reinterpret_cast<IUnknown**>(&m->FilterGraph),
        reinterpret_cast<IUnknown**>(&m->MultiMediaStream),
    };
    for (IUnknown** p : objects) {
        if (*p != nullptr) (*p)->Release();
        *p = nullptr;
    }
}

int DisposeMovieHandle(int movie)
{
    MOVIEREC* m = GetMovieRecord(movie);
    if (m == nullptr) return -1;
    if (m->TheoraFlag == 1) {
        // The decode thread reads the file: it ends before the file closes.
        CloseTheoraMovie(m->TheoraPlayer);
        if (m->TheoraFile != 0) CloseLibraryFile(m->TheoraFile);
        DiscardSoundHandle(m->SoundHandle);
        m->TheoraPlayer = nullptr;
        m->SoundHandle = -1;
        m->TheoraFile = 0;
        m->TheoraFlag = 0;
    }
    // No overlay is ever shown (the screen finds no overlay format), so none
    // needs hiding here.
    ReleaseMovieStreamObjects(m);
    if (m->TempFileFlag == 1) {
        DeleteFileA(m->FileName);
        m->TempFileFlag = 0;
    }
    if (m->FrameImage.Pixels != nullptr) FreeMemory(m->FrameImage.Pixels);
    if (m->UpdateEvent != nullptr) CloseHandle(m->UpdateEvent);
    FreeSlot(movie & HANDLE_SLOT_MASK);
    --g_movies.Count;
    return 0;
}

GraphImage* GetMoviePicture(MOVIEREC* m, int onlyNew)
{
    if (m->TheoraFlag == 1 && CopyTheoraFrameToImage(m->TheoraPlayer, 1, 0) == 0 && onlyNew == 1) return nullptr;
    return m->Picture != nullptr && m->Picture->Pixels != nullptr ? m->Picture : nullptr;
}

int SetMovieFrameCallback(int movie, MovieFrameCallback callback, void* data)
{
    MOVIEREC* m = GetMovieRecord(movie);
    if (m == nullptr) return -1;
    m->FrameCallback = callback;
    m->FrameCallbackData = data;
    return 0;
}

int PauseMovie(int movie, int bySystem)
{
    MOVIEREC* m = GetMovieRecord(movie);
    if (m == nullptr) return -1;
    if (m->Paused == 1) return 0;
    if (m->TheoraFlag == 1) {
        StopSoundToHandle(m->SoundHandle);
        // The shown frame catches up with the moment of the pause.
        RefreshMovieFrame(movie, 0);
    } else {
        if (!HasSampleSurface(m)) return 0;
        m->MediaControl->Pause();
    }
    m->Paused = 1;
    if (bySystem == 0) m->PlayRequested = 0;
    return 0;
}

int PauseAllMoviesBySystem()
{
    for (int slot = 0; slot < MOVIE_TABLE_SIZE; ++slot) {
        const MOVIEREC* m = g_movies.Records[slot];
        if (m != nullptr) PauseMovie(MakeHandle(m, slot), 1);
    }
    return 0;
}

int ResumeSystemPausedMovies()
{
    for (MOVIEREC* m : g_movies.Records) {
        if (m == nullptr || m->Paused != 1 || m->PlayRequested != 1) continue;
        const int type = m->PlayType != 0 ? m->PlayType : 1;
        if (m->TheoraFlag == 1) {
            RestartTheoraClock(m);
            PlaySoundToHandle(m->SoundHandle, type, 0);
        } else {
            if (!HasSampleSurface(m)) continue;
            m->MultiMediaStream->SetState(STREAMSTATE_RUN);
        }
        m->Paused = 0;
        m->PlayType = type;
        m->PlayRequested = 1;
    }
    return 0;
}

int ReleaseAllMovieStreams()
{
    for (MOVIEREC* m : g_movies.Records) {
        if (m == nullptr || m->TheoraFlag == 1 || !HasSampleSurface(m)) continue;
        STREAM_TIME time = 0;
        m->MultiMediaStream->GetTime(&time);
        m->SavedTime = time;
        ReleaseMovieStreamObjects(m);
    }
    return 0;
}

int ReopenAllMovieStreams()
{
    for (MOVIEREC* m : g_movies.Records) {
        if (m == nullptr || m->TheoraFlag == 1 || HasSampleSurface(m)) continue;
        if (SetupMovieMediaStream(GetDirectDrawInterface(), m, m->FileName, nullptr, nullptr, m->SurfaceMode) == -1) {
            return -1;
        }
        m->MultiMediaStream->Seek(m->SavedTime);
        if (m->Paused == 0) m->MultiMediaStream->SetState(STREAMSTATE_RUN);
    }
    return 0;
}

int RestoreMovieSurfaces(int movie)
{
    MOVIEREC* m = GetMovieRecord(movie);
    if (m == nullptr) return 0;
    for (IDirectDrawSurface7* s : {m->SampleSurface4, m->SampleSurface7}) {
        if (s != nullptr && s->IsLost() != DD_OK) s->Restore();
    }
    return 0;
}

int RefreshAllMovieOverlays()
{
    for (int slot = 0; slot < MOVIE_TABLE_SIZE; ++slot) {
        const MOVIEREC* m = g_movies.Records[slot];
        if (m == nullptr || m->TheoraFlag == 1 || m->SurfaceMode != MOVIE_SURFACE_OVERLAY) continue;
        UpdateMovieOverlay(m->OverlayX, m->OverlayY, m->OverlayScale, MakeHandle(m, slot), m->OverlayShown);
    }
    return 0;
}
