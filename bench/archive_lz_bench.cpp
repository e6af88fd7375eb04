// Decoding throughput of the archive's LZ coding beside zlib's inflate, on
// the same data: text-like and picture-like samples, packed by the test
// archive writer and by zlib's deflate.
#include "core/file/archive_lz.h"
#include "support/archive_writer.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string TextSample()
{
    static const char* words[] = {"stage", "enemy", "turret", "block", "player", "barrier", "shot", "clear",
                                  "time", "graph", "sound", "the", "of", "and", "to", "with"};
    std::string s;
    std::uint32_t x = 7;
    while (s.size() < (1u << 20)) {
        x = x * 1103515245u + 12345u;
        s += words[(x >> 16) % 16];
        s += (x >> 8) % 9 == 0 ? "\r\n" : " ";
    }
    return s;
}

// A 512x512 32-bit picture: gradients with some noise, as game art packs.
std::string PictureSample()
{
    std::string s(512 * 512 * 4, '\0');
    std::uint32_t x = 11;
    for (int y = 0; y < 512; ++y) {
        for (int i = 0; i < 512; ++i) {
            x = x * 1103515245u + 12345u;
            const std::size_t at = (static_cast<std::size_t>(y) * 512 + i) * 4;
            const int noise = ((x >> 16) & 3);
            s[at] = static_cast<char>((i / 2 + noise) & 0xFF);
            s[at + 1] = static_cast<char>((y / 2) & 0xFF);
            s[at + 2] = static_cast<char>(((i + y) / 4) & 0xF0);
            s[at + 3] = static_cast<char>(0xFF);
        }
    }
    return s;
}

const std::string& Sample(int which)
{
    static const std::string text = TextSample();
    static const std::string picture = PictureSample();
    return which == 0 ? text : picture;
}

void BM_DecodeArchiveLz(benchmark::State& state)
{
    const std::string& data = Sample(static_cast<int>(state.range(0)));
    const std::string packed = PackArchiveLz(data);
    std::vector<std::uint8_t> out(data.size());
    for (auto _ : state) {
        const std::int64_t n = DecodeArchiveLz(packed.data(), static_cast<std::uint32_t>(packed.size()), out.data(),
                                               static_cast<std::uint32_t>(out.size()));
        benchmark::DoNotOptimize(n);
        if (n != static_cast<std::int64_t>(data.size())) state.SkipWithError("decode failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(data.size()));
    state.counters["ratio"] = static_cast<double>(packed.size()) / static_cast<double>(data.size());
}

void BM_Inflate(benchmark::State& state)
{
    const std::string& data = Sample(static_cast<int>(state.range(0)));
    uLongf packedSize = compressBound(static_cast<uLong>(data.size()));
    std::vector<Bytef> packed(packedSize);
    compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
              Z_DEFAULT_COMPRESSION);
    std::vector<Bytef> out(data.size());
    for (auto _ : state) {
        uLongf outSize = static_cast<uLongf>(out.size());
        const int rc = uncompress(out.data(), &outSize, packed.data(), packedSize);
        benchmark::DoNotOptimize(rc);
        if (rc != Z_OK || outSize != data.size()) state.SkipWithError("inflate failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(data.size()));
    state.counters["ratio"] = static_cast<double>(packedSize) / static_cast<double>(data.size());
}

} // namespace

// Argument 0: text, 1: picture.
BENCHMARK(BM_DecodeArchiveLz)->Arg(0)->Arg(1);
BENCHMARK(BM_Inflate)->Arg(0)->Arg(1);
