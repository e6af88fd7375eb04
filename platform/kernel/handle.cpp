// Owns the table of kernel objects behind HANDLE values; safe from any thread.
#include "platform/kernel/handle.h"

#include <mutex>
#include <unordered_map>

namespace {

std::mutex g_mutex;
// Never destroyed: objects still open when the process ends stay reachable
// (and usable by threads that outlive main) instead of turning into leaks.
std::unordered_map<std::uintptr_t, KernelObject*>& g_objects = *new std::unordered_map<std::uintptr_t, KernelObject*>;
std::uintptr_t g_next = 0x100;

} // namespace

HANDLE RegisterKernelObject(KernelObject* object)
{
    if (object == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    // Multiples of 4, as the system's own handles are; values are not reused soon.
    std::uintptr_t value = g_next;
    g_next += 4;
    g_objects[value] = object;
    return reinterpret_cast<HANDLE>(value);
}

KernelObject* LookupKernelObject(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == g_objects.end() ? nullptr : it->second;
}

BOOL CloseHandle(HANDLE handle)
{
    KernelObject* object = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == g_objects.end()) return FALSE;
        object = it->second;
        g_objects.erase(it);
    }
    delete object;
    return TRUE;
}
