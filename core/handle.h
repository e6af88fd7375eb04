// Handle values and the fixed handle tables behind every library object.
// Each kind keeps one HANDLETABLE of its own; the bookkeeping (slot choice,
// check values, validation, high-water index) is written once here. Records
// come from the library's allocator (core/memory.h).
#pragma once

#include <cstdint>
#include <cstring>

#include "core/memory.h"

using HANDLEVALUE = std::int32_t;

constexpr std::int32_t HANDLE_TAG_MASK = 0x78000000;
constexpr std::int32_t HANDLE_CHECK_MASK = 0x07FF0000;
constexpr std::int32_t HANDLE_SLOT_MASK = 0x0000FFFF;
constexpr std::uint32_t HANDLE_CHECK_MAX = 2047;

constexpr std::int32_t HANDLETAG_GRAPH = 0x08000000;
constexpr std::int32_t HANDLETAG_SOUND = 0x10000000;
constexpr std::int32_t HANDLETAG_MOVIE = 0x18000000;
constexpr std::int32_t HANDLETAG_FONT = 0x20000000;
constexpr std::int32_t HANDLETAG_SURFACE2D = 0x28000000;
constexpr std::int32_t HANDLETAG_SURFACE3D = 0x30000000;
constexpr std::int32_t HANDLETAG_IMAGESURFACE = 0x38000000;
constexpr std::int32_t HANDLETAG_MASK = 0x40000000;
constexpr std::int32_t HANDLETAG_NETWORK = 0x48000000;
constexpr std::int32_t HANDLETAG_KEYINPUT = 0x50000000;
constexpr std::int32_t HANDLETAG_MUSIC = 0x58000000;
constexpr std::int32_t HANDLETAG_LIGHT = 0x60000000;
constexpr std::int32_t HANDLETAG_GRAPHIMAGE = 0x70000000;

constexpr std::uint32_t HANDLECAP_GRAPH = 32768;
constexpr std::uint32_t HANDLECAP_SOUND = 4096;
constexpr std::uint32_t HANDLECAP_MOVIE = 100;
constexpr std::uint32_t HANDLECAP_FONT = 40;
constexpr std::uint32_t HANDLECAP_SURFACE2D = 32768;
constexpr std::uint32_t HANDLECAP_SURFACE3D = 65536;
constexpr std::uint32_t HANDLECAP_IMAGESURFACE = 65536;
constexpr std::uint32_t HANDLECAP_MASK = 512;
constexpr std::uint32_t HANDLECAP_NETWORK = 4097;
constexpr std::uint32_t HANDLECAP_KEYINPUT = 256;
constexpr std::uint32_t HANDLECAP_MUSIC = 256;
constexpr std::uint32_t HANDLECAP_LIGHT = 4096;
constexpr std::uint32_t HANDLECAP_GRAPHIMAGE = 8192;

// The opening of graph, 2D surface, image surface and font records. Other
// kinds need only a u32 field named Check (any position).
struct HANDLEHEAD {
    std::uint32_t Check;
    int* DeletedFlag;
};

constexpr HANDLEVALUE MakeHandleValue(std::uint32_t check, std::int32_t tag, std::uint32_t slot)
{
    return static_cast<HANDLEVALUE>(((check | (static_cast<std::uint32_t>(tag) >> 16)) << 16) | slot);
}

// REC is a plain record (zero-filled on creation) with a u32 Check, reached as
// rec->Check, or as rec->Head.Check when it opens with a HANDLEHEAD named Head.
template <class REC, std::uint32_t CAPACITY, std::int32_t TAG>
struct HANDLETABLE {
    using Record = REC;
    static constexpr std::uint32_t Capacity = CAPACITY;
    static constexpr std::int32_t Tag = TAG;
    static_assert(CAPACITY >= 1 && CAPACITY <= 65536);
    static_assert((TAG & ~HANDLE_TAG_MASK) == 0 && TAG != 0 && TAG != HANDLE_TAG_MASK);

    REC* Records[CAPACITY];
    std::uint32_t Count;
    std::uint32_t HighWater;
    std::uint32_t CheckCounter;
};

namespace handle_detail {
template <class REC>
std::uint32_t& CheckOf(REC* rec)
{
    if constexpr (requires { rec->Head.Check; }) {
        return rec->Head.Check;
    } else {
        return rec->Check;
    }
}

template <class REC>
int** DeletedFlagOf(REC* rec)
{
    if constexpr (requires { rec->Head.DeletedFlag; }) {
        return &rec->Head.DeletedFlag;
    } else if constexpr (requires { rec->DeletedFlag; }) {
        return &rec->DeletedFlag;
    } else {
        return nullptr;
    }
}
} // namespace handle_detail

// Zeroes the table with its count, high-water index and check counter.
template <class T>
void ResetHandleTable(T& table)
{
    std::memset(static_cast<void*>(&table), 0, sizeof(T));
}

// The slot a new record would take, or -1 when the table is full.
template <class T>
int FindFreeHandleSlot(const T& table)
{
    if (table.Count >= T::Capacity) {
        return -1;
    }
    if (table.HighWater < T::Capacity) {
        return static_cast<int>(table.HighWater);
    }
    for (std::uint32_t i = 0; i < T::Capacity; ++i) {
        if (table.Records[i] == nullptr) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Allocates a zero-filled record into the slot; null (slot left empty) when
// memory runs out.
template <class T>
typename T::Record* AllocHandleRecord(T& table, int slot, const char* file, int line)
{
    auto* rec = static_cast<typename T::Record*>(AllocMemoryZeroed(sizeof(typename T::Record), file, line));
    if (rec != nullptr) {
        table.Records[slot] = rec;
    }
    return rec;
}

// Undoes AllocHandleRecord when the kind's own set-up failed; counts untouched.
template <class T>
void DiscardHandleRecord(T& table, int slot)
{
    FreeMemory(table.Records[slot]);
    table.Records[slot] = nullptr;
}

// Gives the record in the slot its check value and answers its handle.
template <class T>
HANDLEVALUE CommitHandleRecord(T& table, int slot)
{
    auto* rec = table.Records[slot];
    handle_detail::CheckOf(rec) = table.CheckCounter;
    table.CheckCounter = table.CheckCounter >= HANDLE_CHECK_MAX ? 0 : table.CheckCounter + 1;
    HANDLEVALUE h = MakeHandleValue(handle_detail::CheckOf(rec), T::Tag, static_cast<std::uint32_t>(slot));
    ++table.Count;
    if (static_cast<std::uint32_t>(slot) == table.HighWater) {
        ++table.HighWater;
    }
    return h;
}

// The record a handle names, or null for a negative, foreign, out-of-range,
// empty or stale handle.
template <class T>
typename T::Record* GetHandleRecord(const T& table, HANDLEVALUE h)
{
    if (h < 0 || (h & HANDLE_TAG_MASK) != T::Tag) {
        return nullptr;
    }
    std::uint32_t slot = static_cast<std::uint32_t>(h & HANDLE_SLOT_MASK);
    if (slot >= T::Capacity) {
        return nullptr;
    }
    auto* rec = table.Records[slot];
    if (rec == nullptr || static_cast<std::int32_t>(handle_detail::CheckOf(rec) << 16) != (h & HANDLE_CHECK_MASK)) {
        return nullptr;
    }
    return rec;
}

// Frees the record of a valid handle after the kind released what it holds:
// raises its deleted flag, empties the slot and lowers the high-water index
// over trailing empty slots. -1 for an invalid handle.
template <class T>
int ReleaseHandleRecord(T& table, HANDLEVALUE h)
{
    auto* rec = GetHandleRecord(table, h);
    if (rec == nullptr) {
        return -1;
    }
    std::uint32_t slot = static_cast<std::uint32_t>(h & HANDLE_SLOT_MASK);
    if (int** flag = handle_detail::DeletedFlagOf(rec); flag != nullptr && *flag != nullptr) {
        **flag = 1;
    }
    FreeMemory(rec);
    table.Records[slot] = nullptr;
    --table.Count;
    if (slot + 1 == table.HighWater) {
        if (table.Count == 0) {
            table.HighWater = 0;
        } else {
            std::uint32_t top = slot;
            while (top > 0 && table.Records[top - 1] == nullptr) {
                --top;
            }
            table.HighWater = top;
        }
    }
    return 0;
}

// Passes the handle of every live record, in slot order, to the kind's delete.
template <class T, class DeleteFn>
void DeleteAllHandleRecords(T& table, DeleteFn deleteOne)
{
    for (std::uint32_t slot = 0; slot < table.HighWater; ++slot) {
        auto* rec = table.Records[slot];
        if (rec != nullptr) {
            deleteOne(MakeHandleValue(handle_detail::CheckOf(rec), T::Tag, slot));
        }
    }
}

// Registers the caller's int that deletion sets to 1; 0 is written now.
template <class T>
int BindHandleDeletedFlag(T& table, HANDLEVALUE h, int* flag)
{
    auto* rec = GetHandleRecord(table, h);
    if (rec == nullptr) {
        return -1;
    }
    int** slot = handle_detail::DeletedFlagOf(rec);
    if (slot == nullptr) {
        return -1;
    }
    *slot = flag;
    if (flag != nullptr) {
        *flag = 0;
    }
    return 0;
}
