// Ogg Vorbis sources made here with sox, oggenc and ffmpeg decode to what
// oggdec decodes, seek by frame, open a movie's Vorbis track, refuse chains
// of mixed formats, survive damaged pages, and play as stream sounds.
#include "core/memory.h"
#include "sound/decoder.h"
#include "sound/sound.h"
#include "sound/soundrec.h"
#include "sound/streamsound.h"
#include "support/sound_fixtures.h"
#include "support/sound_system_fixture.h"

#include <gtest/gtest.h>

namespace {

struct OggFile {
    std::string path;
    Bytes bytes;
    std::vector<std::int16_t> reference;  // oggdec's 16-bit output
};

// Runs the maker with OUT replaced by the file's path, then oggdec for the reference PCM.
OggFile MakeOgg(const std::string& name, std::string maker)
{
    OggFile f;
    f.path = SoundScratchDir() + "/" + name + ".ogg";
    maker.replace(maker.find("OUT"), 3, f.path);
    EXPECT_TRUE(RunTool(maker)) << maker;
    EXPECT_TRUE(RunTool("oggdec -Q -R -b 16 -o " + f.path + ".raw " + f.path));
    f.bytes = ReadFileBytes(f.path);
    f.reference = ReadRawPcm16(f.path + ".raw");
    return f;
}

OggFile MonoOgg() { return MakeOgg("mono22", "sox -q -n -r 22050 -c 1 -C 2 OUT synth 1.3 sine 440"); }

TEST(OggSource, FilesFromEveryMakerDecodeToWhatTheReferenceDecodes)
{
    const std::string wav = SoundScratchDir() + "/stereo44.wav";
    ASSERT_TRUE(RunTool("sox -q -n -r 44100 -c 2 -b 16 -e signed-integer " + wav + " synth 2.5 sine 300 sine 500"));
    struct Case {
        OggFile file;
        int channels;
        int rate;
    };
    const Case cases[] = {
        {MonoOgg(), 1, 22050},
        {MakeOgg("stereo44", "oggenc -Q -q 3 " + wav + " -o OUT"), 2, 44100},
        // A movie file: the Vorbis track beside a Theora one.
        {MakeOgg("movie", "ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i "
                          "sine=frequency=440:sample_rate=22050 -t 1.5 -c:v libtheora -c:a libvorbis OUT"),
         1, 22050},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.path);
        ASSERT_FALSE(c.file.reference.empty());
        DecoderOver d(c.file.bytes);
        ASSERT_TRUE(d.Ok());
        EXPECT_EQ(d.decoder.Kind, PCMCONV_KIND_OGGVORBIS);
        const WAVEFORMATEX& f = d.decoder.OutputFormat;
        EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(f.nChannels, c.channels);
        EXPECT_EQ(f.nSamplesPerSec, static_cast<DWORD>(c.rate));
        EXPECT_EQ(f.nBlockAlign, 2 * c.channels);
        EXPECT_EQ(f.nAvgBytesPerSec, static_cast<DWORD>(2 * c.channels * c.rate));
        EXPECT_EQ(f.wBitsPerSample, 16);
        const auto bytes = static_cast<int>(c.file.reference.size() * 2);
        EXPECT_EQ(d.decoder.DataSize, bytes);
        EXPECT_EQ(GetSoundDecoderOutputSize(&d.decoder), bytes + 44100 * 2 * c.channels);
        EXPECT_EQ(d.Read(), c.file.reference);

        // The whole decode reports only what was decoded.
        WAVEFORMATEX format{};
        void* pcm = nullptr;
        int size = 0;
        ASSERT_EQ(DecodeWholeSoundSource(&d.decoder, &format, &pcm, &size), 0);
        EXPECT_EQ(size, bytes);
        FreeMemory(pcm);
    }
}

TEST(OggSource, SeeksByFrameAndStartsAgainAfterTheEnd)
{
    const OggFile f = MonoOgg();
    DecoderOver d(f.bytes);
    ASSERT_TRUE(d.Ok());
    for (int frame : {12345, 100, 0, 20000}) {
        ASSERT_EQ(SeekSoundDecoder(&d.decoder, frame), 0);
        const std::vector<std::int16_t> got = d.Read(500);
        ASSERT_EQ(got, std::vector<std::int16_t>(f.reference.begin() + frame, f.reference.begin() + frame + 500))
            << frame;
    }
    d.Read();
    EXPECT_EQ(d.decoder.EndFlag, 1);
    ASSERT_EQ(SeekSoundDecoder(&d.decoder, 0), 0);
    EXPECT_EQ(d.decoder.EndFlag, 0);
    EXPECT_EQ(d.Read(), f.reference);
    // Past the end the reader stays put, and the position says where it is.
    const int before = d.decoder.OutPosition;
    ASSERT_EQ(SeekSoundDecoder(&d.decoder, 10000000), 0);
    EXPECT_EQ(d.decoder.OutPosition, before);
}

TEST(OggSource, ChainsOfOneFormatPlayOnAndMixedChainsAreRefused)
{
    const OggFile a = MonoOgg();
    const OggFile b = MakeOgg("mono22b", "sox -q -n -r 22050 -c 1 -C 2 OUT synth 0.7 sine 880");
    const OggFile other = MakeOgg("mono11", "sox -q -n -r 11025 -c 1 -C 2 OUT synth 0.7 sine 880");
    Bytes same = a.bytes;
    same.insert(same.end(), b.bytes.begin(), b.bytes.end());
    DecoderOver chained(same);
    ASSERT_TRUE(chained.Ok());
    EXPECT_EQ(chained.decoder.DataSize, static_cast<int>((a.reference.size() + b.reference.size()) * 2));
    Bytes mixed = a.bytes;
    mixed.insert(mixed.end(), other.bytes.begin(), other.bytes.end());
    EXPECT_FALSE(DecoderOver(mixed).Ok());
}

TEST(OggSource, OtherFilesAreRefusedAndDamagedPagesNeverGiveANegativeFill)
{
    PCMCONV d{};
    const Bytes wav = WriteWav(PcmFmtBody(1, 8000, 16), RampPcm16(100));
    MEMSTREAM* s = OpenMemoryStream(wav.data(), static_cast<std::uint32_t>(wav.size()));
    d.Source = STREAMREF{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(s)};
    EXPECT_EQ(OpenOggVorbisSource(&d), -1);
    EXPECT_EQ(d.Ogg.ReaderOpen, 0);
    EXPECT_EQ(d.Ogg.Reader, nullptr);
    CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(s));

    const OggFile f = MakeOgg("damaged", "sox -q -n -r 22050 -c 1 -C 2 OUT synth 5 sine 440 sine 660");
    for (std::size_t at : {f.bytes.size() / 2, f.bytes.size() * 3 / 4, f.bytes.size() - 200}) {
        Bytes damaged = f.bytes;
        for (std::size_t i = at; i < at + 64 && i < damaged.size(); ++i) damaged[i] ^= 0x5A;
        DecoderOver d2(damaged);
        ASSERT_TRUE(d2.Ok()) << at;
        const std::vector<std::int16_t> got = d2.Read();
        EXPECT_LE(got.size(), f.reference.size());
        EXPECT_GE(d2.decoder.OutFill, 0);
    }
}

class OggStreamTest : public SoundTest {};

TEST_F(OggStreamTest, AStreamedOggHasItsExactLengthAndPlaysItsPcm)
{
    const OggFile f = MakeOgg("long", "sox -q -n -r 22050 -c 1 -C 2 OUT synth 3.5 sine 440");
    ASSERT_EQ(SetSoundLoadMode(3), 0);
    const int h = CreateSoundFromFile(f.path.c_str(), 1, -1);
    ASSERT_EQ(SetSoundLoadMode(0), 0);
    ASSERT_NE(h, -1);
    EXPECT_EQ(GetSoundTotalSample(h), static_cast<int>(f.reference.size()));
    EXPECT_EQ(GetSoundTotalTimeMs(h), static_cast<int>(f.reference.size() * 1000 / 22050));
    const std::vector<std::int16_t> ring = Ring16(h);
    ASSERT_GE(ring.size(), f.reference.size());
    for (std::size_t i = 0; i < f.reference.size(); ++i) ASSERT_EQ(ring[i], f.reference[i]) << i;
    ASSERT_EQ(DiscardSoundHandle(h), 0);
}

} // namespace
