// Owns the ACM stream objects: the suggested formats, the sizes and the
// block-wise conversion loop over platform/acm/codecs.
#include "platform/acm/acm.h"

#include "platform/acm/codecs.h"
#include "platform/acm/mpeg.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

struct HACMSTREAM__ {
    ACMCODECINFO Info;
    MpegConverter* Mpeg;  // MPEG audio: the decoder, whose state runs on between conversions
};

namespace {

std::atomic<int> g_openStreams{0};

WAVEFORMATEX SuggestedFormat(const WAVEFORMATEX* source, const ACMCODECINFO& info)
{
    WAVEFORMATEX d{};
    if (info.Codec == AcmCodec::Pcm) {
        std::memcpy(&d, source, sizeof d);
        d.wFormatTag = WAVE_FORMAT_PCM;  // also for the extensible form
        d.nAvgBytesPerSec = d.nSamplesPerSec * d.nBlockAlign;
        d.cbSize = 0;
        return d;
    }
    d.wFormatTag = WAVE_FORMAT_PCM;
    d.nChannels = info.Channels;
    d.nSamplesPerSec = info.Rate;
    d.wBitsPerSample = 16;
    d.nBlockAlign = static_cast<WORD>(2 * info.Channels);
    d.nAvgBytesPerSec = d.nBlockAlign * info.Rate;
    return d;
}

DWORD OutputBlockBytes(const ACMCODECINFO& info)
{
    return info.FramesPerBlock * info.OutputFrameBytes;
}

// The most sample frames one byte of MPEG audio gives (MPEG-2 at 8 kbit/s and 24 kHz).
constexpr DWORD kMpegFramesPerByte = 24;
// The largest MS ADPCM format: 256 coefficient pairs.
constexpr DWORD kMaxFormatBytes = sizeof(WAVEFORMATEX) + 4 + 4 * 256;

} // namespace

MMRESULT acmMetrics(HACMOBJ object, UINT metric, void* value)
{
    if (value == nullptr) return MMSYSERR_INVALPARAM;
    if (object != nullptr) return MMSYSERR_INVALHANDLE;
    if (metric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
    *static_cast<DWORD*>(value) = kMaxFormatBytes;
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatSuggest(HACMDRIVER driver, const WAVEFORMATEX* source, WAVEFORMATEX* destination,
                          DWORD destinationSize, DWORD flags)
{
    if (driver != nullptr) return MMSYSERR_INVALHANDLE;
    if (source == nullptr || destination == nullptr || destinationSize < sizeof(WAVEFORMATEX) - 2)
        return MMSYSERR_INVALPARAM;
    if ((flags & ~ACM_FORMATSUGGESTF_WFORMATTAG) != 0) return MMSYSERR_INVALFLAG;
    if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && destination->wFormatTag != WAVE_FORMAT_PCM)
        return ACMERR_NOTPOSSIBLE;
    auto* info = new (std::nothrow) ACMCODECINFO;
    if (info == nullptr) return MMSYSERR_NOMEM;
    const bool known = DescribeAcmSource(source, info);
    WAVEFORMATEX d{};
    if (known) d = SuggestedFormat(source, *info);
    delete info;
    if (!known) return ACMERR_NOTPOSSIBLE;
    std::memcpy(destination, &d, std::min<DWORD>(destinationSize, sizeof d));
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* source,
                       const WAVEFORMATEX* destination, void* filter, std::uintptr_t, std::uintptr_t, DWORD)
{
    if (stream == nullptr) return MMSYSERR_INVALPARAM;
    *stream = nullptr;
    if (driver != nullptr) return MMSYSERR_INVALHANDLE;
    if (source == nullptr || destination == nullptr || filter != nullptr) return MMSYSERR_INVALPARAM;
    auto* s = new (std::nothrow) HACMSTREAM__;
    if (s == nullptr) return MMSYSERR_NOMEM;
    // No rate or channel changes: the destination must be the suggested format.
    WAVEFORMATEX want;
    std::memcpy(&want, destination, sizeof want);
    want.cbSize = 0;
    if (!DescribeAcmSource(source, &s->Info)) {
        delete s;
        return ACMERR_NOTPOSSIBLE;
    }
    const WAVEFORMATEX suggested = SuggestedFormat(source, s->Info);
    if (std::memcmp(&want, &suggested, sizeof want) != 0) {
        delete s;
        return ACMERR_NOTPOSSIBLE;
    }
    s->Mpeg = nullptr;
    if (s->Info.Codec == AcmCodec::MpegAudio) {
        s->Mpeg = OpenMpegConverter(s->Info.Channels, s->Info.Rate);
        if (s->Mpeg == nullptr) {
            delete s;
            return MMSYSERR_NOMEM;
        }
    }
    ++g_openStreams;
    *stream = s;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD)
{
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    CloseMpegConverter(stream->Mpeg);
    delete stream;
    --g_openStreams;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags)
{
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (output == nullptr) return MMSYSERR_INVALPARAM;
    const ACMCODECINFO& info = stream->Info;
    DWORD out = OutputBlockBytes(info);
    if (info.Codec == AcmCodec::MpegAudio) out *= kMpegFramesPerByte;
    if (flags == ACM_STREAMSIZEF_SOURCE) {
        const unsigned long long bytes = static_cast<unsigned long long>(input / info.SourceBlockBytes) * out;
        if (bytes > 0xFFFFFFFFull) return ACMERR_NOTPOSSIBLE;
        *output = static_cast<DWORD>(bytes);
    } else if (flags == ACM_STREAMSIZEF_DESTINATION) {
        *output = input / out * info.SourceBlockBytes;
    } else {
        return MMSYSERR_INVALFLAG;
    }
    return *output != 0 ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD)
{
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->cbStruct < sizeof(ACMSTREAMHEADER) || header->pbSrc == nullptr ||
        header->pbDst == nullptr)
        return MMSYSERR_INVALPARAM;
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD)
{
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD)
{
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    const ACMCODECINFO& info = stream->Info;
    if (info.Codec == AcmCodec::MpegAudio) {
        ConvertMpegFrames(stream->Mpeg, header->pbSrc, header->cbSrcLength, header->pbDst, header->cbDstLength,
                          &header->cbSrcLengthUsed, &header->cbDstLengthUsed);
        header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
        return MMSYSERR_NOERROR;
    }
    const DWORD out = OutputBlockBytes(info);
    // Only whole blocks convert; a trailing partial block waits for more source.
    const DWORD blocks = std::min(header->cbSrcLength / info.SourceBlockBytes, header->cbDstLength / out);
    if (info.Codec == AcmCodec::Pcm) {
        std::memcpy(header->pbDst, header->pbSrc, static_cast<std::size_t>(blocks) * out);
    } else {
        for (DWORD b = 0; b < blocks; ++b)
            DecodeAcmBlock(info, header->pbSrc + static_cast<std::size_t>(b) * info.SourceBlockBytes,
                           header->pbDst + static_cast<std::size_t>(b) * out);
    }
    header->cbSrcLengthUsed = blocks * info.SourceBlockBytes;
    header->cbDstLengthUsed = blocks * out;
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}

int GetOpenAcmStreamCount()
{
    return g_openStreams.load();
}
