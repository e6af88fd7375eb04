// The MPEG audio kind of the sound decoder: the frame header as the probe
// reads it. The probe itself is one of the decoder's kinds (decoder.h).
#pragma once

#include <cstdint>

struct MPEGHEADER {
    std::uint8_t LayerIndex;       // 0 Layer I, 1 Layer II, 2 Layer III
    std::uint8_t VersionIndex;     // 0 MPEG-1, 1 MPEG-2
    std::uint8_t BitrateIndex;
    std::uint8_t SampleRateIndex;
    std::uint8_t Padding;
    std::uint8_t Channels;
    std::uint32_t SampleRate;
    std::uint32_t Bitrate;         // kbit/s
    std::uint32_t FrameLength;     // bytes, header included
    std::uint32_t SamplesPerFrame;
};

// 0; -2 without a sync (a free-format header counts as none); -1 when a
// field holds a reserved value.
int ParseMpegFrameHeader(const std::uint8_t header[4], MPEGHEADER* out);
