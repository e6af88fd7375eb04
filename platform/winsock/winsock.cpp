// Owns the socket layer's table of open sockets and their selections; the
// POSIX calls go through posix_socket, the notifications through the window
// layer's posted messages.
#include "platform/winsock/winsock.h"

#include "platform/window/window.h"
#include "platform/winsock/posix_socket.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

// Socket values are descriptors moved up, so none is ever 0.
constexpr SOCKET kSocketBase = 0x1000;

struct SocketRec {
    int Fd = -1;
    HWND Window = nullptr;
    UINT Message = 0;
    long Events = 0;
    long Armed = 0;
    bool Listening = false;
    bool Connecting = false;  // connect() called, FD_CONNECT not yet due
    bool Connected = false;
    bool ClosePosted = false;
    // The readiness the epoll set watches for; 0 while the socket is not in it.
    std::uint32_t Watched = 0;
    bool Dirty = false;   // on the list whose watches the next poll brings up to date
    bool Parked = false;  // broken with nothing left to report: out of the set until re-armed
};

std::mutex g_mutex;
std::map<SOCKET, SocketRec> g_sockets;
int g_startCount = 0;
long long g_pollVisits = 0;
// One epoll set holds the sockets with an event armed, so a poll costs one
// call and the sockets that became ready, never a walk over all of them.
int g_epoll = -1;
std::vector<SOCKET> g_dirty;
thread_local int t_lastError = 0;

int Fail(int code)
{
    t_lastError = code;
    return SOCKET_ERROR;
}

int ErrorOf(int error)
{
    switch (error) {
    case EAGAIN: return WSAEWOULDBLOCK;
    case EINPROGRESS: return WSAEWOULDBLOCK;
    case EINTR: return WSAEINTR;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE: case ENFILE: return WSAEMFILE;
    case EBADF: case ENOTSOCK: return WSAENOTSOCK;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETUNREACH: return WSAENETUNREACH;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: case EPIPE: return WSAECONNRESET;
    case ENOBUFS: case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
    }
}

int FailErrno()
{
    return Fail(ErrorOf(errno));
}

// The record of a socket, or null with the error set.
SocketRec* Lookup(SOCKET s)
{
    if (g_startCount == 0) {
        t_lastError = WSANOTINITIALISED;
        return nullptr;
    }
    auto it = g_sockets.find(s);
    if (it == g_sockets.end()) {
        t_lastError = WSAENOTSOCK;
        return nullptr;
    }
    return &it->second;
}

bool ReadIPv4(const sockaddr* address, int length, std::uint32_t* ip, std::uint16_t* port)
{
    if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) return false;
    sockaddr_in a;
    std::memcpy(&a, address, sizeof a);
    if (a.sin_family != AF_INET) return false;
    *ip = a.sin_addr.s_addr;
    *port = a.sin_port;
    return true;
}

void WriteIPv4(sockaddr* address, std::uint32_t ip, std::uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = port;
    a.sin_addr.s_addr = ip;
    std::memcpy(address, &a, sizeof a);
}

void SetNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Marks the socket for the next poll to bring its watch up to date.
void Touch(SOCKET s, SocketRec& rec)
{
    rec.Parked = false;
    if (rec.Dirty) return;
    rec.Dirty = true;
    g_dirty.push_back(s);
}

void Arm(SOCKET s, SocketRec& rec, long event)
{
    if ((rec.Armed & event) == event && !rec.Parked) return;
    rec.Armed |= event;
    Touch(s, rec);
}

// What epoll must watch for the socket's armed events to become due.
std::uint32_t WantedReadiness(const SocketRec& rec)
{
    const long armed = rec.Armed & rec.Events;
    if (rec.Events == 0 || rec.Parked) return 0;
    if (rec.Listening) return (armed & FD_ACCEPT) ? std::uint32_t{EPOLLIN} : 0u;
    if (rec.Connecting) return EPOLLOUT;
    if (!rec.Connected) return 0;
    std::uint32_t wanted = 0;
    if (armed & FD_READ) wanted |= EPOLLIN | EPOLLRDHUP;
    if ((armed & FD_CLOSE) && !rec.ClosePosted) wanted |= EPOLLRDHUP;
    if (armed & FD_WRITE) wanted |= EPOLLOUT;
    return wanted;
}

void UpdateWatch(SOCKET s, SocketRec& rec)
{
    rec.Dirty = false;
    const std::uint32_t wanted = WantedReadiness(rec);
    if (wanted == rec.Watched || g_epoll < 0) return;
    epoll_event e{};
    e.events = wanted;
    e.data.u64 = static_cast<std::uint64_t>(s);
    if (wanted == 0) {
        epoll_ctl(g_epoll, EPOLL_CTL_DEL, rec.Fd, &e);
    } else if (epoll_ctl(g_epoll, rec.Watched == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, rec.Fd, &e) != 0) {
        // The set knew the descriptor otherwise than recorded: take it as it is.
        epoll_ctl(g_epoll, errno == EEXIST ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, rec.Fd, &e);
    }
    rec.Watched = wanted;
}

struct Notification {
    HWND Window;
    UINT Message;
    SOCKET Socket;
    long Event;
    int Error;
};

// Decides which armed events of one socket are due; disarms them.
void CollectDue(SOCKET s, SocketRec& rec, short revents, std::vector<Notification>& out)
{
    auto post = [&](long event, int error) {
        rec.Armed &= ~event;
        if ((rec.Events & event) != 0) out.push_back(Notification{rec.Window, rec.Message, s, event, error});
    };
    const bool broken = (revents & (POLLERR | POLLHUP)) != 0;
    if (rec.Listening) {
        if ((revents & POLLIN) && (rec.Armed & FD_ACCEPT)) post(FD_ACCEPT, 0);
        return;
    }
    if (rec.Connecting) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return;
        const int error = sysnet::TakeError(rec.Fd);
        rec.Connecting = false;
        rec.Connected = error == 0;
        if (rec.Armed & FD_CONNECT) post(FD_CONNECT, error == 0 ? 0 : ErrorOf(error));
        if (error != 0) {
            // A connection that was never made ends with its FD_CONNECT.
            rec.ClosePosted = true;
            return;
        }
    }
    if (!rec.Connected) return;
    if ((revents & POLLIN) && (rec.Armed & FD_READ)) {
        // Readable without an end or error means data; with one, it may be
        // only the end, which FD_CLOSE reports.
        int waiting = 1;
        if ((revents & (POLLRDHUP | POLLERR | POLLHUP)) && (ioctl(rec.Fd, FIONREAD, &waiting) != 0)) waiting = 0;
        if (waiting > 0) post(FD_READ, 0);
    }
    if ((revents & POLLOUT) && (rec.Armed & FD_WRITE) && !broken) post(FD_WRITE, 0);
    if ((revents & (POLLRDHUP | POLLERR | POLLHUP)) && !rec.ClosePosted && (rec.Armed & FD_CLOSE)) {
        rec.ClosePosted = true;
        const int error = (revents & POLLERR) ? sysnet::TakeError(rec.Fd) : 0;
        post(FD_CLOSE, error == 0 ? 0 : ErrorOf(error));
    }
}

} // namespace

int WSAStartup(WORD version, WSADATA* data)
{
    if (data == nullptr) return WSAEFAULT;
    std::memset(data, 0, sizeof *data);
    data->wVersion = 0x0101;
    data->wHighVersion = 0x0101;
    std::strcpy(data->szDescription, "Sockets over POSIX");
    std::strcpy(data->szSystemStatus, "Running");
    if ((version & 0xFF) < 1) return 10092;  // WSAVERNOTSUPPORTED
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_epoll < 0) g_epoll = epoll_create1(EPOLL_CLOEXEC);
    if (g_epoll < 0) return WSAENOBUFS;
    ++g_startCount;
    return 0;
}

int WSACleanup()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_startCount == 0) return Fail(WSANOTINITIALISED);
    if (--g_startCount == 0) {
        for (auto& [s, rec] : g_sockets) close(rec.Fd);
        g_sockets.clear();
        g_dirty.clear();
        close(g_epoll);
        g_epoll = -1;
    }
    return 0;
}

int WSAGetLastError()
{
    return t_lastError;
}

SOCKET socket(int family, int type, int protocol)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_startCount == 0) return Fail(WSANOTINITIALISED);
    if (family != AF_INET) return Fail(WSAEAFNOSUPPORT);
    if (type != SOCK_STREAM || (protocol != 0 && protocol != IPPROTO_TCP)) return Fail(WSAEINVAL);
    const int fd = sysnet::OpenStreamSocket();
    if (fd < 0) return FailErrno();
    SocketRec rec;
    rec.Fd = fd;
    const SOCKET s = kSocketBase + fd;
    g_sockets[s] = rec;
    return s;
}

int bind(SOCKET s, const sockaddr* address, int length)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    SocketRec* rec = Lookup(s);
    if (rec == nullptr) return SOCKET_ERROR;
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    if (!ReadIPv4(address, length, &ip, &port)) return Fail(WSAEFAULT);
    return sysnet::Bind(rec->Fd, ip, port) == 0 ? 0 : FailErrno();
}

int listen(SOCKET s, int backlog)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    SocketRec* rec = Lookup(s);
    if (rec == nullptr) return SOCKET_ERROR;
    if (sysnet::Listen(rec->Fd, backlog) != 0) return FailErrno();
    rec->Listening = true;
    Touch(s, *rec);
    return 0;
}

int getsockname(SOCKET s, sockaddr* address, int* length)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    SocketRec* rec = Lookup(s);
    if (rec == nullptr) return SOCKET_ERROR;
    if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in))) return Fail(WSAEFAULT);
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    if (sysnet::GetName(rec->Fd, &ip, &port) != 0) return FailErrno();
    WriteIPv4(address, ip, port);
    *length = sizeof(sockaddr_in);
    return 0;
}

int connect(SOCKET s, const sockaddr* address, int length)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    SocketRec* rec = Lookup(s);
    if (rec == nullptr) return SOCKET_ERROR;
    if (rec->Connected || rec->Connecting) return Fail(WSAEISCONN);
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    if (!ReadIPv4(address, length, &ip, &port)) return Fail(WSAEFAULT);
    Touch(s, *rec);
    if (sysnet::Connect(rec->Fd, ip, port) == 0) {
        // Made at once; a selected socket still hears FD_CONNECT.
        rec->Connecting = rec->Events != 0;
        rec->Connected = !rec->Connecting;
        return rec->Connecting ? Fail(WSAEWOULDBLOCK) : 0;
    }
    if (errno == EINPROGRESS) {
        rec->Connecting = true;
        return Fail(WSAEWOULDBLOCK);
    }
    return FailErrno();
}

SOCKET accept(SOCKET s, sockaddr* address, int* length)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    SocketRec* rec = Lookup(s);
    if (rec == nullptr) return INVALID_SOCKET;
    Arm(s, *rec, FD_ACCEPT);
    if (!rec->Listening) return Fail(WSAEINVAL);
    if (address != nullptr && (length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in)))) {
        return Fail(WSAEFAULT);
    }
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    const int fd = sysnet::Accept(rec->Fd, rec->Events != 0, &ip, &port);
    if (fd < 0) return FailErrno();
    if (address != nullptr) {
        WriteIPv4(address, ip, port);
        *length = sizeof(sockaddr_in);
    }
    SocketRec child;
    child.Fd = fd;
    child.Connected = true;
    child.Window = rec->Window;
    child.Message = rec->Message;
    child.Events = rec->Events;
    child.Armed = rec->Events;
    const SOCKET c = kSocketBase + fd;
    SocketRec& added = g_sockets[c] = child;
    Touch(c, added);
    return c;
}

int recv(SOCKET s, char* buffer, int length, int flags)
{
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        SocketRec* rec = Lookup(s);
        if (rec == nullptr) return SOCKET_ERROR;
        Arm(s, *rec, FD_READ);
        fd = rec->Fd;
    }
    if (length < 0 || (buffer == nullptr && length > 0)) return Fail(WSAEFAULT);
    if ((flags & ~MSG_PEEK) != 0) return Fail(WSAEINVAL);
    const long n = sysnet::Receive(fd, buffer, static_cast<std::size_t>(length), (flags & MSG_PEEK) != 0);
    return n < 0 ? FailErrno() : static_cast<int>(n);
}

int send(SOCKET s, const char* buffer, int length, int flags)
{
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        SocketRec* rec = Lookup(s);
        if (rec == nullptr) return SOCKET_ERROR;
        fd = rec->Fd;
    }
    if (length < 0 || (buffer == nullptr && length > 0)) return Fail(WSAEFAULT);
    if (flags != 0) return Fail(WSAEINVAL);
    const long n = sysnet::Send(fd, buffer, static_cast<std::size_t>(length));
    if (n >= 0) return static_cast<int>(n);
    const int error = ErrorOf(errno);
    if (error == WSAEWOULDBLOCK) {
        // FD_WRITE comes again once room has been made.
        std::lock_guard<std::mutex> lock(g_mutex);
        SocketRec* rec = Lookup(s);
        if (rec != nullptr) Arm(s, *rec, FD_WRITE);
    }
    return Fail(error);
}

int setsockopt(SOCKET s, int level, int name, const char* value, int length)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    SocketRec* rec = Lookup(s);
    if (rec == nullptr) return SOCKET_ERROR;
    if (level != SOL_SOCKET || (name != SO_SNDBUF && name != SO_RCVBUF)) return Fail(WSAEINVAL);
    if (value == nullptr || length < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
    int size = 0;
    std::memcpy(&size, value, sizeof size);
    return sysnet::SetBufferSize(rec->Fd, name == SO_SNDBUF, size) == 0 ? 0 : FailErrno();
}

int closesocket(SOCKET s)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    SocketRec* rec = Lookup(s);
    if (rec == nullptr) return SOCKET_ERROR;
    if (rec->Watched != 0) epoll_ctl(g_epoll, EPOLL_CTL_DEL, rec->Fd, nullptr);
    close(rec->Fd);
    g_sockets.erase(s);
    return 0;
}

int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    SocketRec* rec = Lookup(s);
    if (rec == nullptr) return SOCKET_ERROR;
    if (events != 0 && window == nullptr) return Fail(WSAEINVAL);
    SetNonBlocking(rec->Fd);
    rec->Window = window;
    rec->Message = message;
    rec->Events = events;
    // A new selection reports what is already due, as the first one would.
    rec->Armed = events;
    rec->ClosePosted = false;
    Touch(s, *rec);
    return 0;
}

int PollSocketSelections()
{
    std::vector<Notification> due;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_sockets.empty() || g_epoll < 0) return 0;
        for (SOCKET s : g_dirty) {
            auto it = g_sockets.find(s);
            if (it == g_sockets.end()) continue;
            ++g_pollVisits;
            UpdateWatch(s, it->second);
        }
        g_dirty.clear();
        epoll_event ready[256];
        const int count = epoll_wait(g_epoll, ready, 256, 0);
        for (int i = 0; i < count; ++i) {
            const auto s = static_cast<SOCKET>(ready[i].data.u64);
            auto it = g_sockets.find(s);
            if (it == g_sockets.end()) continue;
            ++g_pollVisits;
            SocketRec& rec = it->second;
            short revents = 0;
            if (ready[i].events & EPOLLIN) revents |= POLLIN;
            if (ready[i].events & EPOLLOUT) revents |= POLLOUT;
            if (ready[i].events & EPOLLRDHUP) revents |= POLLRDHUP;
            if (ready[i].events & EPOLLERR) revents |= POLLERR;
            if (ready[i].events & EPOLLHUP) revents |= POLLHUP;
            const std::size_t before = due.size();
            CollectDue(s, rec, revents, due);
            // A broken socket stays readable (or in error) for good: with
            // nothing left to report it leaves the set until re-armed.
            if (due.size() == before && (revents & (POLLRDHUP | POLLERR | POLLHUP))) rec.Parked = true;
            // What was posted is disarmed; the watch follows.
            UpdateWatch(s, rec);
        }
    }
    // Posted outside the table's lock: the window layer takes its own.
    for (const Notification& n : due) {
        PostMessageA(n.Window, n.Message, static_cast<WPARAM>(n.Socket),
                     static_cast<LPARAM>(static_cast<DWORD>((n.Event & 0xFFFF) | ((n.Error & 0xFFFF) << 16))));
    }
    return static_cast<int>(due.size());
}

WORD htons(WORD value)
{
    return static_cast<WORD>((value >> 8) | (value << 8));
}

WORD ntohs(WORD value)
{
    return htons(value);
}

ULONG htonl(ULONG value)
{
    return ((value & 0xFF) << 24) | ((value & 0xFF00) << 8) | ((value >> 8) & 0xFF00) | (value >> 24);
}

ULONG inet_addr(const char* text)
{
    if (text == nullptr) return INADDR_NONE;
    ULONG parts[4] = {0, 0, 0, 0};
    int count = 0;
    const char* p = text;
    while (count < 4) {
        if (*p < '0' || *p > '9') return INADDR_NONE;
        ULONG v = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + static_cast<ULONG>(*p - '0');
            if (++digits > 3 || v > 255) return INADDR_NONE;
            ++p;
        }
        parts[count++] = v;
        if (count < 4) {
            if (*p != '.') return INADDR_NONE;
            ++p;
        }
    }
    if (*p != '\0') return INADDR_NONE;
    // Network byte order: the first part is the first byte in memory.
    const unsigned char bytes[4] = {static_cast<unsigned char>(parts[0]), static_cast<unsigned char>(parts[1]),
                                    static_cast<unsigned char>(parts[2]), static_cast<unsigned char>(parts[3])};
    ULONG result;
    std::memcpy(&result, bytes, sizeof result);
    return result;
}

int GetOpenSocketCount()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return static_cast<int>(g_sockets.size());
}

long long GetSocketPollVisitCount()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_pollVisits;
}
