// Debugger output of the kernel layer: code page 932 texts, shown on
// standard error as UTF-8.
#pragma once

#include "platform/kernel/types.h"

void OutputDebugStringA(LPCSTR text);

// Test hook: a sink that receives each text unconverted instead of stderr;
// null restores standard error.
using DebugOutputSink = void (*)(const char* text);
void SetDebugOutputSink(DebugOutputSink sink);
