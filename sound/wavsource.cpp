// Owns the two RIFF/WAVE kinds of the sound decoder: PCM passed through
// from the stream, and compressed data held in memory and converted through
// the ACM stand-in. Every size read from a file is checked against the
// stream before it is used.
#include "sound/decoder.h"

#include "core/memory.h"

#include <algorithm>
#include <cstring>

namespace {

// A fmt body beyond this is no wave format.
constexpr std::uint32_t kMaxFmtBody = 0x10000;
constexpr DWORD kMaxRate = 768000;
constexpr int kAcmPieceBytes = 2048;

std::uint32_t ReadU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint32_t ReadBytes(PCMCONV* d, void* buffer, std::uint32_t bytes)
{
    return d->Source.Funcs.Read(buffer, 1, bytes, d->Source.Handle);
}

int Tell(PCMCONV* d) { return d->Source.Funcs.Tell(d->Source.Handle); }
void SeekTo(PCMCONV* d, long long position)
{
    d->Source.Funcs.Seek(d->Source.Handle, static_cast<int>(std::min<long long>(position, 0x7FFFFFFF)), 0);
}

// Bytes from the current position to the end of the stream.
long long BytesLeft(PCMCONV* d)
{
    const int here = Tell(d);
    d->Source.Funcs.Seek(d->Source.Handle, 0, 2);
    const int end = Tell(d);
    d->Source.Funcs.Seek(d->Source.Handle, here, 0);
    return std::max(0, end - here);
}

// "RIFF", "WAVE", then the "fmt " header, which must come first; answers the
// fmt body size, or -1.
long long ReadRiffAndFmtHeader(PCMCONV* d)
{
    std::uint8_t head[20];
    if (ReadBytes(d, head, 20) != 20) return -1;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return -1;
    if (std::memcmp(head + 12, "fmt ", 4) != 0) return -1;
    const std::uint32_t body = ReadU32(head + 16);
    // Shorter than the fixed fields: nothing in it can be trusted.
    if (body < 16 || body > kMaxFmtBody || body > BytesLeft(d)) return -1;
    return body;
}

// Walks the chunks after the fmt body to "data"; answers its body size, or
// -1 when no whole "data" header is left in the stream. With `factFrames`,
// the frame count of a "fact" chunk on the way is stored there.
long long WalkToDataChunk(PCMCONV* d, long long* factFrames = nullptr)
{
    for (;;) {
        std::uint8_t header[8];
        if (ReadBytes(d, header, 8) != 8) return -1;
        const std::uint32_t size = ReadU32(header + 4);
        if (std::memcmp(header, "data", 4) == 0) return size;
        const long long skip = static_cast<long long>(size) + (size & 1);
        if (skip >= BytesLeft(d)) return -1;
        const int body = Tell(d);
        std::uint8_t count[4];
        if (factFrames != nullptr && std::memcmp(header, "fact", 4) == 0 && size >= 4 &&
            ReadBytes(d, count, 4) == 4)
            *factFrames = ReadU32(count);
        SeekTo(d, body + skip);
    }
}

bool IsSaneShape(const WAVEFORMATEX& f)
{
    return f.nChannels != 0 && f.nSamplesPerSec != 0 && f.nSamplesPerSec <= kMaxRate && f.nAvgBytesPerSec != 0 &&
           f.nBlockAlign != 0;
}

// Bits from the block size for a 16-byte fmt, then block size and byte rate
// from the bits, so every later size agrees with the samples.
bool NormalisePcmFormat(WAVEFORMATEX& f, std::uint32_t body)
{
    if (body == 16) {
        f.wBitsPerSample = static_cast<WORD>(f.nBlockAlign / f.nChannels * 8);
        f.cbSize = 0;
    }
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16 && f.wBitsPerSample != 24 && f.wBitsPerSample != 32)
        return false;
    if (f.nChannels > 8) return false;
    f.nBlockAlign = static_cast<WORD>(f.nChannels * f.wBitsPerSample / 8);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    return true;
}

// The data chunk as far as the stream really holds it, in whole frames.
int ClampDataSize(PCMCONV* d, long long claimed, WORD blockAlign)
{
    long long size = std::min(claimed, BytesLeft(d));
    if (blockAlign != 0) size -= size % blockAlign;
    return static_cast<int>(std::min<long long>(size, 0x7FFFFFFF));
}

void ClearAcmFields(PCMCONV* d)
{
    d->Acm = PCMCONV_ACM{};
    d->Acm.TotalSamples = -1;
}

int FailAcmProbe(PCMCONV* d)
{
    if (d->Acm.MainStream != nullptr) acmStreamClose(d->Acm.MainStream, 0);
    if (d->Acm.SpareStream != nullptr) acmStreamClose(d->Acm.SpareStream, 0);
    FreeMemory(d->Acm.SpareBuffer);
    FreeMemory(d->Acm.SourceFormat);
    FreeMemory(d->Acm.SourceData);
    ClearAcmFields(d);
    return -1;
}

// One conversion of up to 2048 source bytes; false when the header could
// not be prepared.
bool ConvertPiece(HACMSTREAM stream, std::uint8_t* source, int sourceBytes, std::uint8_t* destination,
                  int destinationBytes, DWORD* sourceUsed, DWORD* produced)
{
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = source;
    header.cbSrcLength = static_cast<DWORD>(sourceBytes);
    header.pbDst = destination;
    header.cbDstLength = static_cast<DWORD>(destinationBytes);
    if (acmStreamPrepareHeader(stream, &header, 0) != MMSYSERR_NOERROR) return false;
    acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
    *sourceUsed = header.cbSrcLengthUsed;
    *produced = header.cbDstLengthUsed;
    acmStreamUnprepareHeader(stream, &header, 0);
    return true;
}

void ReopenStream(PCMCONV* d, HACMSTREAM* stream)
{
    acmStreamClose(*stream, 0);
    *stream = nullptr;
    acmStreamOpen(stream, nullptr, d->Acm.SourceFormat, &d->OutputFormat, nullptr, 0, 0,
                  ACM_STREAMOPENF_NONREALTIME);
}

} // namespace

int ProbePcmWaveSource(PCMCONV* d)
{
    const long long body = ReadRiffAndFmtHeader(d);
    if (body < 0) return -1;
    auto* fmt = static_cast<std::uint8_t*>(AllocMemory(static_cast<std::size_t>(body), "", 0));
    if (fmt == nullptr) return -1;
    d->FmtPosition = Tell(d);
    d->FmtSize = static_cast<int>(body);
    const bool whole = ReadBytes(d, fmt, static_cast<std::uint32_t>(body)) == body;
    WAVEFORMATEX f{};
    std::memcpy(&f, fmt, std::min<std::size_t>(static_cast<std::size_t>(body), sizeof f));
    // The extensible form of PCM is PCM: its samples are read the same way.
    if (whole && f.wFormatTag == WAVE_FORMAT_EXTENSIBLE && body >= 18 + 22 &&
        ReadExtensibleSubformat(fmt + 18, std::min<WORD>(f.cbSize, static_cast<WORD>(body - 18))) ==
            WAVE_FORMAT_PCM)
        f.wFormatTag = WAVE_FORMAT_PCM;
    FreeMemory(fmt);
    if (!whole || f.wFormatTag != WAVE_FORMAT_PCM || !IsSaneShape(f) ||
        !NormalisePcmFormat(f, static_cast<std::uint32_t>(body)))
        return -1;
    const long long data = WalkToDataChunk(d);
    if (data < 0) return -1;
    d->OutputFormat = f;
    d->OutputFormat.cbSize = 0;
    d->DataPosition = Tell(d);
    d->DataSize = ClampDataSize(d, data, f.nBlockAlign);
    d->OutBufferSize = static_cast<int>(f.nAvgBytesPerSec);
    d->Kind = PCMCONV_KIND_PCMWAV;
    return 0;
}

int FinishAcmSetup(PCMCONV* d, int outBufferThirds)
{
    d->OutputFormat = WAVEFORMATEX{};
    d->OutputFormat.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, d->Acm.SourceFormat, &d->OutputFormat, sizeof(WAVEFORMATEX),
                         ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR)
        return FailAcmProbe(d);
    d->Acm.SourceData = static_cast<std::uint8_t*>(AllocMemory(static_cast<std::size_t>(d->DataSize), "", 0));
    if (d->Acm.SourceData == nullptr) return FailAcmProbe(d);
    d->Acm.MainSourceUsed = 0;
    // Only the bytes really read are converted.
    d->Acm.SourceDataSize =
        static_cast<int>(ReadBytes(d, d->Acm.SourceData, static_cast<std::uint32_t>(d->DataSize)));
    d->DataSize = d->Acm.SourceDataSize;
    SeekTo(d, d->DataPosition);
    if (acmStreamOpen(&d->Acm.MainStream, nullptr, d->Acm.SourceFormat, &d->OutputFormat, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR ||
        acmStreamOpen(&d->Acm.SpareStream, nullptr, d->Acm.SourceFormat, &d->OutputFormat, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
        return FailAcmProbe(d);
    d->OutBufferSize = static_cast<int>(d->OutputFormat.nAvgBytesPerSec * outBufferThirds / 3);
    d->Acm.SpareBuffer = static_cast<std::uint8_t*>(AllocMemory(static_cast<std::size_t>(d->OutBufferSize), "", 0));
    if (d->Acm.SpareBuffer == nullptr) return FailAcmProbe(d);
    d->Kind = PCMCONV_KIND_ACM;
    return 0;
}


int ProbeAcmWaveSource(PCMCONV* d)
{
    ClearAcmFields(d);
    const long long body = ReadRiffAndFmtHeader(d);
    if (body < 0) return -1;
    const std::size_t blockSize = std::max<std::size_t>(static_cast<std::size_t>(body), sizeof(WAVEFORMATEX));
    auto* fmt = static_cast<std::uint8_t*>(AllocMemoryZeroed(blockSize, "", 0));
    if (fmt == nullptr) return -1;
    d->Acm.SourceFormat = reinterpret_cast<WAVEFORMATEX*>(fmt);
    d->FmtPosition = Tell(d);
    d->FmtSize = static_cast<int>(body);
    if (ReadBytes(d, fmt, static_cast<std::uint32_t>(body)) != body) return FailAcmProbe(d);
    WAVEFORMATEX f;
    std::memcpy(&f, fmt, sizeof f);
    if (!IsSaneShape(f)) return FailAcmProbe(d);
    if (f.wFormatTag == WAVE_FORMAT_PCM) {
        if (!NormalisePcmFormat(f, static_cast<std::uint32_t>(body))) return FailAcmProbe(d);
    } else {
        // The converter reads cbSize bytes behind the record: never past the body.
        f.cbSize = static_cast<WORD>(std::min<long long>(f.cbSize, std::max<long long>(body - 18, 0)));
    }
    std::memcpy(fmt, &f, sizeof f);
    long long fact = 0;
    const long long data = WalkToDataChunk(d, f.wFormatTag != WAVE_FORMAT_PCM ? &fact : nullptr);
    if (data < 0) return FailAcmProbe(d);
    d->DataPosition = Tell(d);
    d->DataSize = ClampDataSize(d, data, 0);
    if (FinishAcmSetup(d, 3) != 0) return -1;
    // The last block is padded past the true end, which only the fact count
    // knows. A count of 0 is a header never finished, not an empty sound.
    DWORD bound = 0;
    if (fact > 0 && acmStreamSize(d->Acm.MainStream, static_cast<DWORD>(d->Acm.SourceDataSize), &bound,
                                  ACM_STREAMSIZEF_SOURCE) == MMSYSERR_NOERROR &&
        fact < bound / d->OutputFormat.nBlockAlign)
        d->Acm.TotalSamples = static_cast<int>(fact);
    return 0;
}

int RefillPcmWaveBuffer(PCMCONV* d)
{
    const int offset = Tell(d) - d->DataPosition;
    if (offset >= d->DataSize) return -1;
    const int want = std::min(d->DataSize - offset, d->OutBufferSize);
    // Only what the stream really gave counts; nothing at all ends the data.
    const auto got = static_cast<int>(ReadBytes(d, d->OutBuffer, static_cast<std::uint32_t>(want)));
    if (got <= 0) return -1;
    d->OutFill = got;
    return 0;
}

int SeekPcmWaveSource(PCMCONV* d, int frame)
{
    const long long offset = static_cast<long long>(frame) * d->OutputFormat.nBlockAlign;
    SeekTo(d, d->DataPosition + offset);
    d->OutPosition = static_cast<int>(std::min<long long>(offset, 0x7FFFFFFF));
    d->OutFill = 0;
    d->OutReadOffset = 0;
    return 0;
}

int RefillAcmBuffer(PCMCONV* d)
{
    PCMCONV_ACM& a = d->Acm;
    if (a.SpareOutput != d->PrerollTarget) {
        if (a.SpareOutput > d->PrerollTarget) {
            ReopenStream(d, &a.SpareStream);
            a.SpareOutput = 0;
            a.SpareSourceUsed = 0;
        }
        if (d->PrerollTarget - 10240 > a.SpareOutput) {
            const int piece = std::min(a.SourceDataSize - a.SpareSourceUsed, kAcmPieceBytes);
            const int room = std::min(d->OutBufferSize, d->PrerollTarget - a.SpareOutput);
            DWORD used = 0, produced = 0;
            if (!ConvertPiece(a.SpareStream, a.SourceData + a.SpareSourceUsed, piece, a.SpareBuffer, room, &used,
                              &produced))
                return -1;
            a.SpareOutput += static_cast<int>(produced);
            a.SpareSourceUsed += static_cast<int>(used);
        }
    }
    DWORD used = 0, produced = 0;
    // A piece the converter only skipped through (bytes between MPEG frames)
    // is no end: the next piece follows.
    do {
        if (a.MainSourceUsed == a.SourceDataSize) return -1;
        const int piece = std::min(a.SourceDataSize - a.MainSourceUsed, kAcmPieceBytes);
        if (!ConvertPiece(a.MainStream, a.SourceData + a.MainSourceUsed, piece, d->OutBuffer, d->OutBufferSize,
                          &used, &produced))
            return -1;
        a.MainSourceUsed += static_cast<int>(used);
    } while (produced == 0 && used > 0);
    if (a.TotalSamples >= 0) {
        // A known length ends the output, whatever the last piece held beyond it.
        const long long left = static_cast<long long>(a.TotalSamples) * d->OutputFormat.nBlockAlign - d->OutPosition;
        produced = static_cast<DWORD>(std::clamp<long long>(left, 0, produced));
    }
    d->OutFill = static_cast<int>(produced);
    if (produced == 0) {
        d->OutFill = 0;
        a.MainSourceUsed = a.SourceDataSize;
        return -1;
    }
    return 0;
}

int SeekAcmSource(PCMCONV* d, int frame)
{
    PCMCONV_ACM& a = d->Acm;
    const long long target = static_cast<long long>(frame) * d->OutputFormat.nBlockAlign;
    if (target >= d->OutPosition) {
        if (target <= static_cast<long long>(d->OutPosition) + d->OutFill) {
            const int step = static_cast<int>(target - d->OutPosition);
            d->OutReadOffset += step;
            d->OutPosition += step;
            d->OutFill -= step;
            return 0;
        }
    } else if (target >= a.SpareOutput) {
        std::swap(a.MainStream, a.SpareStream);
        a.MainSourceUsed = a.SpareSourceUsed;
        d->OutPosition = a.SpareOutput;
        d->OutFill = 0;
        d->OutReadOffset = 0;
        ReopenStream(d, &a.SpareStream);
        a.SpareOutput = 0;
        a.SpareSourceUsed = 0;
    } else {
        ReopenStream(d, &a.MainStream);
        SeekTo(d, d->DataPosition);
        a.MainSourceUsed = 0;
        d->OutFill = 0;
        d->OutReadOffset = 0;
        d->OutPosition = 0;
    }
    while (static_cast<long long>(d->OutPosition) + d->OutFill < target) {
        d->OutPosition += d->OutFill;
        d->OutFill = 0;
        d->OutReadOffset = 0;
        if (RefillAcmBuffer(d) == -1) {
            d->OutFill = 0;
            return 0;
        }
    }
    const int step = static_cast<int>(target - d->OutPosition);
    d->OutPosition = static_cast<int>(target);
    d->OutReadOffset += step;
    d->OutFill -= step;
    return 0;
}

int ReleaseAcmSource(PCMCONV* d)
{
    PCMCONV_ACM& a = d->Acm;
    FreeMemory(a.SourceFormat);
    FreeMemory(a.SpareBuffer);
    if (a.MainStream != nullptr) acmStreamClose(a.MainStream, 0);
    if (a.SpareStream != nullptr) acmStreamClose(a.SpareStream, 0);
    FreeMemory(a.SourceData);
    ClearAcmFields(d);
    return 0;
}
