// Owns the Ogg Vorbis kind of the sound decoder: the reader over the
// decoder's own stream (Vorbis alone, or the Vorbis track of a movie file),
// 16-bit PCM in blocks of up to 4096 bytes, seeks by frame and the sizes.
// Calls vorbisfile, the allocator and the sound state's sample width.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "core/memory.h"
#include "sound/decoder.h"
#include "sound/soundrec.h"

#include <cstring>

namespace {

constexpr int kOutBufferBytes = 4096;
// Holes (lost or damaged pages) skipped in one block before the data counts as ended.
constexpr int kMaxHolesPerBlock = 64;

const STREAMREF* SourceOf(void* datasource)
{
    return static_cast<const STREAMREF*>(datasource);
}

size_t OggReadCallback(void* buffer, size_t size, size_t count, void* datasource)
{
    if (datasource == nullptr) return static_cast<size_t>(-1);
    const STREAMREF* s = SourceOf(datasource);
    return s->Funcs.Read(buffer, static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(count), s->Handle);
}

int OggSeekCallback(void* datasource, ogg_int64_t offset, int origin)
{
    if (datasource == nullptr) return -1;
    const STREAMREF* s = SourceOf(datasource);
    return s->Funcs.Seek(s->Handle, static_cast<int>(offset), origin);
}

// The decoder never closes its source.
int ReturnZeroCallback(void*)
{
    return 0;
}

long OggTellCallback(void* datasource)
{
    if (datasource == nullptr) return -1;
    const STREAMREF* s = SourceOf(datasource);
    return s->Funcs.Tell(s->Handle);
}

std::uint32_t TotalFrames(PCMCONV* d)
{
    const ogg_int64_t total = ov_pcm_total(d->Ogg.Reader, -1);
    return total < 0 ? 0 : static_cast<std::uint32_t>(total);
}

// Links of a chained file that differ from the first would be read in the
// first one's format: such a file is refused.
bool LinksShareOneFormat(OggVorbis_File* reader)
{
    const vorbis_info* first = ov_info(reader, 0);
    if (first == nullptr) return false;
    for (long i = 1; i < ov_streams(reader); ++i) {
        const vorbis_info* link = ov_info(reader, static_cast<int>(i));
        if (link == nullptr || link->channels != first->channels || link->rate != first->rate) return false;
    }
    return true;
}

void CloseReader(PCMCONV* d)
{
    ov_clear(d->Ogg.Reader);
    FreeMemory(d->Ogg.Reader);
    d->Ogg.Reader = nullptr;
    d->Ogg.ReaderOpen = 0;
}

} // namespace

int OpenOggVorbisSource(PCMCONV* d)
{
    d->Ogg = PCMCONV_OGG{};
    auto* reader = static_cast<OggVorbis_File*>(AllocMemoryZeroed(sizeof(OggVorbis_File), "", 0));
    if (reader == nullptr) return -1;
    const ov_callbacks callbacks{OggReadCallback, OggSeekCallback, ReturnZeroCallback, OggTellCallback};
    if (ov_open_callbacks(&d->Source, reader, nullptr, 0, callbacks) != 0) {
        FreeMemory(reader);
        return -1;
    }
    d->Ogg.Reader = reader;
    d->Ogg.ReaderOpen = 1;
    const vorbis_info* info = ov_info(reader, -1);
    if (info == nullptr || info->channels < 1 || info->channels > 255 || info->rate <= 0 ||
        !LinksShareOneFormat(reader)) {
        CloseReader(d);
        return -1;
    }
    // With a movie's video stream ahead of the Vorbis one, the reader is left
    // past the data after its open; decoding starts from the first sample.
    if (ov_seekable(reader) != 0) ov_pcm_seek(reader, 0);
    const int width = SoundState.OggSampleBytes == 1 ? 1 : 2;
    WAVEFORMATEX& f = d->OutputFormat;
    f = WAVEFORMATEX{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(info->channels);
    f.nSamplesPerSec = static_cast<DWORD>(info->rate);
    f.nBlockAlign = static_cast<WORD>(info->channels * width);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    f.wBitsPerSample = static_cast<WORD>(width * 8);
    d->Ogg.SampleBytes = width;
    d->OutBufferSize = kOutBufferBytes;
    d->DataSize = GetOggVorbisTotalBytes(d);
    d->Kind = PCMCONV_KIND_OGGVORBIS;
    return 0;
}

int DecodeOggVorbisBlock(PCMCONV* d)
{
    if (d->Ogg.ReaderOpen == 0) return -1;
    const int width = d->Ogg.SampleBytes;
    int bitstream = 0;
    long got = 0;
    for (int holes = 0; holes <= kMaxHolesPerBlock; ++holes) {
        got = ov_read(d->Ogg.Reader, reinterpret_cast<char*>(d->OutBuffer), d->OutBufferSize, 0, width,
                      width != 1 ? 1 : 0, &bitstream);
        // A hole is data lost in the file: decoding goes on behind it.
        if (got != OV_HOLE) break;
    }
    // The end, or an error the reader cannot get past.
    if (got <= 0) return -1;
    d->OutFill = static_cast<int>(got);
    return 0;
}

int SeekOggVorbisSource(PCMCONV* d, int frame)
{
    if (d->Ogg.ReaderOpen == 0) return 0;
    ogg_int64_t at = frame;
    // A seek the reader refuses leaves it where it was; the position says so.
    if (ov_pcm_seek(d->Ogg.Reader, at) != 0) at = ov_pcm_tell(d->Ogg.Reader);
    d->OutFill = 0;
    d->OutReadOffset = 0;
    d->OutPosition = static_cast<int>(at < 0 ? 0 : at * d->OutputFormat.nBlockAlign);
    return 0;
}

int CloseOggVorbisSource(PCMCONV* d)
{
    if (d->Ogg.ReaderOpen == 1) CloseReader(d);
    return 0;
}

int GetOggVorbisTotalBytes(PCMCONV* d)
{
    if (d->Ogg.ReaderOpen == 0) return 0;
    const std::uint32_t bytes = TotalFrames(d) * d->OutputFormat.nChannels * static_cast<std::uint32_t>(d->Ogg.SampleBytes);
    return static_cast<int>(bytes & 0x7FFFFFFF);
}

int GetOggVorbisOutputSize(PCMCONV* d)
{
    if (d->Ogg.ReaderOpen == 0) return 0;
    // One second at 44.1 kHz of slack over the stream's own total, whatever its rate.
    const std::uint32_t bytes =
        (TotalFrames(d) + 44100) * d->OutputFormat.nChannels * static_cast<std::uint32_t>(d->Ogg.SampleBytes);
    return static_cast<int>(bytes & 0x7FFFFFFF);
}
