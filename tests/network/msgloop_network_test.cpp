#include "core/msgloop.h"
#include "core/sysstate.h"
#include "core/winproc.h"
#include "network/network.h"
#include "platform/kernel/sync.h"
#include "platform/window/window.h"
#include "support/library_fixture.h"
#include "support/network_fixture.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// The library's message pump, with a plain window standing in for the main one.
class MessageLoopNetWorkTest : public NetWorkTest {
protected:
    void SetUp() override
    {
        NetWorkTest::SetUp();
        window = StandInMainWindow("NetLoopTestClass", DefWindowProcA);
        ASSERT_NE(window, nullptr);
        Start();
    }
    void TearDown() override
    {
        NetWorkTest::TearDown();
        DestroyWindow(window);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        SysState = SYSSTATE{};
    }
    // Only the message pump runs, as in the game's frame loop.
    bool LoopUntil(const std::function<bool()>& done)
    {
        for (int i = 0; i < 20000; ++i) {
            ServiceMessageLoop();
            if (done()) return true;
            std::this_thread::yield();
        }
        return false;
    }
    HWND window = nullptr;
};

TEST_F(MessageLoopNetWorkTest, SocketEventsAndTransfersAreDrivenByThePumpAlone)
{
    LoopbackPeer peer;
    ASSERT_TRUE(peer.Connect(port));
    int h = -1;
    ASSERT_TRUE(LoopUntil([&] { return (h = GetNewAcceptNetWork()) != -1; }));
    ASSERT_TRUE(peer.SendAll(Framed(Pattern(3000)).data(), 3004));
    ASSERT_TRUE(LoopUntil([&] { return GetNetConn(h)->CompleteBytes == 3000; }));

    // The main window's procedure hands socket messages to the network.
    const SOCKET s = GetNetConn(h)->Socket;
    EXPECT_EQ(MainWindowProc(window, 0x505, static_cast<WPARAM>(s), FD_CLOSE), 1);
    EXPECT_EQ(GetNetConn(h)->ConnectedFlag, 0);

    LoopbackPeer server;
    ASSERT_TRUE(server.Listen());
    std::thread answer([&] {
        if (!server.Accept(kPeerWaitMs)) return;
        server.ReceiveUntil("\r\n\r\n", kPeerWaitMs);
        server.SendAll("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello");
        server.Close();
    });
    const int slot = OpenHttpHandle(HTTP_GET, "127.0.0.1", server.Port(), "/", nullptr, 0, nullptr);
    int result = -1;
    EXPECT_TRUE(LoopUntil([&] {
        GetHttpHandleState(slot, &result, nullptr, nullptr, nullptr);
        return result != -1;
    }));
    answer.join();
    EXPECT_EQ(result, 0);
}

} // namespace
