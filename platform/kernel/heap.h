// The process heap of the kernel layer.
#pragma once

#include "platform/kernel/types.h"

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
