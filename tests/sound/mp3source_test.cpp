// MPEG audio sources made here with lame and ffmpeg decode to what mpg123
// decodes, count their samples by the frame walk, seek by frame; the frame
// header table and the probe's tag and sync rules.
#include "sound/decoder.h"
#include "sound/mp3source.h"
#include "sound/sound.h"
#include "sound/soundrec.h"
#include "sound/streamsound.h"
#include "support/sound_system_fixture.h"
#include "support/sound_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

struct Mp3File {
    Bytes bytes;
    std::vector<std::int16_t> reference;  // mpg123's output, padding and info frame kept
};

Mp3File MakeMp3(const std::string& name, const std::string& maker)
{
    const std::string dir = SoundScratchDir();
    const std::string wav = dir + "/mp3source.wav";
    EXPECT_TRUE(RunTool("sox -q -n -r 44100 -c 2 -b 16 -e signed-integer " + wav + " synth 2.5 sine 300 sine 500"));
    const std::string path = dir + "/" + name;
    std::string command = maker;
    command.replace(command.find("IN"), 2, wav);
    command.replace(command.find("OUT"), 3, path);
    EXPECT_TRUE(RunTool(command)) << command;
    EXPECT_TRUE(RunTool("mpg123 -q --no-gapless --no-infoframe -O " + path + ".raw " + path));
    return {ReadFileBytes(path), ReadRawPcm16(path + ".raw")};
}

Bytes Id3v2(int version, int flags, int bodyBytes)
{
    Bytes b{'I', 'D', '3', static_cast<std::uint8_t>(version), 0, static_cast<std::uint8_t>(flags)};
    for (int shift : {21, 14, 7, 0}) b.push_back(static_cast<std::uint8_t>((bodyBytes >> shift) & 0x7F));
    b.resize(b.size() + static_cast<std::size_t>(bodyBytes), 0);
    return b;
}

TEST(Mp3Source, FilesFromEveryMakerDecodeToWhatTheReferenceDecodes)
{
    struct Case {
        const char* name;
        const char* maker;
        int channels;
        int rate;
    };
    const Case cases[] = {
        {"cbr.mp3", "lame --quiet -b 128 IN OUT", 2, 44100},
        {"notag.mp3", "lame --quiet -t -b 128 IN OUT", 2, 44100},
        {"vbr.mp3", "lame --quiet -V 4 IN OUT", 2, 44100},
        {"mpeg2.mp3", "lame --quiet --resample 22.05 -b 32 -m m IN OUT", 1, 22050},
        {"layer2.mp2", "ffmpeg -v error -y -i IN -c:a mp2 -b:a 192k OUT", 2, 44100},
        {"layer2mpeg2.mp2", "ffmpeg -v error -y -i IN -ar 22050 -c:a mp2 -b:a 64k -f mp2 OUT", 2, 22050},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Mp3File f = MakeMp3(c.name, c.maker);
        ASSERT_FALSE(f.reference.empty());
        DecoderOver d(f.bytes);
        ASSERT_TRUE(d.Ok());
        EXPECT_EQ(d.decoder.Kind, PCMCONV_KIND_ACM);
        EXPECT_EQ(d.decoder.OutputFormat.nChannels, c.channels);
        EXPECT_EQ(d.decoder.OutputFormat.nSamplesPerSec, static_cast<DWORD>(c.rate));
        EXPECT_EQ(d.decoder.OutputFormat.wBitsPerSample, 16);
        // The frame walk's count is the decoder's.
        EXPECT_EQ(d.decoder.Acm.TotalSamples * c.channels, static_cast<int>(f.reference.size()));
        EXPECT_EQ(GetSoundDecoderOutputSize(&d.decoder), static_cast<int>(f.reference.size() * 2));
        ASSERT_EQ(d.Read(), f.reference);
        // Forward, back and to the start again.
        for (int frame : {30000, 4000, 0, 50000}) {
            ASSERT_EQ(SeekSoundDecoder(&d.decoder, frame), 0);
            const std::size_t from = static_cast<std::size_t>(frame) * c.channels;
            const std::size_t n = std::min<std::size_t>(2000, f.reference.size() - from);
            ASSERT_EQ(d.Read(n), std::vector<std::int16_t>(f.reference.begin() + static_cast<long>(from),
                                                           f.reference.begin() + static_cast<long>(from + n)))
                << frame;
        }
    }
}

TEST(Mp3Source, FrameHeadersGiveTheStandardsLengthsAndCounts)
{
    struct Case {
        std::uint8_t h[4];
        int result;
        int layer, version, bitrate, rate, length, samples, channels;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x44}, 0, 2, 0, 128, 44100, 417, 1152, 2},          // MPEG-1 Layer III
        {{0xFF, 0xFB, 0x92, 0xC4}, 0, 2, 0, 128, 44100, 418, 1152, 1},          // padded, mono
        {{0xFF, 0xF3, 0xD0, 0xC4}, 0, 2, 1, 144, 22050, 470, 576, 1},           // MPEG-2 Layer III, index 13
        {{0xFF, 0xF5, 0x80, 0x04}, 0, 1, 1, 64, 22050, 417, 1152, 2},           // MPEG-2 Layer II
        {{0xFF, 0xFF, 0x10, 0x04}, 0, 0, 0, 32, 44100, 32, 384, 2},             // MPEG-1 Layer I
        {{0xFF, 0xE2, 0x90, 0x44}, -2, 0, 0, 0, 0, 0, 0, 0},                    // MPEG 2.5 is no sync
        {{0xFF, 0xFB, 0x00, 0x44}, -2, 0, 0, 0, 0, 0, 0, 0},                    // free format is no sync
        {{0xFE, 0xFB, 0x90, 0x44}, -2, 0, 0, 0, 0, 0, 0, 0},
        {{0xFF, 0xF9, 0x90, 0x44}, -1, 0, 0, 0, 0, 0, 0, 0},                    // reserved layer
        {{0xFF, 0xFB, 0xF0, 0x44}, -1, 0, 0, 0, 0, 0, 0, 0},                    // bitrate index 15
        {{0xFF, 0xFB, 0x9C, 0x44}, -1, 0, 0, 0, 0, 0, 0, 0},                    // rate index 3
    };
    for (const Case& c : cases) {
        MPEGHEADER h{};
        const int r = ParseMpegFrameHeader(c.h, &h);
        ASSERT_EQ(r, c.result) << int(c.h[1]) << " " << int(c.h[2]);
        if (r != 0) continue;
        EXPECT_EQ(h.LayerIndex, c.layer);
        EXPECT_EQ(h.VersionIndex, c.version);
        EXPECT_EQ(h.Bitrate, static_cast<std::uint32_t>(c.bitrate));
        EXPECT_EQ(h.SampleRate, static_cast<std::uint32_t>(c.rate));
        EXPECT_EQ(h.FrameLength, static_cast<std::uint32_t>(c.length));
        EXPECT_EQ(h.SamplesPerFrame, static_cast<std::uint32_t>(c.samples));
        EXPECT_EQ(h.Channels, c.channels);
    }
}

TEST(Mp3Source, TagsAndJunkAroundTheFramesAreLeftOut)
{
    const Mp3File f = MakeMp3("plain.mp3", "lame --quiet -t -b 128 IN OUT");
    DecoderOver plain(f.bytes);
    ASSERT_TRUE(plain.Ok());
    const int size = plain.decoder.DataSize;
    const int samples = plain.decoder.Acm.TotalSamples;

    Bytes tag(128, 'x');
    std::memcpy(tag.data(), "TAG", 3);
    struct Case {
        Bytes before;
        Bytes after;
        int dataPosition;
    };
    Bytes footed = Id3v2(4, 0x10, 100);
    footed.insert(footed.end(), {'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 100});
    const Case cases[] = {
        {footed, {}, 120},                  // a version 4 footer
        {Id3v2(3, 0x10, 100), Bytes(10, 0), 110},  // version 3: the bit means nothing
        {Bytes(77, 0x12), {}, 77},          // junk before the first sync
        {{}, tag, 0},
        {{}, Bytes(128, 'y'), 0},           // not a "TAG" block: kept, though no frame is in it
    };
    for (const Case& c : cases) {
        Bytes file = c.before;
        file.insert(file.end(), f.bytes.begin(), f.bytes.end());
        file.insert(file.end(), c.after.begin(), c.after.end());
        DecoderOver d(file);
        ASSERT_TRUE(d.Ok()) << c.dataPosition;
        EXPECT_EQ(d.decoder.DataPosition, c.dataPosition);
        EXPECT_EQ(d.decoder.Acm.TotalSamples, samples);
        EXPECT_EQ(d.decoder.DataSize, size) << c.dataPosition;
        EXPECT_EQ(d.Read(), f.reference);
    }
}

TEST(Mp3Source, NoSyncOrAReservedHeaderRefusesAndFreeFormatEndsTheSearch)
{
    const Bytes cases[] = {
        Bytes(5000, 0x00),
        Bytes(5000, 0xFF),                                      // 0xFF 0xFF: a reserved layer
        Bytes{0x10, 0xFF, 0xFB, 0x00, 0x44, 0xFF, 0xFB, 0x00, 0x44, 0x00},  // free format only
        Id3v2(3, 0, 50),
    };
    for (const Bytes& b : cases) {
        PCMCONV d{};
        MEMSTREAM* s = OpenMemoryStream(b.data(), static_cast<std::uint32_t>(b.size()));
        d.Source = STREAMREF{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(s)};
        EXPECT_EQ(ProbeMp3Source(&d), -1);
        EXPECT_EQ(d.Acm.SourceFormat, nullptr);
        EXPECT_EQ(d.Acm.SourceData, nullptr);
        CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(s));
    }
}

class Mp3StreamTest : public SoundTest {};

TEST_F(Mp3StreamTest, AStreamedVbrFileLoopsSeamlesslyThroughTheRing)
{
    const Mp3File f = MakeMp3("stream.mp3", "lame --quiet -V 4 IN OUT");
    ASSERT_EQ(rate, 44100);
    ASSERT_EQ(SetSoundLoadMode(2), 0);
    const int h = CreateSoundFromMemory(f.bytes.data(), static_cast<int>(f.bytes.size()), 1, -1);
    ASSERT_EQ(SetSoundLoadMode(0), 0);
    ASSERT_NE(h, -1);
    const std::size_t frames = f.reference.size() / 2;
    EXPECT_EQ(GetSoundTotalSample(h), static_cast<int>(frames));
    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_LOOP, 0), 0);
    StartNullSoundCapture();
    // Each loop seeks the decoder back to its first frame.
    for (std::size_t done = 0; done < frames * 3; done += period) {
        AdvanceNullSoundDevice(period);
        RefillAllStreamSounds();
    }
    const std::vector<float> out = TakeNullSoundCapture();
    ASSERT_GE(out.size(), frames * 3 * 2);
    for (std::size_t i = 0; i < frames * 3 * 2; ++i)
        ASSERT_EQ(std::lround(out[i] * 32768.0f), f.reference[i % f.reference.size()]) << i;
    ASSERT_EQ(DiscardSoundHandle(h), 0);
}

} // namespace
