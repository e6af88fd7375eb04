// Fuzz target: the frame decoder and the HTTP response reader, fed over a
// loopback connection that the library makes to itself. The first byte
// chooses: even decodes the rest as length-prefixed messages, odd answers
// it to an HTTP GET. Every loop is bounded.
#include "network/network.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr int kSteps = 3000;

bool EnsureStarted()
{
    static bool started = StartNetWork("127.0.0.1", 0, 1, 1) == 0;
    return started;
}

int AcceptOne()
{
    for (int i = 0; i < kSteps; ++i) {
        PumpNetWork(1);
        const int h = GetNewAcceptNetWork();
        if (h != -1) return h;
    }
    return -1;
}

void SendAll(int handle, const std::uint8_t* data, int size)
{
    for (int i = 0; i < kSteps && size > 0; ++i) {
        const int n = NetWorkSend(handle, data, size);
        if (n > 0) {
            data += n;
            size -= n;
        }
        PumpNetWork(0);
    }
}

void DecodeFrames(const std::uint8_t* data, int size)
{
    const int receiver = ConnectNetWork("127.0.0.1", GetNetWorkListenPort(), 1, 0);
    const int sender = AcceptOne();
    for (int i = 0; i < kSteps && GetNetWorkConnectState(receiver) == 0; ++i) PumpNetWork(1);
    if (sender != -1) {
        SendAll(sender, data, size);
        CloseNetWork(sender);
    }
    static std::uint8_t sink[1 << 16];
    for (int i = 0; i < kSteps && GetNetConn(receiver) != nullptr; ++i) {
        PumpNetWork(1);
        const int waiting = GetNetWorkDataLength(receiver);
        if (waiting > 0) NetWorkRecv(receiver, sink, waiting < int(sizeof sink) ? waiting : int(sizeof sink));
        if (GetNetWorkAcceptState(receiver) == 0 && GetNetWorkDataLength(receiver) <= 0) break;
    }
    if (GetNetConn(receiver) != nullptr) CloseNetWork(receiver);
}

void AnswerHttp(const std::uint8_t* data, int size)
{
    const int slot = OpenHttpHandle(HTTP_GET, "127.0.0.1", GetNetWorkListenPort(), "/", nullptr, 0, nullptr);
    const int server = AcceptOne();
    if (server != -1) {
        SendAll(server, data, size);
        CloseNetWork(server);
    }
    int result = -1;
    for (int i = 0; i < kSteps && result == -1; ++i) {
        PumpNetWork(1);
        StepHttpHandle(slot);
        GetHttpHandleState(slot, &result, nullptr, nullptr, nullptr);
    }
    CloseHttpHandle(slot);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > (1 << 16) || !EnsureStarted()) return 0;
    if ((data[0] & 1) == 0) {
        DecodeFrames(data + 1, static_cast<int>(size - 1));
    } else {
        AnswerHttp(data + 1, static_cast<int>(size - 1));
    }
    return 0;
}
