// Owns the DirectSound objects: the device object, the primary buffer and
// the secondary buffers over the mixer's voices; registers the class with
// COM and the device list with the kernel's module table.
#include "platform/dsound/dsound.h"

#include "platform/com/com.h"
#include "platform/dsound/mixer.h"
#include "platform/dsound/output.h"
#include "platform/kernel/module.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

const CLSID CLSID_DirectSound = {0x5a41d005, 0x0001, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x01}};
const IID IID_IDirectSound = {0x5a41d005, 0x0002, 0x4453, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x01}};

namespace {

std::atomic<int> g_liveBuffers{0};
bool g_capsOverridden = false;
DSCAPS g_caps{};

DSCAPS BuiltInCaps()
{
    DSCAPS c{};
    c.dwSize = sizeof c;
    c.dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    c.dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    c.dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    return c;
}

// Every call on a buffer holds the mixer's lock and first lets the null
// device catch up with its clock.
struct MixerLock {
    std::lock_guard<std::recursive_mutex> Guard{GetMixerState().Mutex};
    MixerLock() { CatchUpSoundOutput(); }
};

class SecondaryBuffer final : public RefCounted<IDirectSoundBuffer> {
public:
    SecondaryBuffer(DWORD flags, const MixVoice& voice) : flags_(flags), voice_(voice)
    {
        ++g_liveBuffers;
        MixerLock lock;
        GetMixerState().Voices.push_back(&voice_);
    }

    HRESULT QueryInterface(REFIID, void** out) override
    {
        if (out != nullptr) *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override
    {
        MixerLock lock;
        const DWORD align = voice_.Format.nBlockAlign;
        const DWORD pos = voice_.Pos * align;
        if (play != nullptr) *play = pos;
        if (write != nullptr) {
            // The mixer has taken up to one period beyond the play cursor.
            const DWORD ahead = voice_.Playing ? SourceFramesPerPeriod(GetMixerState(), voice_) : 0;
            *write = static_cast<DWORD>((static_cast<ULONGLONG>(voice_.Pos) + ahead) % voice_.Frames * align);
        }
        return DS_OK;
    }

    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override
    {
        if (format == nullptr) {
            if (written == nullptr) return DSERR_INVALIDPARAM;
            *written = sizeof(WAVEFORMATEX);
            return DS_OK;
        }
        const DWORD n = std::min<DWORD>(size, sizeof(WAVEFORMATEX));
        std::memcpy(format, &voice_.Format, n);
        if (written != nullptr) *written = n;
        return DS_OK;
    }

    HRESULT GetVolume(LONG* volume) override
    {
        if (volume == nullptr) return DSERR_INVALIDPARAM;
        if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
        MixerLock lock;
        *volume = voice_.Volume;
        return DS_OK;
    }

    HRESULT GetPan(LONG* pan) override
    {
        if (pan == nullptr) return DSERR_INVALIDPARAM;
        if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
        MixerLock lock;
        *pan = voice_.Pan;
        return DS_OK;
    }

    HRESULT GetFrequency(DWORD* frequency) override
    {
        if (frequency == nullptr) return DSERR_INVALIDPARAM;
        if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
        MixerLock lock;
        *frequency = voice_.Frequency != 0 ? voice_.Frequency : voice_.Format.nSamplesPerSec;
        return DS_OK;
    }

    HRESULT GetStatus(DWORD* status) override
    {
        if (status == nullptr) return DSERR_INVALIDPARAM;
        MixerLock lock;
        *status = voice_.Playing ? (DSBSTATUS_PLAYING | (voice_.Looping ? DSBSTATUS_LOOPING : 0)) : 0;
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, void** ptr1, DWORD* size1, void** ptr2, DWORD* size2,
                 DWORD) override
    {
        if (ptr1 == nullptr || size1 == nullptr) return DSERR_INVALIDPARAM;
        if (offset >= voice_.Bytes || bytes == 0 || bytes > voice_.Bytes) return DSERR_INVALIDPARAM;
        {
            MixerLock lock;
            if (ConsumeSoundFault(SoundFault::Lock)) return DSERR_GENERIC;
        }
        // Pointers straight into the sample memory: the mixer goes on reading
        // while the caller writes elsewhere in the buffer.
        std::uint8_t* base = voice_.Data->data();
        const DWORD first = std::min(bytes, voice_.Bytes - offset);
        *ptr1 = base + offset;
        *size1 = first;
        if (bytes > first) {
            if (ptr2 == nullptr || size2 == nullptr) return DSERR_INVALIDPARAM;
            *ptr2 = base;
            *size2 = bytes - first;
        } else {
            if (ptr2 != nullptr) *ptr2 = nullptr;
            if (size2 != nullptr) *size2 = 0;
        }
        return DS_OK;
    }

    HRESULT Play(DWORD reserved, DWORD, DWORD flags) override
    {
        if (reserved != 0) return DSERR_INVALIDPARAM;
        MixerLock lock;
        voice_.Looping = (flags & DSBPLAY_LOOPING) != 0;
        voice_.Playing = voice_.Frames != 0;
        return DS_OK;
    }

    HRESULT SetCurrentPosition(DWORD position) override
    {
        if (position >= voice_.Bytes) return DSERR_INVALIDPARAM;
        MixerLock lock;
        voice_.Pos = position / voice_.Format.nBlockAlign;
        voice_.Phase = 0;
        return DS_OK;
    }

    HRESULT SetFormat(const WAVEFORMATEX*) override { return DSERR_INVALIDCALL; }

    HRESULT SetVolume(LONG volume) override
    {
        if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        MixerLock lock;
        voice_.Volume = volume;
        UpdateVoiceGains(voice_);
        return DS_OK;
    }

    HRESULT SetPan(LONG pan) override
    {
        if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
        if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
        MixerLock lock;
        voice_.Pan = pan;
        UpdateVoiceGains(voice_);
        return DS_OK;
    }

    HRESULT SetFrequency(DWORD frequency) override
    {
        if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
        if (frequency != DSBFREQUENCY_ORIGINAL && (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
            return DSERR_INVALIDPARAM;
        MixerLock lock;
        voice_.Frequency = frequency;
        return DS_OK;
    }

    HRESULT Stop() override
    {
        MixerLock lock;
        voice_.Playing = false;
        return DS_OK;
    }

    HRESULT Unlock(void* ptr1, DWORD size1, void* ptr2, DWORD size2) override
    {
        const std::uint8_t* base = voice_.Data->data();
        const auto* p1 = static_cast<const std::uint8_t*>(ptr1);
        if (p1 < base || p1 + size1 > base + voice_.Bytes) return DSERR_INVALIDPARAM;
        if (ptr2 != nullptr && (ptr2 != base || size2 > voice_.Bytes)) return DSERR_INVALIDPARAM;
        MixerLock lock;
        if (ConsumeSoundFault(SoundFault::Unlock)) return DSERR_GENERIC;
        return DS_OK;
    }

    DWORD Flags() const { return flags_; }
    const MixVoice& Voice() const { return voice_; }

private:
    ~SecondaryBuffer() override
    {
        {
            MixerLock lock;
            auto& voices = GetMixerState().Voices;
            voices.erase(std::remove(voices.begin(), voices.end(), &voice_), voices.end());
        }
        --g_liveBuffers;
    }

    DWORD flags_;
    MixVoice voice_;
};

// The primary buffer only records its format: the mix always leaves at the
// output's own rate.
class PrimaryBuffer final : public RefCounted<IDirectSoundBuffer> {
public:
    HRESULT QueryInterface(REFIID, void** out) override
    {
        if (out != nullptr) *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override
    {
        if (play != nullptr) *play = 0;
        if (write != nullptr) *write = 0;
        return DS_OK;
    }
    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override
    {
        if (format == nullptr) return DSERR_INVALIDPARAM;
        const DWORD n = std::min<DWORD>(size, sizeof(WAVEFORMATEX));
        std::memcpy(format, &format_, n);
        if (written != nullptr) *written = n;
        return DS_OK;
    }
    HRESULT GetVolume(LONG*) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetPan(LONG*) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetFrequency(DWORD*) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetStatus(DWORD* status) override
    {
        if (status == nullptr) return DSERR_INVALIDPARAM;
        *status = playing_ ? DSBSTATUS_PLAYING | DSBSTATUS_LOOPING : 0;
        return DS_OK;
    }
    HRESULT Lock(DWORD, DWORD, void**, DWORD*, void**, DWORD*, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Play(DWORD, DWORD, DWORD flags) override
    {
        if (!(flags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
        playing_ = true;
        return DS_OK;
    }
    HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT SetFormat(const WAVEFORMATEX* format) override
    {
        if (format == nullptr) return DSERR_INVALIDPARAM;
        WAVEFORMATEX f = *format;
        f.cbSize = 0;
        if (!IsMixableFormat(f) || (f.wBitsPerSample != 8 && f.wBitsPerSample != 16)) return DSERR_BADFORMAT;
        format_ = f;
        return DS_OK;
    }
    HRESULT SetVolume(LONG) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT SetPan(LONG) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT Stop() override
    {
        playing_ = false;
        return DS_OK;
    }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DSERR_INVALIDCALL; }

private:
    WAVEFORMATEX format_{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
    bool playing_ = false;
};

class DirectSound final : public RefCounted<IDirectSound> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) return DSERR_INVALIDPARAM;
        if (iid == IID_IDirectSound) {
            AddRef();
            *out = static_cast<IDirectSound*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) override
    {
        if (buffer == nullptr) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (desc == nullptr || desc->dwSize != sizeof(DSBUFFERDESC) || outer != nullptr) return DSERR_INVALIDPARAM;
        if (!initialized_) return DSERR_UNINITIALIZED;
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
            *buffer = new (std::nothrow) PrimaryBuffer;
            return *buffer != nullptr ? DS_OK : DSERR_OUTOFMEMORY;
        }
        if (desc->lpwfxFormat == nullptr) return DSERR_INVALIDPARAM;
        WAVEFORMATEX f{};
        std::memcpy(&f, desc->lpwfxFormat, sizeof f);
        if (f.wFormatTag != WAVE_FORMAT_PCM || !IsMixableFormat(f)) return DSERR_BADFORMAT;
        if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX ||
            desc->dwBufferBytes < f.nBlockAlign)
            return DSERR_INVALIDPARAM;
        {
            MixerLock lock;
            if (ConsumeSoundFault(SoundFault::CreateBuffer)) return DSERR_GENERIC;
        }
        MixVoice voice;
        try {
            voice.Data = std::make_shared<std::vector<std::uint8_t>>(desc->dwBufferBytes, std::uint8_t{0});
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        voice.Format = f;
        voice.Format.cbSize = 0;
        // Silence of an 8-bit buffer is the mid value.
        if (f.wBitsPerSample == 8) std::fill(voice.Data->begin(), voice.Data->end(), std::uint8_t{0x80});
        voice.Bytes = desc->dwBufferBytes;
        voice.Frames = desc->dwBufferBytes / f.nBlockAlign;
        UpdateVoiceGains(voice);
        *buffer = new (std::nothrow) SecondaryBuffer(desc->dwFlags, voice);
        return *buffer != nullptr ? DS_OK : DSERR_OUTOFMEMORY;
    }

    HRESULT GetCaps(DSCAPS* caps) override
    {
        if (caps == nullptr || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
        if (!initialized_) return DSERR_UNINITIALIZED;
        *caps = g_capsOverridden ? g_caps : BuiltInCaps();
        caps->dwSize = sizeof(DSCAPS);
        return DS_OK;
    }

    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) override
    {
        if (duplicate == nullptr) return DSERR_INVALIDPARAM;
        *duplicate = nullptr;
        auto* source = dynamic_cast<SecondaryBuffer*>(original);
        if (source == nullptr) return DSERR_INVALIDCALL;
        if (!initialized_) return DSERR_UNINITIALIZED;
        MixVoice voice;
        {
            MixerLock lock;
            if (ConsumeSoundFault(SoundFault::Duplicate)) return DSERR_GENERIC;
            const MixVoice& from = source->Voice();
            voice.Data = from.Data;
            voice.Format = from.Format;
            voice.Bytes = from.Bytes;
            voice.Frames = from.Frames;
            voice.Volume = from.Volume;
            voice.Pan = from.Pan;
            voice.Frequency = from.Frequency;
        }
        UpdateVoiceGains(voice);
        *duplicate = new (std::nothrow) SecondaryBuffer(source->Flags(), voice);
        return *duplicate != nullptr ? DS_OK : DSERR_OUTOFMEMORY;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD level) override
    {
        if (!initialized_) return DSERR_UNINITIALIZED;
        return level >= DSSCL_NORMAL && level <= 3 ? DS_OK : DSERR_INVALIDPARAM;
    }

    HRESULT Initialize(const GUID* device) override
    {
        if (initialized_) return DSERR_ALREADYINITIALIZED;
        if (device != nullptr) return DSERR_NODRIVER;
        if (!OpenSoundOutput()) return DSERR_NODRIVER;
        initialized_ = true;
        return DS_OK;
    }

private:
    ~DirectSound() override
    {
        if (initialized_) CloseSoundOutput();
    }

    bool initialized_ = false;
};

IUnknown* MakeDirectSound()
{
    return static_cast<IDirectSound*>(new (std::nothrow) DirectSound);
}

FARPROC LookupDsoundExport(const char* name)
{
    if (std::strcmp(name, "DirectSoundEnumerateA") == 0) return reinterpret_cast<FARPROC>(&DirectSoundEnumerateA);
    return nullptr;
}

const bool g_registered = [] {
    RegisterComClass(CLSID_DirectSound, MakeDirectSound);
    RegisterModule("DSOUND.DLL", LookupDsoundExport);
    return true;
}();

} // namespace

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context)
{
    if (callback == nullptr) return DSERR_INVALIDPARAM;
    if (callback(nullptr, "Primary Sound Driver", "", context) == FALSE) return DS_OK;
    WORD index = 0x0100;
    for (const auto& [module, description] : ListSoundOutputs()) {
        GUID id = CLSID_DirectSound;
        id.Data2 = index++;
        if (callback(&id, description.c_str(), module.c_str(), context) == FALSE) break;
    }
    return DS_OK;
}

void SetSoundDeviceCaps(const DSCAPS* caps)
{
    g_capsOverridden = caps != nullptr;
    if (caps != nullptr) g_caps = *caps;
}

int GetLiveSoundBufferCount()
{
    return g_liveBuffers.load();
}
