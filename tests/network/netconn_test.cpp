#include "network/network.h"
#include "support/network_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "platform/kernel/clock.h"
#include "platform/winmm/timer.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Payload sizes: empty, one byte, across the ring's wrap, beyond its size.
const std::size_t kSizes[] = {0, 1, 700, 900, 1500, 300000};

// Receives one framed message of `size` bytes through the data operations.
bool ReceiveFramed(NetWorkTest* t, int handle, Bytes& out, std::size_t size)
{
    out.assign(size, 0);
    return t->PumpUntil([&] {
        return GetNetWorkDataLength(handle) >= static_cast<int>(size) &&
               NetWorkRecv(handle, out.data(), static_cast<int>(size)) == 0;
    });
}

TEST_F(NetWorkTest, FramedMessagesOfEverySizeCrossBothWaysInOrder)
{
    Start();
    LoopbackPeer peer;
    const int h = AcceptPeer(peer);
    ASSERT_GE(h, 0);
    std::thread sender([&] {
        for (std::size_t i = 0; i < std::size(kSizes); ++i) peer.SendAll(Framed(Pattern(kSizes[i], unsigned(i))).data(), kSizes[i] + 4);
    });
    for (std::size_t i = 0; i < std::size(kSizes); ++i) {
        Bytes got;
        if (kSizes[i] == 0) continue;  // an empty message adds nothing to read
        ASSERT_TRUE(ReceiveFramed(this, h, got, kSizes[i])) << kSizes[i];
        EXPECT_EQ(got, Pattern(kSizes[i], unsigned(i))) << kSizes[i];
    }
    sender.join();
    EXPECT_EQ(GetNetWorkDataLength(h), 0);

    // The other way: each send while nothing else waits makes one message.
    Bytes wire;
    std::thread reader([&] {
        std::size_t total = 0;
        for (std::size_t s : kSizes) total += s == 0 ? 0 : s + 4;
        wire.resize(total);
        peer.ReceiveExactly(wire.data(), total, kPeerWaitMs);
    });
    for (std::size_t i = 0; i < std::size(kSizes); ++i) {
        if (kSizes[i] == 0) continue;
        Bytes payload = Pattern(kSizes[i], unsigned(i) + 10);
        ASSERT_EQ(NetWorkSend(h, payload.data(), static_cast<int>(payload.size())), 0);
        ASSERT_TRUE(PumpUntil([&] { return NetWorkState.Connections[h & 0xFFFF]->SendRing.Held == 0; }));
    }
    reader.join();
    Bytes expected;
    for (std::size_t i = 0; i < std::size(kSizes); ++i) {
        if (kSizes[i] == 0) continue;
        Bytes f = Framed(Pattern(kSizes[i], unsigned(i) + 10));
        expected.insert(expected.end(), f.begin(), f.end());
    }
    EXPECT_EQ(wire, expected);
}

TEST_F(NetWorkTest, RawBytesCrossBothWaysAndLinesAreReadWhole)
{
    Start(1);
    LoopbackPeer peer;
    const int h = AcceptPeer(peer);
    ASSERT_GE(h, 0);
    Bytes big = Pattern(200000);
    std::thread sender([&] { peer.SendAll(big.data(), big.size()); });
    Bytes got(big.size());
    std::size_t have = 0;
    PumpUntil([&] {
        const int n = NetWorkRecv(h, got.data() + have, static_cast<int>(got.size() - have));
        if (n > 0) have += static_cast<std::size_t>(n);
        return have == got.size();
    });
    sender.join();
    EXPECT_EQ(got, big);
    EXPECT_EQ(GetNetWorkDataLength(h), -1);  // nothing waits

    ASSERT_EQ(NetWorkSend(h, "pong", 4), 4);
    char back[4];
    ASSERT_TRUE(peer.ReceiveExactly(back, 4, kPeerWaitMs));
    EXPECT_EQ(std::memcmp(back, "pong", 4), 0);

    // A trail byte before the line feed does not hide it; a line needs its LF.
    ASSERT_TRUE(peer.SendAll(std::string("fifteen chars!!\r\n") + "\x81\n" + "tail"));
    char line[256];
    ASSERT_TRUE(PumpUntil([&] { return NetWorkRecvLine(h, line) == 0; }));
    EXPECT_STREQ(line, "fifteen chars!!\r");
    ASSERT_EQ(NetWorkRecvLine(h, line), 0);
    EXPECT_STREQ(line, "\x81");
    EXPECT_EQ(NetWorkRecvLine(h, line), -1);
    char rest[4];
    EXPECT_EQ(NetWorkRecvToPeek(h, rest, 4), 4);
    ASSERT_EQ(NetWorkRecv(h, rest, 4), 4);
    // No line feed among the first 255 bytes, or a zero byte before it: no line, nothing taken.
    for (const std::string& waiting : {std::string(300, 'n') + "\n", std::string("ab\0cd\n", 6)}) {
        ASSERT_TRUE(peer.SendAll(waiting));
        ASSERT_TRUE(PumpUntil([&] { return NetWorkRecvToPeek(h, line, 255) == int(std::min<std::size_t>(255, waiting.size())); }));
        EXPECT_EQ(NetWorkRecvLine(h, line), -1);
        std::string drained(waiting.size(), '\0');
        ASSERT_EQ(NetWorkRecv(h, drained.data(), int(drained.size())), int(waiting.size()));
        EXPECT_EQ(drained, waiting);
    }
    ASSERT_TRUE(peer.SendAll("tail"));

    peer.ShutdownWrite();
    ASSERT_EQ(NetWorkRecv(h, rest, 4), 4);
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 0; }));
}

TEST_F(NetWorkTest, SendsQueuedWhileTheSocketIsFullLoseAndRepeatNothing)
{
    Start();
    LoopbackPeer peer;
    const int h = AcceptPeer(peer);
    ASSERT_GE(h, 0);
    const int small = 4096;
    ASSERT_EQ(setsockopt(GetNetConn(h)->Socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&small), 4), 0);
    Bytes sent;
    for (unsigned i = 0; i < 300; ++i) {
        Bytes piece = Pattern(1 + (i * 977) % 3000, i);
        sent.insert(sent.end(), piece.begin(), piece.end());
        ASSERT_EQ(NetWorkSend(h, piece.data(), static_cast<int>(piece.size())), 0);
    }
    // The peer reads slowly and takes the stream apart at its prefixes.
    Bytes received;
    bool emptyMessage = false;
    std::thread reader([&] {
        while (received.size() < sent.size()) {
            unsigned char header[4];
            if (!peer.ReceiveExactly(header, 4, kPeerWaitMs)) return;
            const std::uint32_t n = header[0] | (header[1] << 8) | (header[2] << 16) | (std::uint32_t(header[3]) << 24);
            if (n == 0 || n > sent.size()) {
                emptyMessage = true;
                return;
            }
            Bytes payload(n);
            if (!peer.ReceiveExactly(payload.data(), n, kPeerWaitMs)) return;
            received.insert(received.end(), payload.begin(), payload.end());
            Sleep(1);
        }
    });
    EXPECT_TRUE(PumpUntil([&] {
        const NETCONN* c = GetNetConn(h);
        return c->SendRing.Held == 0 && c->SendRemainder == 0 && c->HeaderRemainder == 0;
    }, 10000));
    reader.join();
    EXPECT_FALSE(emptyMessage);
    EXPECT_EQ(received, sent);
}

TEST_F(NetWorkTest, PiecesAndSplitHeadersCompleteOnlyWithTheirLastByte)
{
    Start();
    LoopbackPeer peer;
    const int h = AcceptPeer(peer);
    ASSERT_GE(h, 0);
    NETCONN* c = GetNetConn(h);
    Bytes wire = Framed(Pattern(30));
    // Three header bytes: nothing is taken.
    ASSERT_TRUE(peer.SendAll(wire.data(), 3));
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(c->RecvRing.Held, 0);
    EXPECT_EQ(c->RecvRemainder, 0u);
    ASSERT_TRUE(peer.SendAll(wire.data() + 3, 11));
    ASSERT_TRUE(PumpUntil([&] { return c->RecvRing.Held == 10; }));
    EXPECT_EQ(c->CompleteBytes, 0);
    EXPECT_EQ(c->RecvRemainder, 20u);
    ASSERT_TRUE(peer.SendAll(wire.data() + 14, wire.size() - 14));
    ASSERT_TRUE(PumpUntil([&] { return c->CompleteBytes == 30; }));
    char five[5];
    EXPECT_EQ(NetWorkRecv(h, five, 31), -1);
    // A large message's header alone reserves nothing: the ring grows with
    // the bytes as they come.
    char thirty[30];
    ASSERT_EQ(NetWorkRecv(h, thirty, 30), 0);
    Bytes big = Framed(Pattern(100000));
    ASSERT_TRUE(peer.SendAll(big.data(), 4));
    ASSERT_TRUE(PumpUntil([&] { return c->RecvRemainder == 100000u; }));
    EXPECT_LT(c->RecvRing.Capacity, 100000);
    ASSERT_TRUE(peer.SendAll(big.data() + 4, big.size() - 4));
    ASSERT_TRUE(PumpUntil([&] { return c->CompleteBytes == 100000; }));
    Bytes got(100000);
    ASSERT_EQ(NetWorkRecv(h, got.data(), 100000), 0);
    EXPECT_EQ(got, Pattern(100000));
    // An empty message, then two messages in one arrival.
    Bytes two = Framed({});
    for (auto& m : {Framed(Pattern(5)), Framed(Pattern(7))}) two.insert(two.end(), m.begin(), m.end());
    ASSERT_TRUE(peer.SendAll(two.data(), two.size()));
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 12; }));
}

TEST_F(NetWorkTest, HostilePrefixesSetTheErrorAndThePumpClosesTheConnection)
{
    Start();
    for (std::uint32_t length : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x7FFFFC00u, NETWORK_MESSAGE_LIMIT + 1}) {
        LoopbackPeer peer;
        const int h = AcceptPeer(peer);
        ASSERT_GE(h, 0);
        // Bytes held first, so a wrapping sum would have passed.
        ASSERT_TRUE(peer.SendAll(Framed(Pattern(8)).data(), 12));
        ASSERT_TRUE(PumpUntil([&] { return GetNetConn(h)->CompleteBytes == 8; }));
        const unsigned char header[4] = {static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
                                         static_cast<unsigned char>(length >> 16), static_cast<unsigned char>(length >> 24)};
        ASSERT_TRUE(peer.SendAll(header, 4));
        ASSERT_TRUE(PumpUntil([&] { return GetNetConn(h) == nullptr || GetNetConn(h)->ErrorFlag == 1; })) << length;
        if (GetNetConn(h) != nullptr) {
            char b[8];
            EXPECT_EQ(NetWorkRecv(h, b, 8), -1);  // refused while in error, until the pump closes it
            PumpNetWork(1);
        }
        EXPECT_EQ(GetNetConn(h), nullptr);
        EXPECT_EQ(GetNetWorkAcceptState(h), -1);
    }
    const std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "受信データを保存するリングバッファのリサイズに失敗しました(データサイズ 4294967295 byte)"));
    EXPECT_TRUE(Contains(log, "このネットワークハンドルにはエラーが発生しています in NetWorkRecv"));
}

TEST_F(NetWorkTest, AGoneAndSeenPeerIsClosedUnlessKeptOpen)
{
    for (int keep : {0, 1}) {
        Start(0, keep);
        LoopbackPeer peer;
        const int h = AcceptPeer(peer);
        ASSERT_GE(h, 0);
        ASSERT_TRUE(peer.SendAll(Framed(Pattern(6)).data(), 10));
        peer.Close();
        ASSERT_TRUE(PumpUntil([&] { return GetNetWorkAcceptState(h) == 0; }));
        PumpNetWork(1);
        if (keep == 0) {
            EXPECT_EQ(GetNetConn(h), nullptr);
            EXPECT_EQ(NetWorkSend(h, "x", 1), -1);
        } else {
            char six[6];
            EXPECT_EQ(NetWorkRecv(h, six, 6), 0);
            EXPECT_EQ(NetWorkSend(h, "x", 1), -1);  // the peer has gone
            EXPECT_EQ(CloseNetWork(h), 0);
        }
        ShutdownNetWork();
    }
}

TEST_F(NetWorkTest, ClosingAndShutdownWaitForStalledPeersOnlyBriefly)
{
    Start();
    LoopbackPeer peers[3];
    int handles[3];
    for (int i = 0; i < 3; ++i) {
        handles[i] = AcceptPeer(peers[i]);
        ASSERT_GE(handles[i], 0);
        // Announces 100 bytes, sends 10 and stalls.
        Bytes half = Framed(Pattern(100));
        ASSERT_TRUE(peers[i].SendAll(half.data(), 14));
    }
    ASSERT_TRUE(PumpUntil([&] { return GetNetConn(handles[2])->RecvRemainder == 90; }));
    DWORD t0 = timeGetTime();
    EXPECT_EQ(CloseNetWork(handles[0]), 0);
    const DWORD one = timeGetTime() - t0;
    EXPECT_GE(one, 900u);
    EXPECT_LT(one, 1500u);
    t0 = timeGetTime();
    EXPECT_EQ(ShutdownNetWork(), 0);
    EXPECT_LT(timeGetTime() - t0, 1500u);
    EXPECT_EQ(GetOpenSocketCount(), 0);
    const std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "ネットワーク関連の終了処理を行います"));
    EXPECT_TRUE(Contains(log, "ネットワーク関連の終了処理は完了しました"));
}

TEST_F(NetWorkTest, NotificationsRefusedWhileBusyAreTakenUpLater)
{
    Start();
    LoopbackPeer a, b;
    const int ha = AcceptPeer(a);
    const int hb = AcceptPeer(b);
    ASSERT_GE(hb, 0);
    // Both arrive before one pump: B's notification meets A's busy receive.
    ASSERT_TRUE(a.SendAll(Framed(Pattern(20)).data(), 24));
    ASSERT_TRUE(b.SendAll(Framed(Pattern(20)).data(), 24));
    Sleep(50);
    EXPECT_TRUE(PumpUntil([&] { return GetNetConn(ha)->CompleteBytes == 20 && GetNetConn(hb)->CompleteBytes == 20; }));
}

TEST_F(NetWorkTest, AFullTableLeavesTheConnectionQueuedUntilASlotFrees)
{
    Start();
    static NETCONN placeholder{};
    for (int i = 0; i < NETCONN_SLOTS; ++i) NetWorkState.Connections[i] = &placeholder;
    LoopbackPeer peer;
    ASSERT_TRUE(peer.Connect(port));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(GetNewAcceptNetWork(), -1);
    for (int i = 0; i < NETCONN_SLOTS; ++i) NetWorkState.Connections[i] = nullptr;
    int h = -1;
    EXPECT_TRUE(PumpUntil([&] { return (h = GetNewAcceptNetWork()) != -1; }));
    EXPECT_TRUE(Contains(ReadLogFile(), "空きソケットデータがなかったので accept を拒否しました"));
}

TEST_F(NetWorkTest, NothingAnswersBeforeTheNetworkStarts)
{
    const int h = (0x4800 << 16) | 0;
    char b[4];
    EXPECT_EQ(NetWorkRecv(h, b, 4), -1);
    EXPECT_EQ(NetWorkSend(h, b, 4), -1);
    EXPECT_EQ(GetNetWorkDataLength(h), -1);
    EXPECT_EQ(GetNetWorkAcceptState(h), -1);
    EXPECT_EQ(AcceptNetWork(), -1);
    EXPECT_EQ(CloseNetWork(h), -1);
    EXPECT_EQ(PumpNetWork(1), 0);
    EXPECT_EQ(ShutdownNetWork(), 0);
    EXPECT_EQ(HandleNetWorkSocketEvent(5, FD_READ), 0);
    EXPECT_TRUE(Contains(ReadLogFile(), "通信エラー No.1"));
    EXPECT_EQ(ConnectNetWork("127.0.0.1", 80, 0, 0), -1);
}

} // namespace
