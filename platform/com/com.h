// COM of the layer: initialisation and a registry of the class ids the
// layer implements, from which CoCreateInstance makes objects.
#pragma once

#include "platform/com/unknown.h"
#include "platform/kernel/types.h"

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_ALL = 0x17;
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// S_OK the first time, S_FALSE when already initialised on the thread.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID iid, void** out);

// A class the layer implements: the factory answers a new object with one
// reference, or null when the class is not available here (CoCreateInstance
// then answers REGDB_E_CLASSNOTREG).
using ComClassFactory = IUnknown* (*)();
void RegisterComClass(REFCLSID classId, ComClassFactory factory);

// Test hooks.
void SetCoInitializeFailure(bool fail);
int GetComInitCount();
