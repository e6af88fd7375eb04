// The software mixer behind the DirectSound stand-in: the voices (one per
// secondary buffer, duplicates sharing sample memory) and the mix of one
// period into stereo floats. The output devices (output.cpp) drive it.
#pragma once

#include "platform/kernel/types.h"
#include "platform/winmm/waveformat.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct MixVoice {
    std::shared_ptr<std::vector<std::uint8_t>> Data;
    WAVEFORMATEX Format{};
    DWORD Bytes = 0;
    DWORD Frames = 0;
    bool Playing = false;
    bool Looping = false;
    DWORD Pos = 0;            // the next frame to consume
    std::uint32_t Phase = 0;  // fraction of a frame, in 1/2^32
    LONG Volume = 0;
    LONG Pan = 0;
    DWORD Frequency = 0;      // 0 = the format's own rate
    float GainLeft = 1.0f;
    float GainRight = 1.0f;
};

// The state every buffer call and the output thread share. Sample memory is
// read without the lock: writers lock buffers and fill them ahead of the
// cursor, as the interface intends.
struct MIXERSTATE {
    std::recursive_mutex Mutex;
    std::vector<MixVoice*> Voices;
    DWORD Rate = 44100;
    DWORD PeriodFrames = 512;
};
MIXERSTATE& GetMixerState();

bool IsMixableFormat(const WAVEFORMATEX& format);
// Recomputes the gains from volume and pan: amplitude 10^(hundredths / 2000).
void UpdateVoiceGains(MixVoice& voice);
float VolumeToAmplitude(LONG hundredthsOfDecibel);
// Adds `frames` stereo frames of every playing voice into out (which the
// caller zeroes) and moves their positions; the caller holds the mutex.
void MixVoices(MIXERSTATE& mixer, float* out, DWORD frames);
// One mixed value as a 16-bit output sample: the inverse of how the mix
// reads 16-bit samples, rounded and clamped, so a buffer played at full
// volume without pan reaches the device unchanged.
std::int16_t MixToSample16(float value);
// Moves the playing voices on as `frames` output frames of mixing would,
// without mixing: one-shot voices that pass their end stop and rewind.
void SkipVoices(MIXERSTATE& mixer, ULONGLONG frames);
// Source frames one output period consumes at the voice's rate (rounded up).
DWORD SourceFramesPerPeriod(const MIXERSTATE& mixer, const MixVoice& voice);
