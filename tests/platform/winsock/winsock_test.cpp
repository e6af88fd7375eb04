#include "platform/window/window.h"
#include "platform/winsock/winsock.h"
#include "support/loopback_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr UINT kSocketMessage = 0x505;

struct Event {
    SOCKET socket;
    long event;
    int error;
};
std::vector<Event> g_events;

LRESULT Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kSocketMessage) {
        const auto value = static_cast<DWORD>(lParam);
        g_events.push_back(Event{static_cast<SOCKET>(wParam), static_cast<long>(value & 0xFFFF), static_cast<int>(value >> 16)});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class WinsockTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_events.clear();
        WSADATA data;
        ASSERT_EQ(WSAStartup(0x0101, &data), 0);
        WNDCLASSA wc{};
        wc.lpfnWndProc = Record;
        wc.lpszClassName = "SocketEventsTest";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "SocketEventsTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(window);
        WSACleanup();
        EXPECT_EQ(GetOpenSocketCount(), 0);
    }
    // Polls and dispatches until `count` events have come or the time runs out.
    void Deliver(std::size_t count, int timeoutMs = kPeerWaitMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (g_events.size() < count && std::chrono::steady_clock::now() < deadline) {
            PollSocketSelections();
            MSG m;
            while (PeekMessageA(&m, window, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Settles for a while and answers how many events came in that time.
    std::size_t Quiet(int ms = 50)
    {
        const std::size_t before = g_events.size();
        Deliver(before + 1000, ms);
        return g_events.size() - before;
    }
    SOCKET Listen(int* port)
    {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = inet_addr("127.0.0.1");
        EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(listen(s, 8), 0);
        int length = sizeof a;
        EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&a), &length), 0);
        *port = ntohs(a.sin_port);
        return s;
    }
    HWND window = nullptr;
};

TEST_F(WinsockTest, AcceptAndReadAreRepostedOnlyAfterTheirAnsweringCall)
{
    int port = 0;
    SOCKET listener = Listen(&port);
    ASSERT_EQ(WSAAsyncSelect(listener, window, kSocketMessage, FD_ACCEPT), 0);
    LoopbackPeer a, b;
    ASSERT_TRUE(a.Connect(port));
    ASSERT_TRUE(b.Connect(port));
    Deliver(1);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].event, FD_ACCEPT);
    EXPECT_EQ(Quiet(), 0u);  // a second connection waits, but accept() was not called

    sockaddr_in peer{};
    int length = sizeof peer;
    SOCKET s = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(peer.sin_addr.s_addr, inet_addr("127.0.0.1"));
    Deliver(2);
    EXPECT_EQ(g_events.back().event, FD_ACCEPT);
    ASSERT_EQ(WSAAsyncSelect(s, window, kSocketMessage, FD_READ | FD_CLOSE), 0);

    g_events.clear();
    ASSERT_TRUE(a.SendAll("abcdef"));
    Deliver(1);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].event, FD_READ);
    EXPECT_EQ(Quiet(), 0u);
    char buffer[8];
    EXPECT_EQ(recv(s, buffer, 2, 0), 2);  // data remains: FD_READ comes again
    Deliver(2);
    EXPECT_EQ(g_events.back().event, FD_READ);
    EXPECT_EQ(recv(s, buffer, 8, 0), 4);
    EXPECT_EQ(Quiet(), 0u);
    EXPECT_EQ(recv(s, buffer, 8, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

    a.ShutdownWrite();
    Deliver(3);
    EXPECT_EQ(g_events.back().event, FD_CLOSE);
    EXPECT_EQ(g_events.back().error, 0);
    EXPECT_EQ(recv(s, buffer, 8, 0), 0);
    closesocket(s);
    closesocket(listener);
}

TEST_F(WinsockTest, ConnectReportsItsOutcomeAndAResetClosesWithAnError)
{
    LoopbackPeer server;
    ASSERT_TRUE(server.Listen());
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(WSAAsyncSelect(s, window, kSocketMessage, FD_CONNECT | FD_WRITE | FD_CLOSE), 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<WORD>(server.Port()));
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    Deliver(2);
    ASSERT_EQ(g_events.size(), 2u);
    EXPECT_EQ(g_events[0].event, FD_CONNECT);
    EXPECT_EQ(g_events[0].error, 0);
    EXPECT_EQ(g_events[1].event, FD_WRITE);
    ASSERT_TRUE(server.Accept(kPeerWaitMs));
    server.Reset();
    Deliver(3);
    ASSERT_EQ(g_events.size(), 3u);
    EXPECT_EQ(g_events[2].event, FD_CLOSE);
    EXPECT_EQ(g_events[2].error, WSAECONNRESET);
    // A send to the reset connection fails without a signal.
    EXPECT_EQ(send(s, "x", 1, 0), SOCKET_ERROR);
    closesocket(s);

    // Nothing listens on the freed port: FD_CONNECT carries the refusal.
    const int freePort = server.Port();
    server.CloseListener();
    g_events.clear();
    s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(WSAAsyncSelect(s, window, kSocketMessage, FD_CONNECT | FD_READ | FD_CLOSE), 0);
    a.sin_port = htons(static_cast<WORD>(freePort));
    connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    Deliver(1);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].event, FD_CONNECT);
    EXPECT_EQ(g_events[0].error, WSAECONNREFUSED);
    EXPECT_EQ(Quiet(), 0u);
    closesocket(s);
}

TEST_F(WinsockTest, BadCallsFailAsTheInterfaceDoes)
{
    char b[4];
    EXPECT_EQ(recv(12345, b, 4, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(socket(23, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEAFNOSUPPORT);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(recv(s, b, -1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(closesocket(s), 0);
    EXPECT_EQ(closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(inet_addr("127.0.0.1"), htonl(0x7F000001u));
    for (const char* bad : {"1.2.3", "1.2.3.256", "a.b.c.d", "1.2.3.4 ", ""}) EXPECT_EQ(inet_addr(bad), INADDR_NONE) << bad;
}

} // namespace
