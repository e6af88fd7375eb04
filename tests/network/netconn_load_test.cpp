#include "network/network.h"
#include "support/network_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/winmm/timer.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Append(Bytes& to, const Bytes& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// Takes every complete byte waiting on the handle; the count taken.
int TakeWaiting(int handle, Bytes& into)
{
    const int n = GetNetWorkDataLength(handle);
    if (n <= 0) return 0;
    Bytes got(static_cast<std::size_t>(n));
    if (NetWorkRecv(handle, got.data(), n) != 0) return 0;
    Append(into, got);
    return n;
}

TEST_F(NetWorkTest, AFloodingPeerGetsABoundedShareOfEachFrameAndAGoodPeerKeepsEveryByte)
{
    Start();
    LoopbackPeer flood, good;
    const int hf = AcceptPeer(flood);
    const int hg = AcceptPeer(good);
    ASSERT_GE(hf, 0);
    ASSERT_GE(hg, 0);
    // 4 MiB of 64-byte messages, written as fast as the socket takes them.
    Bytes floodWire, floodPayload;
    for (unsigned i = 0; floodPayload.size() < (4u << 20); ++i) {
        Bytes m = Pattern(64, i);
        Append(floodWire, Framed(m));
        Append(floodPayload, m);
    }
    Bytes goodWire, goodPayload;
    for (unsigned i = 0; i < 100; ++i) {
        Bytes m = Pattern(100 + i * 37, 1000 + i);
        Append(goodWire, Framed(m));
        Append(goodPayload, m);
    }
    std::thread floodSender([&] { flood.SendAll(floodWire.data(), floodWire.size()); });
    std::thread goodSender([&] {
        for (std::size_t at = 0; at < goodWire.size(); at += 997) {
            if (!good.SendAll(goodWire.data() + at, std::min<std::size_t>(997, goodWire.size() - at))) return;
            Sleep(1);
        }
    });

    // The frame loop: the message loop's pump, then every complete byte of
    // both connections. No frame may take more than a bounded share of the
    // flood, however fast it comes.
    // The sockets a frame's polls look at measure its work as well.
    Bytes fromFlood, fromGood;
    int mostInOneFrame = 0;
    long long mostVisits = 0;
    const DWORD start = timeGetTime();
    for (int frame = 0; frame < 200000 && timeGetTime() - start < 30000; ++frame) {
        const long long visits = GetSocketPollVisitCount();
        PumpNetWork(1);
        mostInOneFrame = std::max(mostInOneFrame, TakeWaiting(hf, fromFlood));
        TakeWaiting(hg, fromGood);
        mostVisits = std::max(mostVisits, GetSocketPollVisitCount() - visits);
        if (fromFlood.size() == floodPayload.size() && fromGood.size() == goodPayload.size()) break;
    }
    CloseNetWork(hf);  // a stuck sender fails on the closed connection
    floodSender.join();
    goodSender.join();
    EXPECT_LE(mostInOneFrame, 1 << 20);
    EXPECT_LE(mostVisits, 64);
    EXPECT_TRUE(fromFlood == floodPayload) << fromFlood.size() << " of " << floodPayload.size();
    EXPECT_TRUE(fromGood == goodPayload) << fromGood.size() << " of " << goodPayload.size();
}

TEST_F(NetWorkTest, UnreadMessagesBeyondABoundStayWithThePeer)
{
    Start();
    LoopbackPeer peer;
    const int h = AcceptPeer(peer);
    ASSERT_GE(h, 0);
    Bytes wire, payload;
    for (unsigned i = 0; payload.size() < (8u << 20); ++i) {
        Bytes m = Pattern(64 * 1024, i);
        Append(wire, Framed(m));
        Append(payload, m);
    }
    std::thread sender([&] { peer.SendAll(wire.data(), wire.size()); });
    // Frames that look at the data but do not read it: what the library
    // holds stops growing while the peer still has more to send.
    EXPECT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) >= 1 << 20; }, 10000));
    for (int frame = 0; frame < 500; ++frame) {
        PumpNetWork(1);
        GetNetWorkDataLength(h);
        Sleep(frame % 50 == 0 ? 1 : 0);
    }
    EXPECT_LE(GetNetConn(h)->RecvRing.Held, 2 << 20);
    Bytes got;
    const DWORD start = timeGetTime();
    while (got.size() < payload.size() && timeGetTime() - start < 20000) {
        PumpNetWork(1);
        TakeWaiting(h, got);
    }
    CloseNetWork(h);
    sender.join();
    EXPECT_TRUE(got == payload) << got.size() << " of " << payload.size();
}

TEST_F(NetWorkTest, IdleConnectionsAddNothingToThePollsWork)
{
    constexpr int kIdle = 1000;
    constexpr int kClosing = 300;
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur < 2 * kIdle + 100) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 2 * kIdle + 100);
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
        if (limit.rlim_cur < 2 * kIdle + 100) GTEST_SKIP() << "too few open files allowed";
    }
    Start();
    LoopbackPeer active;
    const int ha = AcceptPeer(active);
    ASSERT_GE(ha, 0);
    std::vector<std::unique_ptr<LoopbackPeer>> peers;
    std::vector<int> handles;
    for (int i = 0; i < kIdle; ++i) {
        peers.push_back(std::make_unique<LoopbackPeer>());
        handles.push_back(AcceptPeer(*peers.back()));
        ASSERT_GE(handles.back(), 0) << i;
    }
    PumpUntil([] { return false; }, 50);

    // Frames that use one connection while the others stay quiet.
    constexpr int kFrames = 50;
    const long long before = GetSocketPollVisitCount();
    const unsigned char message[64] = {1, 2, 3};
    for (int frame = 0; frame < kFrames; ++frame) {
        PumpNetWork(1);
        EXPECT_EQ(GetNetWorkDataLength(ha), 0);
        ASSERT_EQ(NetWorkSend(ha, message, sizeof message), 0);
        unsigned char wire[68];
        ASSERT_TRUE(active.ReceiveExactly(wire, sizeof wire, 2000));
    }
    const long long perFrame = (GetSocketPollVisitCount() - before) / kFrames;
    EXPECT_LE(perFrame, 20);

    // Many peers leave at once: each costs its own few visits, not a walk
    // over every connection.
    const long long beforeClosing = GetSocketPollVisitCount();
    for (int i = 0; i < kClosing; ++i) peers[static_cast<std::size_t>(i)]->Close();
    ASSERT_TRUE(PumpUntil([&] {
        for (int i = 0; i < kClosing; ++i)
            if (GetNetConn(handles[static_cast<std::size_t>(i)])->ConnectedFlag != 0) return false;
        return true;
    }));
    for (int i = 0; i < kClosing; ++i) EXPECT_EQ(GetNetWorkAcceptState(handles[static_cast<std::size_t>(i)]), 0);
    PumpNetWork(1);
    for (int i = 0; i < kClosing; ++i) EXPECT_EQ(GetNetConn(handles[static_cast<std::size_t>(i)]), nullptr);
    EXPECT_LE(GetSocketPollVisitCount() - beforeClosing, 20LL * kClosing);
    EXPECT_EQ(GetNetWorkAcceptState(handles[kClosing]), 1);
}

TEST_F(NetWorkTest, ALargePrefixReservesOnlyWhatHasArrived)
{
    Start();
    LoopbackPeer peer;
    const int h = AcceptPeer(peer);
    ASSERT_GE(h, 0);
    const Bytes wire = Framed(Pattern(NETWORK_MESSAGE_LIMIT, 7));
    // The largest allowed prefix and 10 bytes behind it.
    ASSERT_TRUE(peer.SendAll(wire.data(), 14));
    NETCONN* c = GetNetConn(h);
    ASSERT_TRUE(PumpUntil([&] { return c->RecvRing.Held == 10; }));
    EXPECT_EQ(c->RecvRemainder, NETWORK_MESSAGE_LIMIT - 10);
    EXPECT_LE(c->RecvRing.Capacity, 64 * 1024);
    EXPECT_EQ(GetNetWorkDataLength(h), 0);
    // The rest comes and the message is whole.
    std::thread sender([&] { peer.SendAll(wire.data() + 14, wire.size() - 14); });
    const bool whole = PumpUntil([&] { return GetNetWorkDataLength(h) == int(NETWORK_MESSAGE_LIMIT); }, 20000);
    sender.join();
    ASSERT_TRUE(whole);
    Bytes got(NETWORK_MESSAGE_LIMIT);
    ASSERT_EQ(NetWorkRecv(h, got.data(), int(got.size())), 0);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), wire.begin() + 4));
}

} // namespace
