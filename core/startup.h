// The library's start-up and shutdown sequences, the system report and
// COM's initialisation. The fatal exit lives in core/fatalexit.h.
#pragma once

#include "core/fatalexit.h"

// 0 when started (or already started), -1 on failure; a failed start-up
// undoes what it set up, so a later one can succeed.
int RunStartupSequence();
// Always 0; does nothing while the library is not started.
int RunShutdownSequence();
// Fills the OS and processor fields of SYSSTATE and logs them; 0.
int WriteSystemReport();
// 0, or -1 on failure or when COM is already initialised.
int InitializeCom();
