// The library's message pump and the drawing entries' wait for activation.
#pragma once

// Dispatches waiting window messages in passes of at most five, keeps
// passing while the window is inactive, then services the network and the
// other per-frame work. 0, or -1 once the quit flag is set.
int ServiceMessageLoop();
// Holds the caller while the window is inactive.
void WaitWhileInactive();
