// Owns COM's initialisation count and the registry of implemented classes.
#include "platform/com/com.h"

#include <mutex>
#include <vector>

namespace {

struct Registration {
    CLSID Id;
    ComClassFactory Factory;
};

std::mutex g_mutex;
std::vector<Registration> g_classes;
thread_local int t_initCount = 0;
int g_processInits = 0;
bool g_fail = false;

} // namespace

HRESULT CoInitialize(void*)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_fail) return E_FAIL;
    ++t_initCount;
    ++g_processInits;
    return t_initCount == 1 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (t_initCount > 0) {
        --t_initCount;
        --g_processInits;
    }
}

HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD, REFIID iid, void** out)
{
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    if (outer != nullptr) return E_NOTIMPL;
    ComClassFactory factory = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (t_initCount == 0) return CO_E_NOTINITIALIZED;
        for (const auto& r : g_classes)
            if (r.Id == classId) factory = r.Factory;
    }
    if (factory == nullptr) return REGDB_E_CLASSNOTREG;
    IUnknown* object = factory();
    // A class the layer knows but cannot provide on this machine.
    if (object == nullptr) return REGDB_E_CLASSNOTREG;
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

void RegisterComClass(REFCLSID classId, ComClassFactory factory)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto& r : g_classes) {
        if (r.Id == classId) {
            r.Factory = factory;
            return;
        }
    }
    g_classes.push_back(Registration{classId, factory});
}

void SetCoInitializeFailure(bool fail)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_fail = fail;
}

int GetComInitCount()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_processInits;
}
