// Test tooling: the process's live threads as the system lists them, for
// tests that check a reader thread lives exactly as long as its file.
#pragma once

#include <cstddef>

// Threads already on their way out are not counted.
std::size_t ThreadCount();
// The thread count once it has settled at expect (a thread asked to stop may
// not have begun to exit yet), or as it stands after a bounded wait.
std::size_t ThreadCountSettled(std::size_t expect);
// The thread count once it has held still for a while: the baseline for a
// test that runs after others whose threads may still be ending.
std::size_t ThreadCountAtRest();
