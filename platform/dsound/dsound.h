// DirectSound as the sound layer calls it: the object, the primary buffer,
// secondary buffers and their duplicates, and the device list. Behind it a
// software mixer plays every secondary buffer in its own format through SDL
// audio, or through a silent null device when no output can be opened.
#pragma once

#include "platform/com/unknown.h"
#include "platform/kernel/types.h"
#include "platform/winmm/waveformat.h"

#include <vector>

// Results.
constexpr HRESULT DS_OK = S_OK;
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DSERR_GENERIC = E_FAIL;
constexpr HRESULT DSERR_NOINTERFACE = E_NOINTERFACE;
constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
constexpr HRESULT DSERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88780082u);
constexpr HRESULT DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AAu);

// Cooperative levels.
constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;

// Buffer capabilities.
constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x00000001;
constexpr DWORD DSBCAPS_STATIC = 0x00000002;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x00000020;
constexpr DWORD DSBCAPS_CTRLPAN = 0x00000040;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x00000080;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x00008000;
constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x00010000;

constexpr DWORD DSBPLAY_LOOPING = 0x00000001;
constexpr DWORD DSBSTATUS_PLAYING = 0x00000001;
constexpr DWORD DSBSTATUS_LOOPING = 0x00000004;

constexpr LONG DSBVOLUME_MIN = -10000;
constexpr LONG DSBVOLUME_MAX = 0;
constexpr LONG DSBPAN_LEFT = -10000;
constexpr LONG DSBPAN_RIGHT = 10000;
constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
constexpr DWORD DSBFREQUENCY_MIN = 100;
constexpr DWORD DSBFREQUENCY_MAX = 200000;
constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

// Device capabilities (DSCAPS dwFlags).
constexpr DWORD DSCAPS_PRIMARYMONO = 0x00000001;
constexpr DWORD DSCAPS_PRIMARYSTEREO = 0x00000002;
constexpr DWORD DSCAPS_PRIMARY8BIT = 0x00000004;
constexpr DWORD DSCAPS_PRIMARY16BIT = 0x00000008;
constexpr DWORD DSCAPS_SECONDARYMONO = 0x00000100;
constexpr DWORD DSCAPS_SECONDARYSTEREO = 0x00000200;
constexpr DWORD DSCAPS_SECONDARY8BIT = 0x00000400;
constexpr DWORD DSCAPS_SECONDARY16BIT = 0x00000800;

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    GUID guid3DAlgorithm;
};

// Only the fields the library reads have names; the rest keep the record's size.
struct DSCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwReservedCounts[12];
    DWORD dwTotalHwMemBytes;
    DWORD dwFreeHwMemBytes;
    DWORD dwReservedRates[6];
};
static_assert(sizeof(DSCAPS) == 96);

struct IDirectSoundBuffer : IUnknown {
    virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
    virtual HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) = 0;
    virtual HRESULT GetVolume(LONG* volume) = 0;
    virtual HRESULT GetPan(LONG* pan) = 0;
    virtual HRESULT GetFrequency(DWORD* frequency) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** ptr1, DWORD* size1, void** ptr2, DWORD* size2,
                         DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT SetFrequency(DWORD frequency) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* ptr1, DWORD size1, void* ptr2, DWORD size2) = 0;
};

struct IDirectSound : IUnknown {
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) = 0;
    virtual HRESULT GetCaps(DSCAPS* caps) = 0;
    virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    // A null device id opens the default output.
    virtual HRESULT Initialize(const GUID* device) = 0;
};

extern const CLSID CLSID_DirectSound;
extern const IID IID_IDirectSound;

using LPDSENUMCALLBACKA = BOOL (*)(GUID* guid, LPCSTR description, LPCSTR module, void* context);
// Lists the primary driver, then each output device (the open null device
// when no real output could be opened). Also reached through GetProcAddress
// of the module "DSOUND.DLL".
HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context);

// --- Output choice and test hooks -------------------------------------------

// Where Initialize sends the mix: SDL audio, falling back to the null device
// when no device opens (the default), or the null device alone.
enum class SoundOutputChoice { SdlThenNull, NullOnly };
void SelectSoundOutput(SoundOutputChoice choice);

// The null device's clock: the kernel clock (real time, or the kernel's
// manual test clock), or a clock that only AdvanceNullSoundDevice moves.
enum class NullSoundClock { Kernel, Manual };
void SelectNullSoundClock(NullSoundClock clock);
// Manual clock: lets the device consume this many output frames (whole
// mixer periods; a remainder waits for the next call).
void AdvanceNullSoundDevice(DWORD frames);

// Output frames per mixer period; cursors move in such steps.
DWORD GetSoundMixerPeriodFrames();
DWORD GetSoundOutputRate();
// 1 while the open output is the null device.
int IsNullSoundDeviceOpen();

// Capture of what the null device mixed: interleaved stereo floats at the
// output rate, before clipping. Starting clears what was captured.
void StartNullSoundCapture();
std::vector<float> TakeNullSoundCapture();

// Fault injection: the next `skip` calls of the kind succeed, then every one
// fails until the fault is cleared with a negative skip.
enum class SoundFault { Initialize, CreateBuffer, Duplicate, Lock, Unlock, Count };
void SetSoundFault(SoundFault fault, int skip);
void ClearSoundFaults();
// The capabilities GetCaps reports; null restores the built-in ones.
void SetSoundDeviceCaps(const DSCAPS* caps);
// Secondary buffers alive (duplicates included), to check releases.
int GetLiveSoundBufferCount();
