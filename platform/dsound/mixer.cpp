// Owns the mixer state and the mix loops: one loop per sample width and
// channel count, linear interpolation only where the rates differ.
#include "platform/dsound/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

template <int Bits>
float ReadSample(const std::uint8_t* p)
{
    if constexpr (Bits == 8) {
        return (static_cast<int>(p[0]) - 128) * (1.0f / 128.0f);
    } else if constexpr (Bits == 16) {
        std::int16_t v;
        std::memcpy(&v, p, 2);
        return v * (1.0f / 32768.0f);
    } else if constexpr (Bits == 24) {
        std::int32_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                                   static_cast<std::uint32_t>(p[1]) << 16 |
                                                   static_cast<std::uint32_t>(p[2]) << 24);
        return static_cast<float>(v >> 8) * (1.0f / 8388608.0f);
    } else {
        std::int32_t v;
        std::memcpy(&v, p, 4);
        return static_cast<float>(static_cast<double>(v) * (1.0 / 2147483648.0));
    }
}

template <int Bits, int Channels>
void ReadFrame(const std::uint8_t* frame, float& left, float& right)
{
    left = ReadSample<Bits>(frame);
    right = Channels == 2 ? ReadSample<Bits>(frame + Bits / 8) : left;
}

std::uint64_t PhaseStep(const MIXERSTATE& mixer, const MixVoice& v)
{
    const std::uint64_t rate = v.Frequency != 0 ? v.Frequency : v.Format.nSamplesPerSec;
    return (rate << 32) / mixer.Rate;
}

template <int Bits, int Channels>
void MixOne(const MIXERSTATE& mixer, MixVoice& v, float* out, DWORD frames)
{
    constexpr DWORD kFrameBytes = Bits / 8 * Channels;
    const std::uint8_t* base = v.Data->data();
    const std::uint64_t step = PhaseStep(mixer, v);
    const float gl = v.GainLeft;
    const float gr = v.GainRight;
    DWORD pos = v.Pos;
    std::uint32_t phase = v.Phase;
    for (DWORD i = 0; i < frames; ++i) {
        float l, r;
        ReadFrame<Bits, Channels>(base + static_cast<std::size_t>(pos) * kFrameBytes, l, r);
        if (phase != 0) {
            DWORD next = pos + 1 < v.Frames ? pos + 1 : (v.Looping ? 0 : pos);
            float nl, nr;
            ReadFrame<Bits, Channels>(base + static_cast<std::size_t>(next) * kFrameBytes, nl, nr);
            const float t = static_cast<float>(phase * (1.0 / 4294967296.0));
            l += (nl - l) * t;
            r += (nr - r) * t;
        }
        out[2 * i] += l * gl;
        out[2 * i + 1] += r * gr;
        const std::uint64_t acc = static_cast<std::uint64_t>(phase) + step;
        phase = static_cast<std::uint32_t>(acc);
        const std::uint64_t advanced = pos + (acc >> 32);
        if (advanced >= v.Frames) {
            if (!v.Looping) {
                // A one-shot buffer that ran out stops and rewinds, so the next
                // play without a position starts it again.
                v.Playing = false;
                v.Pos = 0;
                v.Phase = 0;
                return;
            }
            pos = static_cast<DWORD>(advanced % v.Frames);
        } else {
            pos = static_cast<DWORD>(advanced);
        }
    }
    v.Pos = pos;
    v.Phase = phase;
}

using MixFn = void (*)(const MIXERSTATE&, MixVoice&, float*, DWORD);

MixFn PickMix(const WAVEFORMATEX& f)
{
    const bool stereo = f.nChannels == 2;
    switch (f.wBitsPerSample) {
    case 8: return stereo ? MixOne<8, 2> : MixOne<8, 1>;
    case 16: return stereo ? MixOne<16, 2> : MixOne<16, 1>;
    case 24: return stereo ? MixOne<24, 2> : MixOne<24, 1>;
    default: return stereo ? MixOne<32, 2> : MixOne<32, 1>;
    }
}

} // namespace

MIXERSTATE& GetMixerState()
{
    static MIXERSTATE state;
    return state;
}

bool IsMixableFormat(const WAVEFORMATEX& f)
{
    if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (f.nChannels < 1 || f.nChannels > 2) return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16 && f.wBitsPerSample != 24 && f.wBitsPerSample != 32)
        return false;
    if (f.nSamplesPerSec < 100 || f.nSamplesPerSec > 200000) return false;
    if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return false;
    return f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

float VolumeToAmplitude(LONG v)
{
    if (v <= -10000) return 0.0f;
    if (v >= 0) return 1.0f;
    return static_cast<float>(std::pow(10.0, v / 2000.0));
}

void UpdateVoiceGains(MixVoice& v)
{
    const float amp = VolumeToAmplitude(v.Volume);
    // Panning only lowers the far side, as the interface defines it.
    v.GainLeft = v.Pan > 0 ? amp * VolumeToAmplitude(-v.Pan) : amp;
    v.GainRight = v.Pan < 0 ? amp * VolumeToAmplitude(v.Pan) : amp;
}

void MixVoices(MIXERSTATE& mixer, float* out, DWORD frames)
{
    for (MixVoice* v : mixer.Voices) {
        if (!v->Playing || v->Frames == 0) continue;
        PickMix(v->Format)(mixer, *v, out, frames);
    }
}

std::int16_t MixToSample16(float value)
{
    const float scaled = std::clamp(value * 32768.0f, -32768.0f, 32767.0f);
    return static_cast<std::int16_t>(std::lround(scaled));
}

void SkipVoices(MIXERSTATE& mixer, ULONGLONG frames)
{
    // In stretches short enough that a step times a stretch fits 64 bits.
    constexpr ULONGLONG kStretch = 1u << 24;
    for (MixVoice* v : mixer.Voices) {
        const std::uint64_t step = PhaseStep(mixer, *v);
        for (ULONGLONG left = frames; left > 0 && v->Playing && v->Frames != 0;) {
            const ULONGLONG n = left < kStretch ? left : kStretch;
            left -= n;
            const std::uint64_t total = step * n + v->Phase;
            const std::uint64_t advanced = v->Pos + (total >> 32);
            v->Phase = static_cast<std::uint32_t>(total);
            if (advanced < v->Frames) {
                v->Pos = static_cast<DWORD>(advanced);
            } else if (v->Looping) {
                v->Pos = static_cast<DWORD>(advanced % v->Frames);
            } else {
                v->Playing = false;
                v->Pos = 0;
                v->Phase = 0;
            }
        }
    }
}

DWORD SourceFramesPerPeriod(const MIXERSTATE& mixer, const MixVoice& v)
{
    const std::uint64_t total = PhaseStep(mixer, v) * mixer.PeriodFrames;
    return static_cast<DWORD>((total + 0xFFFFFFFFu) >> 32);
}
