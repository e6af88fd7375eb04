// Interim allocator so the first subsystems link; the tracked allocator
// with its headers and leak report replaces it.
#include "core/memory.h"

#include <cstdlib>
#include <cstring>

void* AllocMemory(std::size_t size, const char*, int) { return std::malloc(size ? size : 1); }
void* AllocMemoryZeroed(std::size_t size, const char*, int) { return std::calloc(1, size ? size : 1); }
void* ReallocMemory(void* block, std::size_t size, const char*, int) { return std::realloc(block, size ? size : 1); }
void FreeMemory(void* block) { std::free(block); }
void DumpMemoryBlocks() {}
int CheckMemoryBlocks() { return 0; }
