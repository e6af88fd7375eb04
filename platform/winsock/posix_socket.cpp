// The socket layer's POSIX calls; includes the system's socket headers, which
// no other file of the layer may see next to its own declarations.
#include "platform/winsock/posix_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace sysnet {

namespace {

sockaddr_in MakeAddress(std::uint32_t address, std::uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = port;
    a.sin_addr.s_addr = address;
    return a;
}

} // namespace

int OpenStreamSocket()
{
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
}

int Bind(int fd, std::uint32_t address, std::uint16_t port)
{
    sockaddr_in a = MakeAddress(address, port);
    return ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

int Listen(int fd, int backlog)
{
    return ::listen(fd, backlog);
}

int GetName(int fd, std::uint32_t* address, std::uint16_t* port)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) return -1;
    *address = a.sin_addr.s_addr;
    *port = a.sin_port;
    return 0;
}

int Connect(int fd, std::uint32_t address, std::uint16_t port)
{
    sockaddr_in a = MakeAddress(address, port);
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

int Accept(int fd, bool nonBlocking, std::uint32_t* address, std::uint16_t* port)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    int rc;
    do {
        rc = ::accept4(fd, reinterpret_cast<sockaddr*>(&a), &length, SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0));
    } while (rc < 0 && errno == EINTR);
    if (rc >= 0) {
        *address = a.sin_addr.s_addr;
        *port = a.sin_port;
    }
    return rc;
}

long Receive(int fd, void* buffer, std::size_t length, bool peek)
{
    long rc;
    do {
        rc = ::recv(fd, buffer, length, peek ? MSG_PEEK : 0);
    } while (rc < 0 && errno == EINTR);
    return rc;
}

long Send(int fd, const void* buffer, std::size_t length)
{
    long rc;
    do {
        rc = ::send(fd, buffer, length, MSG_NOSIGNAL);
    } while (rc < 0 && errno == EINTR);
    return rc;
}

int SetBufferSize(int fd, bool sendSide, int size)
{
    return ::setsockopt(fd, SOL_SOCKET, sendSide ? SO_SNDBUF : SO_RCVBUF, &size, sizeof size);
}

int TakeError(int fd)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

} // namespace sysnet
