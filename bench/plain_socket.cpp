// The benchmarks' plain POSIX sockets; loopback only.
#include "plain_socket.h"

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace plainsock {

namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

} // namespace

int Connect(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(port);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

bool Pair(int* a, int* b)
{
    *a = *b = -1;
    const int l = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = Loopback(0);
    socklen_t length = sizeof addr;
    if (l >= 0 && ::bind(l, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(l, 4) == 0 &&
        ::getsockname(l, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
        *a = Connect(ntohs(addr.sin_port));
        if (*a >= 0) *b = ::accept4(l, nullptr, nullptr, SOCK_CLOEXEC);
    }
    if (l >= 0) ::close(l);
    return *a >= 0 && *b >= 0;
}

void SetTimeouts(int fd)
{
    timeval t{0, 50000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
}

long Send(int fd, const void* data, std::size_t size)
{
    return ::send(fd, data, size, MSG_NOSIGNAL);
}

long Receive(int fd, void* data, std::size_t size, bool dontWait)
{
    return ::recv(fd, data, size, dontWait ? MSG_DONTWAIT : 0);
}

bool ReceiveExactly(int fd, void* data, std::size_t size)
{
    auto* at = static_cast<unsigned char*>(data);
    while (size > 0) {
        const long n = ::recv(fd, at, size, 0);
        if (n <= 0) return false;
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void Shutdown(int fd)
{
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void Close(int fd)
{
    if (fd >= 0) ::close(fd);
}

void RaiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace plainsock
