// The ACM stand-in: G.711 values, the formats it suggests and refuses, and
// conversion in whole blocks only.
#include "platform/acm/acm.h"
#include "platform/acm/codecs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// An IMA ADPCM format of the given block size, with its samples per block.
std::vector<std::uint8_t> ImaFormat(WORD channels, WORD blockAlign, WORD samplesPerBlock)
{
    std::vector<std::uint8_t> f(20);
    WAVEFORMATEX w{WAVE_FORMAT_IMA_ADPCM, channels, 22050, 11100, blockAlign, 4, 2};
    std::memcpy(f.data(), &w, sizeof w);
    std::memcpy(f.data() + 18, &samplesPerBlock, 2);
    return f;
}

std::vector<std::uint8_t> MsAdpcmFormat(WORD samplesPerBlock, WORD coefCount, WORD cbSize)
{
    static const std::int16_t coef[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    std::vector<std::uint8_t> f(18 + 4 + 28);
    WAVEFORMATEX w{WAVE_FORMAT_ADPCM, 1, 22050, 11155, 256, 4, cbSize};
    std::memcpy(f.data(), &w, sizeof w);
    std::memcpy(f.data() + 18, &samplesPerBlock, 2);
    std::memcpy(f.data() + 20, &coefCount, 2);
    std::memcpy(f.data() + 22, coef, sizeof coef);
    return f;
}

const WAVEFORMATEX* AsFormat(const std::vector<std::uint8_t>& f)
{
    return reinterpret_cast<const WAVEFORMATEX*>(f.data());
}

TEST(AcmCodecs, G711DecodesToTheStandardValues)
{
    const int alaw[][2] = {{0xD5, 8}, {0x55, -8}, {0xAA, 32256}, {0x2A, -32256}};
    const int mulaw[][2] = {{0x80, 32124}, {0x00, -32124}, {0xFF, 0}, {0x7F, 0}};
    for (const auto& c : alaw) EXPECT_EQ(DecodeALaw(static_cast<std::uint8_t>(c[0])), c[1]) << c[0];
    for (const auto& c : mulaw) EXPECT_EQ(DecodeMuLaw(static_cast<std::uint8_t>(c[0])), c[1]) << c[0];
}

TEST(Acm, SuggestsSixteenBitPcmAndRefusesFormatsThatDisagree)
{
    WAVEFORMATEX out{};
    out.wFormatTag = WAVE_FORMAT_PCM;
    ASSERT_EQ(acmFormatSuggest(nullptr, AsFormat(ImaFormat(2, 512, 505)), &out, sizeof out,
                               ACM_FORMATSUGGESTF_WFORMATTAG),
              MMSYSERR_NOERROR);
    EXPECT_EQ(out.nChannels, 2);
    EXPECT_EQ(out.wBitsPerSample, 16);
    EXPECT_EQ(out.nBlockAlign, 4);
    EXPECT_EQ(out.nAvgBytesPerSec, 22050u * 4);

    const std::vector<std::uint8_t> refused[] = {
        ImaFormat(2, 512, 506),           // samples per block not the block's
        ImaFormat(1, 250, 493),           // a block that is no whole number of words
        ImaFormat(3, 1024, 337),          // three channels
        MsAdpcmFormat(500, 7, 32),        // (256 - 7) * 2 + 2 = 500 is right, so:
        MsAdpcmFormat(501, 7, 32),        // wrong samples per block
        MsAdpcmFormat(500, 7, 20),        // cbSize too short for its coefficients
        MsAdpcmFormat(500, 6, 28),        // fewer than the seven fixed pairs
    };
    for (std::size_t i = 0; i < std::size(refused); ++i) {
        const MMRESULT expected = i == 3 ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
        WAVEFORMATEX d{};
        d.wFormatTag = WAVE_FORMAT_PCM;
        EXPECT_EQ(acmFormatSuggest(nullptr, AsFormat(refused[i]), &d, sizeof d, ACM_FORMATSUGGESTF_WFORMATTAG),
                  expected)
            << i;
    }

    // No rate change: the destination must be the suggested format.
    HACMSTREAM s = nullptr;
    WAVEFORMATEX other = out;
    other.nSamplesPerSec = 44100;
    other.nAvgBytesPerSec = 44100 * 4;
    EXPECT_EQ(acmStreamOpen(&s, nullptr, AsFormat(ImaFormat(2, 512, 505)), &other, nullptr, 0, 0, 0),
              ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(GetOpenAcmStreamCount(), 0);
}

TEST(Acm, ConvertsWholeBlocksAndLeavesTheRest)
{
    const auto source = ImaFormat(1, 256, 505);
    WAVEFORMATEX pcm{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    HACMSTREAM s = nullptr;
    ASSERT_EQ(acmStreamOpen(&s, nullptr, AsFormat(source), &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
              MMSYSERR_NOERROR);
    DWORD size = 0;
    ASSERT_EQ(acmStreamSize(s, 700, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(size, 2u * 505 * 2);

    std::vector<std::uint8_t> in(700, 0x11), out(4000);
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = in.data();
    h.cbSrcLength = 700;
    h.pbDst = out.data();
    h.cbDstLength = 1500;  // room for one block only
    EXPECT_EQ(acmStreamConvert(s, &h, ACM_STREAMCONVERTF_BLOCKALIGN), ACMERR_UNPREPARED);
    ASSERT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamConvert(s, &h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    EXPECT_EQ(h.cbSrcLengthUsed, 256u);
    EXPECT_EQ(h.cbDstLengthUsed, 1010u);
    h.pbSrc = in.data() + 512;
    h.cbSrcLength = 188;  // less than a block: nothing converts
    h.cbDstLength = 4000;
    ASSERT_EQ(acmStreamConvert(s, &h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    EXPECT_EQ(h.cbSrcLengthUsed, 0u);
    EXPECT_EQ(h.cbDstLengthUsed, 0u);
    ASSERT_EQ(acmStreamUnprepareHeader(s, &h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(GetOpenAcmStreamCount(), 0);
}

TEST(Acm, TheExtensibleFormsSuggestThePcmOfTheirSubformat)
{
    const struct {
        WORD bits;
        WORD subformat;
        WORD suggestedBits;
    } cases[] = {{24, WAVE_FORMAT_PCM, 24}, {32, WAVE_FORMAT_IEEE_FLOAT, 16}, {64, WAVE_FORMAT_IEEE_FLOAT, 16}};
    for (const auto& c : cases) {
        std::vector<std::uint8_t> f(18 + 22);
        const WORD align = static_cast<WORD>(2 * c.bits / 8);
        WAVEFORMATEX w{WAVE_FORMAT_EXTENSIBLE, 2, 48000, 48000u * align, align, c.bits, 22};
        std::memcpy(f.data(), &w, sizeof w);
        const std::uint8_t extra[22] = {static_cast<std::uint8_t>(c.bits), 0, 3, 0, 0, 0,
                                        static_cast<std::uint8_t>(c.subformat), 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0,
                                        0, 0xAA, 0, 0x38, 0x9B, 0x71};
        std::memcpy(f.data() + 18, extra, sizeof extra);
        WAVEFORMATEX out{};
        out.wFormatTag = WAVE_FORMAT_PCM;
        ASSERT_EQ(acmFormatSuggest(nullptr, AsFormat(f), &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG),
                  MMSYSERR_NOERROR)
            << c.bits;
        const WORD outAlign = static_cast<WORD>(2 * c.suggestedBits / 8);
        const WAVEFORMATEX expected{WAVE_FORMAT_PCM, 2, 48000, 48000u * outAlign, outAlign, c.suggestedBits, 0};
        EXPECT_EQ(std::memcmp(&out, &expected, sizeof out), 0) << c.bits;
        HACMSTREAM s = nullptr;
        ASSERT_EQ(acmStreamOpen(&s, nullptr, AsFormat(f), &out, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
                  MMSYSERR_NOERROR);
        acmStreamClose(s, 0);
    }
}

} // namespace
