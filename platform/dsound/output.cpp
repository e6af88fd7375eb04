// Owns the open output (SDL audio device or null device), the null device's
// clock and capture, and the fault hooks. Mixes through platform/dsound/mixer.
#include "platform/dsound/output.h"

#include "platform/dsound/mixer.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace {

enum class OutputKind { None, Sdl, Null };

struct OUTPUTSTATE {
    int OpenCount = 0;
    OutputKind Kind = OutputKind::None;
    SoundOutputChoice Choice = SoundOutputChoice::SdlThenNull;
    SDL_AudioDeviceID Device = 0;
    std::vector<std::string> DeviceNames;
    std::string DriverName;
    std::vector<float> Scratch;
    // Null device.
    NullSoundClock Clock = NullSoundClock::Kernel;
    ULONGLONG StartUs = 0;
    ULONGLONG ConsumedFrames = 0;
    ULONGLONG PendingFrames = 0;
    bool Capturing = false;
    std::vector<float> Capture;
    // Faults: -1 off, else the calls still allowed to succeed.
    std::array<int, static_cast<int>(SoundFault::Count)> Faults{-1, -1, -1, -1, -1};
};

OUTPUTSTATE& State()
{
    static OUTPUTSTATE state;
    return state;
}

// The longest stretch the null device mixes at once; the buffers still move
// through the time before it, unmixed, so a long idle costs little and every
// cursor stays true to the clock.
constexpr ULONGLONG kMaxCatchUpSeconds = 10;

void MixNullPeriods(OUTPUTSTATE& s, MIXERSTATE& mixer, ULONGLONG periods)
{
    const DWORD n = mixer.PeriodFrames;
    s.Scratch.resize(static_cast<std::size_t>(n) * 2);
    for (ULONGLONG p = 0; p < periods; ++p) {
        std::fill(s.Scratch.begin(), s.Scratch.end(), 0.0f);
        MixVoices(mixer, s.Scratch.data(), n);
        if (s.Capturing) s.Capture.insert(s.Capture.end(), s.Scratch.begin(), s.Scratch.end());
    }
    s.ConsumedFrames += periods * n;
}

void SdlCallback(void*, Uint8* stream, int length)
{
    OUTPUTSTATE& s = State();
    MIXERSTATE& mixer = GetMixerState();
    const DWORD frames = static_cast<DWORD>(length) / 4;
    std::lock_guard<std::recursive_mutex> lock(mixer.Mutex);
    s.Scratch.assign(static_cast<std::size_t>(frames) * 2, 0.0f);
    // Mixed in whole periods so cursors move as the null device's do.
    for (DWORD done = 0; done < frames; done += mixer.PeriodFrames) {
        MixVoices(mixer, s.Scratch.data() + static_cast<std::size_t>(done) * 2,
                  std::min(mixer.PeriodFrames, frames - done));
    }
    auto* out = reinterpret_cast<Sint16*>(stream);
    for (std::size_t i = 0; i < s.Scratch.size(); ++i) out[i] = MixToSample16(s.Scratch[i]);
}

bool OpenSdl(OUTPUTSTATE& s, MIXERSTATE& mixer)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(mixer.Rate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(mixer.PeriodFrames);
    want.callback = SdlCallback;
    SDL_AudioSpec have{};
    s.Device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (s.Device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    s.DriverName = driver != nullptr ? driver : "sdl";
    s.DeviceNames.clear();
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        // SDL names devices in UTF-8; the interface answers code page 932.
        if (name != nullptr) s.DeviceNames.push_back(ConvertUtf8ToCp932(name, std::strlen(name)));
    }
    // Drivers that cannot list their outputs still play to a default one.
    if (s.DeviceNames.empty()) s.DeviceNames.emplace_back("Default output");
    SDL_PauseAudioDevice(s.Device, 0);
    return true;
}

void OpenNull(OUTPUTSTATE& s)
{
    s.StartUs = ReadClockMicroseconds();
    s.ConsumedFrames = 0;
    s.PendingFrames = 0;
}

} // namespace

bool OpenSoundOutput()
{
    OUTPUTSTATE& s = State();
    MIXERSTATE& mixer = GetMixerState();
    if (s.OpenCount > 0) {
        ++s.OpenCount;
        return true;
    }
    if (ConsumeSoundFault(SoundFault::Initialize)) return false;
    if (s.Choice == SoundOutputChoice::SdlThenNull && OpenSdl(s, mixer)) {
        s.Kind = OutputKind::Sdl;
    } else {
        std::lock_guard<std::recursive_mutex> lock(mixer.Mutex);
        OpenNull(s);
        s.Kind = OutputKind::Null;
    }
    s.OpenCount = 1;
    return true;
}

void CloseSoundOutput()
{
    OUTPUTSTATE& s = State();
    if (s.OpenCount == 0 || --s.OpenCount > 0) return;
    if (s.Kind == OutputKind::Sdl) {
        SDL_CloseAudioDevice(s.Device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        s.Device = 0;
    }
    s.Kind = OutputKind::None;
}

void CatchUpSoundOutput()
{
    OUTPUTSTATE& s = State();
    if (s.Kind != OutputKind::Null || s.Clock != NullSoundClock::Kernel) return;
    MIXERSTATE& mixer = GetMixerState();
    const ULONGLONG now = ReadClockMicroseconds();
    if (now < s.StartUs) {
        // The clock was replaced by one that stands earlier: count from here.
        s.StartUs = now;
        s.ConsumedFrames = 0;
        return;
    }
    const ULONGLONG due = (now - s.StartUs) * mixer.Rate / 1000000u;
    if (due <= s.ConsumedFrames) return;
    ULONGLONG periods = (due - s.ConsumedFrames) / mixer.PeriodFrames;
    const ULONGLONG limit = kMaxCatchUpSeconds * mixer.Rate / mixer.PeriodFrames;
    if (periods > limit) {
        const ULONGLONG skipped = (periods - limit) * mixer.PeriodFrames;
        SkipVoices(mixer, skipped);
        s.ConsumedFrames += skipped;
        periods = limit;
    }
    MixNullPeriods(s, mixer, periods);
}

std::vector<std::pair<std::string, std::string>> ListSoundOutputs()
{
    OUTPUTSTATE& s = State();
    std::vector<std::pair<std::string, std::string>> list;
    if (s.Kind == OutputKind::Sdl) {
        for (const std::string& name : s.DeviceNames) list.emplace_back(s.DriverName, name);
    } else if (s.Kind == OutputKind::Null) {
        list.emplace_back("null", "No sound device: silent output");
    }
    return list;
}

bool ConsumeSoundFault(SoundFault fault)
{
    int& f = State().Faults[static_cast<int>(fault)];
    if (f < 0) return false;
    if (f > 0) {
        --f;
        return false;
    }
    return true;
}

void SelectSoundOutput(SoundOutputChoice choice)
{
    State().Choice = choice;
}

void SelectNullSoundClock(NullSoundClock clock)
{
    MIXERSTATE& mixer = GetMixerState();
    std::lock_guard<std::recursive_mutex> lock(mixer.Mutex);
    OUTPUTSTATE& s = State();
    s.Clock = clock;
    // The kernel clock counts from now on.
    s.StartUs = ReadClockMicroseconds();
    s.ConsumedFrames = 0;
    s.PendingFrames = 0;
}

void AdvanceNullSoundDevice(DWORD frames)
{
    MIXERSTATE& mixer = GetMixerState();
    std::lock_guard<std::recursive_mutex> lock(mixer.Mutex);
    OUTPUTSTATE& s = State();
    if (s.Kind != OutputKind::Null || s.Clock != NullSoundClock::Manual) return;
    s.PendingFrames += frames;
    const ULONGLONG periods = s.PendingFrames / mixer.PeriodFrames;
    s.PendingFrames -= periods * mixer.PeriodFrames;
    MixNullPeriods(s, mixer, periods);
}

DWORD GetSoundMixerPeriodFrames()
{
    return GetMixerState().PeriodFrames;
}

DWORD GetSoundOutputRate()
{
    return GetMixerState().Rate;
}

int IsNullSoundDeviceOpen()
{
    return State().Kind == OutputKind::Null ? 1 : 0;
}

void StartNullSoundCapture()
{
    MIXERSTATE& mixer = GetMixerState();
    std::lock_guard<std::recursive_mutex> lock(mixer.Mutex);
    State().Capturing = true;
    State().Capture.clear();
}

std::vector<float> TakeNullSoundCapture()
{
    MIXERSTATE& mixer = GetMixerState();
    std::lock_guard<std::recursive_mutex> lock(mixer.Mutex);
    OUTPUTSTATE& s = State();
    s.Capturing = false;
    std::vector<float> out;
    out.swap(s.Capture);
    return out;
}

void SetSoundFault(SoundFault fault, int skip)
{
    State().Faults[static_cast<int>(fault)] = skip < 0 ? -1 : skip;
}

void ClearSoundFaults()
{
    State().Faults.fill(-1);
}
