// Owns the operations on whole sounds: creating one from a file or a file
// image, playing it on its buffers in turn, stopping, volume, position,
// length, the load mode and deletion. Calls the decoders, the play buffers,
// the stream sounds, the message loop (play and wait) and the log.
#include "sound/sound.h"

#include "core/log.h"
#include "core/memory.h"
#include "core/inactivewait.h"
#include "core/number.h"
#include "platform/kernel/clock.h"
#include "sound/soundrec.h"
#include "sound/streamsound.h"

#include <cmath>
#include <cstring>

namespace {

int FailCreation(int handle, MEMSTREAM* stream, PCMCONV* decoder)
{
    DiscardSoundHandle(handle);
    if (stream != nullptr) CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream));
    CloseSoundDecoder(decoder);
    return -1;
}

// Copies the PCM into every buffer (duplicates share memory, and get it too).
int FillSoundBuffers(SOUNDREC* rec)
{
    for (int i = 0; i < rec->BufferNum; ++i) {
        if (rec->BufferSkipFill[i] == 1) continue;
        void* p1 = nullptr;
        void* p2 = nullptr;
        std::uint32_t s1 = 0, s2 = 0;
        if (LockPlayBuffer(&rec->Buffer[i], 0, rec->PcmSize, &p1, &s1, &p2, &s2) == -1)
            return WriteLog("サウンドデータの転送に失敗しました_1\n");
        std::memcpy(p1, rec->PcmData, s1);
        if (p2 != nullptr) std::memcpy(p2, rec->PcmData + s1, s2);
        if (UnlockPlayBuffer(&rec->Buffer[i], p1, s1, p2, s2) == -1)
            return WriteLog("サウンドデータの転送に失敗しました_2\n");
    }
    return 0;
}

} // namespace

int CreateSoundFromFile(const char* path, int bufferCount, int shareHandle)
{
    if (SoundState.DirectSound == nullptr) return -1;
    if (bufferCount > SOUND_BUFFER_MAX) bufferCount = SOUND_BUFFER_MAX;
    if (SoundState.SoundLoadMode != 0) {
        const int handle = AddSoundData(-1);
        if (handle == -1) return -1;
        if (AddStreamSoundFile(path, 0, handle, SoundState.SoundLoadMode, shareHandle) == -1) {
            DiscardSoundHandle(handle);
            return -1;
        }
        PrimeStreamSound(handle);
        return handle;
    }
    void* image = nullptr;
    int size = 0;
    if (LoadSoundFileToMemory(path, &image, &size) == -1)
        return WriteLogFormat("右記の音声ファイルのロードに失敗しました_1：%s", path);
    const int handle = CreateSoundFromMemory(image, size, bufferCount, -1);
    FreeMemory(image);
    if (handle == -1) return WriteLogFormat("右記の音声ファイルのロードに失敗しました_2：%s", path);
    return handle;
}

int ForwardCreateSoundFromFile(const char* path, int bufferCount, int shareHandle)
{
    return CreateSoundFromFile(path, bufferCount, shareHandle);
}

int CreateSoundFromMemory(const void* image, int size, int bufferCount, int shareHandle)
{
    if (SoundState.DirectSound == nullptr || bufferCount > SOUND_BUFFER_MAX) return -1;
    // No image is no stream to read: no decoder could recognise it.
    if (image == nullptr) return WriteLogFormat("音声ファイルのＰＣＭへの変換に失敗しました");
    const int handle = AddSoundData(-1);
    if (handle == -1) return -1;
    if (SoundState.SoundLoadMode != 0) {
        if (AddStreamSoundMemImage(image, size, 0, handle, SoundState.SoundLoadMode, shareHandle) == -1) {
            DiscardSoundHandle(handle);
            return -1;
        }
        PrimeStreamSound(handle);
        return handle;
    }

    PCMCONV decoder{};
    MEMSTREAM* stream = OpenMemoryStream(image, static_cast<std::uint32_t>(size < 0 ? 0 : size));
    if (stream == nullptr) {
        WriteLogFormat("音声ファイルのＰＣＭへの変換に失敗しました");
        return FailCreation(handle, nullptr, &decoder);
    }
    STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(stream)};
    if (SetupSoundDecoder(&ref, &decoder) == -1) {
        WriteLogFormat("音声ファイルのＰＣＭへの変換に失敗しました");
        return FailCreation(handle, stream, &decoder);
    }
    WAVEFORMATEX format{};
    void* pcm = nullptr;
    int pcmSize = 0;
    if (DecodeWholeSoundSource(&decoder, &format, &pcm, &pcmSize) == -1) {
        WriteLogFormat("音声ファイルを格納するメモリ領域の確保に失敗しました");
        return FailCreation(handle, stream, &decoder);
    }
    CloseSoundDecoder(&decoder);
    CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream));
    if (format.nBlockAlign != 0) pcmSize -= pcmSize % format.nBlockAlign;
    // An empty sound, or one no buffer can hold, fails the load only.
    if (!IsPlayableFormat(format, static_cast<std::uint32_t>(pcmSize))) {
        FreeMemory(pcm);
        WriteLogFormat("音声ファイルのＰＣＭへの変換に失敗しました");
        return FailCreation(handle, nullptr, &decoder);
    }
    if (CreateSoundBuffers(&format, static_cast<std::uint32_t>(pcmSize), 0, bufferCount, handle) == -1) {
        FreeMemory(pcm);
        return FailCreation(handle, nullptr, &decoder);
    }
    SOUNDREC* rec = LookupSoundRecord(handle);
    rec->BufferFormat = format;
    rec->PcmData = static_cast<std::uint8_t*>(pcm);
    rec->PcmSize = static_cast<std::uint32_t>(pcmSize);
    if (FillSoundBuffers(rec) == -1) return FailCreation(handle, nullptr, &decoder);
    return handle;
}

int CheckSoundPlaying(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    if (rec->StreamFlag == 1) return IsStreamSoundPlaying(handle);
    for (int i = 0; i < rec->BufferNum; ++i) {
        std::uint32_t status = 0;
        if (IsPlayBufferPlaying(&rec->Buffer[i], &status) == 0 && (status & DSBSTATUS_PLAYING)) return 1;
    }
    return 0;
}

int PlaySoundToHandle(int handle, int playType, int fromStart)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    if (rec->StreamFlag == 1) return PlayStreamSound(handle, playType, fromStart);
    // A sound made with no buffer has nothing to play.
    if (rec->BufferNum < 1) return -1;
    std::uint32_t cursor = 0;
    if (rec->BufferPlayIndex < rec->BufferNum) GetPlayBufferCursor(&rec->Buffer[rec->BufferPlayIndex], &cursor);
    rec->BufferPlayIndex += 1;
    if (rec->BufferPlayIndex >= rec->BufferNum) rec->BufferPlayIndex = 0;
    PLAYBUF* chosen = &rec->Buffer[rec->BufferPlayIndex];
    std::uint32_t status = 0;
    if (IsPlayBufferPlaying(chosen, &status) == -1) return -1;
    if (status & DSBSTATUS_PLAYING) {
        if (fromStart == 0) return 0;
        HaltPlayBuffer(chosen);
    }
    SetPlayBufferPosition(chosen, fromStart == 1 ? 0 : cursor);
    if (StartPlayBuffer(chosen, playType == SOUND_PLAYTYPE_LOOP ? 1 : 0) == -1) return -1;
    if (playType == SOUND_PLAYTYPE_WAIT && PumpMessageLoop() == 0) {
        while (CheckSoundPlaying(handle) == 1) {
            Sleep(1);
            if (PumpMessageLoop() != 0) break;
        }
    }
    return 0;
}

int StopSoundToHandle(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    if (rec->StreamFlag == 1) return StopStreamSound(handle);
    for (int i = 0; i < rec->BufferNum; ++i) {
        std::uint32_t status = 0;
        if (IsPlayBufferPlaying(&rec->Buffer[i], &status) == -1) return -1;
        if (status & DSBSTATUS_PLAYING) HaltPlayBuffer(&rec->Buffer[i]);
    }
    return 0;
}

int VolumeToHundredthsOfDecibel(int volume)
{
    if (volume > 255) volume = 255;
    if (volume <= 0) return DSBVOLUME_MIN;
    const int level = TruncDoubleToInt(1000.0 * std::log10(volume * (1.0 / 255)));
    return level < DSBVOLUME_MIN ? DSBVOLUME_MIN : level;
}

int SetVolumeToHandle(int volume, int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    const int level = VolumeToHundredthsOfDecibel(volume);
    for (int i = 0; i < rec->BufferNum; ++i) SetPlayBufferVolume(&rec->Buffer[i], level);
    return 0;
}

int GetSoundPlayPositionMs(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    if (rec->StreamFlag == 1) return GetStreamSoundPositionMs(handle);
    std::uint32_t cursor = 0;
    if (rec->BufferNum < 1 || GetPlayBufferCursor(&rec->Buffer[rec->BufferPlayIndex], &cursor) == -1) return -1;
    const double rate = static_cast<double>(rec->BufferFormat.nBlockAlign) * rec->BufferFormat.nSamplesPerSec;
    return TruncDoubleToInt(cursor * 1000.0 / rate);
}

int GetSoundTotalSample(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    if (rec->StreamFlag == 1) return rec->TotalSample;
    if (rec->BufferFormat.nBlockAlign == 0) return 0;
    return static_cast<int>(rec->PcmSize / rec->BufferFormat.nBlockAlign);
}

int GetSoundTotalTimeMs(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    const std::uint32_t rate = rec->BufferFormat.nSamplesPerSec;
    if (rate == 0) return 0;
    return TruncDoubleToInt(GetSoundTotalSample(handle) * 1000.0 / rate);
}

int SetSoundLoadMode(int mode)
{
    if (mode < 0 || mode > 3) return -1;
    SoundState.SoundLoadMode = mode;
    return 0;
}

int GetSoundLoadMode()
{
    return SoundState.SoundLoadMode;
}

int DiscardSoundHandle(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    if (rec->StreamFlag == 1) {
        StopStreamSound(handle);
    } else if (rec->Buffer[0].Valid) {
        StopSoundToHandle(handle);
    }
    if (rec->StreamFlag != 1) {
        for (int i = 0; i < rec->BufferNum; ++i)
            if (rec->Buffer[i].Valid) ReleasePlayBuffer(&rec->Buffer[i]);
        FreeMemory(rec->PcmData);
        rec->PcmData = nullptr;
    } else {
        if (rec->ShareHandle != -1) {
            if (SOUNDREC* owner = LookupSoundRecord(rec->ShareHandle)) {
                owner->ShareCount -= 1;
                if (owner != rec && owner->DeletePending == 1) DiscardSoundHandle(rec->ShareHandle);
            }
        }
        if (rec->ShareCount != 0) {
            rec->DeletePending = 1;
            return 0;
        }
        UnlinkListNode(&rec->StreamListNode);
        for (int i = 0; i < rec->StreamNum; ++i) {
            STREAMSRC& src = rec->Stream[i];
            const STREAMREF decoderSource = src.Decoder.Source;
            CloseSoundDecoder(&src.Decoder);
            FreeMemory(src.DataImage);
            src.DataImage = nullptr;
            if (rec->StreamOwned[i] == 1 && src.DataType == 3 && decoderSource.Handle != 0)
                decoderSource.Funcs.Close(decoderSource.Handle);
            if (src.ImageStream.Handle != 0) src.ImageStream.Funcs.Close(src.ImageStream.Handle);
        }
        if (rec->Buffer[0].Valid) ReleasePlayBuffer(&rec->Buffer[0]);
    }
    ReleaseHandleRecord(SoundState.Table, handle);
    // An empty table starts from slot 0 again, whatever slot went last.
    if (SoundState.Table.Count == 0) SoundState.Table.HighWater = 0;
    return 0;
}
