// Owns nothing but the rings handed to it; grows them through the library
// allocator (core/memory) and reports failures to the log.
#include "network/byte_ring.h"

#include "core/log.h"
#include "core/memory.h"

#include <cstring>

namespace {

constexpr long long kGrowthSlack = 1000;

} // namespace

void WrapRingBufferOffsets(BYTERING* ring)
{
    if (ring->ReadOffset == ring->Capacity) ring->ReadOffset = 0;
    if (ring->WriteOffset == ring->Capacity) ring->WriteOffset = 0;
}

int ReadRingBuffer(BYTERING* ring, void* destination, int count, int peek)
{
    if (count < 0 || ring->Held < count) return -1;
    WrapRingBufferOffsets(ring);
    auto* out = static_cast<unsigned char*>(destination);
    const int toEnd = ring->Capacity - ring->ReadOffset;
    int nextRead = 0;
    if (count <= toEnd) {
        if (count > 0) std::memcpy(out, ring->Data + ring->ReadOffset, static_cast<std::size_t>(count));
        nextRead = ring->ReadOffset + count;
    } else {
        std::memcpy(out, ring->Data + ring->ReadOffset, static_cast<std::size_t>(toEnd));
        std::memcpy(out + toEnd, ring->Data, static_cast<std::size_t>(count - toEnd));
        nextRead = count - toEnd;
    }
    if (peek == 0) {
        ring->ReadOffset = nextRead;
        ring->Held -= count;
    }
    return 0;
}

int ReleaseRingBuffer(BYTERING* ring)
{
    if (ring->Data != nullptr) FreeMemory(ring->Data);
    std::memset(ring, 0, sizeof *ring);
    return 0;
}

int ReserveRingBuffer(BYTERING* ring, int count)
{
    if (count < 0) return -1;
    WrapRingBufferOffsets(ring);
    // 64-bit sums: a peer-sized count near the 32-bit limit must not wrap.
    const long long needed = static_cast<long long>(ring->Held) + count;
    if (ring->Capacity >= needed) return 0;
    // At least doubling: a ring fed in small pieces is copied a logarithmic
    // number of times, not once per piece.
    long long size = needed + kGrowthSlack;
    if (size < 2LL * ring->Capacity) size = 2LL * ring->Capacity;
    if (size > BYTERING_CAPACITY_LIMIT && needed + kGrowthSlack <= BYTERING_CAPACITY_LIMIT) size = BYTERING_CAPACITY_LIMIT;
    unsigned char* block = nullptr;
    if (size <= BYTERING_CAPACITY_LIMIT) block = static_cast<unsigned char*>(AllocMemory(static_cast<std::size_t>(size), "", 0));
    if (block == nullptr) {
        // The queued bytes stay: on a send ring a header announcing them may
        // already be on the wire.
        return WriteLogFormat("リングバッファの再確保に失敗しました(確保しようとしたサイズ %lld byte)", size);
    }
    const int toEnd = ring->Capacity - ring->ReadOffset;
    if (ring->Held > toEnd) {
        std::memcpy(block, ring->Data + ring->ReadOffset, static_cast<std::size_t>(toEnd));
        std::memcpy(block + toEnd, ring->Data, static_cast<std::size_t>(ring->Held - toEnd));
    } else if (ring->Held > 0) {
        std::memcpy(block, ring->Data + ring->ReadOffset, static_cast<std::size_t>(ring->Held));
    }
    if (ring->Data != nullptr) FreeMemory(ring->Data);
    ring->Data = block;
    ring->ReadOffset = 0;
    ring->WriteOffset = ring->Held;
    ring->Capacity = static_cast<int>(size);
    return 0;
}

int AppendRingBuffer(BYTERING* ring, const void* source, int count)
{
    WrapRingBufferOffsets(ring);
    if (ReserveRingBuffer(ring, count) == -1) {
        return WriteLogFormat("リングバッファへのデータの追加に失敗しました(追加する長さ %d byte)", count);
    }
    const auto* in = static_cast<const unsigned char*>(source);
    const int toEnd = ring->Capacity - ring->WriteOffset;
    if (count <= toEnd) {
        if (count > 0) std::memcpy(ring->Data + ring->WriteOffset, in, static_cast<std::size_t>(count));
        ring->WriteOffset += count;
    } else {
        std::memcpy(ring->Data + ring->WriteOffset, in, static_cast<std::size_t>(toEnd));
        std::memcpy(ring->Data, in + toEnd, static_cast<std::size_t>(count - toEnd));
        ring->WriteOffset = count - toEnd;
    }
    ring->Held += count;
    return 0;
}
