// Counts the entries of /proc/self/task (see thread_count.h).
#include "thread_count.h"

#include <filesystem>
#include <iterator>
#include <thread>

std::size_t ThreadCount()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}));
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
