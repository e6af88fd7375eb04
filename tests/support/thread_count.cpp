// Counts the entries of /proc/self/task; no library code is called.
#include "support/thread_count.h"

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
    std::size_t n = ThreadCount();
    for (long spins = 0; n != expect && spins < 200000; ++spins) {
        std::this_thread::yield();
        n = ThreadCount();
    }
    return n;
}
