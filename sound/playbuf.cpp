// Owns the sound table (the SOUNDSTATE block), record adding and lookup, the
// play-buffer wrapper over DirectSound buffers, the making of a sound's
// buffers and the silence fill. Calls the allocator, the log and the fatal exit.
#include "sound/soundrec.h"

#include "core/log.h"
#include "core/fatalexit.h"

#include <algorithm>
#include <cstring>

SOUNDSTATE SoundState{};

namespace {

constexpr DWORD kStaticFlags =
    DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_STATIC;
constexpr DWORD kReducedFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_STATIC;

DSBUFFERDESC MakeDesc(DWORD flags, DWORD bytes, const WAVEFORMATEX* format)
{
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = flags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = const_cast<WAVEFORMATEX*>(format);
    return desc;
}

} // namespace

SOUNDREC* LookupSoundRecord(int handle)
{
    if (SoundState.DirectSound == nullptr) return nullptr;
    return GetHandleRecord(SoundState.Table, handle);
}

bool IsPlayableFormat(const WAVEFORMATEX& f, std::uint32_t bytes)
{
    if (f.wFormatTag != WAVE_FORMAT_PCM || f.nChannels < 1 || f.nChannels > 2) return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16 && f.wBitsPerSample != 24 && f.wBitsPerSample != 32)
        return false;
    if (f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX) return false;
    if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8 || f.nAvgBytesPerSec != f.nSamplesPerSec * f.nBlockAlign)
        return false;
    return bytes >= DSBSIZE_MIN && bytes >= f.nBlockAlign && bytes <= DSBSIZE_MAX;
}

int AddSoundData(int handle)
{
    SOUNDTABLE& t = SoundState.Table;
    int slot;
    if (handle != -1) {
        slot = handle & HANDLE_SLOT_MASK;
        // A given handle must name an empty slot of this table.
        if (handle < 0 || (handle & HANDLE_TAG_MASK) != HANDLETAG_SOUND || slot >= static_cast<int>(t.Capacity) ||
            t.Records[slot] != nullptr)
            return -1;
    } else {
        slot = FindFreeHandleSlot(t);
        if (slot < 0) return WriteLog("サウンドの数が許容量を越えました\n");
    }
    if (AllocHandleRecord(t, slot, "", 0) == nullptr) return WriteLog("メモリ領域の確保に失敗しました in AddSoundData\n");
    if (handle == -1) {
        handle = CommitHandleRecord(t, slot);
    } else {
        t.Records[slot]->Check = static_cast<std::uint32_t>((handle & HANDLE_CHECK_MASK) >> 16);
        ++t.Count;
    }
    if (t.Count > t.HighWater) t.HighWater = t.Count;
    return handle;
}

int FillSoundAreaWithSilence(const SOUNDREC* rec, LOCKAREA* area, std::uint32_t bytes)
{
    const int silence = rec->BufferFormat.wBitsPerSample == 8 ? 127 : 0;
    while (bytes > 0) {
        if (area->Left1 > 0) {
            const std::uint32_t n = std::min(bytes, area->Left1);
            std::memset(area->Ptr1 + area->Used1, silence, n);
            area->Used1 += n;
            area->Left1 -= n;
            bytes -= n;
        } else if (area->Left2 > 0) {
            const std::uint32_t n = std::min(bytes, area->Left2);
            std::memset(area->Ptr2 + area->Used2, silence, n);
            area->Used2 += n;
            area->Left2 -= n;
            bytes -= n;
        } else {
            break;
        }
    }
    return 0;
}

int CreateSoundBuffers(const WAVEFORMATEX* format, std::uint32_t bytes, int streamFlag, int count, int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    if (streamFlag == 0) {
        int made = 0;
        for (int i = 0; i < std::min(count, SOUND_BUFFER_MAX); ++i) {
            if (i == 0) {
                DSBUFFERDESC desc = MakeDesc(kStaticFlags, bytes, format);
                if (CreatePlayBuffer(&rec->Buffer[0], &desc) == -1) {
                    desc = MakeDesc(kReducedFlags, bytes, format);
                    if (CreatePlayBuffer(&rec->Buffer[0], &desc) == -1)
                        ExitWithFatalError("DirectSoundBuffer の作成に失敗しました");
                }
            } else if (DuplicatePlayBuffer(&rec->Buffer[i], &rec->Buffer[0]) == -1) {
                break;
            }
            rec->BufferSkipFill[i] = 0;
            made = i + 1;
        }
        // A count below 1 is kept as given: such a sound has no buffer to play.
        rec->BufferNum = count < 1 ? count : made;
    } else {
        DSBUFFERDESC desc = MakeDesc(kStaticFlags | DSBCAPS_GETCURRENTPOSITION2, 6 * format->nAvgBytesPerSec, format);
        if (CreatePlayBuffer(&rec->Buffer[0], &desc) == -1)
            ExitWithFatalError("ストリーム風サウンドバッファの作成に失敗しました");
        rec->BufferNum = 1;
    }
    rec->StreamFlag = streamFlag;
    if (streamFlag == 1) InsertListNode(&SoundState.StreamListFirst, &rec->StreamListNode, handle, rec);
    return 0;
}

int CreatePlayBuffer(PLAYBUF* b, const DSBUFFERDESC* desc)
{
    if (b->Valid == 1) return -1;
    b->DSBuffer = nullptr;
    if (FAILED(SoundState.DirectSound->CreateSoundBuffer(desc, &b->DSBuffer, nullptr))) return -1;
    b->Valid = 1;
    return 0;
}

int DuplicatePlayBuffer(PLAYBUF* b, const PLAYBUF* source)
{
    if (b->Valid == 1 || source->Valid == 0) return -1;
    if (FAILED(SoundState.DirectSound->DuplicateSoundBuffer(source->DSBuffer, &b->DSBuffer))) return -1;
    b->Valid = 1;
    return 0;
}

int ReleasePlayBuffer(PLAYBUF* b)
{
    if (b->Valid == 0) return -1;
    b->DSBuffer->Release();
    b->DSBuffer = nullptr;
    b->Valid = 0;
    return 0;
}

int StartPlayBuffer(PLAYBUF* b, int loop)
{
    if (b->Valid == 0) return -1;
    b->DSBuffer->Play(0, 0, loop != 0 ? DSBPLAY_LOOPING : 0);
    return 0;
}

int HaltPlayBuffer(PLAYBUF* b)
{
    if (b->Valid == 0) return -1;
    b->DSBuffer->Stop();
    return 0;
}

int IsPlayBufferPlaying(PLAYBUF* b, std::uint32_t* status)
{
    if (b->Valid == 0) return -1;
    DWORD s = 0;
    if (FAILED(b->DSBuffer->GetStatus(&s))) return -1;
    if (status != nullptr) *status = s;
    return 0;
}

int LockPlayBuffer(PLAYBUF* b, std::uint32_t offset, std::uint32_t bytes, void** ptr1, std::uint32_t* size1,
                   void** ptr2, std::uint32_t* size2)
{
    if (b->Valid == 0) return -1;
    return FAILED(b->DSBuffer->Lock(offset, bytes, ptr1, size1, ptr2, size2, 0)) ? -1 : 0;
}

int UnlockPlayBuffer(PLAYBUF* b, void* ptr1, std::uint32_t size1, void* ptr2, std::uint32_t size2)
{
    if (b->Valid == 0) return -1;
    return FAILED(b->DSBuffer->Unlock(ptr1, size1, ptr2, size2)) ? -1 : 0;
}

int SetPlayBufferVolume(PLAYBUF* b, int volume)
{
    if (b->Valid == 0) return -1;
    b->DSBuffer->SetVolume(volume);
    return 0;
}

int SetPlayBufferPosition(PLAYBUF* b, std::uint32_t position)
{
    if (b->Valid == 0) return -1;
    b->DSBuffer->SetCurrentPosition(position);
    return 0;
}

int GetPlayBufferCursor(PLAYBUF* b, std::uint32_t* cursor)
{
    if (b->Valid == 0) return -1;
    DWORD play = 0;
    if (FAILED(b->DSBuffer->GetCurrentPosition(&play, nullptr))) return -1;
    *cursor = play;
    return 0;
}
