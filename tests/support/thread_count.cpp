// Counts the entries of /proc/self/task; no library code is called.
#include "support/thread_count.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

// A joined thread can still be listed for a moment after the join returns;
// by then the system has marked it as exiting (the flags word of its stat
// line), so such threads are left out of every count.
bool IsExiting(const std::filesystem::path& task)
{
    std::ifstream in(task / "stat");
    std::string line;
    if (!std::getline(in, line)) return true;  // gone between listing and reading
    const std::size_t close = line.rfind(')');  // the name may hold spaces and brackets
    if (close == std::string::npos) return false;
    std::istringstream fields(line.substr(close + 1));
    std::string state, ppid, pgrp, session, tty, tpgid;
    std::uint64_t flags = 0;
    if (!(fields >> state >> ppid >> pgrp >> session >> tty >> tpgid >> flags)) return false;
    constexpr std::uint64_t kExiting = 0x4;
    return (flags & kExiting) != 0;
}

} // namespace

std::size_t ThreadCount()
{
    // A sanitizer runtime may start a helper thread along with the process's
    // first thread: one is started and ended first, so every count includes it.
    static const bool warmed = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)warmed;
    std::size_t n = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (!IsExiting(task.path())) ++n;
    }
    return n;
}

std::size_t ThreadCountSettled(std::size_t expect)
{
    // Bounded by time, not by spins: on a loaded machine a thread can take
    // seconds to be scheduled and end.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::size_t n = ThreadCount();
    while (n != expect && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        n = ThreadCount();
    }
    return n;
}

std::size_t ThreadCountAtRest()
{
    // A thread that has reported its end may not have begun to exit yet:
    // wait for the count to hold still for a while before taking it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::size_t n = ThreadCount();
    auto since = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const std::size_t now = ThreadCount();
        const auto t = std::chrono::steady_clock::now();
        if (now != n) {
            n = now;
            since = t;
        } else if (t - since >= std::chrono::milliseconds(50)) {
            break;
        }
    }
    return n;
}
