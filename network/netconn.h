// Network connections: the handle table of NETCONN records, length-prefixed
// framing through byte rings, the hidden network window that receives the
// socket notifications, and the network's start-up and outgoing connections.
#pragma once

#include "core/handle.h"
#include "core/nodelist.h"
#include "network/byte_ring.h"
#include "platform/winsock/winsock.h"

constexpr int NETCONN_SLOTS = 4096;
constexpr int NETCONN_LISTEN_SLOT = 4096;
constexpr UINT WM_NETWORK_SOCKET = 0x505;
// No message may announce more than this; a larger prefix is a broken or hostile peer.
constexpr std::uint32_t NETWORK_MESSAGE_LIMIT = 16u << 20;

struct NETCONN {
    int UsedFlag;
    int ErrorFlag;            // the receive side failed; the next closing pump closes it
    int ConnectedFlag;
    int DisconnectSeenFlag;
    int FramedFlag;
    int AutoCloseFlag;
    int CheckValue;
    SOCKET Socket;            // INVALID_SOCKET when none
    std::uint32_t RecvRemainder;   // bytes of the incoming message still to come; 0: a header is due
    unsigned char RecvHeader[4];   // the header's bytes taken so far, while a header is due
    int RecvHeaderHave;
    BYTERING RecvRing;
    std::uint32_t RecvMessageSize;
    int CompleteBytes;
    BYTERING SendRing;
    std::uint32_t SendRemainder;   // bytes of the outgoing message not yet sent
    int HeaderRemainder;           // bytes of SendHeader still to go
    unsigned char SendHeader[4];
    unsigned char PeerAddress[4];
    int PeerPort;                  // network byte order, as accept gives it
    LISTNODE Node;
    // Outside the wire state: notifications refused while a side was busy,
    // taken up by the next pump; the connection attempt's outcome; the
    // order of acceptance for handing new connections out.
    int MissedRead;
    int MissedWrite;
    int ConnectFailed;
    int AcceptOrder;
};

struct NETWORKSTATE {
    int Started;
    HWND MessageWindow;
    NETCONN* Connections[NETCONN_SLOTS + 1];
    int CheckCounter;
    LISTNODE ListFirst;
    LISTNODE ListLast;
    int RawDefault;
    int KeepOpenDefault;
    int WindowGone;
    int AcceptRefused;     // an FD_ACCEPT was refused for a full table
    int AcceptCounter;
    int CloseCheckDue;     // a connection may have become one the pump with mode 1 closes
};
extern NETWORKSTATE NetWorkState;

int AcceptNetWork();
int CloseNetWork(int handle);
// Takes at most 64 KB of what the socket holds into the receive ring, and
// nothing while 1 MiB of complete messages waits unread (a reader that
// waits for more than that before reading any waits in vain); 0 or -1.
int RecvSocket(int handle);
int SendSocket(int handle);
// Always 0. Mode 1 first closes the connections in error or gone and seen,
// and always polls the sockets; a run of mode 0 pumps polls on every fourth
// while the polls find nothing.
int PumpNetWork(int mode);
int ShutdownNetWork();
LRESULT HandleNetWorkSocketEvent(std::uintptr_t socket, DWORD event);
int WriteNetWorkLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// While one lives, the network pumps neither poll the sockets nor dispatch:
// the operation that holds it has just done both, and its inner pumps would
// only repeat that (or take notifications its busy side must refuse).
struct NetWorkPollHold {
    NetWorkPollHold();
    ~NetWorkPollHold();
    NetWorkPollHold(const NetWorkPollHold&) = delete;
    NetWorkPollHold& operator=(const NetWorkPollHold&) = delete;
};

// The record of a valid handle (the listening slot included), else null.
NETCONN* GetNetConn(int handle);
// 0, or -1 after logging the operation's line for a record that is not in
// use or is in error (errorName, when given, names the operation there).
int CheckNetConnUsable(const NETCONN* c, const char* operation, const char* errorName = nullptr);

// Starts the network: the socket layer, the hidden window and, when
// `address` is an IPv4 literal, a listening socket there (port 0: any free
// port). New accepted connections are raw when rawDefault is set, and stay
// open after their peer has gone when keepOpenDefault is set. 0 or -1.
int StartNetWork(const char* address, int port, int rawDefault, int keepOpenDefault);
// The listening socket's port, or -1.
int GetNetWorkListenPort();
// Starts connecting to an IPv4 literal; the handle, or -1. The connected
// flag rises with FD_CONNECT. autoClose 0 keeps the connection until it is
// closed, which transfers over it need.
int ConnectNetWork(const char* address, int port, int framed, int autoClose);
// 1 connected, 0 still connecting, -1 the attempt failed or a bad handle.
int GetNetWorkConnectState(int handle);
// The oldest accepted connection not yet handed out, or -1.
int GetNewAcceptNetWork();
