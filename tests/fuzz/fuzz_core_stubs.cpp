// For tools/fuzz-images.sh only: the allocator and log entries the image
// code calls, over malloc and nothing, so the clang fuzz builds need not
// compile the whole core (which the CMake build links for real).
#include <cstdlib>

#include "core/log.h"
#include "core/memory.h"

void* AllocMemory(std::size_t size, const char*, int) { return std::malloc(size ? size : 1); }
void* AllocMemoryZeroed(std::size_t size, const char*, int) { return std::calloc(1, size ? size : 1); }
void* ReallocMemory(void* block, std::size_t size, const char*, int) { return std::realloc(block, size ? size : 1); }
void FreeMemory(void* block) { std::free(block); }
int WriteLog(const char*) { return -1; }
