#include "core/api.h"
#include "core/mainwindow.h"
#include "core/sysstate.h"
#include "support/library_fixture.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class MainWindowTest : public LibraryTest {
protected:
    void TearDown() override
    {
        EndLibrary();
        LibraryTest::TearDown();
    }
};

} // namespace

TEST_F(MainWindowTest, GameSettingsGiveAClientAreaOfTheScreenSize)
{
    ASSERT_EQ(StartLibrary(), 0);
    RECT client{};
    ASSERT_TRUE(GetClientRect(SysState.MainWindow, &client));
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    EXPECT_EQ(SysState.WindowClientRect.right - SysState.WindowClientRect.left, 640);
    EXPECT_STREQ(SysState.WindowTitle, "Zarvo");
    EXPECT_STREQ(SysState.ClassName, "D123987X");
    EXPECT_EQ(SysState.DesktopColorBits, 32);
    EXPECT_EQ(SysState.ActiveFlag, 1);
    EXPECT_EQ(SysState.CodePageFlag, 1);
    EXPECT_FALSE(IsScreenSaverActive());
}

TEST_F(MainWindowTest, ClassDefaultsToTheTitleAndSettingsSurviveARestart)
{
    std::strcpy(SysState.WindowTitle, "Custom");
    SysState.BackgroundColorFlag = 1;
    SysState.BackgroundRed = 9;
    ASSERT_EQ(StartLibrary(), 0);
    EXPECT_STREQ(SysState.ClassName, "Custom");
    ASSERT_EQ(EndLibrary(), 0);
    EXPECT_EQ(SysState.MainWindow, nullptr);
    EXPECT_TRUE(IsScreenSaverActive());

    SysState.QuitFlag = 1;  // cleared by the next window creation
    ASSERT_EQ(StartLibrary(), 0);
    EXPECT_NE(SysState.MainWindow, nullptr);
    EXPECT_EQ(SysState.QuitFlag, 0);
    EXPECT_STREQ(SysState.WindowTitle, "Custom");
    EXPECT_EQ(SysState.BackgroundRed, 9);
    EXPECT_EQ(PumpMessages(), 0);
}

TEST(SysStateAccessors, WindowScaleAndDesktopBeforeStartUp)
{
    SysState.WindowModeFlag = 0;
    SysState.WindowScale = 2.0;
    EXPECT_EQ(GetWindowScale(), 1.0);
    SysState.WindowModeFlag = 1;
    EXPECT_EQ(GetWindowScale(), 2.0);
    SysState.WindowScale = -1.0;
    EXPECT_EQ(GetWindowScale(), 1.0);
    EXPECT_EQ(SysState.WindowScale, 1.0);

    int w = 0, h = 0, bits = 0;
    EXPECT_EQ(GetDesktopMetrics(&w, &h, &bits), 0);
    EXPECT_GT(w, 0);
    EXPECT_GT(h, 0);
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(GetDesktopMetrics(nullptr, nullptr, nullptr), 0);
    SysState = SYSSTATE{};
}
