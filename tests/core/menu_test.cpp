#include "core/api.h"
#include "core/menu.h"
#include "core/sysstate.h"
#include "platform/window/dragdrop.h"
#include "platform/window/menu.h"
#include "platform/window/window.h"
#include "support/library_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int> g_commands;
std::vector<std::string> g_names;

void OnCommand(int id)
{
    g_commands.push_back(id);
}

void OnNamedCommand(const char* text, int)
{
    g_names.push_back(text);
}

class MenuTest : public StartedLibraryTest<320, 240> {
protected:
    void SetUp() override
    {
        g_commands.clear();
        g_names.clear();
        StartedLibraryTest::SetUp();
    }
    void TearDown() override
    {
        SimulateCursorPos(nullptr);
        StartedLibraryTest::TearDown();
    }
    // File (Open 10, separator, Recent > (One 20, Two 21)), Quit 30.
    void UseMenu()
    {
        HMENU recent = CreatePopupMenu();
        AppendMenuA(recent, MF_STRING, 20, "One");
        AppendMenuA(recent, MF_STRING, 21, "Two");
        HMENU file = CreatePopupMenu();
        AppendMenuA(file, MF_STRING, 10, "Open");
        AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(file, MF_POPUP, reinterpret_cast<std::uintptr_t>(recent), "Recent");
        HMENU bar = CreateMenu();
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<std::uintptr_t>(file), "File");
        AppendMenuA(bar, MF_STRING, 30, "Quit");
        SysState.MenuUse = 1;
        MenuState.Menu = bar;
        MenuState.ItemCount = 0;
        ASSERT_EQ(CollectMenuItems(bar), 0);
    }
};

} // namespace

TEST_F(MenuTest, ItemsAreCollectedDepthFirstAndCommandsRecordedOnce)
{
    UseMenu();
    std::vector<std::string> texts;
    for (int i = 0; i < MenuState.ItemCount; ++i) texts.push_back(MenuState.Items[i].Text);
    EXPECT_EQ(texts, (std::vector<std::string>{"File", "Open", "Recent", "One", "Two", "Quit"}));

    MenuState.CommandCallback = OnCommand;
    MenuState.CommandNameCallback = OnNamedCommand;
    SendMessageA(window, WM_COMMAND, 21, 0);
    SendMessageA(window, WM_COMMAND, 21, 0);
    EXPECT_EQ(MenuState.ChosenCount, 1);
    EXPECT_EQ(g_commands, (std::vector<int>{21, 21}));
    EXPECT_EQ(g_names, (std::vector<std::string>{"Two", "Two"}));

    for (int id = 100; id < 200 && MenuState.ChosenCount < 64; ++id) SendMessageA(window, WM_COMMAND, id, 0);
    SendMessageA(window, WM_COMMAND, 500, 0);
    EXPECT_EQ(MenuState.ChosenCount, 64);
    EXPECT_EQ(g_commands.back(), 500);
    char name[128];
    EXPECT_EQ(GetMenuItemNameById(99, name), -1);
}

TEST_F(MenuTest, InFullScreenTheMenuAndCursorShowNearTheTopEdgeOnly)
{
    UseMenu();
    ASSERT_EQ(SelectWindowMode(0), 0);
    const POINT near{10, 59};
    SimulateCursorPos(&near);
    PumpMessages();
    EXPECT_EQ(IsMenuDisplayable(), 1);
    EXPECT_EQ(GetMenu(window), MenuState.Menu);
    EXPECT_GE(GetCursorDisplayCount(), 0);
    const POINT below{10, 60};
    SimulateCursorPos(&below);
    PumpMessages();
    EXPECT_EQ(IsMenuDisplayable(), 0);
    EXPECT_EQ(GetMenu(window), nullptr);
    EXPECT_LT(GetCursorDisplayCount(), 0);
}

TEST_F(MenuTest, ToolbarCommandsMarkOnlyPlainButtons)
{
    SysState.ToolbarUse = 1;
    MenuState.ButtonCount = 3;
    MenuState.Buttons[0] = TOOLBARBUTTON{7, 0, TOOLBAR_SEPARATOR, 0, 0};
    MenuState.Buttons[1] = TOOLBARBUTTON{7, 0, 0, 0, 0};
    MenuState.Buttons[2] = TOOLBARBUTTON{8, 0, 1, 0, 0};
    SendMessageA(window, WM_COMMAND, TOOLBAR_COMMAND_BASE + 7, 0);
    SendMessageA(window, WM_COMMAND, TOOLBAR_COMMAND_BASE + 8, 0);
    EXPECT_EQ(MenuState.Buttons[0].Clicked, 0);
    EXPECT_EQ(MenuState.Buttons[1].Clicked, 1);
    EXPECT_EQ(MenuState.Buttons[2].Clicked, 0);
    EXPECT_EQ(FindToolbarButtonIndex(9), -1);
    EXPECT_EQ(DeleteAllToolbarButtons(), 0);
    EXPECT_EQ(MenuState.ButtonCount, 0);
    SysState.ToolbarUse = 0;
}

TEST_F(MenuTest, DroppedNamesArriveOnlyWhileTheWindowTakesDrops)
{
    const std::vector<std::string> names{"/tmp/a.png", reinterpret_cast<const char*>(u8"/tmp/画像.bmp")};
    SimulateFileDrop(window, names);
    PumpMessages();
    EXPECT_EQ(MenuState.DroppedCount, 0);

    DragAcceptFiles(window, TRUE);
    SimulateFileDrop(window, names);
    PumpMessages();
    ASSERT_EQ(MenuState.DroppedCount, 2);
    EXPECT_STREQ(MenuState.Dropped[0], "/tmp/a.png");
    EXPECT_STREQ(MenuState.Dropped[1], "/tmp/画像.bmp");
    EXPECT_EQ(GetLiveDropCount(), 0);
    DragAcceptFiles(window, FALSE);

    ReleaseDroppedFiles();
    StoreDroppedFiles(MakeDropHandle(std::vector<std::string>(1001, "x")));
    EXPECT_EQ(MenuState.DroppedCount, 1000);
    ReleaseDroppedFiles();
    EXPECT_EQ(MenuState.DroppedCount, 0);
}
