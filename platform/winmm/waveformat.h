// The wave format record shared by the sound output (platform/dsound) and
// the converters (platform/acm), packed to its 18 bytes because callers
// compare and copy it as bytes.
#pragma once

#include "platform/kernel/types.h"

constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr WORD WAVE_FORMAT_ADPCM = 2;
constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr WORD WAVE_FORMAT_ALAW = 6;
constexpr WORD WAVE_FORMAT_MULAW = 7;
constexpr WORD WAVE_FORMAT_IMA_ADPCM = 0x11;
constexpr WORD WAVE_FORMAT_MPEGLAYER3 = 0x55;
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// WAVE_FORMAT_EXTENSIBLE: after the record, cbSize >= 22 bytes of valid
// bits (u16), channel mask (u32) and the subformat GUID, whose first two
// bytes are a plain format tag and whose other 14 are fixed. Answers that
// tag, or 0 when the extra bytes are too short or the GUID is another kind.
inline WORD ReadExtensibleSubformat(const std::uint8_t* extra, WORD cbSize)
{
    constexpr std::uint8_t kTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (cbSize < 22) return 0;
    for (int i = 0; i < 14; ++i)
        if (extra[8 + i] != kTail[i]) return 0;
    return static_cast<WORD>(extra[6] | extra[7] << 8);
}

constexpr WORD MPEGLAYER3_ID_MPEG = 1;
constexpr DWORD MPEGLAYER3_FLAG_PADDING_ISO = 0;
constexpr DWORD MPEGLAYER3_FLAG_PADDING_ON = 1;

#pragma pack(push, 1)
struct MPEGLAYER3WAVEFORMAT {
    WAVEFORMATEX wfx;
    WORD wID;
    DWORD fdwFlags;
    WORD nBlockSize;
    WORD nFramesPerBlock;
    WORD nCodecDelay;
};
#pragma pack(pop)
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30);
