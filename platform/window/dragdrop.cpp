// Owns the drop handles and the windows that accept drops; switches SDL's
// drop events on while any window accepts them. The window layer collects
// SDL's names into a drop and posts it.
#include "platform/window/dragdrop.h"

#include "platform/window/window.h"

#include <SDL.h>

#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace {

std::mutex g_mutex;
std::set<HWND> g_accepting;
std::map<std::uintptr_t, std::vector<std::string>> g_drops;
std::uintptr_t g_nextDrop = 0x20010;

void ApplyDropEventState()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    const int state = g_accepting.empty() ? SDL_DISABLE : SDL_ENABLE;
    SDL_EventState(SDL_DROPFILE, state);
    SDL_EventState(SDL_DROPBEGIN, state);
    SDL_EventState(SDL_DROPCOMPLETE, state);
}

} // namespace

void DragAcceptFiles(HWND window, BOOL accept)
{
    // The window lock is never taken under ours: DestroyWindow holds it
    // while it forgets the window here.
    if (accept && !IsWindow(window)) return;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (accept) {
            g_accepting.insert(window);
        } else {
            g_accepting.erase(window);
        }
        ApplyDropEventState();
    }
    // A window destroyed between the check and the insert was forgotten
    // before it was added.
    if (accept && !IsWindow(window)) ForgetDropWindow(window);
}

UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT bufferBytes)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_drops.find(reinterpret_cast<std::uintptr_t>(drop));
    if (it == g_drops.end()) return 0;
    const std::vector<std::string>& names = it->second;
    if (index == 0xFFFFFFFFu) return static_cast<UINT>(names.size());
    if (index >= names.size()) return 0;
    const std::string& name = names[index];
    if (buffer == nullptr) return static_cast<UINT>(name.size());
    if (bufferBytes == 0) return 0;
    const std::size_t n = name.size() < bufferBytes - 1 ? name.size() : bufferBytes - 1;
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    return static_cast<UINT>(n);
}

void DragFinish(HDROP drop)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_drops.erase(reinterpret_cast<std::uintptr_t>(drop));
}

bool IsDropAccepted(HWND window)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_accepting.count(window) != 0;
}

void ForgetDropWindow(HWND window)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_accepting.erase(window);
    ApplyDropEventState();
}

HDROP MakeDropHandle(std::vector<std::string> names)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::uintptr_t key = g_nextDrop;
    g_nextDrop += 4;
    g_drops[key] = std::move(names);
    return reinterpret_cast<HDROP>(key);
}

int GetLiveDropCount()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return static_cast<int>(g_drops.size());
}

void SimulateFileDrop(HWND window, const std::vector<std::string>& utf8Names)
{
    SDL_Window* sdl = GetSdlWindowOfHandle(window);
    if (sdl == nullptr) return;
    const Uint32 id = SDL_GetWindowID(sdl);
    SDL_Event e{};
    e.drop.type = SDL_DROPBEGIN;
    e.drop.windowID = id;
    SDL_PushEvent(&e);
    for (const std::string& name : utf8Names) {
        SDL_Event f{};
        f.drop.type = SDL_DROPFILE;
        f.drop.windowID = id;
        f.drop.file = SDL_strdup(name.c_str());
        // A disabled event type is not queued; its name is then ours to free.
        if (SDL_PushEvent(&f) != 1) SDL_free(f.drop.file);
    }
    SDL_Event c{};
    c.drop.type = SDL_DROPCOMPLETE;
    c.drop.windowID = id;
    SDL_PushEvent(&c);
}
