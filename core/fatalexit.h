// The fatal exit: the last words in the log, the shutdown, the end of the
// process. Sits in core's base so every subsystem may end the process
// without reaching up to the start-up code, which installs its shutdown here.
#pragma once

// Installed by the start-up code; run by the fatal exit before the process ends.
void SetFatalExitShutdown(int (*shutdown)());

// Logs the text and a line feed, runs the installed shutdown, destroys the
// API lock and ends the process with exit code -1.
[[noreturn]] void ExitWithFatalError(const char* text);
[[noreturn]] void ExitWithFatalErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
