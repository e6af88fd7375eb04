// The generator's synthesiser and WAV writer (synth.h); sounds.cpp plays it.
#include "tools/assets/synth.h"

#include <algorithm>
#include <cmath>

#include "tools/assets/raster.h"

namespace {

double SineTable(double phase)
{
    // A table built once from the series keeps the sine cheap and exact.
    static const std::vector<double> table = [] {
        std::vector<double> t(4097);
        for (int i = 0; i <= 4096; ++i) t[i] = SinOf(2 * kPi * i / 4096);
        return t;
    }();
    const double at = phase * 4096;
    const int i = static_cast<int>(at);
    const double f = at - i;
    return table[i] + (table[i + 1] - table[i]) * f;
}

double WaveAt(Wave wave, double phase, double duty)
{
    switch (wave) {
    case Wave::Sine: return SineTable(phase);
    case Wave::Square: return phase < duty ? 0.7 : -0.7;
    case Wave::Triangle: return phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
    case Wave::Saw: return 2 * phase - 1;
    }
    return 0;
}

double Envelope(double t, double seconds, double attack, double curve)
{
    if (t < attack) return t / attack;
    const double rest = 1 - (t - attack) / (seconds - attack);
    if (rest <= 0) return 0;
    // (rest)^curve for whole and half curves, by multiplication alone.
    double v = 1;
    int whole = static_cast<int>(curve);
    for (int k = 0; k < whole; ++k) v *= rest;
    if (curve - whole >= 0.5) v *= std::sqrt(rest);
    return v;
}

void LittleEndian(std::string& out, uint32_t value, int bytes)
{
    for (int k = 0; k < bytes; ++k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
}

}  // namespace

double NoteHz(int note)
{
    const double semitone = 1.0594630943592953;  // the twelfth root of two
    double hz = 440;
    for (int n = 69; n < note; ++n) hz *= semitone;
    for (int n = 69; n > note; --n) hz /= semitone;
    return hz;
}

Sound::Sound(double seconds, bool loops) : samples_(static_cast<size_t>(seconds * kSampleRate), 0.0), loops_(loops) {}

void Sound::Put(long index, double value)
{
    const long size = static_cast<long>(samples_.size());
    if (loops_) index %= size;
    if (index >= 0 && index < size) samples_[index] += value;
}

void Sound::Add(const Tone& tone, double at)
{
    const long start = std::lround(at * kSampleRate);
    const long count = std::lround(tone.seconds * kSampleRate);
    double phase = 0, vibrato = 0;
    for (long i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        double hz = tone.from + (tone.to - tone.from) * (static_cast<double>(i) / count);
        if (tone.vibratoDepth > 0) {
            hz *= 1 + tone.vibratoDepth * SineTable(vibrato);
            vibrato += tone.vibratoHz / kSampleRate;
            vibrato -= std::floor(vibrato);
        }
        Put(start + i, tone.level * Envelope(t, tone.seconds, tone.attack, tone.curve) * WaveAt(tone.wave, phase, tone.duty));
        phase += hz / kSampleRate;
        phase -= std::floor(phase);
    }
}

void Sound::AddNoise(double at, double seconds, double level, double from, double to, double curve, int seed)
{
    const long start = std::lround(at * kSampleRate);
    const long count = std::lround(seconds * kSampleRate);
    uint32_t state = 2463534242u + static_cast<uint32_t>(seed) * 2654435761u;
    double low = 0;
    for (long i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const double white = (state & 0xFFFF) / 32767.5 - 1;
        const double cutoff = from + (to - from) * (static_cast<double>(i) / count);
        // A one-pole low-pass; its factor follows the cut-off well enough below a quarter of the rate.
        const double k = std::min(1.0, 2 * kPi * cutoff / kSampleRate);
        low += k * (white - low);
        const double t = static_cast<double>(i) / kSampleRate;
        Put(start + i, level * Envelope(t, seconds, 0.002, curve) * low * 1.6);
    }
}

std::string Sound::EncodeWav() const
{
    double peak = 0;
    for (double s : samples_) peak = std::max(peak, std::fabs(s));
    const double gain = peak > 0 ? 0.891 / peak : 0;  // -1 dBFS

    std::string pcm;
    const long size = static_cast<long>(samples_.size());
    for (long i = 0; i < size; ++i) {
        double s = samples_[i] * gain;
        // A one-shot sound opens and closes over 2 ms so it never clicks.
        if (!loops_) {
            const long ramp = kSampleRate / 500;
            if (i < ramp) s *= static_cast<double>(i) / ramp;
            if (size - 1 - i < ramp) s *= static_cast<double>(size - 1 - i) / ramp;
        }
        const long v = std::clamp(std::lround(s * 32767), -32768L, 32767L);
        LittleEndian(pcm, static_cast<uint32_t>(static_cast<int32_t>(v)), 2);
    }

    std::string wav = "RIFF";
    LittleEndian(wav, static_cast<uint32_t>(36 + pcm.size()), 4);
    wav += "WAVEfmt ";
    LittleEndian(wav, 16, 4);
    LittleEndian(wav, 1, 2);  // PCM
    LittleEndian(wav, 1, 2);  // mono
    LittleEndian(wav, kSampleRate, 4);
    LittleEndian(wav, kSampleRate * 2, 4);
    LittleEndian(wav, 2, 2);
    LittleEndian(wav, 16, 2);
    wav += "data";
    LittleEndian(wav, static_cast<uint32_t>(pcm.size()), 4);
    return wav + pcm;
}
