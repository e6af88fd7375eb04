// Owns the multimedia-stream set-up of a movie record: filter graph, stream,
// sample surface, frame image and update event, with the temporary copy for
// files the stream cannot open by name. Calls COM and the multimedia-stream
// layer, DirectDraw, the file layer, the allocator, the log, the screen and
// the back-end table.
#include <cstdio>
#include <cstring>

#include "core/file/filefuncs.h"
#include "core/log.h"
#include "core/memory.h"
#include "graphics/backend.h"
#include "graphics/image/colorfmt.h"
#include "graphics/memimg.h"
#include "graphics/screen.h"
#include "movie/movierec.h"
#include "platform/com/com.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/file.h"
#include "platform/kernel/sync.h"

namespace {

constexpr std::uint32_t kCopyBlock = 1048576;
constexpr DWORD kPlainSystemCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
constexpr DWORD kOverlayCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY;

HRESULT OpenByName(IAMMultiMediaStream* stream, const char* name)
{
    char16_t wide[MOVIE_FILE_NAME_SIZE];
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide, MOVIE_FILE_NAME_SIZE) == 0) return E_INVALIDARG;
    return stream->OpenFile(wide, 0);
}

bool IsBadFileHandle(HANDLE h)
{
    return h == nullptr || h == INVALID_HANDLE_VALUE;
}

// Copies the file, as the file layer reads it (archive members too), into a
// temporary file whose path replaces FileName. 0, or -1 with the copy gone.
int CopyToTemporaryFile(MOVIEREC* m)
{
    const FILEHANDLE file = OpenLibraryFile(m->FileName, 0, 1, 0);
    if (file == 0) return -1;
    SeekLibraryFile(file, 0, 2);
    const int size = TellLibraryFile(file);
    SeekLibraryFile(file, 0, 0);
    void* buffer = AllocMemory(kCopyBlock, __FILE__, __LINE__);
    if (buffer == nullptr) {
        CloseLibraryFile(file);
        return -1;
    }
    const HANDLE temp = CreateTempFile(m->FileName);
    if (IsBadFileHandle(temp)) {
        // A failed creation can still leave its name behind.
        if (temp == INVALID_HANDLE_VALUE) DeleteFileA(m->FileName);
        CloseLibraryFile(file);
        FreeMemory(buffer);
        return -1;
    }
    m->TempFileFlag = 1;
    bool whole = size >= 0;
    for (std::uint32_t offset = 0; whole && offset < static_cast<std::uint32_t>(size);) {
        const std::uint32_t block = std::min<std::uint32_t>(static_cast<std::uint32_t>(size) - offset, kCopyBlock);
        // A short read would copy stale bytes: the copy is refused instead.
        if (ReadLibraryFile(buffer, block, 1, file) != 1) {
            whole = false;
            break;
        }
        DWORD written = 0;
        if (!WriteFile(temp, buffer, block, &written, nullptr) || written < block) {
            whole = false;
            break;
        }
        offset += block;
    }
    CloseLibraryFile(file);
    CloseHandle(temp);
    FreeMemory(buffer);
    if (!whole) {
        DeleteFileA(m->FileName);
        return -1;
    }
    return 0;
}

const DDPIXELFORMAT* SampleFormat(int mode, DDPIXELFORMAT* rgb24)
{
    if (mode == MOVIE_SURFACE_OVERLAY) return GetOverlayPixelFormat();
    if (mode == MOVIE_SURFACE_RGB24) {
        *rgb24 = DDPIXELFORMAT{};
        rgb24->dwSize = sizeof *rgb24;
        rgb24->dwFlags = DDPF_RGB;
        rgb24->dwRGBBitCount = 24;
        rgb24->dwRBitMask = 0xFF0000;
        rgb24->dwGBitMask = 0xFF00;
        rgb24->dwBBitMask = 0xFF;
        return rgb24;
    }
    if (CurrentDrawsInSoftwareImages()) {
        return LookupMemImgDDPixelFormat(GetRequestedColorBits() == 16 ? 0 : 1, 0, 0);
    }
    return GetScreenDDPixelFormat();
}

// Makes the sample, on a surface of the settled mode when the stream takes
// one, else on a surface of the stream's own. Null with the step's message.
const char* CreateSample(MOVIEREC* m, int mode, const DDSURFACEDESC2& desired)
{
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = desired.dwWidth;
    desc.dwHeight = desired.dwHeight;
    desc.ddsCaps.dwCaps = mode == MOVIE_SURFACE_OVERLAY ? kOverlayCaps : kPlainSystemCaps;
    DDPIXELFORMAT rgb24;
    const DDPIXELFORMAT* format = SampleFormat(mode, &rgb24);
    if (format != nullptr) desc.ddpfPixelFormat = *format;

    const char* failed = "DirectDrawSurface オブジェクトの作成に失敗しました";
    IDirectDraw7* library = GetDirectDrawInterface();
    if (library == nullptr || format == nullptr) return failed;
    IDirectDraw7* dd = nullptr;
    if (library->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd)) != S_OK) return failed;
    IDirectDrawSurface7* surface = nullptr;
    const HRESULT made = dd->CreateSurface(&desc, &surface, nullptr);
    dd->Release();
    if (made != DD_OK) return failed;

    m->SurfaceMode = mode;
    if (m->DDStream->CreateSample(surface, nullptr, DDSFF_PROGRESSIVERENDER, &m->Sample) != S_OK) {
        surface->Release();
        surface = nullptr;
        m->SurfaceMode = MOVIE_SURFACE_SCREEN;
        if (m->DDStream->CreateSample(nullptr, nullptr, 0, &m->Sample) != S_OK) {
            return "ストリームサンプルを作成できませんでした！";
        }
    }
    if (surface != nullptr) surface->Release();
    return nullptr;
}

// Steps after the file is open; null, or the failing step's message.
const char* BuildSample(MOVIEREC* m, int mode, int* width, int* height)
{
    if (m->FilterGraph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&m->MediaSeeking)) != S_OK) {
        return "メディアシーキングインターフェースの取得に失敗しました";
    }
    if (m->FilterGraph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&m->BasicAudio)) != S_OK) {
        return "BasicAudio インターフェースの取得に失敗しました";
    }
    if (m->MultiMediaStream->GetMediaStream(MSPID_PrimaryVideo, &m->VideoStream) != S_OK) {
        return "プライマリビデオストリームインターフェイスを取得できませんでした！";
    }
    if (m->VideoStream->QueryInterface(IID_IAMMediaStream, reinterpret_cast<void**>(&m->AMVideoStream)) != S_OK) {
        return "AMMediaStreamインターフェイスの取得に失敗しました";
    }
    if (m->VideoStream->QueryInterface(IID_IDirectDrawMediaStream, reinterpret_cast<void**>(&m->DDStream)) != S_OK) {
        return "DirectDrawメディアストリームインターフェイスを取得できませんでした！";
    }

    DDSURFACEDESC2 desired{};
    desired.dwSize = sizeof desired;
    DWORD flags = 0;
    m->DDStream->GetFormat(nullptr, nullptr, &desired, &flags);
    if (desired.dwWidth == 0 || desired.dwHeight == 0) return "動画ファイルではない可能性があります！";
    if (const char* failed = CreateSample(m, mode, desired)) return failed;

    if (m->Sample->GetSurface(&m->SampleSurface, &m->SampleRect) != S_OK) {
        return "ストリームサンプルからIDirectDrawSurfaceインターフェイスを取得できませんでした！";
    }
    m->Width = m->SampleRect.right - m->SampleRect.left;
    m->Height = m->SampleRect.bottom - m->SampleRect.top;
    if (width != nullptr) *width = m->HalfWidthFlag != 0 ? m->Width / 2 : m->Width;
    if (height != nullptr) *height = m->Height;

    const char* no7 = "IDirectDrawSurface7インターフェイスを取得できませんでした！";
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (m->SurfaceMode == MOVIE_SURFACE_OVERLAY) {
        if (m->SampleSurface->QueryInterface(IID_IDirectDrawSurface7, reinterpret_cast<void**>(&m->SampleSurface7)) !=
            S_OK) {
            return no7;
        }
        m->SampleSurface7->GetSurfaceDesc(&desc);
        SetColorFormatFromDDPixelFormat(&desc.ddpfPixelFormat, &m->FrameImage.Format);
        return nullptr;
    }
    if (m->SampleSurface->QueryInterface(IID_IDirectDrawSurface7, reinterpret_cast<void**>(&m->SampleSurface4)) !=
        S_OK) {
        return "IDirectDrawSurface4インターフェイスを取得できませんでした！";
    }
    if (m->SampleSurface->QueryInterface(IID_IDirectDrawSurface7, reinterpret_cast<void**>(&m->SampleSurface7)) !=
        S_OK) {
        return no7;
    }
    m->SampleSurface4->GetSurfaceDesc(&desc);
    SetColorFormatFromDDPixelFormat(&desc.ddpfPixelFormat, &m->FrameImage.Format);
    GraphImage& image = m->FrameImage;
    image.Width = m->Width;
    image.Height = m->Height;
    image.Pitch = (image.Format.BytesPerPixel * m->Width + 3) / 4 * 4;
    // Without pixels the movie still opens; the refresh then copies nothing.
    const std::size_t bytes = GetImageBlockSize(image.Pitch, image.Height);
    image.Pixels = bytes != 0 ? AllocMemoryZeroed(bytes, __FILE__, __LINE__) : nullptr;
    return nullptr;
}

// Opens the file by name, else through a temporary copy. Null, or the message.
const char* OpenMovieFile(MOVIEREC* m, IAMMultiMediaStream* stream, const char* name, char* message, int size)
{
    std::snprintf(message, static_cast<std::size_t>(size), "ファイル:%s が開けませんでした", name);
    // A name the record cannot hold whole is refused, never cut.
    if (name != m->FileName) {
        if (std::strlen(name) >= sizeof m->FileName) return message;
        std::strcpy(m->FileName, name);
    }
    if (OpenByName(stream, m->FileName) == S_OK) return nullptr;
    if (m->TempFileFlag == 1) return message;
    if (CopyToTemporaryFile(m) != 0) return message;
    if (OpenByName(stream, m->FileName) != S_OK) {
        DeleteFileA(m->FileName);
        return message;
    }
    return nullptr;
}

} // namespace

int SetupMovieMediaStream(IDirectDraw7* directDraw, MOVIEREC* m, const char* name, int* width, int* height,
                          int surfaceMode)
{
    if (m->FrameImage.Pixels != nullptr) FreeMemory(m->FrameImage.Pixels);
    if (m->UpdateEvent != nullptr) CloseHandle(m->UpdateEvent);
    m->FrameImage.Pixels = nullptr;
    m->UpdateEvent = nullptr;
    m->YuvSample = 0;
    m->FrameReady = 0;
    m->OverlayX = m->OverlayY = m->OverlayScale = m->OverlayShown = 0;
    m->OverlaySrcRect = RECT{};
    m->OverlayDestRect = RECT{};

    int mode = surfaceMode;
    if (mode == MOVIE_SURFACE_OVERLAY && GetOverlayPixelFormat() == nullptr) mode = MOVIE_SURFACE_RGB24;
    if (mode == MOVIE_SURFACE_RGB24 && GetRequestedColorBits() == 32) mode = MOVIE_SURFACE_SCREEN;

    IAMMultiMediaStream* stream = nullptr;
    char message[MOVIE_FILE_NAME_SIZE + 64];
    const char* failed = nullptr;
    if (CoCreateInstance(CLSID_FilterGraph, nullptr, 3, IID_IGraphBuilder, reinterpret_cast<void**>(&m->FilterGraph)) !=
        S_OK) {
        failed = "CLSID_FilterGraph の作成に失敗しました";
    } else if (CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                                reinterpret_cast<void**>(&stream)) != S_OK) {
        failed = "IAMMultimediaインターフェイスを取得できませんでした！";
    } else if (stream->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, m->FilterGraph) != S_OK) {
        failed = "ストリームを読み取り用にセットアップできませんでした！";
    } else if (m->FilterGraph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m->MediaControl)) != S_OK) {
        failed = "IID_IMediaControlインターフェイスの取得に失敗しました";
    } else if (directDraw == nullptr ||
               directDraw->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&m->DirectDraw4)) != S_OK) {
        // Only GDI draws: there is no DirectDraw object to hand the stream.
        failed = "DirectDraw4オブジェクトを取得できませんでした";
    } else if (stream->AddMediaStream(m->DirectDraw4, &MSPID_PrimaryVideo, 0, nullptr) != S_OK) {
        failed = "プライマリビデオストリームを追加できませんでした！";
    } else if (stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER, nullptr) != S_OK) {
        failed = "デフォルトサウンドレンダラを追加できませんでした！";
    } else if ((failed = OpenMovieFile(m, stream, name, message, sizeof message)) == nullptr) {
        m->MultiMediaStream = stream;
        stream = nullptr;
        failed = BuildSample(m, mode, width, height);
    }
    if (failed != nullptr) {
        if (stream != nullptr) stream->Release();
        ReleaseMovieStreamObjects(m);
        if (m->FrameImage.Pixels != nullptr) FreeMemory(m->FrameImage.Pixels);
        m->FrameImage.Pixels = nullptr;
        WriteLogFormat("%s", failed);
        return -1;
    }
    m->UpdateEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m->UpdatePending = 0;
    m->LastUpdateFlip = ~0ull;
    m->LastUpdateTime = 0xFFFFFFFFu;
    return 0;
}
