// Owns the decoder's kind-independent side: the probe order, the output
// buffer, seeks, the whole decode and the whole-file loaders. Calls the
// kinds (wavsource.cpp and the compressed sources), the file layer, the
// allocator and the log.
#include "sound/decoder.h"

#include "core/file/filefuncs.h"
#include "core/log.h"
#include "core/memory.h"

#include <algorithm>
#include <cstring>

int MovieSoundtrackFlag = 0;

namespace {

void RewindSource(PCMCONV* d)
{
    d->Source.Funcs.Seek(d->Source.Handle, 0, 0);
}

void ReleaseKind(PCMCONV* d)
{
    if (d->Kind == PCMCONV_KIND_ACM) {
        ReleaseAcmSource(d);
    } else if (d->Kind == PCMCONV_KIND_OGGVORBIS) {
        CloseOggVorbisSource(d);
    }
}

int RefillByKind(PCMCONV* d)
{
    switch (d->Kind) {
    case PCMCONV_KIND_PCMWAV: return RefillPcmWaveBuffer(d);
    case PCMCONV_KIND_ACM: return RefillAcmBuffer(d);
    case PCMCONV_KIND_OGGVORBIS: return DecodeOggVorbisBlock(d);
    default: return -1;
    }
}

} // namespace

int SetupSoundDecoder(const STREAMREF* source, PCMCONV* d)
{
    d->MovieSoundtrackFlag = MovieSoundtrackFlag;
    d->Source = *source;
    d->PrerollTarget = 0;
    int (*const probes[])(PCMCONV*) = {ProbePcmWaveSource, ProbeAcmWaveSource, OpenOggVorbisSource, ProbeMp3Source};
    bool found = false;
    for (auto probe : probes) {
        RewindSource(d);
        if (probe(d) == 0) {
            found = true;
            break;
        }
    }
    if (!found) return -1;
    d->ValidFlag = 0;
    d->EndFlag = 0;
    d->OutBuffer = static_cast<std::uint8_t*>(AllocMemory(static_cast<std::size_t>(d->OutBufferSize), "", 0));
    if (d->OutBuffer == nullptr) {
        ReleaseKind(d);
        return -1;
    }
    d->OutFill = 0;
    d->OutReadOffset = 0;
    d->OutPosition = 0;
    d->ValidFlag = 1;
    return 0;
}

int ReadSoundDecoder(PCMCONV* d, void* destination, int count)
{
    if (d->ValidFlag == 0) return -1;
    if (d->EndFlag == 1 || count <= 0) return 0;
    auto* out = static_cast<std::uint8_t*>(destination);
    int delivered = 0;
    while (delivered < count) {
        if (d->OutFill == 0) {
            d->OutReadOffset = 0;
            // A refill that claims success without bytes ends the data too, so
            // a bad source can never spin this loop.
            if (RefillByKind(d) == -1 || d->OutFill <= 0) {
                d->OutFill = 0;
                d->EndFlag = 1;
                return delivered;
            }
        }
        const int n = std::min(count - delivered, d->OutFill);
        std::memcpy(out + delivered, d->OutBuffer + d->OutReadOffset, static_cast<std::size_t>(n));
        delivered += n;
        d->OutPosition += n;
        d->OutReadOffset += n;
        d->OutFill -= n;
    }
    return count;
}

int SeekSoundDecoder(PCMCONV* d, int frame)
{
    const long long target = static_cast<long long>(frame) * d->OutputFormat.nBlockAlign;
    const long long distance = target - d->OutPosition;
    if (distance > -16 && distance < 16) return 0;
    switch (d->Kind) {
    case PCMCONV_KIND_PCMWAV: SeekPcmWaveSource(d, frame); break;
    case PCMCONV_KIND_ACM: SeekAcmSource(d, frame); break;
    case PCMCONV_KIND_OGGVORBIS: SeekOggVorbisSource(d, frame); break;
    default: break;
    }
    d->EndFlag = 0;
    return 0;
}

int CloseSoundDecoder(PCMCONV* d)
{
    if (d->ValidFlag == 0) return -1;
    FreeMemory(d->OutBuffer);
    d->OutBuffer = nullptr;
    ReleaseKind(d);
    d->ValidFlag = 0;
    return 0;
}

int GetSoundDecoderFormat(const PCMCONV* d, WAVEFORMATEX* format)
{
    std::memcpy(format, &d->OutputFormat, sizeof(WAVEFORMATEX));
    return 0;
}

int GetSoundDecoderOutputSize(PCMCONV* d)
{
    switch (d->Kind) {
    case PCMCONV_KIND_PCMWAV:
        return d->DataSize;
    case PCMCONV_KIND_ACM: {
        if (d->Acm.TotalSamples != -1) return d->OutputFormat.nBlockAlign * d->Acm.TotalSamples;
        DWORD size = 0;
        if (acmStreamSize(d->Acm.MainStream, static_cast<DWORD>(d->Acm.SourceDataSize), &size,
                          ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR)
            return 0;
        return static_cast<int>(std::min<DWORD>(size, 0x7FFFFFFF));
    }
    case PCMCONV_KIND_OGGVORBIS:
        return GetOggVorbisOutputSize(d);
    default:
        return 0;
    }
}

int DecodeWholeSoundSource(PCMCONV* d, WAVEFORMATEX* format, void** data, int* size)
{
    const int total = std::max(GetSoundDecoderOutputSize(d), 0);
    auto* block = static_cast<std::uint8_t*>(AllocMemory(static_cast<std::size_t>(total), "", 0));
    if (block == nullptr) return -1;
    SeekSoundDecoder(d, 0);
    int got;
    if (d->Kind == PCMCONV_KIND_PCMWAV) {
        // Read as bytes, so only what the stream really held is counted.
        got = static_cast<int>(d->Source.Funcs.Read(block, 1, static_cast<std::uint32_t>(total), d->Source.Handle));
    } else {
        got = std::max(ReadSoundDecoder(d, block, total), 0);
    }
    std::memcpy(format, &d->OutputFormat, sizeof(WAVEFORMATEX));
    *data = block;
    *size = got;
    return 0;
}

int LoadSoundFileToMemory(const char* path, void** data, int* size)
{
    FILEHANDLE file = OpenLibraryFile(path, 0, 1, 0);
    if (file == 0) return WriteLogFormat("右記のファイルのオープンに失敗しました：%s", path);
    SeekLibraryFile(file, 0, 2);
    const int length = std::max(TellLibraryFile(file), 0);
    SeekLibraryFile(file, 0, 0);
    void* block = AllocMemory(static_cast<std::size_t>(length), "", 0);
    if (block == nullptr) {
        WriteLogFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", path);
        CloseLibraryFile(file);
        return -1;
    }
    const std::uint32_t got = ReadLibraryFile(block, 1, static_cast<std::uint32_t>(length), file);
    CloseLibraryFile(file);
    *data = block;
    *size = static_cast<int>(got);
    return 0;
}

int ReadWholeStreamToMemory(const STREAMREF* stream, void** data, int* size)
{
    stream->Funcs.Seek(stream->Handle, 0, 2);
    const int length = std::max(stream->Funcs.Tell(stream->Handle), 0);
    stream->Funcs.Seek(stream->Handle, 0, 0);
    void* block = AllocMemory(static_cast<std::size_t>(length), "", 0);
    if (block == nullptr) return WriteLogFormat("ストリームの読み込みに必要なメモリの確保に失敗しました");
    const std::uint32_t got = stream->Funcs.Read(block, 1, static_cast<std::uint32_t>(length), stream->Handle);
    *data = block;
    *size = static_cast<int>(got);
    return 0;
}
