// The WAV kinds of the sound decoder: sox-made PCM, MS ADPCM, IMA ADPCM,
// A-law, mu-law, float and extensible files decode to what sox decodes
// (or to the samples they were made from); hand-made headers
// show the chunk walk, the format rules, reads and seeks, and refusals.
#include "core/file/stream.h"
#include "core/memory.h"
#include "sound/decoder.h"
#include "support/sound_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// A decoder over a library memory stream, closed with it.
struct Decoding {
    explicit Decoding(const Bytes& file)
    {
        stream = OpenMemoryStream(file.data(), static_cast<std::uint32_t>(file.size()));
        ref = STREAMREF{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(stream)};
        result = SetupSoundDecoder(&ref, &decoder);
    }
    ~Decoding()
    {
        CloseSoundDecoder(&decoder);
        CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream));
    }
    Bytes Whole(WAVEFORMATEX* format = nullptr)
    {
        WAVEFORMATEX f{};
        void* data = nullptr;
        int size = 0;
        EXPECT_EQ(DecodeWholeSoundSource(&decoder, &f, &data, &size), 0);
        Bytes out(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
        FreeMemory(data);
        if (format != nullptr) *format = f;
        return out;
    }
    MEMSTREAM* stream = nullptr;
    STREAMREF ref{};
    PCMCONV decoder{};
    int result = -1;
};

std::vector<std::int16_t> AsSamples(const Bytes& pcm)
{
    std::vector<std::int16_t> s(pcm.size() / 2);
    std::memcpy(s.data(), pcm.data(), s.size() * 2);
    return s;
}

class SoxWavTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(RunSox("-n -r 22050 -c 2 -b 16 stereo.wav synth 0.4 sine 300-2500 sine 440 vol 0.8"));
        ASSERT_TRUE(RunSox("-n -r 11025 -c 1 -b 16 mono.wav synth 0.4 square 200 vol 0.6"));
    }
};

TEST_F(SoxWavTest, PcmOfEveryWidthLayoutAndRatePassesThroughUnchanged)
{
    const struct {
        const char* args;
    } cases[] = {{"-r 44100 -c 2 -b 16"}, {"-r 22050 -c 1 -b 16"}, {"-r 11025 -c 1 -b 8"},
                 {"-r 8000 -c 2 -b 8"},   {"-r 48000 -c 1 -b 16"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(RunSox(std::string("stereo.wav ") + c.args + " pcm.wav"));
        const Bytes file = ReadFileBytes("pcm.wav");
        Decoding d(file);
        ASSERT_EQ(d.result, 0) << c.args;
        EXPECT_EQ(d.decoder.Kind, PCMCONV_KIND_PCMWAV);
        WAVEFORMATEX f;
        const Bytes pcm = d.Whole(&f);
        ASSERT_TRUE(RunSox(std::string("pcm.wav -t raw ref.raw")));
        EXPECT_EQ(pcm, ReadFileBytes("ref.raw")) << c.args;
        EXPECT_EQ(f.nBlockAlign, f.nChannels * f.wBitsPerSample / 8);
    }
}

TEST_F(SoxWavTest, CompressedWavsDecodeToExactlyWhatSoxDecodes)
{
    const char* const sources[] = {"stereo.wav", "mono.wav"};
    const char* const encodings[] = {"a-law", "u-law", "ima-adpcm", "ms-adpcm"};
    for (const char* source : sources) {
        for (const char* encoding : encodings) {
            const std::string what = std::string(source) + " " + encoding;
            ASSERT_TRUE(RunSox(std::string(source) + " -e " + encoding + " enc.wav")) << what;
            ASSERT_TRUE(RunSox("enc.wav -e signed -b 16 ref.wav")) << what;
            const Bytes file = ReadFileBytes("enc.wav");
            Decoding d(file);
            ASSERT_EQ(d.result, 0) << what;
            EXPECT_EQ(d.decoder.Kind, PCMCONV_KIND_ACM) << what;
            WAVEFORMATEX f;
            const std::vector<std::int16_t> ours = AsSamples(d.Whole(&f));
            EXPECT_EQ(f.wBitsPerSample, 16) << what;
            // sox decodes the padding of the last ADPCM block too; the fact
            // count ends ours with the samples encoded.
            std::vector<std::int16_t> ref = ReadPcm16Samples(ReadFileBytes("ref.wav"));
            const std::size_t encoded = ReadPcm16Samples(ReadFileBytes(source)).size();
            ASSERT_GE(ref.size(), encoded) << what;
            ref.resize(encoded);
            EXPECT_EQ(ours, ref) << what;
        }
    }
}

TEST_F(SoxWavTest, FloatAndExtensibleWavsDecodeLikeThePcmTheyCarry)
{
    const struct {
        const char* args;
        int tag;   // what sox writes, so the case is the layout it names
        int kind;
        int bits;
    } cases[] = {
        {"-e floating-point -b 32", 3, PCMCONV_KIND_ACM, 16},
        {"-e floating-point -b 64", 3, PCMCONV_KIND_ACM, 16},
        {"-b 24", 0xFFFE, PCMCONV_KIND_PCMWAV, 24},
    };
    for (const char* source : {"stereo.wav", "mono.wav"}) {
        for (const auto& c : cases) {
            const std::string what = std::string(source) + " " + c.args;
            ASSERT_TRUE(RunSox(std::string(source) + " " + c.args + " in.wav")) << what;
            const Bytes file = ReadFileBytes("in.wav");
            ASSERT_GT(file.size(), 22u);
            ASSERT_EQ(file[20] | file[21] << 8, c.tag) << what;
            Decoding d(file);
            ASSERT_EQ(d.result, 0) << what;
            EXPECT_EQ(d.decoder.Kind, c.kind) << what;
            WAVEFORMATEX f;
            const Bytes pcm = d.Whole(&f);
            EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM) << what;
            EXPECT_EQ(f.wBitsPerSample, c.bits) << what;
            if (c.bits == 16) {
                // Floats made from 16-bit samples turn back into those samples.
                EXPECT_EQ(AsSamples(pcm), ReadPcm16Samples(ReadFileBytes(source))) << what;
            } else {
                ASSERT_TRUE(RunSox("in.wav -t raw ref.raw")) << what;
                EXPECT_EQ(pcm, ReadFileBytes("ref.raw")) << what;
            }
        }
    }
}

TEST_F(SoxWavTest, AdpcmEndsAtItsFactCountNotAtTheEndOfItsLastBlock)
{
    // 14.9 IMA blocks of 505 frames, 15.1 MS ADPCM blocks of 500, at 8 kHz.
    constexpr std::size_t kFrames = 7540;
    ASSERT_TRUE(RunSox("-n -r 8000 -c 1 -b 16 short.wav synth 0.9425 sine 440 vol 0.7"));
    ASSERT_EQ(ReadPcm16Samples(ReadFileBytes("short.wav")).size(), kFrames);
    for (const char* encoding : {"ima-adpcm", "ms-adpcm"}) {
        ASSERT_TRUE(RunSox(std::string("short.wav -e ") + encoding + " enc.wav")) << encoding;
        ASSERT_TRUE(RunSox("enc.wav -e signed -b 16 ref.wav")) << encoding;
        std::vector<std::int16_t> ref = ReadPcm16Samples(ReadFileBytes("ref.wav"));
        ASSERT_GT(ref.size(), kFrames) << encoding;  // the padding is there to leave out
        ref.resize(kFrames);
        const Bytes file = ReadFileBytes("enc.wav");
        DecoderOver d(file);
        ASSERT_TRUE(d.Ok()) << encoding;
        EXPECT_EQ(GetSoundDecoderOutputSize(&d.decoder), static_cast<int>(kFrames * 2)) << encoding;
        // Read in pieces, then again from the top as a loop does.
        EXPECT_EQ(d.Read(), ref) << encoding;
        ASSERT_EQ(SeekSoundDecoder(&d.decoder, 0), 0);
        EXPECT_EQ(d.Read(~std::size_t{0}, 1000), ref) << encoding;
        // A seek into the padding finds the end.
        ASSERT_EQ(SeekSoundDecoder(&d.decoder, static_cast<int>(kFrames) + 20), 0);
        EXPECT_TRUE(d.Read().empty()) << encoding;
    }
}

TEST_F(SoxWavTest, AnAcmSeekBackRestartsAndASeekInTheBufferOnlyMovesIt)
{
    ASSERT_TRUE(RunSox("stereo.wav -e ima-adpcm enc.wav"));
    const Bytes file = ReadFileBytes("enc.wav");
    Decoding d(file);
    ASSERT_EQ(d.result, 0);
    Bytes first(20000), again(20000);
    ASSERT_EQ(ReadSoundDecoder(&d.decoder, first.data(), 20000), 20000);
    ASSERT_EQ(SeekSoundDecoder(&d.decoder, 0), 0);
    EXPECT_EQ(d.decoder.OutPosition, 0);
    ASSERT_EQ(ReadSoundDecoder(&d.decoder, again.data(), 20000), 20000);
    EXPECT_EQ(first, again);

    const int offset = d.decoder.OutReadOffset;
    const int fill = d.decoder.OutFill;
    ASSERT_GT(fill, 400);
    ASSERT_EQ(SeekSoundDecoder(&d.decoder, (20000 + 400) / 4), 0);
    EXPECT_EQ(d.decoder.OutReadOffset, offset + 400);
    EXPECT_EQ(d.decoder.OutFill, fill - 400);
}

const Bytes kStereo16 = PcmFmtBody(2, 22050, 16);

TEST(WavSource, WalksTheChunksAndAppliesTheFormatRules)
{
    Bytes sixteen = kStereo16;
    sixteen[14] = 99;  // bits: a 16-byte fmt takes them from the block size
    Bytes wideBlock = PcmFmtBody(2, 22050, 16, true);
    wideBlock[12] = 6;  // block align no longer channels x bytes
    Bytes oddRate = kStereo16;
    oddRate[8] = 0x39;  // nAvgBytesPerSec no longer rate x block
    const Bytes data = RampPcm16(100);
    const struct {
        const char* name;
        Bytes file;
        int bits;
    } cases[] = {
        {"16-byte fmt", WriteWav(sixteen, data), 16},
        {"odd chunks before data", WriteWav(kStereo16, data, {{"LIST", Bytes(3, 'a')}, {"fact", Bytes(5, 1)}}), 16},
        {"byte rate normalised", WriteWav(oddRate, data), 16},
        {"block align normalised", WriteWav(wideBlock, data), 16},
        {"18-byte fmt", WriteWav(PcmFmtBody(1, 8000, 8, true), data), 8},
    };
    for (const auto& c : cases) {
        Decoding d(c.file);
        ASSERT_EQ(d.result, 0) << c.name;
        EXPECT_EQ(d.decoder.OutputFormat.wBitsPerSample, c.bits) << c.name;
        EXPECT_EQ(d.decoder.OutputFormat.nAvgBytesPerSec,
                  d.decoder.OutputFormat.nSamplesPerSec * d.decoder.OutputFormat.nBlockAlign)
            << c.name;
        EXPECT_EQ(d.Whole(), data) << c.name;
    }
}

// The extra bytes of an extensible fmt: valid bits, channel mask, subformat.
Bytes ExtensibleExtra(int validBits, int subformat, int cbSize = 22)
{
    Bytes e;
    PutLe16(e, static_cast<std::uint32_t>(validBits));
    PutLe32(e, 3);
    PutLe16(e, static_cast<std::uint32_t>(subformat));
    for (int b : {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
        e.push_back(static_cast<std::uint8_t>(b));
    e.resize(static_cast<std::size_t>(cbSize));
    return e;
}

TEST(WavSource, FloatSamplesAreRoundedAndClampedToSixteenBits)
{
    const struct {
        double value;
        int sample;
    } samples[] = {{0.5, 16384},           {-0.5, -16384},          {1.0, 32767},  {-1.0, -32768},
                   {1.5, 32767},           {-7.0, -32768},          {100.6 / 32768, 101},
                   {-100.6 / 32768, -101}, {100.4 / 32768, 100},    {std::nan(""), 0},
                   {0.0, 0},               {-32767.0 / 32768, -32767}};
    Bytes f32, f64;
    std::vector<std::int16_t> expected;
    for (const auto& s : samples) {
        const float single = static_cast<float>(s.value);
        std::uint32_t b32;
        std::memcpy(&b32, &single, 4);
        PutLe32(f32, b32);
        std::uint64_t b64;
        std::memcpy(&b64, &s.value, 8);
        PutLe32(f64, static_cast<std::uint32_t>(b64));
        PutLe32(f64, static_cast<std::uint32_t>(b64 >> 32));
        expected.push_back(static_cast<std::int16_t>(s.sample));
    }
    auto withCbSize = [](Bytes fmt) {
        fmt.insert(fmt.end(), {0, 0});
        return fmt;
    };
    const struct {
        const char* name;
        Bytes fmt;
        const Bytes& data;
    } cases[] = {
        {"float, 16-byte fmt", WavFmtBody(3, 1, 8000, 32000, 4, 32), f32},
        {"float, 18-byte fmt", withCbSize(WavFmtBody(3, 2, 8000, 64000, 8, 32)), f32},
        {"double", WavFmtBody(3, 2, 8000, 128000, 16, 64), f64},
        {"extensible float", WavFmtBody(0xFFFE, 2, 8000, 64000, 8, 32, ExtensibleExtra(32, 3)), f32},
        {"extensible double", WavFmtBody(0xFFFE, 1, 8000, 64000, 8, 64, ExtensibleExtra(64, 3)), f64},
    };
    for (const auto& c : cases) {
        const Bytes file = WriteWav(c.fmt, c.data, {{"fact", Bytes(4, 0)}});
        Decoding d(file);
        ASSERT_EQ(d.result, 0) << c.name;
        WAVEFORMATEX f;
        EXPECT_EQ(AsSamples(d.Whole(&f)), expected) << c.name;
        EXPECT_EQ(f.wBitsPerSample, 16) << c.name;
        EXPECT_EQ(f.nBlockAlign, 2 * f.nChannels) << c.name;
    }

    // Extensible PCM is read as PCM; other subformats and short extras are refused.
    const Bytes ramp = RampPcm16(64);
    const Bytes extensiblePcm = WriteWav(WavFmtBody(0xFFFE, 2, 22050, 88200, 4, 16, ExtensibleExtra(16, 1)), ramp);
    Decoding pcm(extensiblePcm);
    ASSERT_EQ(pcm.result, 0);
    EXPECT_EQ(pcm.decoder.Kind, PCMCONV_KIND_PCMWAV);
    EXPECT_EQ(pcm.Whole(), ramp);
    const struct {
        const char* name;
        Bytes fmt;
    } refused[] = {
        {"extensible mu-law", WavFmtBody(0xFFFE, 1, 8000, 8000, 1, 8, ExtensibleExtra(8, 7))},
        {"extensible, extra cut short", WavFmtBody(0xFFFE, 2, 8000, 32000, 4, 16, ExtensibleExtra(16, 1, 20))},
        {"float, three channels", WavFmtBody(3, 3, 8000, 96000, 12, 32)},
        {"float, 16 bits", WavFmtBody(3, 1, 8000, 16000, 2, 16)},
        {"float, block not the samples'", WavFmtBody(3, 2, 8000, 64000, 6, 32)},
    };
    for (const auto& c : refused) {
        const Bytes file = WriteWav(c.fmt, Bytes(96, 0x3F));
        Decoding d(file);
        EXPECT_EQ(d.result, -1) << c.name;
    }
    EXPECT_EQ(GetOpenAcmStreamCount(), 0);
}

TEST(WavSource, RefusesFilesItCannotTrust)
{
    Bytes noChannels = kStereo16;
    noChannels[2] = 0;
    Bytes noByteRate = kStereo16;
    std::fill(noByteRate.begin() + 8, noByteRate.begin() + 12, 0);
    Bytes short14(kStereo16.begin(), kStereo16.begin() + 14);
    Bytes listFirst;
    for (char ch : std::string("RIFF\0\0\0\0WAVELIST\4\0\0\0abcd", 24)) listFirst.push_back(static_cast<std::uint8_t>(ch));
    const Bytes good = WriteWav(kStereo16, RampPcm16(64));
    Bytes hugeFmt = good;
    hugeFmt[16] = hugeFmt[17] = hugeFmt[18] = hugeFmt[19] = 0xFF;
    Bytes hugeSkip = WriteWav(kStereo16, RampPcm16(64), {{"junk", Bytes(2, 0)}});
    hugeSkip[40] = hugeSkip[41] = hugeSkip[42] = hugeSkip[43] = 0xFF;
    Bytes notWave = good;
    notWave[8] = 'X';
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"fmt shorter than 16 bytes", WriteWav(short14, RampPcm16(8))},
        {"no channels", WriteWav(noChannels, RampPcm16(8))},
        {"no bytes per second", WriteWav(noByteRate, RampPcm16(8))},
        {"LIST before fmt", listFirst},
        {"no data chunk", Bytes(good.begin(), good.begin() + 36)},
        {"truncated header", Bytes(good.begin(), good.begin() + 30)},
        {"fmt size beyond the file", hugeFmt},
        {"chunk size beyond the file", hugeSkip},
        {"not WAVE", notWave},
        {"zero bytes", {}},
        {"unknown format tag", WriteWav(Bytes{0x34, 0x12, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 0, 0},
                                        Bytes(64, 1))},
    };
    for (const auto& c : cases) {
        Decoding d(c.file);
        EXPECT_EQ(d.result, -1) << c.name;
        EXPECT_EQ(d.decoder.ValidFlag, 0) << c.name;
        char byte;
        EXPECT_EQ(ReadSoundDecoder(&d.decoder, &byte, 1), -1) << c.name;
    }
    EXPECT_EQ(GetOpenAcmStreamCount(), 0);
}

TEST(WavSource, ADataChunkLongerThanTheFileGivesOnlyWhatIsThere)
{
    const Bytes data = RampPcm16(1001);  // an odd sample count: half a stereo frame at the end
    for (long long claim : {2002LL + 4000, 0xFFFFFFFFLL}) {
        const Bytes file = WriteWav(kStereo16, data, {}, claim);
        Decoding d(file);
        ASSERT_EQ(d.result, 0);
        EXPECT_EQ(d.decoder.DataSize, 2000);
        EXPECT_EQ(d.Whole(), Bytes(data.begin(), data.begin() + 2000));
        // Through the read side as well: the rest, then nothing until a seek.
        ASSERT_EQ(SeekSoundDecoder(&d.decoder, 400), 0);
        Bytes tail(1000);
        EXPECT_EQ(ReadSoundDecoder(&d.decoder, tail.data(), 1000), 400);
        EXPECT_EQ(d.decoder.EndFlag, 1);
        EXPECT_EQ(ReadSoundDecoder(&d.decoder, tail.data(), 1000), 0);
        EXPECT_EQ(SeekSoundDecoder(&d.decoder, 498), 0);  // within 15 bytes: ignored, still at the end
        EXPECT_EQ(ReadSoundDecoder(&d.decoder, tail.data(), 4), 0);
        EXPECT_EQ(SeekSoundDecoder(&d.decoder, 600), 0);  // beyond the end
        EXPECT_EQ(ReadSoundDecoder(&d.decoder, tail.data(), 4), 0);
        EXPECT_EQ(d.decoder.EndFlag, 1);
    }
}

TEST(WavSource, ACompressedDataChunkLongerThanTheFileIsCutToIt)
{
    // IMA ADPCM, mono, 256-byte blocks of 505 samples, two whole blocks and a half.
    Bytes fmt = {0x11, 0, 1, 0, 0x22, 0x56, 0, 0, 0, 0, 0, 0, 0, 1, 4, 0, 2, 0, 0xF9, 0x01};
    const std::uint32_t avg = 22050 * 256 / 505;
    std::memcpy(fmt.data() + 8, &avg, 4);
    Bytes blocks(640, 0x37);
    for (int b = 0; b < 3; ++b) blocks[b * 256 + 2] = 40;  // step index of each header
    const Bytes file = WriteWav(fmt, blocks, {}, 0x7FFFFFF0);
    Decoding d(file);
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.decoder.Acm.SourceDataSize, 640);
    EXPECT_EQ(GetSoundDecoderOutputSize(&d.decoder), 2 * 505 * 2);
    EXPECT_EQ(d.Whole().size(), 2u * 505 * 2);
}

TEST(WavSource, AFactCountCutsCompressedDataOnlyWhenItIsSmaller)
{
    // IMA ADPCM, mono, two 256-byte blocks of 505 frames.
    const Bytes fmt = WavFmtBody(0x11, 1, 22050, 11155, 256, 4, Bytes{0xF9, 0x01});
    Bytes blocks(512, 0x37);
    blocks[2] = blocks[256 + 2] = 40;  // step index of each header
    auto fact = [](std::uint32_t frames, std::size_t size = 4) {
        Bytes b;
        PutLe32(b, frames);
        b.resize(size);
        return std::vector<std::pair<std::string, Bytes>>{{"fact", b}};
    };
    const struct {
        const char* name;
        std::vector<std::pair<std::string, Bytes>> chunks;
        int frames;
    } cases[] = {
        {"no fact", {}, 1010},
        {"fact in the last block", fact(700), 700},
        {"fact in the first block", fact(3), 3},
        {"fact beyond the data", fact(5000), 1010},
        {"fact of 0", fact(0), 1010},
        {"fact chunk too short", fact(700, 2), 1010},
        {"fact behind another chunk", {{"LIST", Bytes(5, 'x')}, fact(700)[0]}, 700},
    };
    for (const auto& c : cases) {
        const Bytes file = WriteWav(fmt, blocks, c.chunks);
        Decoding d(file);
        ASSERT_EQ(d.result, 0) << c.name;
        EXPECT_EQ(GetSoundDecoderOutputSize(&d.decoder), c.frames * 2) << c.name;
        EXPECT_EQ(d.Whole().size(), static_cast<std::size_t>(c.frames) * 2) << c.name;
    }
    // PCM knows its length from its data: a fact chunk changes nothing.
    const Bytes ramp = RampPcm16(100);
    const Bytes pcm = WriteWav(kStereo16, ramp, fact(10));
    Decoding d(pcm);
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.Whole(), ramp);
}

} // namespace
