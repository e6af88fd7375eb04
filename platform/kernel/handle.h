// Kernel object handles: files, events, threads and the like are objects of
// the layer, reached through opaque HANDLE values that CloseHandle releases.
#pragma once

#include "platform/kernel/types.h"

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

struct KernelObject {
    virtual ~KernelObject() = default;
};

// Registers an object and answers its handle: never null, never INVALID_HANDLE_VALUE.
HANDLE RegisterKernelObject(KernelObject* object);

// The object behind a handle, or null for a handle that is not live.
KernelObject* LookupKernelObject(HANDLE handle);

template <class T>
T* LookupKernelObjectAs(HANDLE handle)
{
    return dynamic_cast<T*>(LookupKernelObject(handle));
}

// Unregisters and deletes the object; FALSE for a handle that is not live.
BOOL CloseHandle(HANDLE handle);
