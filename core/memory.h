// The library's allocator: every block carries an ALLOCHEAD and sits in one
// list, which gives the leak report and the corruption check. Each operation
// is serialised, so reader and decode threads may allocate too.
#pragma once

#include "platform/kernel/types.h"

#include <cstddef>

// The header in front of every block. Its guard is a copy of everything
// before it, links included, so a damaged link is caught as well.
struct ALLOCHEAD {
    char File[16];
    WORD ID;
    WORD Line;
    DWORD Size;
    ALLOCHEAD* Older;
    ALLOCHEAD* Newer;
    unsigned char Guard[40];
};
constexpr std::size_t ALLOCHEAD_GUARDED = offsetof(ALLOCHEAD, Guard);
static_assert(sizeof(ALLOCHEAD) % 16 == 0, "blocks stay 16-byte aligned");

// The allocator's state; kept for the whole process.
struct ALLOCSTATE {
    ALLOCHEAD Sentinel;
    ALLOCHEAD* Newest;     // null before the first allocation
    WORD NextID;
    long long TotalBytes;  // 64 bits: a few large blocks pass 2 GB together
    int BlockCount;
    int TraceAll;          // 1 logs every allocation, re-allocation and release
    int TraceTotals;       // 1 logs the totals line after each of them
    int CheckAlways;       // 1 runs CheckMemoryBlocks around each of them
    int TraceSize;         // negative: trace every block; else blocks of this size
};
extern ALLOCSTATE AllocState;

void* AllocMemory(std::size_t size, const char* file, int line);
void* AllocMemoryZeroed(std::size_t size, const char* file, int line);
void* ReallocMemory(void* block, std::size_t size, const char* file, int line);
void FreeMemory(void* block);
void DumpMemoryBlocks();
// 0 when every header is intact, -1 at the first broken one (logged).
int CheckMemoryBlocks();
void LogMemoryBlock(const ALLOCHEAD* header);
void LogMemoryTotals();
