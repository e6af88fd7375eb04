// Owns NETWORKSTATE: the connection table and list, the hidden network
// window and the busy flags. Moves bytes between sockets (platform/winsock)
// and the byte rings, logs through core/log, allocates through core/memory.
#include "network/netconn.h"

#include "core/format.h"
#include "core/log.h"
#include "core/memory.h"
#include "platform/winmm/timer.h"
#include "platform/kernel/clock.h"
#include "platform/window/window.h"

#include <cstdarg>
#include <cstring>
#include <unordered_map>

NETWORKSTATE NetWorkState;

namespace {

int g_recvBusy = 0;
int g_sendBusy = 0;
// A notification was refused while its side was busy.
bool g_missedDue = false;
int g_pollHolds = 0;
// Pumps with mode 0 in a row whose poll was skipped.
int g_skippedPolls = 0;
// A run of pumps with mode 0 (the data operations') polls the sockets on
// every fourth while the polls find nothing: each operation moves its own
// connection's bytes directly, and the pump with mode 1 always polls.
constexpr int kQuietPollInterval = 4;
// The handle of each socket on the connection list, so a notification finds
// its connection without a walk over all of them.
std::unordered_map<SOCKET, int> g_handleOfSocket;
// While the network shuts down, every close shares one deadline.
bool g_sharedDeadline = false;
DWORD g_deadline = 0;

constexpr const char* kWindowClass = "NetWorkMessageWindow";
constexpr DWORD kCloseWaitMs = 1000;

int MakeHandle(int check, int slot)
{
    return MakeHandleValue(static_cast<std::uint32_t>(check), HANDLETAG_NETWORK, static_cast<std::uint32_t>(slot));
}

std::uint32_t DecodeLength(const unsigned char h[4])
{
    return static_cast<std::uint32_t>(h[0]) | (static_cast<std::uint32_t>(h[1]) << 8) |
           (static_cast<std::uint32_t>(h[2]) << 16) | (static_cast<std::uint32_t>(h[3]) << 24);
}

void EncodeLength(std::uint32_t value, unsigned char h[4])
{
    for (int i = 0; i < 4; ++i) h[i] = static_cast<unsigned char>(value >> (8 * i));
}

void AdvanceCheckCounter()
{
    if (++NetWorkState.CheckCounter > static_cast<int>(HANDLE_CHECK_MAX)) NetWorkState.CheckCounter = 0;
}

int FindFreeSlot()
{
    for (int i = 0; i < NETCONN_SLOTS; ++i)
        if (NetWorkState.Connections[i] == nullptr) return i;
    return -1;
}

NETCONN* NewRecord(int slot)
{
    auto* c = static_cast<NETCONN*>(AllocMemoryZeroed(sizeof(NETCONN), "", 0));
    if (c == nullptr) return nullptr;
    c->Socket = INVALID_SOCKET;
    NetWorkState.Connections[slot] = c;
    return c;
}

// Undoes a record that never became a live connection.
void DiscardRecord(NETCONN* c, int slot, bool linked)
{
    if (linked) UnlinkListNode(&c->Node);
    if (c->Socket != INVALID_SOCKET) {
        g_handleOfSocket.erase(c->Socket);
        closesocket(c->Socket);
    }
    ReleaseRingBuffer(&c->RecvRing);
    ReleaseRingBuffer(&c->SendRing);
    c->UsedFlag = 0;
    FreeMemory(c);
    NetWorkState.Connections[slot] = nullptr;
}

// Moves at most `limit` bytes between the socket and the ring at `offset`
// (the ring's write side for recv, its read side for send), in one or two
// pieces: the count moved, or -1 when the first call failed.
template <typename Transfer>
int TransferAtRing(BYTERING& r, int& offset, std::uint32_t limit, Transfer transfer)
{
    const int toEnd = r.Capacity - offset;
    if (static_cast<long long>(offset) + limit > r.Capacity) {
        const int first = transfer(r.Data + offset, toEnd);
        if (first < 0) return -1;
        if (first < toEnd) {
            offset += first;
            return first;
        }
        const int second = transfer(r.Data, static_cast<int>(limit) - first);
        if (second < 0) {
            offset = 0;
            return first;
        }
        offset = second;
        return first + second;
    }
    const int n = transfer(r.Data + offset, static_cast<int>(limit));
    if (n < 0) return -1;
    offset += n;
    return n;
}

int ReceiveIntoRing(NETCONN* c, std::uint32_t limit)
{
    return TransferAtRing(c->RecvRing, c->RecvRing.WriteOffset, limit, [c](unsigned char* at, int n) {
        return recv(c->Socket, reinterpret_cast<char*>(at), n, 0);
    });
}

int SendFromRing(NETCONN* c, std::uint32_t limit)
{
    return TransferAtRing(c->SendRing, c->SendRing.ReadOffset, limit, [c](unsigned char* at, int n) {
        return send(c->Socket, reinterpret_cast<const char*>(at), n, 0);
    });
}

// The bytes one receive pass takes at most: a peer that sends without pause
// cannot hold the main thread, and the ring grows only with what arrived.
constexpr int kReceivePassBytes = 64 * 1024;
// While this much of complete messages waits unread, the socket is left to
// hold the rest and the peer is slowed by the stream's own flow control.
// Only complete messages count, so a message of any allowed size still
// arrives whole.
constexpr int kUnreadLimit = 1 << 20;
// Payloads at least this long are received straight into the ring; shorter
// messages come many to one recv through the scratch block.
constexpr std::uint32_t kDirectReceive = 4096;
unsigned char g_receiveScratch[kReceivePassBytes];

int FailReceive(NETCONN* c, std::uint32_t length)
{
    WriteLogFormat("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %u byte)", length);
    c->ErrorFlag = 1;
    NetWorkState.CloseCheckDue = 1;
    return -1;
}

// Splits received stream bytes into headers and payload: 0, or -1 after a
// prefix beyond the message limit or a ring that could not grow.
int TakeStreamBytes(NETCONN* c, const unsigned char* at, int count)
{
    while (count > 0) {
        if (c->RecvRemainder == 0) {
            while (count > 0 && c->RecvHeaderHave < 4) {
                c->RecvHeader[c->RecvHeaderHave++] = *at++;
                --count;
            }
            if (c->RecvHeaderHave < 4) return 0;
            c->RecvHeaderHave = 0;
            const std::uint32_t length = DecodeLength(c->RecvHeader);
            if (length > NETWORK_MESSAGE_LIMIT) return FailReceive(c, length);
            c->RecvRemainder = length;
            c->RecvMessageSize = length;
            continue;
        }
        const int take = c->RecvRemainder < static_cast<std::uint32_t>(count) ? static_cast<int>(c->RecvRemainder) : count;
        if (ReserveRingBuffer(&c->RecvRing, take) == -1) return FailReceive(c, c->RecvMessageSize);
        AppendRingBuffer(&c->RecvRing, at, take);
        at += take;
        count -= take;
        c->RecvRemainder -= static_cast<std::uint32_t>(take);
        if (c->RecvRemainder == 0) c->CompleteBytes += static_cast<int>(c->RecvMessageSize);
    }
    return 0;
}

// The receive pass proper, with the busy flag held; 0 or -1. It ends when
// the socket has nothing more or the pass has taken its share.
int ReceiveMessages(NETCONN* c)
{
    int budget = kReceivePassBytes;
    while (budget > 0 && c->CompleteBytes < kUnreadLimit) {
        if (c->RecvRemainder >= kDirectReceive) {
            const int want = c->RecvRemainder < static_cast<std::uint32_t>(budget) ? static_cast<int>(c->RecvRemainder) : budget;
            if (ReserveRingBuffer(&c->RecvRing, want) == -1) return FailReceive(c, c->RecvMessageSize);
            WrapRingBufferOffsets(&c->RecvRing);
            const int count = ReceiveIntoRing(c, static_cast<std::uint32_t>(want));
            if (count <= 0) return 0;
            c->RecvRing.Held += count;
            c->RecvRemainder -= static_cast<std::uint32_t>(count);
            if (c->RecvRemainder == 0) c->CompleteBytes += static_cast<int>(c->RecvMessageSize);
            budget -= count;
            if (count < want) return 0;
            continue;
        }
        const int count = recv(c->Socket, reinterpret_cast<char*>(g_receiveScratch), budget, 0);
        if (count <= 0) return 0;
        if (TakeStreamBytes(c, g_receiveScratch, count) == -1) return -1;
        if (count < budget) return 0;
        budget -= count;
    }
    return 0;
}

// Moves `count` sent bytes out of the send ring.
void DropSentBytes(BYTERING& r, int count)
{
    WrapRingBufferOffsets(&r);
    r.ReadOffset += count;
    if (r.ReadOffset > r.Capacity) r.ReadOffset -= r.Capacity;
    r.Held -= count;
}

// A message this short goes out with its header in one send.
constexpr int kGatheredSend = 8 * 1024;
unsigned char g_sendGather[4 + kGatheredSend];

// A short send does not end the pass: only a send that would block makes
// the socket layer report room again, so the pass goes on until one does.
void SendMessages(NETCONN* c)
{
    for (;;) {
        if (c->HeaderRemainder > 0) {
            const int n = send(c->Socket, reinterpret_cast<const char*>(c->SendHeader + (4 - c->HeaderRemainder)),
                               c->HeaderRemainder, 0);
            if (n < 0) return;
            c->HeaderRemainder -= n;
            continue;
        }
        if (c->SendRemainder == 0) {
            // Everything queued now is one message.
            c->SendRemainder = static_cast<std::uint32_t>(c->SendRing.Held);
            EncodeLength(c->SendRemainder, c->SendHeader);
            int n = 0;
            if (c->SendRing.Held <= kGatheredSend) {
                std::memcpy(g_sendGather, c->SendHeader, 4);
                ReadRingBuffer(&c->SendRing, g_sendGather + 4, c->SendRing.Held, 1);
                n = send(c->Socket, reinterpret_cast<const char*>(g_sendGather), 4 + c->SendRing.Held, 0);
            } else {
                n = send(c->Socket, reinterpret_cast<const char*>(c->SendHeader), 4, 0);
            }
            if (n < 0) {
                c->SendRemainder = 0;
                return;
            }
            if (n < 4) {
                c->HeaderRemainder = 4 - n;
                continue;
            }
            if (n > 4) {
                DropSentBytes(c->SendRing, n - 4);
                c->SendRemainder -= static_cast<std::uint32_t>(n - 4);
                if (c->SendRing.Held == 0) return;
                continue;
            }
        }
        WrapRingBufferOffsets(&c->SendRing);
        const int count = SendFromRing(c, c->SendRemainder);
        if (count < 0) return;
        c->SendRing.Held -= count;
        c->SendRemainder -= static_cast<std::uint32_t>(count);
        if (count == 0 || c->SendRing.Held == 0) return;
    }
}

// Runs `step` until `done` or the deadline, without spinning.
template <typename Done, typename Step>
void WaitWhile(DWORD deadline, Done done, Step step)
{
    while (!done() && static_cast<int>(deadline - timeGetTime()) > 0) {
        PumpNetWork(0);
        step();
        if (!done()) Sleep(1);
    }
}

DWORD DeadlineFromNow()
{
    return g_sharedDeadline ? g_deadline : timeGetTime() + kCloseWaitMs;
}

LRESULT NetWorkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NETWORK_SOCKET) return HandleNetWorkSocketEvent(wParam, static_cast<DWORD>(lParam));
    if (message == WM_DESTROY && window == NetWorkState.MessageWindow) NetWorkState.WindowGone = 1;
    return DefWindowProcA(window, message, wParam, lParam);
}

// Notifications refused while a side was busy, and an accept refused for a
// full table, are taken up once the side is free: the socket layer posts
// them only once.
void TakeUpRefused()
{
    NETWORKSTATE& n = NetWorkState;
    if (g_missedDue && (g_recvBusy == 0 || g_sendBusy == 0)) {
        g_missedDue = false;
        for (LISTNODE* node = n.ListFirst.Next; node != nullptr && node->Next != nullptr;) {
            LISTNODE* next = node->Next;
            const int handle = node->Handle;
            auto* c = static_cast<NETCONN*>(node->Data);
            if (c->MissedRead && g_recvBusy == 0) {
                c->MissedRead = 0;
                RecvSocket(handle);
            }
            if (GetNetConn(handle) == c && c->MissedWrite && g_sendBusy == 0) {
                c->MissedWrite = 0;
                SendSocket(handle);
            }
            if (GetNetConn(handle) == c && (c->MissedRead || c->MissedWrite)) g_missedDue = true;
            node = next;
        }
    }
    if (n.AcceptRefused && FindFreeSlot() >= 0) {
        n.AcceptRefused = 0;
        AcceptNetWork();
    }
}

} // namespace

NetWorkPollHold::NetWorkPollHold()
{
    ++g_pollHolds;
}

NetWorkPollHold::~NetWorkPollHold()
{
    --g_pollHolds;
}

int CheckNetConnUsable(const NETCONN* c, const char* operation, const char* errorName)
{
    char line[160];
    if (c->UsedFlag == 0) {
        FormatToBuffer(line, sizeof line, "有効なネットワークハンドルではありません in %s\n", operation);
        return WriteLog(line);
    }
    if (c->ErrorFlag == 1) {
        FormatToBuffer(line, sizeof line, "このネットワークハンドルにはエラーが発生しています in %s\n",
                       errorName != nullptr ? errorName : operation);
        return WriteLog(line);
    }
    return 0;
}

NETCONN* GetNetConn(int handle)
{
    if (handle < 0 || (handle & HANDLE_TAG_MASK) != HANDLETAG_NETWORK) return nullptr;
    const int slot = handle & HANDLE_SLOT_MASK;
    if (slot > NETCONN_LISTEN_SLOT) return nullptr;
    NETCONN* c = NetWorkState.Connections[slot];
    if (c == nullptr || (c->CheckValue << 16) != (handle & HANDLE_CHECK_MASK)) return nullptr;
    return c;
}

int WriteNetWorkLog(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    FormatToBufferV(text, sizeof text, format, args);
    va_end(args);
    return WriteLogFormat("ネットワークログ。%s[%d]", text, WSAGetLastError());
}

namespace {

// The checks and the busy flag around one side's work on a connection.
template <typename Work>
int RunSide(int handle, int& busy, const char* operation, Work work)
{
    if (NetWorkState.Started == 0) return -1;
    NETCONN* c = GetNetConn(handle);
    if (c == nullptr || busy) return -1;
    busy = 1;
    PumpNetWork(0);
    NetWorkPollHold hold;
    int result = CheckNetConnUsable(c, operation);
    if (result == 0 && c->FramedFlag == 1) result = work(c);
    busy = 0;
    return result;
}

} // namespace

int RecvSocket(int handle)
{
    return RunSide(handle, g_recvBusy, "RecvSocket", ReceiveMessages);
}

int SendSocket(int handle)
{
    return RunSide(handle, g_sendBusy, "SendSocket", [](NETCONN* c) {
        if (c->SendRing.Held > 0) SendMessages(c);
        return 0;
    });
}

int AcceptNetWork()
{
    NETWORKSTATE& n = NetWorkState;
    if (n.Started == 0) return -1;
    PumpNetWork(0);
    NETCONN* listener = n.Connections[NETCONN_LISTEN_SLOT];
    if (listener == nullptr) return -1;
    const int slot = FindFreeSlot();
    if (slot < 0) {
        // The connection waits in the listening queue until a slot frees.
        n.AcceptRefused = 1;
        return WriteLog("空きソケットデータがなかったので accept を拒否しました \n");
    }
    NETCONN* c = NewRecord(slot);
    if (c == nullptr) return WriteLog("ソケット用のメモリの確保に失敗しました\n");
    c->UsedFlag = 1;
    c->ConnectedFlag = 1;
    c->FramedFlag = n.RawDefault == 0 ? 1 : 0;
    c->AutoCloseFlag = n.KeepOpenDefault == 0 ? 1 : 0;
    const int handle = MakeHandle(n.CheckCounter, slot);
    InsertListNode(&n.ListFirst, &c->Node, handle, c);

    sockaddr_in peer{};
    int length = sizeof peer;
    c->Socket = accept(listener->Socket, reinterpret_cast<sockaddr*>(&peer), &length);
    if (c->Socket == INVALID_SOCKET) {
        WriteNetWorkLog("acceptに失敗しました");
        DiscardRecord(c, slot, true);
        return -1;
    }
    g_handleOfSocket[c->Socket] = handle;
    std::memcpy(c->PeerAddress, &peer.sin_addr.s_addr, 4);
    c->PeerPort = peer.sin_port;
    if (WSAAsyncSelect(c->Socket, n.MessageWindow, WM_NETWORK_SOCKET, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        WriteNetWorkLog("WSAAsyncSelectのエラー in AcceptNetWork");
        DiscardRecord(c, slot, true);
        return -1;
    }
    c->CheckValue = n.CheckCounter;
    c->AcceptOrder = ++n.AcceptCounter;
    AdvanceCheckCounter();
    return 1;
}

int CloseNetWork(int handle)
{
    NETWORKSTATE& n = NetWorkState;
    if (n.Started == 0) return -1;
    NETCONN* c = GetNetConn(handle);
    if (c == nullptr || c->UsedFlag == 0) return -1;
    PumpNetWork(0);
    // A half-received message may still complete; a peer that has gone
    // sends nothing more, and a ring full of unread messages takes nothing
    // more, so waiting for either is pointless.
    WaitWhile(
        DeadlineFromNow(),
        [&] { return c->RecvRemainder == 0 || c->ConnectedFlag == 0 || c->ErrorFlag || c->CompleteBytes >= kUnreadLimit; },
        [&] { RecvSocket(handle); });
    WaitWhile(
        DeadlineFromNow(), [&] { return c->SendRing.Held == 0 || c->ConnectedFlag == 0; },
        [&] { SendSocket(handle); });
    if (c->Socket != INVALID_SOCKET) {
        WSAAsyncSelect(c->Socket, n.MessageWindow, 0, 0);
        g_handleOfSocket.erase(c->Socket);
        closesocket(c->Socket);
        c->Socket = INVALID_SOCKET;
    }
    ReleaseRingBuffer(&c->RecvRing);
    ReleaseRingBuffer(&c->SendRing);
    UnlinkListNode(&c->Node);
    n.Connections[handle & HANDLE_SLOT_MASK] = nullptr;
    c->UsedFlag = 0;
    FreeMemory(c);
    return 0;
}

int PumpNetWork(int mode)
{
    NETWORKSTATE& n = NetWorkState;
    if (n.MessageWindow == nullptr || n.Started == 0) return 0;
    if (mode == 1 && n.CloseCheckDue) {
        n.CloseCheckDue = 0;
        for (LISTNODE* node = n.ListFirst.Next; node != nullptr && node->Next != nullptr;) {
            LISTNODE* next = node->Next;
            auto* c = static_cast<NETCONN*>(node->Data);
            if (c->UsedFlag == 1 &&
                (c->ErrorFlag == 1 || (c->ConnectedFlag == 0 && c->DisconnectSeenFlag == 1 && c->AutoCloseFlag == 1))) {
                CloseNetWork(node->Handle);
            }
            node = next;
        }
    }
    // Under a hold the outer pump has polled, and its dispatch goes on
    // after this returns.
    if (g_pollHolds > 0) return 0;
    if (mode == 1 || ++g_skippedPolls >= kQuietPollInterval) {
        g_skippedPolls = PollSocketSelections() > 0 ? kQuietPollInterval : 0;
    }
    NetWorkPollHold hold;
    MSG m;
    while (n.MessageWindow != nullptr && PeekMessageA(&m, n.MessageWindow, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    if (n.Started) TakeUpRefused();
    return 0;
}

int ShutdownNetWork()
{
    NETWORKSTATE& n = NetWorkState;
    if (n.Started == 0) return 0;
    WriteLog("ネットワーク関連の終了処理を行います \n");
    // One deadline for every connection: stalled peers cannot add up.
    g_sharedDeadline = true;
    g_deadline = timeGetTime() + kCloseWaitMs;
    for (int slot = 0; slot <= NETCONN_LISTEN_SLOT; ++slot) {
        NETCONN* c = n.Connections[slot];
        if (c != nullptr) CloseNetWork(MakeHandle(c->CheckValue, slot));
    }
    g_sharedDeadline = false;
    if (n.MessageWindow != nullptr) {
        PostMessageA(n.MessageWindow, WM_CLOSE, 0, 0);
        if (n.WindowGone == 0) {
            MSG m;
            while (PeekMessageA(&m, n.MessageWindow, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
        }
    }
    std::memset(&n, 0, sizeof n);
    g_handleOfSocket.clear();
    WSACleanup();
    WriteLog("ネットワーク関連の終了処理は完了しました\n");
    return 0;
}

LRESULT HandleNetWorkSocketEvent(std::uintptr_t socket, DWORD event)
{
    NETCONN* c = nullptr;
    int handle = -1;
    if (NetWorkState.Started) {
        const auto found = g_handleOfSocket.find(static_cast<SOCKET>(socket));
        if (found != g_handleOfSocket.end()) {
            NETCONN* candidate = NetWorkState.Connections[found->second & HANDLE_SLOT_MASK];
            if (candidate != nullptr && candidate->Socket == static_cast<SOCKET>(socket)) {
                c = candidate;
                handle = found->second;
            }
        }
    }
    if (c == nullptr) {
        WriteLog("通信エラー No.1\n");
        return 0;
    }
    const int error = static_cast<int>(event >> 16);
    switch (event & 0xFFFF) {
    case FD_READ:
        if (g_recvBusy) {
            c->MissedRead = 1;
            g_missedDue = true;
        } else {
            RecvSocket(handle);
        }
        return 1;
    case FD_WRITE:
        if (g_sendBusy) {
            c->MissedWrite = 1;
            g_missedDue = true;
        } else {
            SendSocket(handle);
        }
        return 1;
    case FD_ACCEPT:
        return AcceptNetWork();
    case FD_CONNECT:
        if (error == 0) c->ConnectedFlag = 1;
        else c->ConnectFailed = 1;
        return 1;
    case FD_CLOSE:
        c->ConnectedFlag = 0;
        c->DisconnectSeenFlag = 0;
        return 1;
    default:
        return 1;
    }
}

int StartNetWork(const char* address, int port, int rawDefault, int keepOpenDefault)
{
    NETWORKSTATE& n = NetWorkState;
    if (n.Started) return -1;
    std::memset(&n, 0, sizeof n);
    g_handleOfSocket.clear();
    g_missedDue = false;
    InitNodeList(&n.ListFirst, &n.ListLast);
    WSADATA data;
    if (WSAStartup(0x0101, &data) != 0) return WriteLog("ネットワークの初期化に失敗しました\n");

    WNDCLASSA wc{};
    wc.lpfnWndProc = NetWorkWindowProc;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);  // already there from an earlier start
    n.MessageWindow = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (n.MessageWindow == nullptr) {
        WSACleanup();
        return WriteLog("ネットワーク用ウインドウの作成に失敗しました\n");
    }
    n.RawDefault = rawDefault;
    n.KeepOpenDefault = keepOpenDefault;

    if (address != nullptr) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<WORD>(port));
        a.sin_addr.s_addr = inet_addr(address);
        NETCONN* c = NewRecord(NETCONN_LISTEN_SLOT);
        if (c != nullptr) c->Socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (c == nullptr || a.sin_addr.s_addr == INADDR_NONE || port < 0 || port > 0xFFFF ||
            c->Socket == INVALID_SOCKET || bind(c->Socket, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            listen(c->Socket, 64) != 0 || WSAAsyncSelect(c->Socket, n.MessageWindow, WM_NETWORK_SOCKET, FD_ACCEPT) != 0) {
            WriteNetWorkLog("待ち受けソケットの作成に失敗しました");
            if (c != nullptr) DiscardRecord(c, NETCONN_LISTEN_SLOT, false);
            DestroyWindow(n.MessageWindow);
            std::memset(&n, 0, sizeof n);
            WSACleanup();
            return -1;
        }
        c->UsedFlag = 1;
        c->CheckValue = n.CheckCounter;
        AdvanceCheckCounter();
        InsertListNode(&n.ListFirst, &c->Node, MakeHandle(c->CheckValue, NETCONN_LISTEN_SLOT), c);
        g_handleOfSocket[c->Socket] = c->Node.Handle;
    }
    n.Started = 1;
    return 0;
}

int GetNetWorkListenPort()
{
    NETCONN* c = NetWorkState.Started ? NetWorkState.Connections[NETCONN_LISTEN_SLOT] : nullptr;
    if (c == nullptr) return -1;
    sockaddr_in a{};
    int length = sizeof a;
    if (getsockname(c->Socket, reinterpret_cast<sockaddr*>(&a), &length) != 0) return -1;
    return ntohs(a.sin_port);
}

int ConnectNetWork(const char* address, int port, int framed, int autoClose)
{
    NETWORKSTATE& n = NetWorkState;
    if (n.Started == 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<WORD>(port));
    a.sin_addr.s_addr = inet_addr(address);
    if (a.sin_addr.s_addr == INADDR_NONE || port <= 0 || port > 0xFFFF) return -1;
    const int slot = FindFreeSlot();
    if (slot < 0) return WriteLog("空きソケットデータがなかったので接続できませんでした\n");
    NETCONN* c = NewRecord(slot);
    if (c == nullptr) return WriteLog("ソケット用のメモリの確保に失敗しました\n");
    c->UsedFlag = 1;
    c->FramedFlag = framed ? 1 : 0;
    c->AutoCloseFlag = autoClose ? 1 : 0;
    c->CheckValue = n.CheckCounter;
    const int handle = MakeHandle(c->CheckValue, slot);
    InsertListNode(&n.ListFirst, &c->Node, handle, c);
    c->Socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (c->Socket != INVALID_SOCKET) g_handleOfSocket[c->Socket] = handle;
    if (c->Socket == INVALID_SOCKET ||
        WSAAsyncSelect(c->Socket, n.MessageWindow, WM_NETWORK_SOCKET, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0 ||
        (connect(c->Socket, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
        WriteNetWorkLog("接続に失敗しました");
        DiscardRecord(c, slot, true);
        return -1;
    }
    AdvanceCheckCounter();
    return handle;
}

int GetNetWorkConnectState(int handle)
{
    NETCONN* c = NetWorkState.Started ? GetNetConn(handle) : nullptr;
    if (c == nullptr || c->UsedFlag == 0 || c->ConnectFailed) return -1;
    return c->ConnectedFlag;
}

int GetNewAcceptNetWork()
{
    NETWORKSTATE& n = NetWorkState;
    if (n.Started == 0) return -1;
    int best = -1;
    int bestOrder = 0;
    for (int slot = 0; slot < NETCONN_SLOTS; ++slot) {
        NETCONN* c = n.Connections[slot];
        if (c == nullptr || c->AcceptOrder <= 0) continue;
        if (best < 0 || c->AcceptOrder < bestOrder) {
            best = slot;
            bestOrder = c->AcceptOrder;
        }
    }
    if (best < 0) return -1;
    NETCONN* c = n.Connections[best];
    c->AcceptOrder = 0;
    return MakeHandle(c->CheckValue, best);
}
