// The game's 17 sounds, played on synth.h: short effects that differ in
// pitch, colour and shape, and a 16-second music loop of eight whole bars.
#include <string>

#include "tools/assets/asset_file.h"
#include "tools/assets/synth.h"

namespace {

AssetFile Wav(const std::string& stem, const Sound& sound) { return {"date/sound/" + stem + ".wav", sound.EncodeWav()}; }

Tone Voice(Wave wave, double from, double to, double seconds, double level, double curve = 2)
{
    Tone t;
    t.wave = wave;
    t.from = from;
    t.to = to;
    t.seconds = seconds;
    t.level = level;
    t.curve = curve;
    return t;
}

// The player is hit: a deep thump under a long rumble.
Sound Damage()
{
    Sound s(0.9);
    s.Add(Voice(Wave::Sine, 140, 35, 0.6, 1.0, 2));
    s.AddNoise(0, 0.9, 0.9, 3000, 200, 2, 11);
    s.Add(Voice(Wave::Square, 220, 55, 0.3, 0.25, 3));
    return s;
}

// A small dry shot.
Sound Shot()
{
    Sound s(0.13);
    s.Add(Voice(Wave::Square, 950, 280, 0.13, 0.8, 2));
    s.AddNoise(0, 0.05, 0.3, 6000, 2000, 3, 2);
    return s;
}

// Something breaks: a crunchy mid explosion.
Sound Break()
{
    Sound s(0.5);
    s.AddNoise(0, 0.5, 1.0, 5000, 400, 2, 3);
    s.Add(Voice(Wave::Square, 420, 60, 0.35, 0.35, 2));
    return s;
}

// Three quick high beeps: the mode switch is about to be ready.
Sound Beeps()
{
    Sound s(0.3);
    for (int k = 0; k < 3; ++k) {
        Tone t = Voice(Wave::Square, 1760, 1760, 0.06, 0.6, 1);
        t.duty = 0.25;
        s.Add(t, 0.1 * k);
    }
    return s;
}

// Back to normal mode: a falling three-note figure.
Sound ChangeMode()
{
    Sound s(0.32);
    const double notes[] = {NoteHz(81), NoteHz(76), NoteHz(69)};
    for (int k = 0; k < 3; ++k) s.Add(Voice(Wave::Square, notes[k], notes[k], 0.1, 0.6, 1.5), 0.09 * k);
    return s;
}

// The barrier turns a shot away: a bright metallic ping.
Sound Reflect()
{
    Sound s(0.16);
    s.Add(Voice(Wave::Sine, 2400, 2300, 0.16, 0.8, 3));
    s.Add(Voice(Wave::Sine, 3650, 3500, 0.12, 0.45, 3));
    s.Add(Voice(Wave::Triangle, 1200, 1150, 0.1, 0.3, 3));
    return s;
}

// The select cursor moves: a short blip.
Sound Blip()
{
    Sound s(0.08);
    s.Add(Voice(Wave::Square, 1250, 1250, 0.08, 0.7, 1.5));
    return s;
}

// Locked on: a two-tone warble.
Sound LockOn()
{
    Sound s(0.42);
    for (int k = 0; k < 6; ++k) {
        const double hz = k % 2 == 0 ? 1050 : 1400;
        s.Add(Voice(Wave::Square, hz, hz, 0.065, 0.55, 0.5), 0.07 * k);
    }
    return s;
}

// The marker bursts: a rising whoosh into a pop.
Sound Missile()
{
    Sound s(0.5);
    s.AddNoise(0, 0.5, 0.8, 800, 5000, 1.5, 9);
    s.Add(Voice(Wave::Saw, 180, 900, 0.35, 0.35, 1.5));
    s.Add(Voice(Wave::Sine, 200, 60, 0.2, 0.6, 2), 0.3);
    return s;
}

// A laser burst: a buzzing saw with a singing top, held, then fading.
Sound Laser()
{
    Sound s(1.3);
    Tone body = Voice(Wave::Saw, 310, 290, 1.3, 0.45, 1);
    body.vibratoHz = 30;
    body.vibratoDepth = 0.03;
    body.attack = 0.02;
    s.Add(body);
    Tone top = Voice(Wave::Sine, 1250, 1180, 1.3, 0.35, 1);
    top.vibratoHz = 7;
    top.vibratoDepth = 0.01;
    s.Add(top);
    return s;
}

// A ring of shots, or the barrier going up: a sweep upwards with a sparkle.
Sound Scatter()
{
    Sound s(0.42);
    s.Add(Voice(Wave::Triangle, 300, 1600, 0.4, 0.8, 1.5));
    for (int k = 0; k < 4; ++k) s.Add(Voice(Wave::Sine, 2000 + 400 * k, 2000 + 400 * k, 0.06, 0.25, 2), 0.08 * k + 0.1);
    return s;
}

// A stage starts: a rising major arpeggio.
Sound StageStart()
{
    Sound s(0.55);
    const int notes[] = {72, 76, 79, 84};
    for (int k = 0; k < 4; ++k) {
        Tone t = Voice(Wave::Square, NoteHz(notes[k]), NoteHz(notes[k]), k == 3 ? 0.3 : 0.09, 0.55, 1.5);
        t.duty = 0.25;
        s.Add(t, 0.07 * k);
    }
    return s;
}

// The core is open: two bell strikes.
Sound Release()
{
    Sound s(0.9);
    const double notes[] = {NoteHz(84), NoteHz(91)};
    for (int k = 0; k < 2; ++k) {
        const double f = notes[k];
        s.Add(Voice(Wave::Sine, f, f, 0.7, 0.6, 2.5), 0.18 * k);
        s.Add(Voice(Wave::Sine, f * 2.76, f * 2.76, 0.35, 0.25, 3), 0.18 * k);
        s.Add(Voice(Wave::Sine, f * 5.4, f * 5.4, 0.15, 0.12, 3), 0.18 * k);
    }
    return s;
}

// A locked stage: a low, sour buzzer.
Sound Refuse()
{
    Sound s(0.3);
    s.Add(Voice(Wave::Square, 110, 104, 0.3, 0.5, 0.5));
    s.Add(Voice(Wave::Square, 117, 111, 0.3, 0.5, 0.5));
    return s;
}

// Kind 5's cannon: a heavy boom.
Sound Cannon()
{
    Sound s(0.45);
    s.Add(Voice(Wave::Sine, 95, 38, 0.45, 1.0, 2));
    s.AddNoise(0, 0.3, 0.7, 1800, 150, 2, 5);
    return s;
}

// Kind 1's fan: a quick light chirp.
Sound Chirp()
{
    Sound s(0.1);
    s.Add(Voice(Wave::Triangle, 1450, 650, 0.1, 0.9, 2));
    return s;
}

// Eight bars at 120 beats a minute in A minor. Notes are rendered onto a ring,
// so tails past the end sound again at the start: the loop joins seamlessly.
Sound Music()
{
    const double beat = 0.5, bar = 4 * beat;
    Sound s(8 * bar, true);
    const int roots[8] = {45, 41, 48, 43, 45, 41, 43, 40};
    const int chords[8][3] = {{57, 60, 64}, {53, 57, 60}, {60, 64, 67}, {55, 59, 62},
                              {57, 60, 64}, {53, 57, 60}, {55, 59, 62}, {52, 56, 59}};
    struct Note { int pitch; double beats; };
    const std::vector<std::vector<Note>> melody = {
        {{76, 1}, {74, 0.5}, {72, 0.5}, {74, 1}, {69, 1}},
        {{72, 1.5}, {74, 0.5}, {76, 1}, {72, 1}},
        {{79, 1}, {76, 1}, {74, 1}, {72, 1}},
        {{74, 2}, {71, 1}, {67, 1}},
        {{76, 1}, {74, 0.5}, {72, 0.5}, {74, 1}, {76, 1}},
        {{77, 1.5}, {76, 0.5}, {74, 1}, {72, 1}},
        {{74, 1}, {76, 1}, {79, 1}, {74, 1}},
        {{71, 2}, {68, 1}, {71, 1}},
    };
    for (int b = 0; b < 8; ++b) {
        const double at = b * bar;
        for (int e = 0; e < 8; ++e) {
            const double hz = NoteHz(roots[b] + (e % 2 == 1 ? 12 : 0));
            s.Add(Voice(Wave::Triangle, hz, hz, 0.23, 0.55, 1.5), at + e * beat / 2);
        }
        for (int k = 0; k < 16; ++k) {
            static const int order[4] = {0, 1, 2, 1};
            const double hz = NoteHz(chords[b][order[k % 4]] + 12);
            s.Add(Voice(Wave::Sine, hz, hz, 0.1, 0.12, 2), at + k * beat / 4);
        }
        double t = at;
        for (const Note& n : melody[b]) {
            const double hz = NoteHz(n.pitch);
            // Soft waves for the tunes: squares would fold their overtones back at this rate.
            Tone lead = Voice(Wave::Triangle, hz, hz, n.beats * beat * 0.95, 0.32, 1);
            lead.attack = 0.01;
            lead.vibratoHz = 5;
            lead.vibratoDepth = 0.004;
            s.Add(lead, t);
            t += n.beats * beat;
        }
        for (int q = 0; q < 4; ++q) {
            const double beatAt = at + q * beat;
            if (q % 2 == 0) {
                s.Add(Voice(Wave::Sine, 150, 45, 0.18, 0.9, 2), beatAt);
            } else {
                s.AddNoise(beatAt, 0.15, 0.35, 6000, 2000, 2, 100 + b * 4 + q);
                s.Add(Voice(Wave::Triangle, 200, 160, 0.08, 0.2, 2), beatAt);
            }
            s.AddNoise(beatAt + beat / 2, 0.04, 0.12, 11000, 11000, 3, 200 + b * 4 + q);
        }
    }
    return s;
}

}  // namespace

AssetFiles MakeSoundFiles()
{
    AssetFiles files;
    files.push_back(Wav("dmage", Damage()));
    files.push_back(Wav("shot", Shot()));
    files.push_back(Wav("hakai", Break()));
    files.push_back(Wav("pipipi", Beeps()));
    files.push_back(Wav("changemode", ChangeMode()));
    files.push_back(Wav("ref", Reflect()));
    files.push_back(Wav("select", Blip()));
    files.push_back(Wav("rockon", LockOn()));
    files.push_back(Wav("misail", Missile()));
    files.push_back(Wav("laser", Laser()));
    files.push_back(Wav("baramaki", Scatter()));
    files.push_back(Wav("select2", StageStart()));
    files.push_back(Wav("kaijyo", Release()));
    files.push_back(Wav("batu", Refuse()));
    files.push_back(Wav("loop", Music()));
    files.push_back(Wav("canon", Cannon()));
    files.push_back(Wav("shot2", Chirp()));
    return files;
}
