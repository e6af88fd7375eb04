// Owns the frame refresh of a movie record: the Theora player's frame chosen
// from the soundtrack or the clock, the stream sample's paced updates copied
// into the frame image, and the overlay placement. Calls the Theora player,
// the sound handles, the clocks, the screen's flip counter and the
// multimedia-stream layer.
#include <cstring>

#include "core/clock.h"
#include "graphics/drawstate.h"
#include "movie/movierec.h"
#include "movie/theora.h"
#include "platform/kernel/sync.h"
#include "sound/sound.h"

namespace {

constexpr DWORD kPacingMs = 17;

bool Loops(const MOVIEREC* m)
{
    return (m->PlayType & MOVIE_PLAYTYPE_LOOP_BIT) != 0;
}

void CallFrameCallback(MOVIEREC* m)
{
    if (m->FrameCallback != nullptr) m->FrameCallback(m, m->FrameCallbackData);
}

void EndMovie(MOVIEREC* m)
{
    m->PlayRequested = 0;
    m->Paused = 1;
}

void RefreshTheoraFrame(MOVIEREC* m)
{
    MOVIEINFO info{};
    GetTheoraMovieInfo(m->TheoraPlayer, &info);
    const int count = info.FrameCount;
    // A movie without frames has nothing to advance to.
    if (m->Paused == 0 && count > 0) {
        std::int64_t target;
        if (m->SoundHandle != -1) {
            const std::int64_t t = static_cast<std::int64_t>(GetSoundPlayPositionMs(m->SoundHandle)) * 1000;
            target = static_cast<std::int64_t>(static_cast<double>(t) * info.FramesPerSecond * 0.000001);
            if (target >= count) target = count - 1;
        } else {
            const std::int64_t t = static_cast<std::int64_t>(GetMicrosecondClock(0) - m->TheoraStartTime);
            target = static_cast<std::int64_t>(static_cast<double>(t) * info.FramesPerSecond * 0.000001);
            if (target >= count) target = Loops(m) ? target % count : count - 1;
        }
        if (target < 0) target = 0;
        const int cur = GetTheoraCurrentFrame(m->TheoraPlayer);
        if (target == cur) {
            if (target == count - 1 && !Loops(m) && m->SoundHandle == -1) EndMovie(m);
        } else if (target > cur) {
            AdvanceTheoraFrame(m->TheoraPlayer, static_cast<int>(target - cur));
        } else {
            AdvanceTheoraFrame(m->TheoraPlayer, static_cast<int>(count - cur + target));
        }
    }
    if (m->FrameCallback != nullptr) {
        CallFrameCallback(m);
        m->FrameReady = 1;
    }
}

void CopySampleFrame(MOVIEREC* m)
{
    GraphImage& image = m->FrameImage;
    if (image.Pixels == nullptr || m->YuvSample != 0 || m->SampleSurface4 == nullptr) return;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (m->SampleSurface4->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return;
    const int bytes = image.Format.BytesPerPixel;
    // The sample's rectangle may start inside its surface.
    const auto* src = static_cast<const BYTE*>(desc.lpSurface) + m->SampleRect.top * desc.lPitch +
                      m->SampleRect.left * bytes;
    auto* dst = static_cast<BYTE*>(image.Pixels);
    for (int row = 0; row < m->Height; ++row) {
        std::memcpy(dst + static_cast<std::ptrdiff_t>(row) * image.Pitch, src + static_cast<std::ptrdiff_t>(row) * desc.lPitch,
                    static_cast<std::size_t>(m->Width) * bytes);
    }
    m->SampleSurface4->Unlock(nullptr);
}

void CollectFrame(MOVIEREC* m)
{
    CopySampleFrame(m);
    if (m->SurfaceMode != MOVIE_SURFACE_OVERLAY) CallFrameCallback(m);
    m->LastUpdateFlip = GetFlipCounter();
    m->LastUpdateTime = GetSystemMilliseconds();
    ResetEvent(m->UpdateEvent);
    m->UpdatePending = 0;
    m->FrameReady = 1;
}

// Judges an update's result: true when the frame is there to collect.
bool FrameArrived(MOVIEREC* m, HRESULT result)
{
    if (result == S_OK) return true;
    if (result == MS_S_PENDING) {
        m->UpdatePending = 1;
    } else if (Loops(m)) {
        m->MultiMediaStream->Seek(0);
        m->MultiMediaStream->SetState(STREAMSTATE_RUN);
        m->LastUpdateFlip = ~0ull;
        m->LastUpdateTime = 0xFFFFFFFFu;
    } else {
        EndMovie(m);
    }
    return false;
}

void RefreshStreamFrame(MOVIEREC* m, int force)
{
    if (m->SampleSurface4 == nullptr && m->SampleSurface7 == nullptr) return;
    STREAM_STATE state = STREAMSTATE_STOP;
    m->MultiMediaStream->GetState(&state);
    if (force == 0) {
        if (m->PlayRequested == 0 || m->Paused == 1 || state != STREAMSTATE_RUN) return;
        if (GetFlipCounter() == m->LastUpdateFlip && GetSystemMilliseconds() - m->LastUpdateTime <= kPacingMs) return;
    }
    if (m->UpdatePending == 1 && force == 0) {
        if (WaitForSingleObject(m->UpdateEvent, 0) != WAIT_OBJECT_0) return;
    } else {
        const HRESULT r = m->Sample->Update(0, force != 0 ? nullptr : m->UpdateEvent, nullptr, 0);
        if (!FrameArrived(m, r)) return;
    }
    CollectFrame(m);
    if (force != 0) return;
    // The next frame decodes while the program works.
    if (FrameArrived(m, m->Sample->Update(0, m->UpdateEvent, nullptr, 0))) CollectFrame(m);
}

} // namespace

int RefreshMovieFrame(int movie, int force)
{
    MOVIEREC* m = GetMovieRecord(movie);
    if (m == nullptr) return 0;
    if (m->TheoraFlag == 1) {
        RefreshTheoraFrame(m);
    } else {
        RefreshStreamFrame(m, force);
    }
    return 0;
}

int UpdateMovieOverlay(int, int, int, int movie, int)
{
    const MOVIEREC* m = GetMovieRecord(movie);
    if (m == nullptr) return -1;
    // Overlay surfaces are never made here: the screen finds no overlay
    // format, so every movie is drawn through its graph instead.
    return 0;
}
