// DirectShow multimedia streams as the movie set-up calls them: a filter
// graph, a multimedia stream that reads a file, its primary video stream with
// DirectDraw samples, its primary audio stream played through a DirectSound
// buffer, run, seek, time and duration. Built on FFmpeg.
#pragma once

#include "platform/com/unknown.h"
#include "platform/ddraw/ddraw.h"
#include "platform/kernel/types.h"

#include <cstdint>

using STREAM_TIME = LONGLONG;  // 100 ns units
using MSPID = GUID;
using REFMSPID = const MSPID&;

enum STREAM_TYPE { STREAMTYPE_READ = 0 };
enum STREAM_STATE { STREAMSTATE_STOP = 0, STREAMSTATE_RUN = 1 };

constexpr DWORD AMMSF_ADDDEFAULTRENDERER = 0x1;
constexpr DWORD AMMSF_NOGRAPHTHREAD = 0x1;  // Initialize's flag
constexpr DWORD DDSFF_PROGRESSIVERENDER = 0x1;

constexpr HRESULT MS_S_PENDING = 0x00040001;
constexpr HRESULT MS_S_ENDOFSTREAM = 0x00040003;
constexpr HRESULT MS_E_NOTRUNNING = static_cast<HRESULT>(0x80040007u);
constexpr HRESULT MS_E_BUSY = static_cast<HRESULT>(0x80040002u);
constexpr HRESULT MS_E_NOSTREAM = static_cast<HRESULT>(0x80040004u);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217u);

struct IGraphBuilder : IUnknown {};
struct IMediaSeeking : IUnknown {};
struct IBasicAudio : IUnknown {};
struct IMediaControl : IUnknown {
    virtual HRESULT Pause() = 0;
};

struct IMediaStream : IUnknown {};
struct IAMMediaStream : IMediaStream {};

struct IDirectDrawStreamSample : IUnknown {
    // With an event the update may answer MS_S_PENDING and signal the event
    // once the frame is in the surface; without one it completes first.
    virtual HRESULT Update(DWORD flags, HANDLE event, void* apc, std::uintptr_t apcData) = 0;
    virtual HRESULT GetSurface(IDirectDrawSurface7** surface, RECT* rect) = 0;
};

struct IDirectDrawMediaStream : IMediaStream {
    virtual HRESULT GetFormat(DDSURFACEDESC2* current, IDirectDrawPalette** palette, DDSURFACEDESC2* desired,
                              DWORD* flags) = 0;
    virtual HRESULT CreateSample(IDirectDrawSurface7* surface, const RECT* rect, DWORD flags,
                                 IDirectDrawStreamSample** sample) = 0;
};

struct IMultiMediaStream : IUnknown {
    virtual HRESULT GetMediaStream(REFMSPID purpose, IMediaStream** stream) = 0;
    virtual HRESULT GetState(STREAM_STATE* state) = 0;
    virtual HRESULT SetState(STREAM_STATE state) = 0;
    virtual HRESULT GetTime(STREAM_TIME* time) = 0;
    virtual HRESULT GetDuration(STREAM_TIME* duration) = 0;
    virtual HRESULT Seek(STREAM_TIME time) = 0;
};

struct IAMMultiMediaStream : IMultiMediaStream {
    virtual HRESULT Initialize(STREAM_TYPE type, DWORD flags, IGraphBuilder* graph) = 0;
    virtual HRESULT AddMediaStream(IUnknown* streamObject, const MSPID* purpose, DWORD flags,
                                   IMediaStream** stream) = 0;
    virtual HRESULT OpenFile(const char16_t* name, DWORD flags) = 0;
};

extern const CLSID CLSID_FilterGraph;
extern const CLSID CLSID_AMMultiMediaStream;
extern const IID IID_IGraphBuilder;
extern const IID IID_IAMMultiMediaStream;
extern const IID IID_IMediaControl;
extern const IID IID_IMediaSeeking;
extern const IID IID_IBasicAudio;
extern const IID IID_IAMMediaStream;
extern const IID IID_IDirectDrawMediaStream;
extern const MSPID MSPID_PrimaryVideo;
extern const MSPID MSPID_PrimaryAudio;

// Test hook: makes the filter graph unavailable, as on a system without
// the multimedia streams.
void SetFilterGraphUnavailable(bool unavailable);
