// Owns MENUSTATE: the menu's item table and chosen commands, the toolbar's
// buttons and the dropped names. Calls the window layer's menus and drops,
// the window-mode code for styles, the cursor and the GDI surface, and the
// allocator.
#include "core/menu.h"

#include "core/memory.h"
#include "core/sysstate.h"
#include "core/text.h"
#include "core/windowmode.h"
#include "platform/gdi/gdi.h"
#include "platform/window/dragdrop.h"
#include "platform/window/menu.h"
#include "platform/window/window.h"

MENUSTATE MenuState{};

namespace {

constexpr UINT TB_DELETEBUTTON = 0x0416;
// The cursor shows the menu in full screen while it is this near the top.
constexpr int kMenuRevealHeight = 60;

char g_itemText[128];

// Sets the menu on the window or takes it off, when that changes anything.
void AttachMenu(int attach)
{
    MENUSTATE& m = MenuState;
    if (attach == 1 && m.Attached == 0) {
        SetMenu(SysState.MainWindow, m.Menu);
        m.Attached = 1;
    } else if (attach == 0 && m.Attached == 1) {
        SetMenu(SysState.MainWindow, nullptr);
        m.Attached = 0;
    }
}

} // namespace

int ReadMenuItemInfo(HMENU menu, int position, MENUITEMINFOA* info)
{
    *info = MENUITEMINFOA{};
    info->cbSize = sizeof *info;
    info->fMask = MIIM_TYPE;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, info)) return -1;
    if (info->fType & MFT_SEPARATOR) return 1;
    *info = MENUITEMINFOA{};
    info->cbSize = sizeof *info;
    info->fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE;
    info->dwTypeData = g_itemText;
    info->cch = sizeof g_itemText;
    return GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, info) ? 0 : -1;
}

int CollectMenuItems(HMENU menu)
{
    MENUSTATE& m = MenuState;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info;
        const int r = ReadMenuItemInfo(menu, i, &info);
        if (r == -1) return -1;
        if (r == 1) continue;
        // A longer menu than the table keeps its first items only.
        if (m.ItemCount >= MENU_ITEM_MAX) return 0;
        MENUITEMREC& item = m.Items[m.ItemCount++];
        item.Menu = menu;
        item.Position = static_cast<WORD>(i);
        item.Id = static_cast<WORD>(info.wID);
        CopyText(item.Text, g_itemText);
        if (info.hSubMenu != nullptr && CollectMenuItems(info.hSubMenu) == -1) return -1;
    }
    return 0;
}

int GetMenuItemNameById(int id, char* buffer)
{
    const MENUSTATE& m = MenuState;
    if (SysState.MenuUse == 0) return -1;
    for (int i = 0; i < m.ItemCount; ++i) {
        if (m.Items[i].Id != id) continue;
        MENUITEMINFOA info;
        if (ReadMenuItemInfo(m.Items[i].Menu, m.Items[i].Position, &info) != 0) return -1;
        CopyText(buffer, g_itemText);
        return 0;
    }
    return -1;
}

int IsMenuDisplayable()
{
    const SYSSTATE& s = SysState;
    const MENUSTATE& m = MenuState;
    if (s.MainWindow == nullptr || s.MenuUse == 0 || m.Hidden == 1) return 0;
    return s.MenuAlwaysShow == 1 || s.WindowModeFlag == 1 || m.ShownByCursor == 1 ? 1 : 0;
}

int SetMenuVisible(int flag)
{
    SYSSTATE& s = SysState;
    MENUSTATE& m = MenuState;
    if (s.MenuUse == 1) m.Hidden = flag == 0 ? 1 : 0;
    if (s.MainWindow == nullptr) return 0;
    const int displayable = IsMenuDisplayable();
    if (displayable == m.LastDisplayable) return 0;
    AttachMenu(displayable);
    if (s.WindowModeFlag == 1) ApplyWindowStyle();
    DrawMenuBar(s.MainWindow);
    m.LastDisplayable = displayable;
    return 0;
}

int AttachMenuForMode(int windowed)
{
    if (SysState.MenuUse == 0 || SysState.MainWindow == nullptr) return 0;
    AttachMenu(windowed);
    return 0;
}

int UpdateMenuAutoShow()
{
    if (SysState.WindowModeFlag == 1) return 0;
    int y = 0;
    ReadCursorClientPos(nullptr, &y);
    MenuState.ShownByCursor = y < kMenuRevealHeight ? 1 : 0;
    ReshowGDISurfaceForMenu();
    SetMouseCursorVisible(SysState.CursorRequestVisible);
    SetMenuVisible(MenuState.Hidden == 0 ? 1 : 0);
    return 0;
}

int HandleMenuCommand(int id)
{
    MENUSTATE& m = MenuState;
    if (SysState.ToolbarUse == 1 && id >= TOOLBAR_COMMAND_BASE) {
        const int index = FindToolbarButtonIndex(id - TOOLBAR_COMMAND_BASE);
        if (index != -1) {
            if (m.Buttons[index].Kind == 0) m.Buttons[index].Clicked = 1;
            return 0;
        }
    }
    if (SysState.MenuUse == 0) return 0;
    if (m.CommandCallback != nullptr) m.CommandCallback(id);
    if (m.CommandNameCallback != nullptr) {
        char name[128] = {};
        GetMenuItemNameById(id, name);
        m.CommandNameCallback(name, id);
    }
    if (m.ChosenCount >= MENU_CHOSEN_MAX) return 0;
    for (int i = 0; i < m.ChosenCount; ++i)
        if (m.Chosen[i] == id) return 0;
    m.Chosen[m.ChosenCount++] = id;
    return 0;
}

int FindToolbarButtonIndex(int id)
{
    const MENUSTATE& m = MenuState;
    if (SysState.ToolbarUse == 0) return -1;
    for (int i = 0; i < m.ButtonCount; ++i) {
        if (m.Buttons[i].Kind == TOOLBAR_SEPARATOR) continue;
        if (m.Buttons[i].Id == id) return i;
    }
    return -1;
}

int GetToolbarHeight()
{
    return SysState.ToolbarUse == 1 ? MenuState.ToolbarHeight : 0;
}

int DeleteAllToolbarButtons()
{
    MENUSTATE& m = MenuState;
    if (SysState.ToolbarUse == 0) return -1;
    for (int i = 0; i < m.ButtonCount; ++i) SendMessageA(m.Toolbar, TB_DELETEBUTTON, 0, 0);
    m.ButtonCount = 0;
    return 0;
}

int StoreDroppedFiles(HDROP drop)
{
    MENUSTATE& m = MenuState;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    for (UINT i = 0; i < count && m.DroppedCount < DROPPED_FILE_MAX; ++i) {
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        char* name = static_cast<char*>(AllocMemory(length + 1, __FILE__, __LINE__));
        if (name == nullptr) break;
        DragQueryFileA(drop, i, name, length + 1);
        m.Dropped[m.DroppedCount++] = name;
    }
    DragFinish(drop);
    return 0;
}

int ReleaseDroppedFiles()
{
    MENUSTATE& m = MenuState;
    for (int i = 0; i < m.DroppedCount; ++i) {
        FreeMemory(m.Dropped[i]);
        m.Dropped[i] = nullptr;
    }
    m.DroppedCount = 0;
    return 0;
}

int ReleaseMenuAndDrops()
{
    SYSSTATE& s = SysState;
    MENUSTATE& m = MenuState;
    if (s.MenuUse == 1) {
        SetMenuVisible(0);
        if (m.Attached == 1 && s.MainWindow != nullptr) SetMenu(s.MainWindow, nullptr);
        DestroyMenu(m.Menu);
    }
    m.Menu = nullptr;
    m.Attached = 0;
    m.Hidden = 0;
    m.LastDisplayable = 0;
    m.ShownByCursor = 0;
    m.CommandCallback = nullptr;
    m.CommandNameCallback = nullptr;
    m.ChosenCount = 0;
    m.ItemCount = 0;
    s.MenuUse = 0;
    if (s.ToolbarUse == 1) {
        DeleteAllToolbarButtons();
        if (m.Toolbar != nullptr) DestroyWindow(m.Toolbar);
        if (m.ToolbarBitmap != nullptr) DeleteObject(reinterpret_cast<HGDIOBJ>(m.ToolbarBitmap));
        m.Toolbar = nullptr;
        m.ToolbarBitmap = nullptr;
        m.ToolbarHeight = 0;
        s.ToolbarUse = 0;
    }
    ReleaseDroppedFiles();
    return 0;
}
