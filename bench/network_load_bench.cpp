// Framed messages through the library against a plain socket loop doing the
// same framing (a 4-byte little-endian length, then the bytes), in both
// directions; and a frame of the message loop while many idle connections
// are open. The other end of every connection is a plain socket on
// 127.0.0.1; a helper thread feeds or drains it, so each loop times one side.
//
// Goals: every message size at 0.5x the plain loop or better; a frame with
// 1,000 idle connections at most 2x the frame with none.
#include "network/network.h"
#include "plain_socket.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

namespace ps = plainsock;

std::vector<unsigned char> FramedBatch(int size, std::size_t atLeast)
{
    std::vector<unsigned char> message(static_cast<std::size_t>(size) + 4, 0x5A);
    for (int i = 0; i < 4; ++i) message[static_cast<std::size_t>(i)] = static_cast<unsigned char>(size >> (8 * i));
    std::vector<unsigned char> batch;
    while (batch.size() < atLeast) batch.insert(batch.end(), message.begin(), message.end());
    return batch;
}

// Drains (or feeds) a plain socket until told to stop.
class Helper {
public:
    void Drain(int fd)
    {
        ps::SetTimeouts(fd);
        thread_ = std::thread([this, fd] {
            std::vector<char> sink(1 << 18);
            while (!stop_) ps::Receive(fd, sink.data(), sink.size());
        });
    }
    void Feed(int fd, std::vector<unsigned char> batch)
    {
        ps::SetTimeouts(fd);
        thread_ = std::thread([this, fd, b = std::move(batch)] {
            std::size_t at = 0;
            while (!stop_) {
                const long n = ps::Send(fd, b.data() + at, b.size() - at);
                if (n > 0) at = (at + static_cast<std::size_t>(n)) % b.size();
            }
        });
    }
    ~Helper()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The library started with a listening socket and one framed connection
// accepted from a plain peer; the handle, or -1.
int StartWithPeer(int* peer)
{
    if (StartNetWork("127.0.0.1", 0, 0, 1) != 0) return -1;
    *peer = ps::Connect(GetNetWorkListenPort());
    int handle = -1;
    for (int i = 0; i < 100000 && *peer >= 0 && handle == -1; ++i) {
        PumpNetWork(1);
        handle = GetNewAcceptNetWork();
    }
    return handle;
}

void BM_PlainSend(benchmark::State& state)
{
    const int size = static_cast<int>(state.range(0));
    int a = -1, b = -1;
    if (!ps::Pair(&a, &b)) {
        state.SkipWithError("no loopback pair");
        return;
    }
    std::vector<unsigned char> message = FramedBatch(size, 1);
    {
        Helper reader;
        reader.Drain(b);
        for (auto _ : state) {
            std::size_t at = 0;
            while (at < message.size()) {
                const long n = ps::Send(a, message.data() + at, message.size() - at);
                if (n > 0) at += static_cast<std::size_t>(n);
            }
        }
        ps::Shutdown(a);
    }
    ps::Close(a);
    ps::Close(b);
    state.SetBytesProcessed(state.iterations() * size);
}

constexpr int kSendQueueCap = 256 * 1024;

void BM_LibrarySend(benchmark::State& state)
{
    const int size = static_cast<int>(state.range(0));
    int peer = -1;
    const int h = StartWithPeer(&peer);
    if (h == -1) {
        state.SkipWithError("the network did not start");
        ShutdownNetWork();
        return;
    }
    std::vector<unsigned char> payload(static_cast<std::size_t>(size), 0x5A);
    {
        Helper reader;
        reader.Drain(peer);
        for (auto _ : state) {
            NetWorkSend(h, payload.data(), size);
            // As a blocking send would, wait while much is queued.
            for (int i = 0; i < 1000000 && GetNetConn(h)->SendRing.Held >= kSendQueueCap; ++i) PumpNetWork(0);
        }
        for (int i = 0; i < 1000000 && GetNetConn(h)->SendRing.Held > 0; ++i) PumpNetWork(0);
        ps::Shutdown(peer);
    }
    ShutdownNetWork();
    ps::Close(peer);
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_PlainReceive(benchmark::State& state)
{
    const int size = static_cast<int>(state.range(0));
    int a = -1, b = -1;
    if (!ps::Pair(&a, &b)) {
        state.SkipWithError("no loopback pair");
        return;
    }
    std::vector<unsigned char> got(static_cast<std::size_t>(size));
    {
        Helper feeder;
        feeder.Feed(a, FramedBatch(size, 1 << 18));
        for (auto _ : state) {
            unsigned char header[4];
            if (!ps::ReceiveExactly(b, header, 4) || !ps::ReceiveExactly(b, got.data(), got.size())) {
                state.SkipWithError("the feed stopped");
                break;
            }
        }
        ps::Shutdown(b);
    }
    ps::Close(a);
    ps::Close(b);
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_LibraryReceive(benchmark::State& state)
{
    const int size = static_cast<int>(state.range(0));
    int peer = -1;
    const int h = StartWithPeer(&peer);
    if (h == -1) {
        state.SkipWithError("the network did not start");
        ShutdownNetWork();
        return;
    }
    std::vector<unsigned char> got(static_cast<std::size_t>(size));
    {
        Helper feeder;
        feeder.Feed(peer, FramedBatch(size, 1 << 18));
        for (auto _ : state) {
            int spins = 0;
            while (GetNetWorkDataLength(h) < size && ++spins < 10000000) {
            }
            if (NetWorkRecv(h, got.data(), size) != 0) {
                state.SkipWithError("no message came");
                break;
            }
        }
        ps::Shutdown(peer);
    }
    ShutdownNetWork();
    ps::Close(peer);
    state.SetBytesProcessed(state.iterations() * size);
}

BENCHMARK(BM_PlainSend)->Arg(64)->Arg(1024)->Arg(65536);
BENCHMARK(BM_LibrarySend)->Arg(64)->Arg(1024)->Arg(65536);
BENCHMARK(BM_PlainReceive)->Arg(64)->Arg(1024)->Arg(65536);
BENCHMARK(BM_LibraryReceive)->Arg(64)->Arg(1024)->Arg(65536);

// One frame of a program with a connection in use: the message loop's pump,
// a look at the active connection's waiting data and one 64-byte message
// sent on it (drained by its peer in the same thread), while `idle` more
// connections stay open and quiet.
void BM_FrameWithIdleConnections(benchmark::State& state)
{
    const int idle = static_cast<int>(state.range(0));
    ps::RaiseOpenFileLimit();
    int activePeer = -1;
    const int active = StartWithPeer(&activePeer);
    std::vector<int> peers;
    bool ready = active != -1;
    for (int i = 0; ready && i < idle; ++i) {
        const int fd = ps::Connect(GetNetWorkListenPort());
        ready = fd >= 0;
        if (fd >= 0) peers.push_back(fd);
        int h = -1;
        for (int spin = 0; ready && spin < 100000 && h == -1; ++spin) {
            PumpNetWork(1);
            h = GetNewAcceptNetWork();
        }
        ready = ready && h != -1;
    }
    if (!ready) state.SkipWithError("the connections were not made");
    const unsigned char message[64] = {};
    std::vector<char> sink(1 << 16);
    for (auto _ : state) {
        if (!ready) break;
        PumpNetWork(1);
        benchmark::DoNotOptimize(GetNetWorkDataLength(active));
        NetWorkSend(active, message, sizeof message);
        ps::Receive(activePeer, sink.data(), sink.size(), true);
    }
    ShutdownNetWork();
    for (int fd : peers) ps::Close(fd);
    ps::Close(activePeer);
}
BENCHMARK(BM_FrameWithIdleConnections)->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
