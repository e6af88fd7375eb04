// The few POSIX socket calls the socket layer is built on, behind names of
// their own, so no file sees both the layer's declarations and the system's.
// Addresses and ports are in network byte order; failures answer -1 with errno set.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sysnet {

int OpenStreamSocket();
int Bind(int fd, std::uint32_t address, std::uint16_t port);
int Listen(int fd, int backlog);
int GetName(int fd, std::uint32_t* address, std::uint16_t* port);
int Connect(int fd, std::uint32_t address, std::uint16_t port);
int Accept(int fd, bool nonBlocking, std::uint32_t* address, std::uint16_t* port);
long Receive(int fd, void* buffer, std::size_t length, bool peek);
// Never raises SIGPIPE.
long Send(int fd, const void* buffer, std::size_t length);
int SetBufferSize(int fd, bool sendSide, int size);
// The pending error of the socket (SO_ERROR), 0 when none.
int TakeError(int fd);

} // namespace sysnet
