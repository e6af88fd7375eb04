// Owns the table of registered modules behind LoadLibraryA and
// GetProcAddress; a module handle is its slot number plus one.
#include "platform/kernel/module.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <strings.h>
#include <vector>

namespace {

struct Module {
    std::string Name;
    ModuleExportLookup Lookup;
    bool Hidden;
    int Loads;
};

std::mutex g_mutex;

std::vector<Module>& Modules()
{
    static std::vector<Module> modules;
    return modules;
}

Module* Find(const char* name)
{
    for (Module& m : Modules())
        if (strcasecmp(m.Name.c_str(), name) == 0) return &m;
    return nullptr;
}

Module* FromHandle(HMODULE module)
{
    const auto slot = reinterpret_cast<std::uintptr_t>(module);
    if (slot == 0 || slot > Modules().size()) return nullptr;
    return &Modules()[slot - 1];
}

} // namespace

void RegisterModule(const char* name, ModuleExportLookup lookup)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (Module* m = Find(name)) {
        m->Lookup = lookup;
        return;
    }
    Modules().push_back(Module{name, lookup, false, 0});
}

HMODULE LoadLibraryA(LPCSTR name)
{
    if (name == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    Module* m = Find(name);
    if (m == nullptr || m->Hidden) return nullptr;
    ++m->Loads;
    return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(m - Modules().data() + 1));
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (name == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    Module* m = FromHandle(module);
    if (m == nullptr || m->Loads == 0) return nullptr;
    return m->Lookup(name);
}

BOOL FreeLibrary(HMODULE module)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Module* m = FromHandle(module);
    if (m == nullptr || m->Loads == 0) return FALSE;
    --m->Loads;
    return TRUE;
}

void HideModule(const char* name, bool hidden)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (Module* m = Find(name)) m->Hidden = hidden;
}
