// Owns the network fixture's set-up and its pumping loops.
#include "support/network_fixture.h"

#include "core/log.h"
#include "core/sysstate.h"
#include "platform/kernel/file.h"
#include "network/network.h"
#include "platform/kernel/clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

void NetWorkTest::SetUp()
{
    LibraryTest::SetUp();
    UseRealClock();
    GetCurrentDirectoryA(sizeof SysState.StartDirectory, SysState.StartDirectory);
    CreateLogFile();
    ClearHttpRequestTable();
}

void NetWorkTest::TearDown()
{
    CloseAllHttpHandles();
    ShutdownNetWork();
    LibraryTest::TearDown();
}

void NetWorkTest::Start(int rawDefault, int keepOpenDefault)
{
    ASSERT_EQ(StartNetWork("127.0.0.1", 0, rawDefault, keepOpenDefault), 0);
    port = GetNetWorkListenPort();
    ASSERT_GT(port, 0);
}

bool NetWorkTest::PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        PumpNetWork(1);
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

int NetWorkTest::AcceptPeer(LoopbackPeer& peer)
{
    if (!peer.Connect(port)) return -1;
    int handle = -1;
    PumpUntil([&] { return (handle = GetNewAcceptNetWork()) != -1; });
    return handle;
}

std::vector<unsigned char> Framed(const std::vector<unsigned char>& payload)
{
    const auto n = static_cast<std::uint32_t>(payload.size());
    std::vector<unsigned char> out(payload.size() + 4);
    for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<unsigned char>(n >> (8 * i));
    std::copy(payload.begin(), payload.end(), out.begin() + 4);
    return out;
}

std::vector<unsigned char> Pattern(std::size_t size, unsigned seed)
{
    std::vector<unsigned char> out(size);
    std::uint32_t s = seed * 2654435761u + 1;
    for (auto& b : out) {
        s = s * 1103515245u + 12345u;
        b = static_cast<unsigned char>(s >> 16);
    }
    return out;
}
