// The network's byte rings alone, and length-prefixed messages that the
// library sends to itself over a loopback connection.
#include "network/network.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_RingAppendRead(benchmark::State& state)
{
    const int size = static_cast<int>(state.range(0));
    std::vector<unsigned char> in(static_cast<std::size_t>(size), 7), out(in.size());
    BYTERING ring{};
    // A ring already grown, with its offsets moved off 0 so pieces wrap.
    AppendRingBuffer(&ring, in.data(), size);
    ReadRingBuffer(&ring, out.data(), size / 3 + 1, 0);
    for (auto _ : state) {
        AppendRingBuffer(&ring, in.data(), size);
        ReadRingBuffer(&ring, out.data(), size, 0);
        benchmark::DoNotOptimize(out.data());
    }
    ReleaseRingBuffer(&ring);
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_RingAppendRead)->Arg(64)->Arg(4096)->Arg(65536);

void BM_FramedLoopbackMessage(benchmark::State& state)
{
    const int size = static_cast<int>(state.range(0));
    if (StartNetWork("127.0.0.1", 0, 0, 1) != 0) {
        state.SkipWithError("the network did not start");
        return;
    }
    const int receiver = ConnectNetWork("127.0.0.1", GetNetWorkListenPort(), 1, 0);
    int sender = -1;
    while (sender == -1 || GetNetWorkConnectState(receiver) == 0) {
        PumpNetWork(1);
        if (sender == -1) sender = GetNewAcceptNetWork();
    }
    std::vector<unsigned char> payload(static_cast<std::size_t>(size), 3), got(payload.size());
    for (auto _ : state) {
        NetWorkSend(sender, payload.data(), size);
        while (GetNetWorkDataLength(receiver) < size) PumpNetWork(1);
        NetWorkRecv(receiver, got.data(), size);
    }
    ShutdownNetWork();
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_FramedLoopbackMessage)->Arg(16)->Arg(4096)->Arg(1 << 20);

} // namespace
