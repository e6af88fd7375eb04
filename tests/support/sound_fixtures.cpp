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

bool RunTool(const std::string& commandLine)
{
    const std::string command = commandLine + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::vector<std::int16_t> ReadRawPcm16(const std::string& path)
{
    const Bytes raw = ReadFileBytes(path);
    std::vector<std::int16_t> out(raw.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
    return out;
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

Bytes WavFmtBody(int tag, int channels, int rate, int byteRate, int blockAlign, int bits, const Bytes& extra)
{
    Bytes b;
    PutLe16(b, static_cast<std::uint32_t>(tag));
    PutLe16(b, static_cast<std::uint32_t>(channels));
    PutLe32(b, static_cast<std::uint32_t>(rate));
    PutLe32(b, static_cast<std::uint32_t>(byteRate));
    PutLe16(b, static_cast<std::uint32_t>(blockAlign));
    PutLe16(b, static_cast<std::uint32_t>(bits));
    if (!extra.empty()) {
        PutLe16(b, static_cast<std::uint32_t>(extra.size()));
        b.insert(b.end(), extra.begin(), extra.end());
    }
    return b;
}

void WriteWavFuzzSeeds(const std::string& root)
{
    const std::filesystem::path dir = std::filesystem::path(root) / "wav_fuzz";
    std::filesystem::create_directories(dir);
    auto save = [&](const char* name, const Bytes& b) {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                         static_cast<std::streamsize>(b.size()));
    };
    Bytes adpcmData(300);
    for (std::size_t i = 0; i < adpcmData.size(); ++i) adpcmData[i] = static_cast<std::uint8_t>(i * 37 + 11);
    save("pcm16.wav", WriteWav(PcmFmtBody(2, 22050, 16), RampPcm16(64), {{"LIST", Bytes(5, 'x')}}));
    save("pcm8.wav", WriteWav(PcmFmtBody(1, 8000, 8, true), Bytes(40, 0x80)));
    Bytes ima;
    PutLe16(ima, 57);  // (32 - 4) * 2 + 1 samples in 32-byte blocks
    save("ima.wav", WriteWav(WavFmtBody(0x11, 1, 8000, 7000, 32, 4, ima), adpcmData, {{"fact", Bytes(4, 0)}}));
    Bytes ms;
    PutLe16(ms, 52);  // (32 - 7) * 2 + 2
    PutLe16(ms, 7);
    for (int c : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232})
        PutLe16(ms, static_cast<std::uint16_t>(static_cast<std::int16_t>(c)));
    save("msadpcm.wav", WriteWav(WavFmtBody(2, 1, 8000, 4923, 32, 4, ms), adpcmData));
    save("alaw.wav", WriteWav(WavFmtBody(6, 2, 8000, 16000, 2, 8, Bytes{}), adpcmData));
    save("float.wav", WriteWav(WavFmtBody(3, 2, 8000, 64000, 8, 32, Bytes{}), adpcmData, {{"fact", Bytes(4, 9)}}));
    Bytes extensible{32, 0, 3, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    save("extensible.wav", WriteWav(WavFmtBody(0xFFFE, 1, 8000, 32000, 4, 32, extensible), adpcmData));
    save("mulaw.wav", WriteWav(WavFmtBody(7, 1, 8000, 8000, 1, 8, Bytes{}), adpcmData));
}

DecoderOver::DecoderOver(const Bytes& image)
{
    stream_ = OpenMemoryStream(image.data(), static_cast<std::uint32_t>(image.size()));
    const STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(stream_)};
    setup = SetupSoundDecoder(&ref, &decoder);
}

DecoderOver::~DecoderOver()
{
    if (setup == 0) CloseSoundDecoder(&decoder);
    CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream_));
}

std::vector<std::int16_t> DecoderOver::Read(std::size_t limit, int piece)
{
    std::vector<std::int16_t> out;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(piece));
    while (out.size() < limit) {
        const int got = ReadSoundDecoder(&decoder, buffer.data(), piece);
        if (got <= 0) break;
        for (int i = 0; i + 1 < got; i += 2) out.push_back(static_cast<std::int16_t>(buffer[i] | buffer[i + 1] << 8));
    }
    if (out.size() > limit) out.resize(limit);
    return out;
}

void WriteCompressedSoundFuzzSeeds(const std::string& root)
{
    namespace fs = std::filesystem;
    const fs::path mp3 = fs::path(root) / "mp3_fuzz";
    const fs::path vorbis = fs::path(root) / "vorbis_fuzz";
    fs::create_directories(mp3);
    fs::create_directories(vorbis);
    const std::string wav = (fs::path(root) / "seed-source.wav").string();
    RunTool("sox -q -n -r 22050 -c 1 -b 16 -e signed-integer " + wav + " synth 0.2 sine 440");
    RunTool("lame --quiet -b 32 " + wav + " " + (mp3 / "cbr.mp3").string());
    RunTool("lame --quiet -t --resample 16 -b 8 " + wav + " " + (mp3 / "mpeg2.mp3").string());
    RunTool("ffmpeg -v error -y -i " + wav + " -c:a mp2 -b:a 64k -f mp2 " + (mp3 / "layer2.mp2").string());
    RunTool("sox -q " + wav + " -C 0 " + (vorbis / "mono.ogg").string());
    fs::remove(wav);
    // Frames with nothing in them, behind a version 4 tag with a footer.
    Bytes framed{'I', 'D', '3', 4, 0, 0x10, 0, 0, 0, 4, 1, 2, 3, 4, '3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 4};
    for (int i = 0; i < 6; ++i) {
        const Bytes frame{0xFF, 0xFB, 0x10, 0xC4};  // MPEG-1 Layer III, 32 kbit/s, 44.1 kHz: 104 bytes
        framed.insert(framed.end(), frame.begin(), frame.end());
        framed.resize(framed.size() + 100, 0);
    }
    std::ofstream(mp3 / "id3.mp3", std::ios::binary)
        .write(reinterpret_cast<const char*>(framed.data()), static_cast<std::streamsize>(framed.size()));
}
