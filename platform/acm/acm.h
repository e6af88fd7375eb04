// The audio compression manager as the sound decoders call it: format
// suggestion and conversion streams from PCM, IEEE float, MS ADPCM, IMA
// ADPCM, A-law, mu-law and MPEG audio sources (PCM and float also in their
// extensible form) to 16-bit (or unchanged) PCM, with our own converters.
#pragma once

#include "platform/kernel/types.h"
#include "platform/winmm/timer.h"
#include "platform/winmm/waveformat.h"

using HACMDRIVER = struct HACMDRIVER__*;
using HACMSTREAM = struct HACMSTREAM__*;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
constexpr MMRESULT ACMERR_UNPREPARED = 514;

constexpr UINT ACM_METRIC_MAX_SIZE_FORMAT = 50;
constexpr DWORD ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
constexpr DWORD ACM_STREAMOPENF_NONREALTIME = 0x00000004;
constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x00000000;
constexpr DWORD ACM_STREAMSIZEF_DESTINATION = 0x00000001;
constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
constexpr DWORD ACM_STREAMCONVERTF_START = 0x00000010;
constexpr DWORD ACM_STREAMCONVERTF_END = 0x00000020;
constexpr DWORD ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

struct ACMSTREAMHEADER {
    DWORD cbStruct;
    DWORD fdwStatus;
    std::uintptr_t dwUser;
    BYTE* pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    std::uintptr_t dwSrcUser;
    BYTE* pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    std::uintptr_t dwDstUser;
    DWORD dwReservedDriver[10];
};

using HACMOBJ = void*;

// ACM_METRIC_MAX_SIZE_FORMAT: the largest format record any converter takes.
MMRESULT acmMetrics(HACMOBJ object, UINT metric, void* value);
// The source format is read as far as its cbSize says (a WAVEFORMATEX and
// cbSize bytes after it); a format whose fields disagree is refused.
MMRESULT acmFormatSuggest(HACMDRIVER driver, const WAVEFORMATEX* source, WAVEFORMATEX* destination,
                          DWORD destinationSize, DWORD flags);
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* source,
                       const WAVEFORMATEX* destination, void* filter, std::uintptr_t callback,
                       std::uintptr_t instance, DWORD flags);
MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags);
// ACM_STREAMSIZEF_SOURCE: the most output `input` source bytes can give.
MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
// Converts whole source blocks that fit the destination; the rest of the
// source is left for the next call, and the codec's state carries over.
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);

// Streams open now, to check that every open is closed.
int GetOpenAcmStreamCount();
