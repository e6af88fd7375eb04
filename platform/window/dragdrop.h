// Files dropped on a window, on SDL's drop events. A window takes drops only
// after DragAcceptFiles; the names of one drop arrive as one WM_DROPFILES
// whose wParam is the drop's handle, in code page 932.
#pragma once

#include "platform/kernel/types.h"

#include <string>
#include <vector>

void DragAcceptFiles(HWND window, BOOL accept);
// index 0xFFFFFFFF: the number of files. A null buffer: the name's length
// without its terminator. Else the name copied, cut to fit with its
// terminator; answers the bytes copied. 0 for a bad handle or index.
UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT bufferBytes);
// Frees the drop; its handle is dead afterwards.
void DragFinish(HDROP drop);

// For the window layer: whether a window takes drops, and a new drop's
// handle for the collected names.
bool IsDropAccepted(HWND window);
void ForgetDropWindow(HWND window);
HDROP MakeDropHandle(std::vector<std::string> names);

// Test hooks: drops still alive; a drop as SDL would deliver it (UTF-8 names).
int GetLiveDropCount();
void SimulateFileDrop(HWND window, const std::vector<std::string>& utf8Names);
