// Plain POSIX sockets on 127.0.0.1 for the network benchmarks' other ends and
// their baseline loops, kept apart from the library's socket declarations.
#pragma once

#include <cstddef>

namespace plainsock {

// A connected blocking socket, or -1.
int Connect(int port);
// Two blocking sockets connected to each other; false when none could be made.
bool Pair(int* a, int* b);
// Blocking calls wake every 50 ms, so helper threads see their stop flags.
void SetTimeouts(int fd);
long Send(int fd, const void* data, std::size_t size);
long Receive(int fd, void* data, std::size_t size, bool dontWait = false);
bool ReceiveExactly(int fd, void* data, std::size_t size);
void Shutdown(int fd);
void Close(int fd);
// The soft limit of open files raised to the hard one.
void RaiseOpenFileLimit();

} // namespace plainsock
