// The library's start-up and shutdown sequences, the fatal exit, the system
// report and COM's initialisation.
#pragma once

// 0 when started (or already started), -1 on failure; a failed start-up
// undoes what it set up, so a later one can succeed.
int RunStartupSequence();
// Always 0; does nothing while the library is not started.
int RunShutdownSequence();
// Logs the text and a line feed, runs the shutdown, destroys the API lock
// and ends the process with exit code -1.
[[noreturn]] void ExitWithFatalError(const char* text);
[[noreturn]] void ExitWithFatalErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Fills the OS and processor fields of SYSSTATE and logs them; 0.
int WriteSystemReport();
// 0, or -1 on failure or when COM is already initialised.
int InitializeCom();
