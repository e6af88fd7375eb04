// Counts the entries of /proc/self/task; no library code is called.
#include "support/thread_count.h"

#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

std::size_t ThreadCount()
{
    // A sanitizer runtime may start a helper thread along with the process's
    // first thread: one is started and ended first, so every count includes it.
    static const bool warmed = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)warmed;
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator{}));
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
