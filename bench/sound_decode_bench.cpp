// Compressed sounds decoded through the sound decoder: ten seconds of
// 44.1 kHz stereo from MPEG audio (128 kbit/s) and from Ogg Vorbis, made
// with lame and sox at start. One iteration decodes the whole file; the
// goal is well under 2% of a core while streaming, i.e. under 200 ms here.
#include "core/file/stream.h"
#include "sound/decoder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> MakeFile(const std::string& encode, const char* name)
{
    const std::string dir = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    const std::string wav = dir + "/zarvo_decode_bench.wav";
    const std::string out = dir + "/" + name;
    const std::string make = "sox -q -n -r 44100 -c 2 -b 16 -e signed-integer " + wav +
                             " synth 10 sine 300 sine 500 >/dev/null 2>&1 && " + encode + " " + wav + " " + out +
                             " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) std::abort();
    std::ifstream in(out, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::remove(wav.c_str());
    std::remove(out.c_str());
    return bytes;
}

void DecodeWhole(benchmark::State& state, const std::vector<std::uint8_t>& file)
{
    std::vector<std::uint8_t> pcm(1 << 16);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        MEMSTREAM* s = OpenMemoryStream(file.data(), static_cast<std::uint32_t>(file.size()));
        const STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(s)};
        PCMCONV d{};
        if (SetupSoundDecoder(&ref, &d) != 0) std::abort();
        for (int got; (got = ReadSoundDecoder(&d, pcm.data(), static_cast<int>(pcm.size()))) > 0;) bytes += got;
        CloseSoundDecoder(&d);
        CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(s));
    }
    state.SetBytesProcessed(bytes);
}

void BM_DecodeMp3(benchmark::State& state)
{
    static const std::vector<std::uint8_t> file = MakeFile("lame --quiet -b 128", "zarvo_decode_bench.mp3");
    DecodeWhole(state, file);
}
BENCHMARK(BM_DecodeMp3)->Unit(benchmark::kMillisecond);

void BM_DecodeOggVorbis(benchmark::State& state)
{
    static const std::vector<std::uint8_t> file = MakeFile("sox -q", "zarvo_decode_bench.ogg");
    DecodeWhole(state, file);
}
BENCHMARK(BM_DecodeOggVorbis)->Unit(benchmark::kMillisecond);

} // namespace
