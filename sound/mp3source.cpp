// Owns the MPEG audio probe: the ID3 tags left out, the frame walk that
// counts the samples, and the set-up of an ACM conversion over the whole
// audio in memory (reading and seeking are then the compressed WAV's).
// Calls the ACM stand-in's header reader and streams, and the allocator.
#include "sound/mp3source.h"

#include "core/memory.h"
#include "platform/acm/mpeg.h"
#include "sound/decoder.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint32_t ReadBytes(PCMCONV* d, void* buffer, std::uint32_t bytes)
{
    return d->Source.Funcs.Read(buffer, 1, bytes, d->Source.Handle);
}

int Tell(PCMCONV* d) { return d->Source.Funcs.Tell(d->Source.Handle); }
void Seek(PCMCONV* d, int offset, int origin) { d->Source.Funcs.Seek(d->Source.Handle, offset, origin); }

// The ID3v2 tag's whole size, or 0 without one.
long long Id3v2Size(PCMCONV* d)
{
    std::uint8_t head[10];
    if (ReadBytes(d, head, 10) != 10 || std::memcmp(head, "ID3", 3) != 0) return 0;
    long long size = ((static_cast<long long>(head[6]) * 128 + head[7]) * 128 + head[8]) * 128 + head[9] + 10;
    // A version 4 tag may end in a footer of another 10 bytes.
    if (head[3] == 4 && (head[5] & 0x10) != 0) size += 10;
    return size;
}

struct Walk {
    long long FirstFrame = -1;
    long long AudioEnd = 0;
    long long TotalSamples = 0;
};

// Frame to frame by their lengths, searching byte by byte where a header is
// not where the last length says. False when a header holds a reserved value.
bool WalkFrames(PCMCONV* d, long long limit, Walk* w)
{
    for (;;) {
        std::uint8_t h[4];
        if (ReadBytes(d, h, 1) != 1) return true;
        if (h[0] != 0xFF) continue;
        if (ReadBytes(d, h + 1, 1) != 1) return true;
        if ((h[1] & 0xF0) != 0xF0) continue;
        if (ReadBytes(d, h + 2, 2) != 2) return true;
        MPEGHEADER header;
        const int parsed = ParseMpegFrameHeader(h, &header);
        if (parsed == -1) return false;
        const long long at = Tell(d) - 4;
        if (parsed == -2) {
            // No length to go by: the search goes on one byte further.
            Seek(d, static_cast<int>(at + 1), 0);
            continue;
        }
        if (w->FirstFrame < 0) w->FirstFrame = at;
        w->TotalSamples += header.SamplesPerFrame;
        const long long next = at + header.FrameLength;
        w->AudioEnd = next;
        if (next >= limit) {
            w->AudioEnd = std::min(next, limit);
            return true;
        }
        Seek(d, static_cast<int>(header.FrameLength - 4), 1);
    }
}

int FailProbe(PCMCONV* d)
{
    ReleaseAcmSource(d);
    return -1;
}

} // namespace

int ParseMpegFrameHeader(const std::uint8_t header[4], MPEGHEADER* out)
{
    MPEGFRAMEINFO f;
    switch (ParseMpegAudioHeader(header, &f)) {
    case MpegHeaderResult::NoSync: return -2;
    case MpegHeaderResult::Reserved: return -1;
    case MpegHeaderResult::Frame: break;
    }
    out->LayerIndex = static_cast<std::uint8_t>(f.Layer - 1);
    out->VersionIndex = static_cast<std::uint8_t>(f.Version - 1);
    out->BitrateIndex = static_cast<std::uint8_t>(f.BitrateIndex);
    out->SampleRateIndex = static_cast<std::uint8_t>(f.RateIndex);
    out->Padding = static_cast<std::uint8_t>(f.Padding);
    out->Channels = static_cast<std::uint8_t>(f.Channels);
    out->SampleRate = f.Rate;
    out->Bitrate = f.Bitrate;
    out->FrameLength = f.FrameBytes;
    out->SamplesPerFrame = f.Samples;
    return 0;
}

int ProbeMp3Source(PCMCONV* d)
{
    d->Acm = PCMCONV_ACM{};
    d->Acm.TotalSamples = 0;
    Seek(d, 0, 2);
    const long long fileSize = std::max(Tell(d), 0);
    Seek(d, 0, 0);
    const long long tagSize = Id3v2Size(d);

    long long tail = fileSize;
    if (fileSize > 128) {
        std::uint8_t tag[3];
        Seek(d, -128, 2);
        tail = ReadBytes(d, tag, 3) == 3 && std::memcmp(tag, "TAG", 3) == 0 ? 128 : 0;
    }
    const long long limit = fileSize - tail;

    Walk walk;
    Seek(d, static_cast<int>(std::min<long long>(tagSize, 0x7FFFFFFF)), 0);
    if (!WalkFrames(d, limit, &walk) || walk.FirstFrame < 0) return -1;
    // The only headers lie in the tail that is left out.
    if (walk.AudioEnd < walk.FirstFrame) return -1;

    std::uint8_t h[4];
    MPEGHEADER first;
    Seek(d, static_cast<int>(walk.FirstFrame), 0);
    if (ReadBytes(d, h, 4) != 4 || ParseMpegFrameHeader(h, &first) != 0) return -1;

    DWORD formatBytes = 0;
    acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &formatBytes);
    formatBytes = std::max<DWORD>(formatBytes, sizeof(MPEGLAYER3WAVEFORMAT));
    auto* format = static_cast<MPEGLAYER3WAVEFORMAT*>(AllocMemoryZeroed(formatBytes, "", 0));
    if (format == nullptr) return FailProbe(d);
    d->Acm.SourceFormat = &format->wfx;
    format->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    format->wfx.nChannels = first.Channels;
    format->wfx.nSamplesPerSec = first.SampleRate;
    format->wfx.nAvgBytesPerSec = first.Bitrate * 1000 / 8;
    format->wfx.nBlockAlign = 1;
    format->wfx.wBitsPerSample = 0;
    format->wfx.cbSize = sizeof(MPEGLAYER3WAVEFORMAT) - sizeof(WAVEFORMATEX);
    format->wID = MPEGLAYER3_ID_MPEG;
    format->fdwFlags = first.Padding ? MPEGLAYER3_FLAG_PADDING_ON : MPEGLAYER3_FLAG_PADDING_ISO;
    format->nBlockSize = static_cast<WORD>(first.FrameLength);
    format->nFramesPerBlock = 1;
    format->nCodecDelay = 700;
    Seek(d, static_cast<int>(walk.FirstFrame), 0);

    d->DataPosition = static_cast<int>(walk.FirstFrame);
    d->DataSize = static_cast<int>(walk.AudioEnd - walk.FirstFrame);
    d->Acm.TotalSamples = static_cast<int>(std::min<long long>(walk.TotalSamples, 0x7FFFFFFF));

    return FinishAcmSetup(d, 4);
}
