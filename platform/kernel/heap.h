// The process heap of the kernel layer.
#pragma once

#include "platform/kernel/types.h"

#include <memory>

constexpr DWORD HEAP_ZERO_MEMORY = 0x8;

HANDLE GetProcessHeap();
// Null on failure; with HEAP_ZERO_MEMORY the block (or its grown part) is zeroed.
void* HeapAlloc(HANDLE heap, DWORD flags, std::size_t size);
// On failure the old block stays valid.
void* HeapReAlloc(HANDLE heap, DWORD flags, void* block, std::size_t size);
BOOL HeapFree(HANDLE heap, DWORD flags, void* block);
std::size_t HeapSize(HANDLE heap, DWORD flags, const void* block);

// Test hook: the next `count` allocations or re-allocations fail.
void FailNextHeapAllocations(int count);

// A zeroed array on the process heap, owned like a unique_ptr. The layer's
// pixel buffers live in these, so running out of memory answers the calls
// they stand behind with a failure instead of throwing.
struct HeapBlockFree {
    void operator()(void* block) const { HeapFree(GetProcessHeap(), 0, block); }
};
template <class T>
using HeapArray = std::unique_ptr<T[], HeapBlockFree>;

// Empty when the heap cannot give `count` elements.
template <class T>
HeapArray<T> AllocZeroedHeapArray(std::size_t count)
{
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) return HeapArray<T>();
    return HeapArray<T>(static_cast<T*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * sizeof(T))));
}
