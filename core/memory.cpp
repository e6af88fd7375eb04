// Owns the allocator (ALLOCSTATE and its block list) on the process heap;
// reports through the log (core/log).
#include "core/memory.h"

#include "core/format.h"
#include "core/log.h"
#include "platform/kernel/heap.h"

#include <cstdint>
#include <cstring>
#include <mutex>

ALLOCSTATE AllocState;

namespace {

// Recursive: a report logs, and the log allocates for long texts.
std::recursive_mutex g_mutex;

void RefreshGuard(ALLOCHEAD* h)
{
    if (h != nullptr) std::memcpy(h->Guard, h, ALLOCHEAD_GUARDED);
}

bool IsTraced(const ALLOCHEAD* h)
{
    return AllocState.TraceSize < 0 || static_cast<DWORD>(AllocState.TraceSize) == h->Size ||
           AllocState.TraceAll == 1;
}

void StoreFile(ALLOCHEAD* h, const char* file)
{
    std::memset(h->File, 0, sizeof h->File);
    if (file == nullptr) return;
    std::size_t n = std::strlen(file);
    const char* tail = n > 15 ? file + (n - 15) : file;
    std::memcpy(h->File, tail, std::strlen(tail));
}

ALLOCHEAD* HeaderOf(void* block)
{
    return reinterpret_cast<ALLOCHEAD*>(static_cast<unsigned char*>(block) - sizeof(ALLOCHEAD));
}

void* BlockOf(ALLOCHEAD* h)
{
    return reinterpret_cast<unsigned char*>(h) + sizeof(ALLOCHEAD);
}

// Sizes beyond the header's 32-bit size field cannot be recorded.
bool SizeFits(std::size_t size)
{
    return size <= UINT32_MAX - sizeof(ALLOCHEAD);
}

void* AllocLocked(std::size_t size, const char* file, int line)
{
    ALLOCHEAD* h = nullptr;
    if (SizeFits(size)) h = static_cast<ALLOCHEAD*>(HeapAlloc(GetProcessHeap(), 0, size + sizeof(ALLOCHEAD)));
    if (h == nullptr) {
        DumpMemoryBlocks();
        CheckMemoryBlocks();
        return nullptr;
    }
    std::memset(h, 0, sizeof(ALLOCHEAD));
    h->Size = static_cast<DWORD>(size);
    StoreFile(h, file);
    h->Line = static_cast<WORD>(line);
    h->ID = AllocState.NextID++;

    if (AllocState.Newest == nullptr) AllocState.Newest = &AllocState.Sentinel;
    AllocState.Newest->Newer = h;
    h->Older = AllocState.Newest;
    h->Newer = nullptr;
    AllocState.Newest = h;
    RefreshGuard(h);
    RefreshGuard(h->Older);

    AllocState.TotalBytes += static_cast<long long>(size);
    AllocState.BlockCount += 1;

    if (IsTraced(h)) {
        WriteLog("mem alloc  ");
        LogMemoryBlock(h);
    }
    if (AllocState.TraceTotals == 1) LogMemoryTotals();
    if (AllocState.CheckAlways == 1) CheckMemoryBlocks();
    return BlockOf(h);
}

} // namespace

void* AllocMemory(std::size_t size, const char* file, int line)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    return AllocLocked(size, file, line);
}

void* AllocMemoryZeroed(std::size_t size, const char* file, int line)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    void* block = AllocLocked(size, file, line);
    if (block != nullptr) std::memset(block, 0, size);
    return block;
}

void* ReallocMemory(void* block, std::size_t size, const char* file, int line)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (block == nullptr) return AllocLocked(size, file, line);

    ALLOCHEAD* old = HeaderOf(block);
    const bool wasNewest = AllocState.Newest == old;
    const DWORD oldSize = old->Size;
    ALLOCHEAD* h = nullptr;
    if (SizeFits(size)) {
        h = static_cast<ALLOCHEAD*>(
            HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, old, size + sizeof(ALLOCHEAD)));
    }
    if (h == nullptr) {
        DumpMemoryBlocks();
        return nullptr;
    }
    StoreFile(h, file);
    h->Line = static_cast<WORD>(line);
    h->ID = AllocState.NextID++;

    if (h->Older != nullptr) h->Older->Newer = h;
    if (h->Newer != nullptr) h->Newer->Older = h;
    if (wasNewest) AllocState.Newest = h;

    AllocState.TotalBytes += static_cast<long long>(size) - static_cast<long long>(oldSize);
    h->Size = static_cast<DWORD>(size);

    RefreshGuard(h);
    RefreshGuard(h->Older);
    RefreshGuard(h->Newer);

    if (IsTraced(h)) {
        WriteLog("mem realloc  ");
        LogMemoryBlock(h);
    }
    if (AllocState.TraceTotals == 1) LogMemoryTotals();
    if (AllocState.CheckAlways == 1) CheckMemoryBlocks();
    return BlockOf(h);
}

void FreeMemory(void* block)
{
    if (block == nullptr) return;
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    ALLOCHEAD* h = HeaderOf(block);
    AllocState.TotalBytes -= static_cast<long long>(h->Size);
    AllocState.BlockCount -= 1;
    if (AllocState.CheckAlways == 1) CheckMemoryBlocks();

    if (h->Older != nullptr) h->Older->Newer = h->Newer;
    if (h->Newer != nullptr) h->Newer->Older = h->Older;
    if (AllocState.Newest == h) AllocState.Newest = h->Older;
    RefreshGuard(h->Newer);
    RefreshGuard(h->Older);

    if (IsTraced(h)) {
        WriteLog("mem free  ");
        LogMemoryBlock(h);
    }
    if (AllocState.TraceTotals == 1) LogMemoryTotals();
    HeapFree(GetProcessHeap(), 0, h);
}

void LogMemoryBlock(const ALLOCHEAD* h)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    char line[512];
    int n = FormatToBuffer(line, sizeof line, "\tsize:%d(%.3fkb)  file:%s  line:%d  ID:%d  addr:%08llx  data:<",
                           static_cast<int>(h->Size), static_cast<double>(h->Size) * 0.0009765625, h->File,
                           static_cast<int>(h->Line), static_cast<int>(h->ID),
                           static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(h) + sizeof(ALLOCHEAD)));
    (void)n;
    std::size_t len = std::strlen(line);
    const auto* data = reinterpret_cast<const unsigned char*>(h) + sizeof(ALLOCHEAD);
    const DWORD count = h->Size < 16 ? h->Size : 16;
    for (DWORD i = 0; i < count; ++i) {
        unsigned char c = data[i];
        line[len++] = (c < 0x20 || c >= 0x80) ? '.' : static_cast<char>(c);
    }
    line[len++] = '>';
    line[len++] = ' ';
    line[len++] = '[';
    static const char hex[] = "0123456789abcdef";
    for (DWORD i = 0; i < count; ++i) {
        line[len++] = hex[data[i] >> 4];
        line[len++] = hex[data[i] & 15];
        line[len++] = ' ';
    }
    if (count > 0) --len;  // "]" takes the place of the last blank
    line[len++] = ']';
    line[len++] = '\n';
    line[len] = '\0';
    WriteLog(line);
}

void LogMemoryTotals()
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WriteLogFormat("\tTotal size:%lld(%.3fkb)  Alloc num:%d", AllocState.TotalBytes,
                   static_cast<double>(AllocState.TotalBytes) * 0.0009765625, AllocState.BlockCount);
}

void DumpMemoryBlocks()
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WriteLog("\n");
    WriteLog("Alloc memory dump\n");
    for (ALLOCHEAD* h = AllocState.Newest; h != nullptr && h != &AllocState.Sentinel; h = h->Older) {
        LogMemoryBlock(h);
    }
    LogMemoryTotals();
    WriteLog("\n");
}

int CheckMemoryBlocks()
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    for (ALLOCHEAD* h = AllocState.Newest; h != nullptr && h != &AllocState.Sentinel; h = h->Older) {
        if (std::memcmp(h->Guard, h, ALLOCHEAD_GUARDED) != 0) {
            WriteLog("以下のメモリ確保情報が破損しました");
            LogMemoryBlock(h);
            return -1;
        }
    }
    return 0;
}
