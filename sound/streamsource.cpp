// Owns a stream sound's source entries: adding a source (decoded to a WAV
// image, held as a file image, or read from the caller's stream), the one
// format every entry shares, the six-second ring or a share of another
// sound's ring, and the claim of that ring. Calls the decoders, the WAV
// image writer, the file layer, the play buffers and the log.
#include "core/file/filefuncs.h"
#include "core/log.h"
#include "core/memory.h"
#include "sound/soundrec.h"
#include "sound/streamsound.h"
#include "sound/wavimage.h"

#include <cstring>

namespace {

// The PCM bytes an entry gives. An Ogg source knows its exact length; its
// output size carries slack for the whole decode only.
long long EntryPcmBytes(STREAMSRC& src)
{
    if (src.Decoder.Kind == PCMCONV_KIND_OGGVORBIS) return src.Decoder.DataSize;
    return GetSoundDecoderOutputSize(&src.Decoder);
}

void CloseImageStream(STREAMSRC& src)
{
    if (src.ImageStream.Handle != 0) src.ImageStream.Funcs.Close(src.ImageStream.Handle);
    src.ImageStream = STREAMREF{};
}

void DropEntry(STREAMSRC& src)
{
    CloseSoundDecoder(&src.Decoder);
    CloseImageStream(src);
    FreeMemory(src.DataImage);
    src.DataImage = nullptr;
    src.DataImageSize = 0;
}

bool OpenImageStream(STREAMSRC& src)
{
    MEMSTREAM* image = OpenMemoryStream(src.DataImage, src.DataImageSize);
    if (image == nullptr) return false;
    src.ImageStream = STREAMREF{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(image)};
    return true;
}

// Data type 0: the whole source decoded now and kept as a PCM WAV image.
int PrepareDecodedImage(const STREAMREF* source, STREAMSRC& src)
{
    void* block = nullptr;
    int blockSize = 0;
    if (ReadWholeStreamToMemory(source, &block, &blockSize) == -1)
        return WriteLogFormat("音声データの読み込みに失敗しました");
    MEMSTREAM* temp = OpenMemoryStream(block, static_cast<std::uint32_t>(blockSize));
    PCMCONV decoder{};
    WAVEFORMATEX format{};
    void* pcm = nullptr;
    int pcmSize = 0;
    bool decoded = false;
    if (temp != nullptr) {
        STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(temp)};
        decoded = SetupSoundDecoder(&ref, &decoder) == 0 &&
                  DecodeWholeSoundSource(&decoder, &format, &pcm, &pcmSize) == 0;
        CloseSoundDecoder(&decoder);
        CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(temp));
    }
    FreeMemory(block);
    if (!decoded) return WriteLogFormat("音声データの変換に失敗しました");
    void* image = nullptr;
    int imageSize = 0;
    const int built = BuildWaveImage(&image, &imageSize, &format, sizeof format, pcm, pcmSize);
    FreeMemory(pcm);
    if (built == -1) return WriteLogFormat("音声データの変換に失敗しました");
    src.DataImage = static_cast<std::uint8_t*>(image);
    src.DataImageSize = static_cast<std::uint32_t>(imageSize);
    if (!OpenImageStream(src)) {
        FreeMemory(src.DataImage);
        src.DataImage = nullptr;
        return WriteLogFormat("音声データの変換に失敗しました");
    }
    SetupSoundDecoder(&src.ImageStream, &src.Decoder);
    return 0;
}

// Data type 2: the source file's bytes held in memory and decoded while playing.
int PrepareHeldImage(const STREAMREF* source, STREAMSRC& src)
{
    void* block = nullptr;
    int blockSize = 0;
    if (ReadWholeStreamToMemory(source, &block, &blockSize) == -1)
        return WriteLogFormat("音声データの読み込みに失敗しました");
    src.DataImage = static_cast<std::uint8_t*>(block);
    src.DataImageSize = static_cast<std::uint32_t>(blockSize);
    if (!OpenImageStream(src) || SetupSoundDecoder(&src.ImageStream, &src.Decoder) == -1) {
        CloseImageStream(src);
        FreeMemory(src.DataImage);
        src.DataImage = nullptr;
        return WriteLogFormat("音声データのオープンに失敗しました");
    }
    return 0;
}

bool IsOwnRingStreamSound(const SOUNDREC* rec)
{
    return rec != nullptr && rec->StreamFlag == 1 && rec->ShareHandle == -1 && rec->Buffer[0].Valid == 1;
}

} // namespace

int AddSreamSound(const STREAMREF* source, int loopCount, int handle, int dataType, int* sourceCopied,
                  int shareHandle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    if (rec->StreamNum > 0) {
        if (rec->StreamFlag != 1)
            return WriteLog("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
        PLAYBUF* buffer = nullptr;
        std::uint32_t status = 0;
        if (ClaimStreamBuffer(handle, rec, &buffer, 0) == 0 && IsPlayBufferPlaying(buffer, &status) == 0 &&
            (status & DSBSTATUS_PLAYING))
            return WriteLog("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
        if (rec->StreamNum >= SOUND_STREAM_SOURCE_MAX)
            return WriteLog("ストリーム風サウンドの制御データ領域がいっぱいです\n");
    }
    // Only these types say how to get the PCM; anything else would leave the
    // entry without a decoder and the ring without a format.
    if (dataType != 0 && dataType != 2 && dataType != 3)
        return WriteLogFormat("対応していない音声データの形式が指定されました in AddSreamSound");

    STREAMSRC& src = rec->Stream[rec->StreamNum];
    std::memset(static_cast<void*>(&src), 0, sizeof src);
    src.DataType = static_cast<std::uint32_t>(dataType);
    source->Funcs.Seek(source->Handle, 0, 0);
    if (dataType == 0) {
        if (PrepareDecodedImage(source, src) == -1) return -1;
        *sourceCopied = 1;
    } else if (dataType == 2) {
        if (PrepareHeldImage(source, src) == -1) return -1;
        *sourceCopied = 1;
    } else {
        if (SetupSoundDecoder(source, &src.Decoder) == -1) return WriteLogFormat("音声データのオープンに失敗しました");
        *sourceCopied = 0;
    }

    WAVEFORMATEX format{};
    GetSoundDecoderFormat(&src.Decoder, &format);
    if (rec->StreamNum > 0) {
        if (std::memcmp(&format, &rec->BufferFormat, sizeof format) != 0) {
            DropEntry(src);
            return WriteLogFormat("フォーマットの違う音声データは同時に使うことは出来ません");
        }
    } else {
        // A ring no buffer can take would end the process: such a source only fails its add.
        const unsigned long long ring = 6ull * format.nAvgBytesPerSec;
        if (ring > DSBSIZE_MAX || !IsPlayableFormat(format, static_cast<std::uint32_t>(ring))) {
            DropEntry(src);
            return WriteLogFormat("音声データのオープンに失敗しました");
        }
        rec->BufferFormat = format;
        SOUNDREC* owner = shareHandle != -1 ? LookupSoundRecord(shareHandle) : nullptr;
        if (owner != rec && IsOwnRingStreamSound(owner) &&
            std::memcmp(&owner->BufferFormat, &format, sizeof format) == 0) {
            rec->StreamFlag = 1;
            rec->BufferNum = 1;
            InsertListNode(&SoundState.StreamListFirst, &rec->StreamListNode, handle, rec);
            rec->ShareHandle = shareHandle;
            owner->ShareCount += 1;
        } else {
            CreateSoundBuffers(&format, 6 * format.nAvgBytesPerSec, 1, 1, handle);
            rec->RingSize = 6 * format.nAvgBytesPerSec;
            rec->ShareHandle = -1;
        }
        rec->ShareCount = 0;
        rec->BufferUser = -1;
        rec->RingWriter = -1;
        rec->DeletePending = 0;
    }
    src.LoopCount = static_cast<std::uint8_t>(loopCount);
    rec->StreamNum += 1;

    long long total = 0;
    for (int i = 0; i < rec->StreamNum; ++i) total += EntryPcmBytes(rec->Stream[i]) / rec->BufferFormat.nBlockAlign;
    rec->TotalSample = static_cast<int>(std::min<long long>(total, 0x7FFFFFFF));
    return 0;
}

int AddStreamSoundFile(const char* path, int loopCount, int handle, int dataType, int shareHandle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    const FILEHANDLE file = OpenLibraryFile(path, 0, 1, 0);
    if (file == 0) return WriteLogFormat("右記のＷＡＶファイルのロードに失敗しました：%s \n", path);
    const STREAMREF ref{*GetFileStreamFunctions(), static_cast<STREAMHANDLE>(file)};
    int copied = 0;
    if (AddSreamSound(&ref, loopCount, handle, dataType, &copied, shareHandle) == -1) {
        CloseLibraryFile(file);
        return WriteLogFormat("右記のＷＡＶファイルのセットアップに失敗しました：%s \n", path);
    }
    if (copied == 1) CloseLibraryFile(file);
    rec->StreamOwned[rec->StreamNum - 1] = 1;
    return 0;
}

int AddStreamSoundMemImage(const void* image, int size, int loopCount, int handle, int dataType, int shareHandle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    if (dataType == 3) dataType = 2;
    MEMSTREAM* stream = OpenMemoryStream(image, static_cast<std::uint32_t>(size < 0 ? 0 : size));
    if (stream == nullptr) return WriteLogFormat("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
    const STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(stream)};
    int copied = 0;
    if (AddSreamSound(&ref, loopCount, handle, dataType, &copied, shareHandle) == -1) {
        CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream));
        return WriteLogFormat("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
    }
    if (copied == 1) CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream));
    rec->StreamOwned[rec->StreamNum - 1] = 1;
    return 0;
}

int ClaimStreamBuffer(int handle, SOUNDREC* rec, PLAYBUF** out, int takeOver)
{
    if (rec->StreamFlag != 1) {
        *out = &rec->Buffer[0];
        return 0;
    }
    SOUNDREC* owner = rec;
    *out = &rec->Buffer[0];
    if (rec->ShareHandle != -1) {
        owner = LookupSoundRecord(rec->ShareHandle);
        if (owner == nullptr) return -1;
        *out = &owner->Buffer[0];
    }
    if (owner->BufferUser != -1 && owner->BufferUser != handle) {
        if (takeOver == 0) return -1;
        StopStreamSound(owner->BufferUser);
    }
    owner->BufferUser = handle;
    // The ring holds another sound's data: this one starts again from its top.
    if (owner->RingWriter != handle) {
        if (owner->RingWriter != -1) RestartStreamSound(rec);
        owner->RingWriter = handle;
    }
    return 0;
}
