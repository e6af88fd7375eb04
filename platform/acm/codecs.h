// The converters behind the ACM stand-in: reading a source format into a
// codec description, and decoding one source block to PCM.
#pragma once

#include "platform/winmm/waveformat.h"

#include <cstdint>

enum class AcmCodec { Pcm, Float, MsAdpcm, ImaAdpcm, ALaw, MuLaw, MpegAudio };

struct ACMCODECINFO {
    AcmCodec Codec;
    WORD Channels;
    DWORD Rate;
    DWORD SourceBlockBytes;   // one source block
    DWORD FramesPerBlock;     // output frames it yields
    DWORD OutputFrameBytes;   // bytes of one output frame
    WORD OutputBits;
    WORD CoefCount;           // MS ADPCM
    std::int16_t Coef[256][2];
};

// Reads the source format (the record and its cbSize extra bytes; an
// extensible format as its subformat); false for a format no converter
// handles or whose fields disagree.
bool DescribeAcmSource(const WAVEFORMATEX* source, ACMCODECINFO* info);
// Decodes one whole block (every codec but MPEG audio, which converts whole frames) of SourceBlockBytes into FramesPerBlock frames.
void DecodeAcmBlock(const ACMCODECINFO& info, const std::uint8_t* source, std::uint8_t* destination);

std::int16_t DecodeALaw(std::uint8_t value);
std::int16_t DecodeMuLaw(std::uint8_t value);
// A float sample (full scale 1.0) as 16-bit, rounded and clamped.
std::int16_t ConvertFloatSample(double value);
