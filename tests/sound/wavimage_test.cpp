// The WAV writers: an image in memory that the PCM probe reads back, and
// the header that finishes the output file.
#include "core/file/stream.h"
#include "core/memory.h"
#include "platform/kernel/file.h"
#include "sound/decoder.h"
#include "sound/wavimage.h"
#include "support/sound_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(WaveImage, WrapsAFormatAndDataThatThePcmProbeReadsBack)
{
    const WAVEFORMATEX f{1, 2, 44100, 176400, 4, 16, 0};
    const Bytes data = RampPcm16(500);
    void* image = nullptr;
    int size = 0;
    ASSERT_EQ(BuildWaveImage(&image, &size, &f, 18, data.data(), 1000), 0);
    ASSERT_EQ(size, 1046);
    const Bytes bytes(static_cast<std::uint8_t*>(image), static_cast<std::uint8_t*>(image) + size);
    FreeMemory(image);
    EXPECT_EQ(bytes[4] | bytes[5] << 8, 1038);
    EXPECT_EQ(bytes[16], 18);
    EXPECT_EQ(std::memcmp(bytes.data() + 38, "data", 4), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 46, data.data(), 1000), 0);
    MEMSTREAM* stream = OpenMemoryStream(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(stream)};
    PCMCONV d{};
    ASSERT_EQ(SetupSoundDecoder(&ref, &d), 0);
    EXPECT_EQ(std::memcmp(&d.OutputFormat, &f, sizeof f), 0);
    EXPECT_EQ(d.DataSize, 1000);
    CloseSoundDecoder(&d);
    CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream));

    ASSERT_EQ(BuildWaveImage(&image, &size, &f, 18, nullptr, 0), 0);
    EXPECT_EQ(size, 46);
    FreeMemory(image);
}

TEST(WaveOutputFile, ItsHeaderCountsTheFramesWritten)
{
    EXPECT_EQ(CloseWaveOutputFile(), -1);
    WavOutState.File = CreateFileA("out.wav", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(WavOutState.File, INVALID_HANDLE_VALUE);
    const Bytes body(100, 0x55);
    DWORD written = 0;
    WriteFile(WavOutState.File, body.data(), 100, &written, nullptr);
    WavOutState.OpenFlag = 1;
    WavOutState.Frames = 44100;
    ASSERT_EQ(CloseWaveOutputFile(), 0);
    EXPECT_EQ(WavOutState.OpenFlag, 0);
    const Bytes file = ReadFileBytes("out.wav");
    ASSERT_EQ(file.size(), 100u);  // the header overwrote the start
    const std::uint8_t header[46] = {'R', 'I', 'F', 'F', 0x36, 0xB1, 0x02, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                     18, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0,
                                     4, 0, 16, 0, 0, 0, 'd', 'a', 't', 'a', 0x10, 0xB1, 0x02, 0};
    EXPECT_EQ(std::memcmp(file.data(), header, 46), 0);
    EXPECT_EQ(CloseWaveOutputFile(), -1);
}

} // namespace
