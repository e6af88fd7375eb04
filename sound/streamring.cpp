// Owns the stream ring while a stream sound plays: the first fill, the
// keep-ahead refill from the source entries with repeats and loops, the
// silence behind the end and the stop, the played-bytes count behind the
// position, and play, stop and the playing test. Calls the decoders, the
// play buffers, the stream sources' claim and the message loop.
#include "core/clock.h"
#include "core/inactivewait.h"
#include "core/number.h"
#include "platform/kernel/clock.h"
#include "sound/sound.h"
#include "sound/soundrec.h"
#include "sound/streamsound.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kUnfilled = -800;

struct RingShape {
    std::uint32_t A;  // bytes per second
    std::uint32_t B;  // bytes per frame
    std::uint32_t R;  // ring bytes
};

RingShape ShapeOf(const SOUNDREC* rec)
{
    const std::uint32_t a = rec->BufferFormat.nAvgBytesPerSec;
    return {a, std::max<std::uint32_t>(rec->BufferFormat.nBlockAlign, 1), 6 * a};
}

std::uint32_t WholeFrames(std::uint64_t bytes, std::uint32_t b)
{
    return static_cast<std::uint32_t>(bytes / b * b);
}

// Bytes from ring offset `from` forward to `to`.
std::uint32_t RingDistance(std::uint32_t from, std::uint32_t to, const RingShape& s)
{
    return to >= from ? to - from : s.R - from + to;
}

// The written data ahead of the counted cursor. More than four seconds means
// the ring is full: the cursor lies behind the window, not past its end.
std::uint32_t LeadBytes(const SOUNDREC* rec, const RingShape& s)
{
    return RingDistance(rec->LastPlayCursor, static_cast<std::uint32_t>(rec->WritePos), s);
}

void AdvanceWritePos(SOUNDREC* rec, const RingShape& s, std::uint32_t n)
{
    std::uint32_t w = static_cast<std::uint32_t>(rec->WritePos) + n;
    if (w >= s.R) w -= s.R;
    rec->WritePos = static_cast<int>(w);
    long long g = static_cast<long long>(w) - 4ll * s.A;
    if (g < 0) g += s.R;
    rec->RefillGuardPos = static_cast<int>(g);
}

// Locks n bytes at `at`; false (nothing to write through) when the lock fails.
bool LockArea(PLAYBUF* buffer, std::uint32_t at, std::uint32_t n, LOCKAREA* area)
{
    void* p1 = nullptr;
    void* p2 = nullptr;
    std::uint32_t s1 = 0, s2 = 0;
    if (n == 0 || LockPlayBuffer(buffer, at, n, &p1, &s1, &p2, &s2) == -1 || p1 == nullptr) return false;
    *area = LOCKAREA{at, static_cast<std::uint8_t*>(p1), static_cast<std::uint8_t*>(p2), s1, s2, 0, 0, s1,
                     p2 != nullptr ? s2 : 0};
    return true;
}

void UnlockArea(PLAYBUF* buffer, const LOCKAREA& area)
{
    UnlockPlayBuffer(buffer, area.Ptr1, area.Size1, area.Ptr2, area.Size2);
}

std::uint32_t WritePoint(const LOCKAREA& area, std::uint32_t ringBytes)
{
    if (area.Left1 > 0 || area.Size2 == 0) return (area.Offset + area.Size1 - area.Left1) % ringBytes;
    return area.Size2 - area.Left2;
}

void ClearLoopPoints(SOUNDREC* rec)
{
    rec->LoopPendingFlag = 0;
    rec->LoopLaterCount = 0;
}

void PopLoopPoint(SOUNDREC* rec)
{
    if (rec->LoopLaterCount == 0) {
        rec->LoopPendingFlag = 0;
        return;
    }
    rec->LoopWritePos = rec->LoopLaterPos[0];
    rec->LoopStartOffset = rec->LoopLaterOffset[0];
    rec->LoopLaterCount -= 1;
    std::copy_n(rec->LoopLaterPos + 1, rec->LoopLaterCount, rec->LoopLaterPos);
    std::copy_n(rec->LoopLaterOffset + 1, rec->LoopLaterCount, rec->LoopLaterOffset);
}

// A new restart point waits behind those the cursor has not reached; when
// too many wait, the oldest is given up.
void PushLoopPoint(SOUNDREC* rec, std::uint32_t position, int offset)
{
    if (rec->LoopPendingFlag == 0) {
        rec->LoopPendingFlag = 1;
        rec->LoopWritePos = static_cast<int>(position);
        rec->LoopStartOffset = offset;
        return;
    }
    if (rec->LoopLaterCount == SOUND_LOOP_POINT_MAX) PopLoopPoint(rec);
    rec->LoopLaterPos[rec->LoopLaterCount] = static_cast<int>(position);
    rec->LoopLaterOffset[rec->LoopLaterCount] = offset;
    rec->LoopLaterCount += 1;
}

void DropNewestLoopPoint(SOUNDREC* rec)
{
    if (rec->LoopLaterCount > 0) {
        rec->LoopLaterCount -= 1;
    } else {
        rec->LoopPendingFlag = 0;
    }
}

void MarkDataEnd(SOUNDREC* rec, LOCKAREA* area, std::uint32_t cursor, const RingShape& s)
{
    rec->DataEndFlag = 1;
    rec->EndMarkFlag = 1;
    rec->EndDataPos = static_cast<int>(WritePoint(*area, s.R));
    rec->EndPlayCursor = static_cast<int>(cursor);
    rec->EndDistance = RingDistance(rec->LastPlayCursor, static_cast<std::uint32_t>(rec->EndDataPos), s);
    FillSoundAreaWithSilence(rec, area, WholeFrames(s.A / 8, s.B));
}

// `restarted` := true when the data starts again from a loop point.
int Advance(SOUNDREC* rec, LOCKAREA* area, std::uint32_t cursor, bool* restarted)
{
    const RingShape s = ShapeOf(rec);
    *restarted = false;
    rec->StreamPassCount += 1;
    STREAMSRC& e = rec->Stream[rec->StreamPlayIndex];
    if (e.LoopCount == 255) {
        rec->StreamReadPos = static_cast<int>(e.LoopStartSample * s.B);
        PushLoopPoint(rec, WritePoint(*area, s.R), rec->StreamReadPos);
        SeekSoundDecoder(&e.Decoder, static_cast<int>(rec->StreamReadPos / s.B));
        *restarted = true;
        return 0;
    }
    if (rec->StreamPassCount > static_cast<std::int8_t>(e.LoopCount)) {
        rec->StreamPassCount = 0;
        rec->StreamPlayIndex += 1;
        if (rec->StreamPlayIndex >= rec->StreamNum) {
            if (rec->StreamPlayType == SOUND_PLAYTYPE_LOOP) {
                rec->DataEndFlag = 1;
                rec->StreamPlayIndex = 0;
                PushLoopPoint(rec, WritePoint(*area, s.R), 0);
                rec->StreamReadPos = 0;
                SeekSoundDecoder(&rec->Stream[0].Decoder, 0);
                *restarted = true;
                return 0;
            }
            MarkDataEnd(rec, area, cursor, s);
            return -1;
        }
        rec->StreamReadPos = 0;
        SeekSoundDecoder(&rec->Stream[rec->StreamPlayIndex].Decoder, 0);
        return 0;
    }
    rec->StreamReadPos = 0;
    SeekSoundDecoder(&e.Decoder, 0);
    return 0;
}

// Writes the sources into the area until it is full or the data has ended.
void FillFromSources(SOUNDREC* rec, LOCKAREA* area, std::uint32_t bytes, std::uint32_t cursor)
{
    const RingShape s = ShapeOf(rec);
    std::uint32_t remaining = bytes;
    // A loop point that gives no data before the next one is an empty loop:
    // it ends the data instead of spinning here.
    bool dataSinceRestart = true;
    while (remaining > 0 && rec->EndMarkFlag == 0) {
        const int got = ReadSourceIntoLockArea(area, &rec->Stream[rec->StreamPlayIndex].Decoder, remaining);
        if (got > 0) {
            rec->StreamReadPos += got;
            remaining -= static_cast<std::uint32_t>(got);
            dataSinceRestart = true;
            continue;
        }
        bool restarted = false;
        Advance(rec, area, cursor, &restarted);
        if (restarted) {
            if (!dataSinceRestart) {
                DropNewestLoopPoint(rec);
                MarkDataEnd(rec, area, cursor, s);
                break;
            }
            dataSinceRestart = false;
        }
    }
}

// The end is judged by the distance the cursor travelled, not by ring
// offsets, so a cursor that went round the ring during a stall still ends it.
bool StopIfPastEnd(SOUNDREC* rec, PLAYBUF* buffer)
{
    if (rec->EndMarkFlag != 1 || rec->EndDistance >= 0) return false;
    HaltPlayBuffer(buffer);
    rec->EndMarkFlag = 0;
    return true;
}

int RefillEndSilence(SOUNDREC* rec, PLAYBUF* buffer, const RingShape& s)
{
    if (StopIfPastEnd(rec, buffer)) return 0;
    const std::uint32_t n = WholeFrames(s.A / 8, s.B);
    if (LeadBytes(rec, s) > 4 * s.A) return 0;
    LOCKAREA area{};
    if (!LockArea(buffer, static_cast<std::uint32_t>(rec->WritePos), n, &area)) return 0;
    FillSoundAreaWithSilence(rec, &area, n);
    UnlockArea(buffer, area);
    AdvanceWritePos(rec, s, n);
    return 0;
}

// Back to the top of the first entry; the next play primes again.
void ResetStreamPosition(SOUNDREC* rec)
{
    rec->StreamReadPos = 0;
    rec->PlayedBytes = 0;
    rec->StreamPassCount = 0;
    rec->StreamPlayIndex = 0;
    ClearLoopPoints(rec);
    rec->StartFlag = 0;
}

// The bytes the cursor travelled since the last count: its move through the
// ring, plus the whole turns that the clock says it made while playing.
std::uint64_t CursorTravel(const SOUNDREC* rec, PLAYBUF* buffer, const RingShape& s, std::uint32_t pc,
                           ULONGLONG now)
{
    const std::uint64_t moved = RingDistance(rec->LastPlayCursor, pc, s);
    std::uint32_t status = 0;
    if (IsPlayBufferPlaying(buffer, &status) == -1 || !(status & DSBSTATUS_PLAYING) || now <= rec->LastCountTime) {
        return moved;
    }
    const double played = static_cast<double>(now - rec->LastCountTime) * s.A / 1000000.0;
    const double turns = std::floor((played - static_cast<double>(moved)) / s.R + 0.5);
    return turns > 0 ? moved + static_cast<std::uint64_t>(turns) * s.R : moved;
}

// Counts the cursor's move to pc; the latest restart point it passed sets the count.
void CountPlayed(SOUNDREC* rec, const RingShape& s, std::uint32_t pc)
{
    const std::uint32_t last = rec->LastPlayCursor;
    if (pc == last) return;
    bool restarted = false;
    while (rec->LoopPendingFlag == 1) {
        const auto q = static_cast<std::uint32_t>(rec->LoopWritePos);
        const bool passed = last < pc ? (last < q && q <= pc) : (q > last || q < pc);
        if (!passed) break;
        rec->PlayedBytes = static_cast<std::uint32_t>(rec->LoopStartOffset) + RingDistance(q, pc, s);
        PopLoopPoint(rec);
        restarted = true;
    }
    if (!restarted) rec->PlayedBytes += RingDistance(last, pc, s);
    rec->LastPlayCursor = pc;
}

} // namespace

void RestartStreamSound(SOUNDREC* rec)
{
    ResetStreamPosition(rec);
    rec->DataEndFlag = 0;
    rec->EndMarkFlag = 0;
}

int ReadSourceIntoLockArea(LOCKAREA* area, PCMCONV* decoder, std::uint32_t bytes)
{
    std::uint32_t total = 0;
    while (bytes > 0) {
        std::uint32_t* used;
        std::uint32_t* left;
        std::uint8_t* base;
        if (area->Left1 > 0) {
            used = &area->Used1;
            left = &area->Left1;
            base = area->Ptr1;
        } else if (area->Left2 > 0) {
            used = &area->Used2;
            left = &area->Left2;
            base = area->Ptr2;
        } else {
            break;
        }
        const std::uint32_t want = std::min(bytes, *left);
        const int got = ReadSoundDecoder(decoder, base + *used, static_cast<int>(want));
        if (got <= 0) break;
        *used += static_cast<std::uint32_t>(got);
        *left -= static_cast<std::uint32_t>(got);
        bytes -= static_cast<std::uint32_t>(got);
        total += static_cast<std::uint32_t>(got);
    }
    return static_cast<int>(total);
}

int RefillStreamSound(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    PLAYBUF* buffer = nullptr;
    if (rec->StreamFlag != 1 || ClaimStreamBuffer(handle, rec, &buffer, 0) == -1 || rec->StartFlag == 0) return 0;
    if (rec->StreamNum == 0 || buffer->Valid == 0) return 0;
    UpdateStreamPlayedBytes(handle, -1);
    const RingShape s = ShapeOf(rec);
    if (rec->EndMarkFlag == 1) return RefillEndSilence(rec, buffer, s);
    // Past the last entry nothing is left to read.
    if (rec->StreamPlayIndex >= rec->StreamNum) return 0;

    std::uint32_t status = 0;
    IsPlayBufferPlaying(buffer, &status);
    const bool first = !(status & DSBSTATUS_PLAYING);
    std::uint32_t n = 0;
    std::uint32_t pc = 0;
    std::uint32_t at = 0;
    bool overrun = false;
    if (first) {
        if (rec->WritePos != kUnfilled) return 0;
        n = WholeFrames(4ull * s.A, s.B);
    } else {
        // A playing sound still unfilled (its first fill's lock failed) waits for a stop.
        if (rec->WritePos == kUnfilled) return 0;
        n = WholeFrames(s.A / 8, s.B);
        pc = rec->LastPlayCursor;
        if (rec->StarvedFlag == 1) {
            // The cursor ran past the data while the pump was held up: writing
            // on where the data ended would be heard only after the stale
            // rest of the ring, so the data goes on at the cursor.
            rec->StarvedFlag = 0;
            rec->WritePos = static_cast<int>(pc);
            AdvanceWritePos(rec, s, 0);
            overrun = true;
        }
        const std::uint32_t ahead = LeadBytes(rec, s);
        if (ahead > 4 * s.A) return 0;
        const std::uint32_t lead = ahead * 128u / s.A;
        if (lead < 384) n = WholeFrames((384ull - lead) * s.A / 128, s.B);
        at = static_cast<std::uint32_t>(rec->WritePos);
    }
    LOCKAREA area{};
    // Without the lock nothing is written and the write position stays.
    if (!LockArea(buffer, at, n, &area)) return overrun ? -1 : 0;
    FillFromSources(rec, &area, n, pc);
    // Behind the end of the data the range is silence, never older audio.
    FillSoundAreaWithSilence(rec, &area, area.Left1 + area.Left2);
    UnlockArea(buffer, area);
    if (first) {
        rec->RefillGuardPos = 0;
        rec->WritePos = static_cast<int>(4 * s.A);
        return 0;
    }
    AdvanceWritePos(rec, s, n);
    return overrun ? -1 : 0;
}

int RefillAllStreamSounds()
{
    if (SoundState.DirectSound == nullptr) return -1;
    for (LISTNODE* node = SoundState.StreamListFirst.Next; node != nullptr && node->Next != nullptr;) {
        // The refill may end a sound whose node goes; read the next one first.
        LISTNODE* next = node->Next;
        RefillStreamSound(node->Handle);
        node = next;
    }
    return 0;
}

int UpdateStreamPlayedBytes(int handle, int cursor)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    PLAYBUF* buffer = nullptr;
    if (rec->StreamFlag != 1 || ClaimStreamBuffer(handle, rec, &buffer, 0) == -1 || rec->StartFlag == 0) return 0;
    const RingShape s = ShapeOf(rec);
    std::uint32_t pc = static_cast<std::uint32_t>(cursor);
    if (cursor == -1 && GetPlayBufferCursor(buffer, &pc) == -1) return 0;
    const ULONGLONG now = GetMicrosecondClock(0);
    const std::uint64_t travel = CursorTravel(rec, buffer, s, pc, now);
    rec->LastCountTime = now;
    if (travel == 0) return 0;
    if (rec->EndMarkFlag == 1) rec->EndDistance -= static_cast<std::int64_t>(travel);
    // Stale audio past the written data is not the sound's: the count holds
    // at the end of the data until the refill writes at the cursor again.
    if (rec->StarvedFlag == 0 && rec->WritePos >= 0 && travel > LeadBytes(rec, s)) {
        CountPlayed(rec, s, static_cast<std::uint32_t>(rec->WritePos));
        rec->StarvedFlag = 1;
    }
    if (rec->StarvedFlag == 1) {
        rec->LastPlayCursor = pc;
        return 0;
    }
    CountPlayed(rec, s, pc);
    return 0;
}

int PrimeStreamSound(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    PLAYBUF* buffer = nullptr;
    if (rec->StreamFlag != 1 || IsStreamSoundPlaying(handle) == 1) return 0;
    if (ClaimStreamBuffer(handle, rec, &buffer, 0) == -1 || rec->StartFlag == 1) return 0;
    if (rec->StreamPlayIndex >= rec->StreamNum) return 0;
    SetPlayBufferPosition(buffer, 0);
    rec->WritePos = kUnfilled;
    rec->RefillGuardPos = -1;
    rec->LastPlayCursor = 0;
    rec->LastCountTime = GetMicrosecondClock(0);
    rec->StarvedFlag = 0;
    rec->EndMarkFlag = 0;
    const std::uint32_t b = ShapeOf(rec).B;
    SeekSoundDecoder(&rec->Stream[rec->StreamPlayIndex].Decoder, static_cast<int>(rec->StreamReadPos / b));
    rec->StartFlag = 1;
    RefillStreamSound(handle);
    return 0;
}

int PlayStreamSound(int handle, int playType, int fromTop)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    PLAYBUF* buffer = nullptr;
    ClaimStreamBuffer(handle, rec, &buffer, 1);
    if (fromTop == 0 && IsStreamSoundPlaying(handle) == 1) return 0;
    StopStreamSound(handle);
    if (((playType ^ rec->StreamPlayType) & 2) != 0 && rec->DataEndFlag == 1) {
        rec->DataEndFlag = 0;
        ResetStreamPosition(rec);
    }
    if (fromTop == 1) {
        rec->DataEndFlag = 0;
        if (rec->PlayedBytes != 0) ResetStreamPosition(rec);
    }
    // A sound that has played to its end has nothing left to resume: it stays stopped.
    if (rec->StreamPlayIndex >= rec->StreamNum && rec->EndMarkFlag == 0) return 0;
    rec->StreamPlayType = playType;
    PrimeStreamSound(handle);
    if (buffer != nullptr && buffer->Valid == 1) StartPlayBuffer(buffer, 1);
    if (playType == SOUND_PLAYTYPE_WAIT && PumpMessageLoop() == 0) {
        while (CheckSoundPlaying(handle) == 1) {
            // The pump keeps the ring fed; a short sleep keeps the wait off the CPU.
            Sleep(1);
            if (PumpMessageLoop() != 0) break;
        }
    }
    return 0;
}

int StopStreamSound(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    UpdateStreamPlayedBytes(handle, -1);
    PLAYBUF* buffer = nullptr;
    if (ClaimStreamBuffer(handle, rec, &buffer, 0) == -1) return 0;
    if (rec->ShareHandle != -1) {
        if (SOUNDREC* owner = LookupSoundRecord(rec->ShareHandle)) owner->BufferUser = -1;
    }
    std::uint32_t status = 0;
    if (IsPlayBufferPlaying(buffer, &status) == -1) return -1;
    if (status & DSBSTATUS_PLAYING) HaltPlayBuffer(buffer);
    return 0;
}

int IsStreamSoundPlaying(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    PLAYBUF* buffer = nullptr;
    if (ClaimStreamBuffer(handle, rec, &buffer, 0) == -1) return 0;
    std::uint32_t status = 0;
    if (IsPlayBufferPlaying(buffer, &status) == -1 || !(status & DSBSTATUS_PLAYING)) return 0;
    // A cursor past the end has ended the sound, also before the pump sees it.
    if (rec->EndMarkFlag == 1 && UpdateStreamPlayedBytes(handle, -1) == 0 && StopIfPastEnd(rec, buffer)) return 0;
    return 1;
}

int GetStreamSoundPositionMs(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    if (rec == nullptr) return -1;
    UpdateStreamPlayedBytes(handle, -1);
    const double a = rec->BufferFormat.nAvgBytesPerSec;
    const int ms = a > 0 ? TruncDoubleToInt(static_cast<double>(rec->PlayedBytes) / a * 1000.0) : 0;
    return std::min(ms, GetSoundTotalTimeMs(handle));
}
