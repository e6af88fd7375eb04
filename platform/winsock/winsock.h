// The socket interface of the window system's network layer, version 1.1:
// stream sockets over IPv4, non-blocking once selected, with asynchronous
// selection delivered as posted window messages. Sends never raise SIGPIPE.
#pragma once

#include "platform/kernel/types.h"

using SOCKET = std::intptr_t;

constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr int IPPROTO_TCP = 6;
constexpr ULONG INADDR_ANY = 0;
constexpr ULONG INADDR_NONE = 0xFFFFFFFFu;

constexpr int MSG_PEEK = 0x2;

constexpr int SOL_SOCKET = 0xFFFF;
constexpr int SO_SNDBUF = 0x1001;
constexpr int SO_RCVBUF = 0x1002;

// Asynchronous selection events (low word of the message's lParam).
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

// Error codes of WSAGetLastError.
constexpr int WSAEINTR = 10004;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSANOTINITIALISED = 10093;

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
};

struct in_addr {
    ULONG s_addr;  // network byte order
};

struct sockaddr {
    WORD sa_family;
    char sa_data[14];
};

struct sockaddr_in {
    short sin_family;
    WORD sin_port;  // network byte order
    in_addr sin_addr;
    char sin_zero[8];
};
static_assert(sizeof(sockaddr_in) == 16, "the 16-byte IPv4 address record");

int WSAStartup(WORD version, WSADATA* data);
// The last cleanup closes every socket still open.
int WSACleanup();
int WSAGetLastError();

SOCKET socket(int family, int type, int protocol);
int bind(SOCKET s, const sockaddr* address, int length);
int listen(SOCKET s, int backlog);
int getsockname(SOCKET s, sockaddr* address, int* length);
// A selected (non-blocking) socket answers SOCKET_ERROR with WSAEWOULDBLOCK
// while the connection is being made; FD_CONNECT tells the outcome.
int connect(SOCKET s, const sockaddr* address, int length);
// The new socket inherits the listening socket's selection.
SOCKET accept(SOCKET s, sockaddr* address, int* length);
int recv(SOCKET s, char* buffer, int length, int flags);
int send(SOCKET s, const char* buffer, int length, int flags);
int setsockopt(SOCKET s, int level, int name, const char* value, int length);
int closesocket(SOCKET s);

// Makes the socket non-blocking and posts `message` to `window` for each of
// `events` (wParam the socket, lParam the event and the error << 16). Each
// event is posted once and re-armed only by the call that answers it (recv
// for FD_READ, accept for FD_ACCEPT, a would-block send for FD_WRITE). A
// new call replaces the old; events 0 cancels.
int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events);

WORD htons(WORD value);
WORD ntohs(WORD value);
ULONG htonl(ULONG value);
// A dotted IPv4 literal in network byte order, or INADDR_NONE.
ULONG inet_addr(const char* text);

// Posts the notifications that became due since the last poll; never waits.
// The message pump calls it: that is when the system would have posted them.
// The number posted.
int PollSocketSelections();

// Test hook: the number of sockets the layer holds open.
int GetOpenSocketCount();
// Test hook: the socket records the polls have looked at since the process
// started, a measure of their work.
long long GetSocketPollVisitCount();
