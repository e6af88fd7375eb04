// Owns nothing: the data operations over NETCONN records (network/netconn)
// and the socket layer, logging through core/log.
#include "network/netdata.h"

#include "core/log.h"
#include "core/text.h"
#include "network/netconn.h"

#include <cstring>

namespace {

int Receive(int handle, void* buffer, int length, bool peek)
{
    const char* name = peek ? "NetWorkRecvToPeek" : "NetWorkRecv";
    if (length < 0) return -1;
    NETCONN* c = GetNetConn(handle);
    if (c == nullptr || NetWorkState.Started == 0) return -1;
    PumpNetWork(0);
    NetWorkPollHold hold;
    if (CheckNetConnUsable(c, name) == -1) return -1;
    if (RecvSocket(handle) == -1) return -1;
    if (c->FramedFlag == 0) return recv(c->Socket, static_cast<char*>(buffer), length, peek ? MSG_PEEK : 0);
    if (ReadRingBuffer(&c->RecvRing, buffer, length, peek ? 1 : 0) == -1) return -1;
    if (!peek) {
        c->CompleteBytes -= length;
        RecvSocket(handle);
    }
    return 0;
}

} // namespace

int GetNetWorkAcceptState(int handle)
{
    if (NetWorkState.Started == 0) return -1;
    PumpNetWork(0);
    NETCONN* c = GetNetConn(handle);
    if (c == nullptr) return -1;
    if (CheckNetConnUsable(c, "GetNetWorkAcceptState", "GetNetWorkAcceptStateh") == -1) return -1;
    if (c->ConnectedFlag == 1) return 1;
    c->DisconnectSeenFlag = 1;
    NetWorkState.CloseCheckDue = 1;
    return 0;
}

int NetWorkRecv(int handle, void* buffer, int length)
{
    return Receive(handle, buffer, length, false);
}

int NetWorkRecvToPeek(int handle, void* buffer, int length)
{
    return Receive(handle, buffer, length, true);
}

int NetWorkSend(int handle, const void* buffer, int length)
{
    if (length < 0 || NetWorkState.Started == 0) return -1;
    NETCONN* c = GetNetConn(handle);
    if (c == nullptr) return -1;
    PumpNetWork(0);
    NetWorkPollHold hold;
    if (CheckNetConnUsable(c, "NetWorkSend") == -1) return -1;
    if (c->ConnectedFlag == 0) return -1;
    SendSocket(handle);
    if (c->FramedFlag == 0) return send(c->Socket, static_cast<const char*>(buffer), length, 0);
    if (AppendRingBuffer(&c->SendRing, buffer, length) == -1) {
        return WriteLogFormat("送信データ %d byte の追加に失敗しました in NewWorkSend", length);
    }
    SendSocket(handle);
    return 0;
}

int GetNetWorkDataLength(int handle)
{
    if (NetWorkState.Started == 0) return -1;
    PumpNetWork(0);
    NetWorkPollHold hold;
    RecvSocket(handle);
    SendSocket(handle);
    NETCONN* c = GetNetConn(handle);
    if (c == nullptr) return -1;
    if (CheckNetConnUsable(c, "GetNetWorkDataLength") == -1) return -1;
    if (c->FramedFlag == 1) return c->CompleteBytes;
    char byte = 0;
    const int n = NetWorkRecvToPeek(handle, &byte, 1);
    if (n < 0) return n;
    return n == 1 ? 1 : 0;
}

int NetWorkRecvLine(int handle, char* destination)
{
    char buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    const int peeked = NetWorkRecvToPeek(handle, buffer, 255);
    if (peeked <= 0) return -1;
    buffer[peeked] = '\0';
    // A byte search: a trail byte may not hide the line feed, and nothing
    // past the peeked bytes is read. A zero byte still ends the text.
    const std::size_t textLength = std::strlen(buffer);
    auto* lf = static_cast<char*>(std::memchr(buffer, '\n', textLength));
    if (lf == nullptr) return -1;
    *lf = '\0';
    CopyText(destination, buffer);
    const int lineLength = static_cast<int>(lf - buffer);
    return NetWorkRecv(handle, buffer, lineLength + 1) < 0 ? -1 : 0;
}
