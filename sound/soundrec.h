// The sound table and its records: SOUNDREC with its play buffers (PLAYBUF),
// a stream sound's source entries (STREAMSRC), the LOCKAREA a refill writes
// through, and the play-buffer operations over the DirectSound stand-in.
#pragma once

#include "core/nodelist.h"
#include "core/handle.h"
#include "platform/dsound/dsound.h"
#include "sound/decoder.h"

#include <cstdint>

constexpr int SOUND_BUFFER_MAX = 10;
constexpr int SOUND_STREAM_MAX = 4;
// Sources a stream sound plays in turn.
constexpr int SOUND_STREAM_SOURCE_MAX = 3;
constexpr int SOUND_LOOP_POINT_MAX = 31;

struct PLAYBUF {
    std::uint32_t Valid;
    IDirectSoundBuffer* DSBuffer;
};

struct STREAMSRC {
    std::uint8_t LoopCount;
    std::uint32_t DataType;
    std::uint8_t* DataImage;
    std::uint32_t DataImageSize;
    STREAMREF ImageStream;
    std::uint32_t LoopStartSample;
    PCMCONV Decoder;
};

struct LOCKAREA {
    std::uint32_t Offset;
    std::uint8_t* Ptr1;
    std::uint8_t* Ptr2;
    std::uint32_t Size1;
    std::uint32_t Size2;
    std::uint32_t Used1;
    std::uint32_t Used2;
    std::uint32_t Left1;
    std::uint32_t Left2;
};

struct SOUNDREC {
    std::uint32_t Check;
    PLAYBUF Buffer[SOUND_BUFFER_MAX];
    WAVEFORMATEX BufferFormat;
    int StreamFlag;
    int StreamPlayType;
    int ShareHandle;
    int ShareCount;
    int BufferUser;
    int RingWriter;   // owner: the sound whose data the ring holds, or -1
    int DeletePending;
    std::uint32_t RingSize;
    int WritePos;
    int RefillGuardPos;
    STREAMSRC Stream[SOUND_STREAM_MAX];
    std::uint8_t StreamOwned[SOUND_STREAM_MAX];
    int StreamNum;
    int StreamPlayIndex;
    int StreamPassCount;
    int StreamReadPos;
    int TotalSample;
    std::uint32_t PlayedBytes;
    std::uint32_t LastPlayCursor;
    std::uint8_t StartFlag;
    std::uint8_t EndMarkFlag;
    std::uint8_t LoopPendingFlag;
    std::uint8_t DataEndFlag;
    int LoopStartOffset;
    int EndDataPos;
    int EndPlayCursor;
    int LoopWritePos;
    // Overrun watch: the clock at the last count (whole turns of the ring
    // show only in time), 1 while the cursor has run past the written data
    // and plays stale audio, and the bytes left from the counted cursor to
    // the end of the data once the end is written (negative: passed).
    std::uint64_t LastCountTime;
    std::uint8_t StarvedFlag;
    std::int64_t EndDistance;
    // Restart points written behind the pending one while the cursor has not
    // reached it yet (a loop shorter than the lead): ring offset and count value.
    int LoopLaterCount;
    int LoopLaterPos[SOUND_LOOP_POINT_MAX];
    int LoopLaterOffset[SOUND_LOOP_POINT_MAX];
    LISTNODE StreamListNode;
    std::uint32_t PcmSize;
    std::uint8_t* PcmData;
    std::uint32_t BufferSkipFill[SOUND_BUFFER_MAX];
    int BufferNum;
    int BufferPlayIndex;
};

using SOUNDTABLE = HANDLETABLE<SOUNDREC, HANDLECAP_SOUND, HANDLETAG_SOUND>;

// The sound system's state block: the DirectSound object and what start-up
// makes with it, the modes, the stream-sound list and the sound table.
struct SOUNDSTATE {
    IDirectSound* DirectSound;
    IDirectSoundBuffer* PrimaryBuffer;
    IDirectSoundBuffer* SilentBuffer;
    int MusicMode;
    int SoundLoadMode;
    int OggSampleBytes;
    LISTNODE StreamListFirst;
    LISTNODE StreamListLast;
    SOUNDTABLE Table;
};
extern SOUNDSTATE SoundState;

// The record of a handle, or null: also null while there is no DirectSound
// object, before the handle is looked at.
SOUNDREC* LookupSoundRecord(int handle);

int AddSoundData(int handle);
// What a play buffer takes, checked before any buffer is made: a refusal
// there would end the process, and bad input must only fail the load.
bool IsPlayableFormat(const WAVEFORMATEX& format, std::uint32_t bytes);
int FillSoundAreaWithSilence(const SOUNDREC* rec, LOCKAREA* area, std::uint32_t bytes);
int CreateSoundBuffers(const WAVEFORMATEX* format, std::uint32_t bytes, int streamFlag, int count, int handle);

int CreatePlayBuffer(PLAYBUF* buffer, const DSBUFFERDESC* desc);
int DuplicatePlayBuffer(PLAYBUF* buffer, const PLAYBUF* source);
int ReleasePlayBuffer(PLAYBUF* buffer);
int StartPlayBuffer(PLAYBUF* buffer, int loop);
int HaltPlayBuffer(PLAYBUF* buffer);
int IsPlayBufferPlaying(PLAYBUF* buffer, std::uint32_t* status);
int LockPlayBuffer(PLAYBUF* buffer, std::uint32_t offset, std::uint32_t bytes, void** ptr1, std::uint32_t* size1,
                   void** ptr2, std::uint32_t* size2);
int UnlockPlayBuffer(PLAYBUF* buffer, void* ptr1, std::uint32_t size1, void* ptr2, std::uint32_t size2);
int SetPlayBufferVolume(PLAYBUF* buffer, int volume);
int SetPlayBufferPosition(PLAYBUF* buffer, std::uint32_t position);
// The play cursor in bytes; -1 when it cannot be read.
int GetPlayBufferCursor(PLAYBUF* buffer, std::uint32_t* cursor);
