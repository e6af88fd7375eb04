// The WAV kinds of the sound decoder: sox-made PCM, MS ADPCM, IMA ADPCM,
// A-law and mu-law files decode to what sox decodes; hand-made headers
// show the chunk walk, the format rules, reads and seeks, and refusals.
#include "core/file/stream.h"
#include "core/memory.h"
#include "sound/decoder.h"
#include "support/sound_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
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
            EXPECT_EQ(ours, ReadPcm16Samples(ReadFileBytes("ref.wav"))) << what;
        }
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

} // namespace
