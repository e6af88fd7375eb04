// The network's byte rings: growable circular byte queues, one for each
// direction of a connection. Storage comes from the library allocator.
#pragma once

struct BYTERING {
    unsigned char* Data;  // null while the ring has no storage
    int ReadOffset;       // 0 to Capacity; Capacity wraps to 0 before use
    int WriteOffset;      // 0 to Capacity; Capacity wraps to 0 before use
    int Held;
    int Capacity;
};

// No ring grows beyond this, whatever a peer announces.
constexpr int BYTERING_CAPACITY_LIMIT = 1 << 28;

void WrapRingBufferOffsets(BYTERING* ring);
// 0, or -1 (nothing changed) when fewer than count bytes are held.
int ReadRingBuffer(BYTERING* ring, void* destination, int count, int peek);
// Frees the storage and zeroes the record; 0.
int ReleaseRingBuffer(BYTERING* ring);
// 0 once count more bytes fit, growing to held + count + 1000 bytes or
// twice the capacity, whichever is more; -1 when the storage cannot grow,
// the held bytes kept as they were.
int ReserveRingBuffer(BYTERING* ring, int count);
// 0 once the bytes are stored; -1 when no room could be made.
int AppendRingBuffer(BYTERING* ring, const void* source, int count);
