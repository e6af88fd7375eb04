// Owns the process heap: malloc blocks with their size kept in front, so a
// re-allocation can zero the grown part as the system heap does.
#include "platform/kernel/heap.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// Keeps the caller's block 16-byte aligned.
constexpr std::size_t kPrefix = 16;
std::atomic<int> g_failures{0};

bool TakeFailure()
{
    int n = g_failures.load();
    while (n > 0) {
        if (g_failures.compare_exchange_weak(n, n - 1)) return true;
    }
    return false;
}

std::size_t& StoredSize(void* raw)
{
    return *static_cast<std::size_t*>(raw);
}

} // namespace

HANDLE GetProcessHeap()
{
    static int heap;
    return &heap;
}

void* HeapAlloc(HANDLE, DWORD flags, std::size_t size)
{
    if (TakeFailure() || size > SIZE_MAX - kPrefix) return nullptr;
    void* raw = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, size + kPrefix) : std::malloc(size + kPrefix);
    if (raw == nullptr) return nullptr;
    StoredSize(raw) = size;
    return static_cast<char*>(raw) + kPrefix;
}

void* HeapReAlloc(HANDLE heap, DWORD flags, void* block, std::size_t size)
{
    if (block == nullptr) return HeapAlloc(heap, flags, size);
    if (TakeFailure() || size > SIZE_MAX - kPrefix) return nullptr;
    void* raw = static_cast<char*>(block) - kPrefix;
    std::size_t old = StoredSize(raw);
    void* moved = std::realloc(raw, size + kPrefix);
    if (moved == nullptr) return nullptr;
    StoredSize(moved) = size;
    char* data = static_cast<char*>(moved) + kPrefix;
    if ((flags & HEAP_ZERO_MEMORY) && size > old) std::memset(data + old, 0, size - old);
    return data;
}

BOOL HeapFree(HANDLE, DWORD, void* block)
{
    if (block != nullptr) std::free(static_cast<char*>(block) - kPrefix);
    return TRUE;
}

std::size_t HeapSize(HANDLE, DWORD, const void* block)
{
    if (block == nullptr) return static_cast<std::size_t>(-1);
    return *reinterpret_cast<const std::size_t*>(static_cast<const char*>(block) - kPrefix);
}

void FailNextHeapAllocations(int count)
{
    g_failures.store(count);
}
