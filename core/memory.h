// The library's allocator: every block carries an ALLOCHEAD and sits in one
// list, which gives the leak report and the corruption check.
#pragma once

#include <cstddef>

void* AllocMemory(std::size_t size, const char* file, int line);
void* AllocMemoryZeroed(std::size_t size, const char* file, int line);
void* ReallocMemory(void* block, std::size_t size, const char* file, int line);
void FreeMemory(void* block);
void DumpMemoryBlocks();
int CheckMemoryBlocks();
