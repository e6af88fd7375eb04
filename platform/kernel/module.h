// Loadable modules as the library asks for them by name: the layer's own
// parts register the modules they stand in for and the exports they answer.
#pragma once

#include "platform/kernel/types.h"

using FARPROC = void (*)();
using ModuleExportLookup = FARPROC (*)(const char* name);

// Names compare without case; a later registration of a name replaces it.
void RegisterModule(const char* name, ModuleExportLookup lookup);

// Null when no such module is registered (or it was hidden).
HMODULE LoadLibraryA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

// Test hook: a hidden module fails to load, as a missing library would.
void HideModule(const char* name, bool hidden);
