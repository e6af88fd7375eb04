// The main window's menu, toolbar and dropped files: which menu items exist
// and which were chosen, when the menu shows, toolbar clicks, and the names
// of dropped files. Only state is kept here; the window layer draws neither
// menu nor toolbar.
#pragma once

#include "platform/kernel/types.h"

constexpr int MENU_ITEM_MAX = 128;
constexpr int MENU_CHOSEN_MAX = 64;
constexpr int TOOLBAR_BUTTON_MAX = 256;
constexpr int DROPPED_FILE_MAX = 1000;
constexpr int TOOLBAR_SEPARATOR = 3;
// Toolbar buttons send their id plus this as the command.
constexpr int TOOLBAR_COMMAND_BASE = 0x500;

struct MENUITEMREC {
    HMENU Menu;
    WORD Position;
    WORD Id;
    char Text[128];
};

struct TOOLBARBUTTON {
    int Id;
    int Image;
    int Kind;  // 3: separator
    int State;
    int Clicked;
};

struct MENUSTATE {
    HMENU Menu;
    int Attached;
    int Hidden;
    int LastDisplayable;
    int ShownByCursor;
    void (*CommandCallback)(int id);
    void (*CommandNameCallback)(const char* text, int id);
    int Chosen[MENU_CHOSEN_MAX];
    int ChosenCount;
    MENUITEMREC Items[MENU_ITEM_MAX];
    int ItemCount;

    HWND Toolbar;
    HBITMAP ToolbarBitmap;
    int ToolbarHeight;
    TOOLBARBUTTON Buttons[TOOLBAR_BUTTON_MAX];
    int ButtonCount;

    char* Dropped[DROPPED_FILE_MAX];
    int DroppedCount;
};
extern MENUSTATE MenuState;

// 1 for a separator, 0 with the item read (text in a shared 128-byte
// buffer), -1 on failure.
struct MENUITEMINFOA;
int ReadMenuItemInfo(HMENU menu, int position, MENUITEMINFOA* info);
// Appends the menu's items, submenus depth first; stops at a full table.
int CollectMenuItems(HMENU menu);
int GetMenuItemNameById(int id, char* buffer);
int IsMenuDisplayable();
int SetMenuVisible(int flag);
// Attaches the menu for windowed mode, detaches it for full screen.
int AttachMenuForMode(int windowed);
int UpdateMenuAutoShow();
int HandleMenuCommand(int id);
int FindToolbarButtonIndex(int id);
int GetToolbarHeight();
int DeleteAllToolbarButtons();
int StoreDroppedFiles(HDROP drop);
int ReleaseDroppedFiles();
// The window end's part: menu hidden and destroyed, toolbar and names gone.
int ReleaseMenuAndDrops();
