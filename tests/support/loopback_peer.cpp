// Owns the test peer's POSIX sockets; loopback only.
#include "support/loopback_peer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

bool WaitReadable(int fd, Clock::time_point deadline)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, RemainingMs(deadline)) > 0;
}

sockaddr_in Loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

} // namespace

LoopbackPeer::~LoopbackPeer()
{
    Close();
    CloseListener();
}

void LoopbackPeer::CloseListener()
{
    if (listenFd_ >= 0) close(listenFd_);
    listenFd_ = -1;
}

bool LoopbackPeer::Connect(int port)
{
    Close();
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(port);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        Close();
        return false;
    }
    return true;
}

bool LoopbackPeer::Listen()
{
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t length = sizeof a;
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listenFd_, 8) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        return false;
    }
    port_ = ntohs(a.sin_port);
    return true;
}

bool LoopbackPeer::Accept(int timeoutMs)
{
    Close();
    if (!WaitReadable(listenFd_, Clock::now() + std::chrono::milliseconds(timeoutMs))) return false;
    fd_ = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    return fd_ >= 0;
}

bool LoopbackPeer::SendAll(const void* data, std::size_t size)
{
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = send(fd_, p, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool LoopbackPeer::ReceiveExactly(void* data, std::size_t size, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        if (!WaitReadable(fd_, deadline)) return false;
        const ssize_t n = recv(fd_, p, size, 0);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::vector<std::uint8_t> LoopbackPeer::ReceiveUntilClosed(int timeoutMs, std::size_t cap)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::uint8_t> out;
    char buffer[65536];
    while (out.size() < cap && WaitReadable(fd_, deadline)) {
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        out.insert(out.end(), buffer, buffer + n);
    }
    return out;
}

std::string LoopbackPeer::ReceiveUntil(const std::string& end, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string out;
    char c;
    while (out.size() < (1u << 20) && WaitReadable(fd_, deadline)) {
        if (recv(fd_, &c, 1, 0) != 1) break;
        out.push_back(c);
        if (out.size() >= end.size() && out.compare(out.size() - end.size(), end.size(), end) == 0) break;
    }
    return out;
}

void LoopbackPeer::SetReceiveBuffer(int size)
{
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

void LoopbackPeer::ShutdownWrite()
{
    if (fd_ >= 0) shutdown(fd_, SHUT_WR);
}

void LoopbackPeer::Reset()
{
    if (fd_ < 0) return;
    linger l{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    Close();
}

void LoopbackPeer::Close()
{
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}
