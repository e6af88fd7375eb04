// Test tooling: the process's live threads as the system lists them, for
// tests that check a reader thread lives exactly as long as its file.
#pragma once

#include <cstddef>

std::size_t ThreadCount();
// The thread count once it has settled at expect (a thread reports its end
// just before the system removes it), or as it stands after a bounded wait.
std::size_t ThreadCountSettled(std::size_t expect);
