// Sound fixtures: RIFF/WAVE files written byte by byte (any fmt body, extra
// chunks, lying sizes), and WAVs made and decoded by sox for reference.
#pragma once

#include "sound/decoder.h"
#include "support/image_fixtures.h"

#include <string>
#include <utility>
#include <vector>

// A plain 16-byte PCM fmt body, or 18 bytes with cbSize 0 when `withCbSize`.
Bytes PcmFmtBody(int channels, int rate, int bits, bool withCbSize = false);
// "RIFF" "WAVE" "fmt " body, the chunks given (each padded to even size),
// then "data". A dataSize of -1 writes the real size.
Bytes WriteWav(const Bytes& fmtBody, const Bytes& data,
               const std::vector<std::pair<std::string, Bytes>>& chunksBeforeData = {}, long long dataSize = -1);
// Samples s[i] = (i * 97) % 20000 - 10000 as 16-bit little-endian.
Bytes RampPcm16(std::size_t samples);

// Runs sox with the arguments; true when it exited with 0.
bool RunSox(const std::string& arguments);
// Runs a command line of the installed media tools quietly; true on exit 0.
bool RunTool(const std::string& commandLine);
Bytes ReadFileBytes(const std::string& path);
// Little-endian 16-bit samples of a raw file.
std::vector<std::int16_t> ReadRawPcm16(const std::string& path);
// The folder for a test program's files (its own, removed at its end).
std::string SoundScratchDir();
// The samples of a sox-made 16-bit PCM WAV's data chunk (empty on failure).
std::vector<std::int16_t> ReadPcm16Samples(const Bytes& wav);

// A fmt body of any format: the 16 fixed bytes, then cbSize and the extra
// bytes when there are any.
Bytes WavFmtBody(int tag, int channels, int rate, int byteRate, int blockAlign, int bits, const Bytes& extra = {});
// Seeds of the WAV fuzz target: PCM, IMA and MS ADPCM, A-law, mu-law, IEEE
// float and the extensible format.
void WriteWavFuzzSeeds(const std::string& root);
// Seeds of the MPEG audio and Ogg Vorbis fuzz targets, made with lame, sox
// and byte by byte.
void WriteCompressedSoundFuzzSeeds(const std::string& root);

// A sound decoder set up over a file image the caller keeps alive.
class DecoderOver {
public:
    explicit DecoderOver(const Bytes& image);
    ~DecoderOver();
    DecoderOver(const DecoderOver&) = delete;
    DecoderOver& operator=(const DecoderOver&) = delete;
    bool Ok() const { return setup == 0; }
    // 16-bit samples read in pieces of `piece` bytes until the end, or `limit` samples.
    std::vector<std::int16_t> Read(std::size_t limit = ~std::size_t{0}, int piece = 3000);

    PCMCONV decoder{};
    int setup = -1;

private:
    MEMSTREAM* stream_ = nullptr;
};
