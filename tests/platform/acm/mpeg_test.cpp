// MPEG audio in the ACM stand-in: the formats it takes, conversion in whole
// frames that fit, bytes between frames skipped, and the decoder's state
// carried from one conversion to the next.
#include "platform/acm/acm.h"
#include "platform/acm/mpeg.h"
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Half a second of stereo sine at 44.1 kHz, 128 kbit/s, without an info frame.
std::vector<std::uint8_t> MakeMp3()
{
    const std::string dir = std::filesystem::current_path().string();
    const std::string command = "sox -q -n -r 44100 -c 2 -b 16 -e signed-integer " + dir +
                                "/acm.wav synth 0.5 sine 440 && lame --quiet -t -b 128 " + dir + "/acm.wav " + dir +
                                "/acm.mp3";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(dir + "/acm.mp3", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

MPEGLAYER3WAVEFORMAT Layer3Format(WORD channels, DWORD rate)
{
    MPEGLAYER3WAVEFORMAT f{};
    f.wfx = WAVEFORMATEX{WAVE_FORMAT_MPEGLAYER3, channels, rate, 16000, 1, 0, 12};
    f.wID = MPEGLAYER3_ID_MPEG;
    f.nBlockSize = 417;
    f.nFramesPerBlock = 1;
    f.nCodecDelay = 700;
    return f;
}

struct Converted {
    DWORD used;
    DWORD produced;
};

Converted Convert(HACMSTREAM s, std::vector<std::uint8_t>& source, std::size_t from, std::size_t bytes,
                  std::vector<std::uint8_t>& out, DWORD room)
{
    const std::size_t at = out.size();
    out.resize(at + room);
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = source.data() + from;
    h.cbSrcLength = static_cast<DWORD>(bytes);
    h.pbDst = out.data() + at;
    h.cbDstLength = room;
    EXPECT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamConvert(s, &h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    acmStreamUnprepareHeader(s, &h, 0);
    out.resize(at + h.cbDstLengthUsed);
    return {h.cbSrcLengthUsed, h.cbDstLengthUsed};
}

TEST(AcmMpeg, TakesLayer3FormatsOfTheStandardsRatesOnly)
{
    DWORD largest = 0;
    ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largest), MMSYSERR_NOERROR);
    EXPECT_GE(largest, sizeof(MPEGLAYER3WAVEFORMAT));
    MPEGLAYER3WAVEFORMAT good = Layer3Format(1, 22050);
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    ASSERT_EQ(acmFormatSuggest(nullptr, &good.wfx, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    EXPECT_EQ(pcm.nChannels, 1);
    EXPECT_EQ(pcm.nSamplesPerSec, 22050u);
    EXPECT_EQ(pcm.wBitsPerSample, 16);
    EXPECT_EQ(pcm.nBlockAlign, 2);
    MPEGLAYER3WAVEFORMAT bad[4] = {Layer3Format(1, 11025), Layer3Format(3, 44100), good, good};
    bad[2].wID = 2;
    bad[3].wfx.cbSize = 10;
    for (const auto& f : bad) {
        WAVEFORMATEX out{};
        out.wFormatTag = WAVE_FORMAT_PCM;
        EXPECT_EQ(acmFormatSuggest(nullptr, &f.wfx, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG), ACMERR_NOTPOSSIBLE);
    }
}

TEST(AcmMpeg, ConvertsWholeFramesThatFitAndCarriesItsStateOn)
{
    std::vector<std::uint8_t> mp3 = MakeMp3();
    ASSERT_GT(mp3.size(), 4000u);
    // Junk before the first frame.
    mp3.insert(mp3.begin(), {0x00, 0xFF, 0x12, 0xFF});
    const MPEGLAYER3WAVEFORMAT f = Layer3Format(2, 44100);
    WAVEFORMATEX pcm{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    HACMSTREAM whole = nullptr, pieces = nullptr;
    ASSERT_EQ(acmStreamOpen(&whole, nullptr, &f.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamOpen(&pieces, nullptr, &f.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME), MMSYSERR_NOERROR);

    std::vector<std::uint8_t> oneGo;
    const Converted all = Convert(whole, mp3, 0, mp3.size(), oneGo, 1 << 20);
    EXPECT_EQ(all.used, mp3.size());
    MPEGFRAMEINFO frame{};
    ASSERT_EQ(ParseMpegAudioHeader(mp3.data() + 4, &frame), MpegHeaderResult::Frame);
    EXPECT_EQ(all.produced % (1152 * 4), 0u);

    // Room for less than a frame: nothing at all; for two and a half: two.
    std::vector<std::uint8_t> stepwise;
    EXPECT_EQ(Convert(pieces, mp3, 0, mp3.size(), stepwise, 1152 * 4 - 4).produced, 0u);
    std::size_t at = 0;
    const Converted two = Convert(pieces, mp3, at, mp3.size(), stepwise, 1152 * 4 * 5 / 2);
    EXPECT_EQ(two.produced, 1152u * 4 * 2);
    EXPECT_GE(two.used, 4 + 2 * 417u);
    at += two.used;
    // Then pieces of 700 source bytes: a frame that is not all there waits.
    while (at < mp3.size()) {
        const Converted c = Convert(pieces, mp3, at, std::min<std::size_t>(700, mp3.size() - at), stepwise, 1 << 16);
        if (c.used == 0) break;
        at += c.used;
    }
    EXPECT_EQ(stepwise, oneGo);
    acmStreamClose(whole, 0);
    acmStreamClose(pieces, 0);
    EXPECT_EQ(GetOpenAcmStreamCount(), 0);
}

} // namespace
