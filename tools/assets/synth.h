// A small synthesiser for the generator's sounds: tones, noise, envelopes
// and a filter into a mono buffer, mastered and written as 16-bit PCM WAV.
// Only exact arithmetic is used, so every machine writes the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kSampleRate = 22050;

enum class Wave { Sine, Square, Triangle, Saw };

// One voice: a wave whose pitch slides from 'from' to 'to' hertz over its
// length, shaped by a linear attack and a curved release to silence.
struct Tone {
    Wave wave = Wave::Sine;
    double from = 440, to = 440;  // hertz
    double seconds = 0.1;
    double level = 1;
    double attack = 0.004;     // seconds
    double curve = 2;          // the release: (1 - t)^curve
    double vibratoHz = 0, vibratoDepth = 0;  // depth as a share of the pitch
    double duty = 0.5;         // for squares
};

class Sound {
public:
    explicit Sound(double seconds, bool loops = false);

    // Adds a tone or a burst of noise starting at 'at' seconds. A looping
    // sound wraps what runs past its end onto its start.
    void Add(const Tone& tone, double at = 0);
    // Noise through a one-pole low-pass whose cut-off slides from 'from' to
    // 'to' hertz, with the release of a tone.
    void AddNoise(double at, double seconds, double level, double from, double to, double curve = 2, int seed = 1);

    // Scales the peak to -1 dBFS and answers the WAV file's bytes.
    std::string EncodeWav() const;

private:
    void Put(long index, double value);

    std::vector<double> samples_;
    bool loops_;
};

// The frequency of a note: 69 is A at 440 hertz, one step a semitone.
double NoteHz(int note);
