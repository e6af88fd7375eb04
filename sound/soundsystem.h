// The sound system's start-up and shutdown, which every sound operation
// needs (the DirectSound object exists only between the two).
#pragma once

#include "platform/kernel/types.h"

// 0 started; -1 already started or failed (the library runs on silently).
int StartupSoundSystem();
// 0 ended; -1 when not started.
int ShutdownSoundSystem();
// Deletes every sound handle in slot order; -1 without the DirectSound object.
int DeleteAllSounds();
// The device list's callback: one log line per device; always TRUE.
BOOL LogSoundDeviceCallback(GUID* guid, LPCSTR description, LPCSTR module, void* context);
