// The software mixer: 32 looping voices mixed for one second of output
// through the null device. The goal is under 1% of a core, so one
// iteration (one second of sound) should take under 10 ms of CPU time.
#include "platform/com/com.h"
#include "platform/dsound/dsound.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

struct VoiceKind {
    WORD channels;
    DWORD rate;
    WORD bits;
};

void MixVoices(benchmark::State& state, const std::vector<VoiceKind>& kinds, bool volumes)
{
    SelectSoundOutput(SoundOutputChoice::NullOnly);
    SelectNullSoundClock(NullSoundClock::Manual);
    CoInitialize(nullptr);
    IDirectSound* ds = nullptr;
    CoCreateInstance(CLSID_DirectSound, nullptr, 7, IID_IDirectSound, reinterpret_cast<void**>(&ds));
    ds->Initialize(nullptr);
    std::vector<IDirectSoundBuffer*> buffers;
    for (int i = 0; i < 32; ++i) {
        const VoiceKind& k = kinds[static_cast<std::size_t>(i) % kinds.size()];
        WAVEFORMATEX f{WAVE_FORMAT_PCM, k.channels, k.rate, 0, static_cast<WORD>(k.channels * k.bits / 8), k.bits, 0};
        f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
        // Half a second of noise-like data, so loops wrap during the run.
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0x80E2, f.nAvgBytesPerSec / 2 / f.nBlockAlign * f.nBlockAlign, 0, &f, {}};
        IDirectSoundBuffer* b = nullptr;
        ds->CreateSoundBuffer(&desc, &b, nullptr);
        void* p1;
        void* p2;
        DWORD s1, s2;
        b->Lock(0, desc.dwBufferBytes, &p1, &s1, &p2, &s2, 0);
        auto* bytes = static_cast<std::uint8_t*>(p1);
        for (DWORD j = 0; j < s1; ++j) bytes[j] = static_cast<std::uint8_t>(j * 131 + i * 7);
        b->Unlock(p1, s1, p2, s2);
        if (volumes) {
            b->SetVolume(-100 * i);
            b->SetPan(i * 300 - 5000);
        }
        b->Play(0, 0, DSBPLAY_LOOPING);
        buffers.push_back(b);
    }
    const DWORD second = GetSoundOutputRate();
    for (auto _ : state) AdvanceNullSoundDevice(second);
    state.counters["voice_frames_per_s"] =
        benchmark::Counter(32.0 * second * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    for (IDirectSoundBuffer* b : buffers) b->Release();
    ds->Release();
    CoUninitialize();
}

// The game's case: 16-bit sounds at the output's own rate.
void BM_Mix32VoicesSameRate(benchmark::State& state)
{
    MixVoices(state, {{1, 44100, 16}, {2, 44100, 16}}, true);
}
BENCHMARK(BM_Mix32VoicesSameRate)->Unit(benchmark::kMillisecond);

// Every voice resampled: 8- and 16-bit at 22050 and 11025 Hz.
void BM_Mix32VoicesResampled(benchmark::State& state)
{
    MixVoices(state, {{1, 22050, 8}, {2, 22050, 16}, {1, 11025, 16}, {2, 32000, 8}}, true);
}
BENCHMARK(BM_Mix32VoicesResampled)->Unit(benchmark::kMillisecond);

} // namespace
