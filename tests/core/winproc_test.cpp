#include "core/api.h"
#include "core/sysstate.h"
#include "core/winproc.h"
#include "support/library_fixture.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> g_activations;

void RecordActivation(int active, void* data)
{
    g_activations.push_back(active);
    EXPECT_EQ(data, &g_activations);
}

class WindowProcTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        g_activations.clear();
        ASSERT_EQ(StartLibrary(), 0);
        window = SysState.MainWindow;
    }
    void TearDown() override
    {
        EndLibrary();
        LibraryTest::TearDown();
    }
    HWND window = nullptr;
};

} // namespace

TEST_F(WindowProcTest, FocusChangesSetTheActiveFlagAndCallTheCallback)
{
    SysState.ActivateCallback = RecordActivation;
    SysState.ActivateCallbackData = &g_activations;
    SimulateFocusChange(window, false);
    EXPECT_EQ(SysState.ActiveFlag, 0);
    SimulateFocusChange(window, true);
    EXPECT_EQ(SysState.ActiveFlag, 1);
    // Deactivation arrives as WM_ACTIVATE and WM_ACTIVATEAPP, activation as both too,
    // but WM_ACTIVATEAPP with 1 is not an activation change.
    EXPECT_EQ(g_activations, (std::vector<int>{0, 0, 1}));
}

TEST_F(WindowProcTest, ActivationDuringCreationOnlySetsTheFlag)
{
    SysState.ActivateCallback = RecordActivation;
    SysState.ActivateCallbackData = &g_activations;
    SysState.WindowCreatingFlag = 1;
    SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(SysState.ActiveFlag, 0);
    EXPECT_TRUE(g_activations.empty());
    SysState.WindowCreatingFlag = 0;
}

TEST_F(WindowProcTest, CloseOutsideShutdownDestroysTheWindowAndQuits)
{
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SysState.EndingState, 4);
    EXPECT_EQ(SysState.WindowDestroyFlag, 1);
    EXPECT_EQ(SysState.QuitFlag, 1);
    EXPECT_EQ(PumpMessages(), -1);
    EXPECT_EQ(PumpMessages(), -1);
    const std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "ウインドウを閉じようとしています\r\n"));
    EXPECT_TRUE(Contains(log, "ウインドウが破棄されようとしています\r\n"));
    EXPECT_TRUE(Contains(log, "ソフトを終了する準備が整いました\r\n"));
    // The shutdown still runs to its leak report with the window gone.
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_TRUE(Contains(ReadLogFile(), "Alloc memory dump"));
}

TEST_F(WindowProcTest, KeepWindowOnCloseKeepsItUntilTheShutdown)
{
    SysState.KeepWindowOnClose = 1;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(SysState.EndingState, 4);
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_FALSE(IsWindow(window));
    SysState.KeepWindowOnClose = 0;
}

TEST_F(WindowProcTest, ProcessSignalArrivesAsACloseOfTheWindow)
{
    SimulateCloseRequest(window);
    EXPECT_EQ(PumpMessages(), -1);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowProcTest, SystemCommandsWheelAndAltEnter)
{
    EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 1);
    EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2), 1);

    struct Wheel {
        int delta;
        int count;
    } wheels[] = {{120, 1}, {-120, 0}, {0, -1}};
    for (const Wheel& w : wheels) {
        SendMessageA(window, WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<DWORD>(w.delta) << 16), 0);
        EXPECT_EQ(SysState.WheelCount, w.count) << w.delta;
    }

    SendMessageA(window, WM_SYSCHAR, 0x0D, 0);
    EXPECT_EQ(SysState.ModeChangeRequest, 0);
    SysState.ModeChangeAllowed = 1;
    EXPECT_EQ(SendMessageA(window, WM_SYSCHAR, 0x0D, 0), 0);
    EXPECT_EQ(SysState.ModeChangeRequest, 1);
    SysState.ModeChangeAllowed = 0;
    SysState.ModeChangeRequest = 0;
}

TEST_F(WindowProcTest, SocketEventWithoutAConnectionIsLogged)
{
    EXPECT_EQ(SendMessageA(window, 0x505, 3, 1), 0);
    EXPECT_TRUE(Contains(ReadLogFile(), "通信エラー No.1\r\n"));
}
