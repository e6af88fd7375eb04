// MPEG audio inside the ACM stand-in: reading a frame header, and a
// converter that feeds whole frames to libmpg123 and gives each frame's
// samples at once, so the output follows the frames one to one.
#pragma once

#include "platform/winmm/waveformat.h"

#include <cstdint>

struct MPEGFRAMEINFO {
    int Layer;          // 1, 2 or 3
    int Version;        // 1 MPEG-1, 2 MPEG-2 (lower sampling frequencies)
    int BitrateIndex;
    int RateIndex;
    int Padding;
    int Channels;
    DWORD Rate;         // Hz
    DWORD Bitrate;      // kbit/s
    DWORD FrameBytes;   // header included
    DWORD Samples;      // sample frames it decodes to
};

enum class MpegHeaderResult { Frame, NoSync, Reserved };
// A free-format header (bitrate index 0) has no length to find the next
// frame by, and counts as no sync. MPEG 2.5 is no sync either.
MpegHeaderResult ParseMpegAudioHeader(const std::uint8_t header[4], MPEGFRAMEINFO* info);

struct MpegConverter;
// Null when the decoder cannot be made. Output: 16-bit at the given rate,
// with the given channel count (other frames are mixed or spread to it).
MpegConverter* OpenMpegConverter(WORD channels, DWORD rate);
void CloseMpegConverter(MpegConverter* converter);
// Converts the whole frames that are all in the source and whose samples
// fit the destination, skipping bytes that start no frame; a frame that
// decodes short is filled up with silence.
void ConvertMpegFrames(MpegConverter* converter, const std::uint8_t* source, DWORD sourceBytes,
                       std::uint8_t* destination, DWORD destinationBytes, DWORD* sourceUsed, DWORD* produced);
