// Menus of the window layer: a model of items that the library reads and
// attaches to a window. SDL draws no menus, so an attached menu is state
// only; nothing is shown in the window.
#pragma once

#include "platform/kernel/types.h"

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MFT_SEPARATOR = 0x0800;

constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_TYPE = 0x0010;

struct MENUITEMINFOA {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    char* dwTypeData;  // the text buffer
    UINT cch;          // its size in, the text's length out
};

HMENU CreateMenu();
HMENU CreatePopupMenu();
// With MF_POPUP, id is the submenu's handle.
BOOL AppendMenuA(HMENU menu, UINT flags, std::uintptr_t id, const char* text);
// Destroys the menu and its submenus.
BOOL DestroyMenu(HMENU menu);
// -1 for a bad menu.
int GetMenuItemCount(HMENU menu);
BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info);
// A null menu detaches the window's menu.
BOOL SetMenu(HWND window, HMENU menu);
HMENU GetMenu(HWND window);
BOOL DrawMenuBar(HWND window);
