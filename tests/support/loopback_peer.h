// A plain blocking socket on 127.0.0.1 for the network tests' other side:
// it connects or listens, sends and receives with bounded waits, and closes
// gracefully or with a reset. Every wait ends by itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The time a wait for something that must come is given: it runs out only
// when something is wrong, and a sanitized build on a loaded machine is slow.
constexpr int kPeerWaitMs = 60000;

class LoopbackPeer {
public:
    LoopbackPeer() = default;
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    bool Connect(int port);
    // Listens on an ephemeral loopback port; Port() tells which.
    bool Listen();
    int Port() const { return port_; }
    // The next connection on the listening socket, within the time.
    bool Accept(int timeoutMs);
    bool SendAll(const void* data, std::size_t size);
    bool SendAll(const std::string& text) { return SendAll(text.data(), text.size()); }
    // Exactly size bytes, within the time.
    bool ReceiveExactly(void* data, std::size_t size, int timeoutMs);
    // Everything until the other side closes (or the time or the cap runs out).
    std::vector<std::uint8_t> ReceiveUntilClosed(int timeoutMs, std::size_t cap = 1 << 24);
    // Bytes up to and including the first occurrence of `end`, within the time.
    std::string ReceiveUntil(const std::string& end, int timeoutMs);
    void SetReceiveBuffer(int size);
    void ShutdownWrite();
    // Closes with a reset instead of a graceful end.
    void Reset();
    void Close();
    // Stops listening; the port is then free and refuses connections.
    void CloseListener();
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    int listenFd_ = -1;
    int port_ = -1;
};
