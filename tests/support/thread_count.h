// The process's thread count as the system lists it, for tests of code that
// starts and ends reader threads.
#pragma once

#include <cstddef>

std::size_t ThreadCount();
// The thread count once it has settled at expect (a thread reports its end
// just before the system removes it), or as it stands after a bounded wait.
std::size_t ThreadCountSettled(std::size_t expect);
