#include "core/msgloop.h"
#include "core/sysstate.h"
#include "support/library_fixture.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/window/window.h"
#include "platform/winmm/timer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT kTestMessage = WM_USER + 1;
std::vector<UINT> g_received;

LRESULT CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kTestMessage || message == WM_QUIT) g_received.push_back(message);
    return DefWindowProcA(window, message, wParam, lParam);
}

void ActivateOnTimer(HWND, UINT, std::uintptr_t, DWORD)
{
    SysState.ActiveFlag = 1;
}

struct ServiceCalls {
    int Sockets = 0;
    int Inactive = 0;
    int Sound = 0;
    int Network = 0;
};
ServiceCalls g_calls;

// A plain window stands in for the main window; the loop only pumps it.
class MessageLoopTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        UseManualClock(1000, 0);
        g_received.clear();
        window = StandInMainWindow("LoopTestClass", CountingProc);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(window);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        SysState = SYSSTATE{};
        LibraryTest::TearDown();
    }
    void Post(int count)
    {
        for (int i = 0; i < count; ++i) PostMessageA(window, kTestMessage, 0, 0);
    }
    HWND window = nullptr;
};

} // namespace

TEST_F(MessageLoopTest, ActiveWindowWithEmptyQueueReturnsAtOnceWithoutSleeping)
{
    const DWORD before = timeGetTime();
    EXPECT_EQ(ServiceMessageLoop(), 0);
    EXPECT_EQ(timeGetTime(), before);
}

TEST_F(MessageLoopTest, WindowThreadDispatchesEveryWaitingMessageInOneCall)
{
    Post(12);
    EXPECT_EQ(ServiceMessageLoop(), 0);
    EXPECT_EQ(g_received.size(), 12u);
}

TEST_F(MessageLoopTest, OtherThreadGetsOnePassOfAtMostFiveMessages)
{
    SysState.WindowThreadId = GetCurrentThreadId() + 1000;
    Post(12);
    const std::size_t expected[] = {5, 10, 12, 12};
    for (std::size_t total : expected) {
        EXPECT_EQ(ServiceMessageLoop(), 0);
        EXPECT_EQ(g_received.size(), total);
    }
}

TEST_F(MessageLoopTest, InactiveWindowKeepsPassingWithSleepsUntilActivated)
{
    SysState.ActiveFlag = 0;
    SetTimer(window, 7, 100, ActivateOnTimer);
    const DWORD before = timeGetTime();
    EXPECT_EQ(ServiceMessageLoop(), 0);
    const DWORD waited = timeGetTime() - before;
    // Each pass sleeps 1 ms before and 1 ms after it until the timer fires.
    EXPECT_GE(waited, 100u);
    EXPECT_LE(waited, 104u);
    EXPECT_EQ(SysState.ActiveFlag, 1);
    KillTimer(window, 7);
}

TEST_F(MessageLoopTest, InactiveWindowReturnsOnceCloseIsRequested)
{
    SysState.ActiveFlag = 0;
    SysState.CloseRequestFlag = 1;
    EXPECT_EQ(ServiceMessageLoop(), 0);
}

TEST_F(MessageLoopTest, QuitMessageSetsTheFlagAndLaterMessagesAreDropped)
{
    PostQuitMessage(0);
    Post(1);
    EXPECT_EQ(ServiceMessageLoop(), -1);
    EXPECT_EQ(SysState.QuitFlag, 1);
    EXPECT_TRUE(g_received.empty());  // WM_QUIT has no window; the later message was dropped
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(ServiceMessageLoop(), -1);
}

TEST_F(MessageLoopTest, WithoutAWindowItAnswersTheQuitFlagOnly)
{
    SysState.MainWindow = nullptr;
    Post(3);
    EXPECT_EQ(ServiceMessageLoop(), 0);
    EXPECT_TRUE(g_received.empty());
    SysState.QuitFlag = 1;
    EXPECT_EQ(ServiceMessageLoop(), -1);
}

TEST_F(MessageLoopTest, EachCallRunsItsServicesOnceAndTheInactiveOneOnEveryWaitingPass)
{
    g_calls = ServiceCalls{};
    const MSGLOOPSERVICES installed = InstallMessageLoopServices(
        {[] { ++g_calls.Sockets; }, [] { ++g_calls.Inactive; }, [] { ++g_calls.Sound; }, [] { ++g_calls.Network; }});
    SysState.ActiveFlag = 0;
    SetTimer(window, 7, 100, ActivateOnTimer);
    EXPECT_EQ(ServiceMessageLoop(), 0);
    KillTimer(window, 7);
    // With none installed an inactive wait still ends once activated.
    InstallMessageLoopServices({});
    SysState.ActiveFlag = 0;
    SetTimer(window, 7, 100, ActivateOnTimer);
    EXPECT_EQ(ServiceMessageLoop(), 0);
    KillTimer(window, 7);
    InstallMessageLoopServices(installed);

    EXPECT_EQ(g_calls.Sockets, 1);
    EXPECT_EQ(g_calls.Sound, 1);
    EXPECT_EQ(g_calls.Network, 1);
    // One per 2 ms pass until the timer fires at 100 ms.
    EXPECT_GE(g_calls.Inactive, 45);
    EXPECT_LE(g_calls.Inactive, 51);
}
