// Owns the menu records and which window carries which menu; checks windows
// through the window layer.
#include "platform/window/menu.h"

#include "platform/window/window.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct MenuItem {
    UINT Type;
    UINT Id;
    HMENU Sub;
    std::string Text;
};

std::mutex g_mutex;
std::map<std::uintptr_t, std::vector<MenuItem>> g_menus;
std::map<HWND, HMENU> g_attached;
std::uintptr_t g_nextMenu = 0x30010;

std::vector<MenuItem>* Find(HMENU menu)
{
    auto it = g_menus.find(reinterpret_cast<std::uintptr_t>(menu));
    return it == g_menus.end() ? nullptr : &it->second;
}

HMENU NewMenu()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::uintptr_t key = g_nextMenu;
    g_nextMenu += 4;
    g_menus[key];
    return reinterpret_cast<HMENU>(key);
}

void DestroyLocked(HMENU menu)
{
    std::vector<MenuItem>* items = Find(menu);
    if (items == nullptr) return;
    const std::vector<MenuItem> copy = *items;
    g_menus.erase(reinterpret_cast<std::uintptr_t>(menu));
    for (const MenuItem& item : copy)
        if (item.Sub != nullptr) DestroyLocked(item.Sub);
    for (auto it = g_attached.begin(); it != g_attached.end();) {
        it = it->second == menu ? g_attached.erase(it) : std::next(it);
    }
}

} // namespace

HMENU CreateMenu()
{
    return NewMenu();
}

HMENU CreatePopupMenu()
{
    return NewMenu();
}

BOOL AppendMenuA(HMENU menu, UINT flags, std::uintptr_t id, const char* text)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<MenuItem>* items = Find(menu);
    if (items == nullptr) return FALSE;
    MenuItem item{(flags & MF_SEPARATOR) != 0 ? MFT_SEPARATOR : 0u, 0, nullptr, {}};
    if (flags & MF_POPUP) {
        item.Sub = reinterpret_cast<HMENU>(id);
        if (Find(item.Sub) == nullptr) return FALSE;
    } else {
        item.Id = static_cast<UINT>(id);
    }
    if (item.Type != MFT_SEPARATOR && text != nullptr) item.Text = text;
    items->push_back(item);
    return TRUE;
}

BOOL DestroyMenu(HMENU menu)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (Find(menu) == nullptr) return FALSE;
    DestroyLocked(menu);
    return TRUE;
}

int GetMenuItemCount(HMENU menu)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<MenuItem>* items = Find(menu);
    return items == nullptr ? -1 : static_cast<int>(items->size());
}

BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<MenuItem>* items = Find(menu);
    if (items == nullptr || info == nullptr) return FALSE;
    const MenuItem* found = nullptr;
    if (byPosition) {
        if (item < items->size()) found = &(*items)[item];
    } else {
        for (const MenuItem& i : *items)
            if (i.Type != MFT_SEPARATOR && i.Id == item) found = &i;
    }
    if (found == nullptr) return FALSE;
    if (info->fMask & MIIM_STATE) info->fState = 0;
    if (info->fMask & MIIM_ID) info->wID = found->Id;
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = found->Sub;
    if (info->fMask & MIIM_TYPE) {
        info->fType = found->Type;
        if (info->dwTypeData != nullptr && info->cch > 0) {
            const std::size_t n = found->Text.size() < info->cch - 1 ? found->Text.size() : info->cch - 1;
            std::memcpy(info->dwTypeData, found->Text.data(), n);
            info->dwTypeData[n] = '\0';
        }
        info->cch = static_cast<UINT>(found->Text.size());
    }
    return TRUE;
}

BOOL SetMenu(HWND window, HMENU menu)
{
    if (!IsWindow(window)) return FALSE;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (menu == nullptr) {
        g_attached.erase(window);
        return TRUE;
    }
    if (Find(menu) == nullptr) return FALSE;
    g_attached[window] = menu;
    return TRUE;
}

HMENU GetMenu(HWND window)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_attached.find(window);
    return it == g_attached.end() ? nullptr : it->second;
}

BOOL DrawMenuBar(HWND window)
{
    return IsWindow(window);
}
