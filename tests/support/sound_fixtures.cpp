// Owns the WAV fixture writer and the sox helpers of the sound tests.
#include "support/sound_fixtures.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

void PutTag(Bytes& b, const char* tag)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(tag[i]));
}

std::uint32_t Le32(const Bytes& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

} // namespace

Bytes PcmFmtBody(int channels, int rate, int bits, bool withCbSize)
{
    Bytes b;
    const int align = channels * bits / 8;
    PutLe16(b, 1);
    PutLe16(b, static_cast<std::uint32_t>(channels));
    PutLe32(b, static_cast<std::uint32_t>(rate));
    PutLe32(b, static_cast<std::uint32_t>(rate * align));
    PutLe16(b, static_cast<std::uint32_t>(align));
    PutLe16(b, static_cast<std::uint32_t>(bits));
    if (withCbSize) PutLe16(b, 0);
    return b;
}

Bytes WriteWav(const Bytes& fmtBody, const Bytes& data, const std::vector<std::pair<std::string, Bytes>>& chunks,
               long long dataSize)
{
    Bytes b;
    PutTag(b, "RIFF");
    PutLe32(b, 0);
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    PutLe32(b, static_cast<std::uint32_t>(fmtBody.size()));
    b.insert(b.end(), fmtBody.begin(), fmtBody.end());
    for (const auto& [id, body] : chunks) {
        PutTag(b, id.c_str());
        PutLe32(b, static_cast<std::uint32_t>(body.size()));
        b.insert(b.end(), body.begin(), body.end());
        if (body.size() & 1) b.push_back(0);
    }
    PutTag(b, "data");
    PutLe32(b, static_cast<std::uint32_t>(dataSize < 0 ? static_cast<long long>(data.size()) : dataSize));
    b.insert(b.end(), data.begin(), data.end());
    const std::uint32_t riff = static_cast<std::uint32_t>(b.size() - 8);
    std::memcpy(b.data() + 4, &riff, 4);
    return b;
}

Bytes RampPcm16(std::size_t samples)
{
    Bytes b;
    for (std::size_t i = 0; i < samples; ++i)
        PutLe16(b, static_cast<std::uint16_t>(static_cast<std::int16_t>((i * 97) % 20000 - 10000)));
    return b;
}

bool RunSox(const std::string& arguments)
{
    const std::string command = "sox -q " + arguments + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string SoundScratchDir()
{
    // Each test process runs in a folder of its own, removed when it ends.
    return std::filesystem::current_path().string();
}

std::vector<std::int16_t> ReadPcm16Samples(const Bytes& wav)
{
    std::vector<std::int16_t> out;
    std::size_t at = 12;
    while (at + 8 <= wav.size()) {
        const std::uint32_t size = Le32(wav, at + 4);
        if (std::memcmp(wav.data() + at, "data", 4) == 0) {
            const std::size_t n = std::min<std::size_t>(size, wav.size() - at - 8) / 2;
            out.resize(n);
            std::memcpy(out.data(), wav.data() + at + 8, n * 2);
            return out;
        }
        at += 8 + size + (size & 1);
    }
    return out;
}
