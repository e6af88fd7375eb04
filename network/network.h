// The network and HTTP operations that the start-up, shutdown, message loop
// and window procedure call. The network is never started by this program,
// so each finds nothing to do.
#pragma once

#include "platform/kernel/types.h"

constexpr int HTTP_HANDLE_MAX = 100;

struct HTTPREC;

// The HTTP transfer table, cleared at start-up.
struct HTTPSTATE {
    HTTPREC* Handles[HTTP_HANDLE_MAX];
    int Count;
};
extern HTTPSTATE HttpState;

struct NETWORKSTATE {
    int Started;          // 1 after the network's start-up
    HWND MessageWindow;   // the hidden window that receives socket events
};
extern NETWORKSTATE NetWorkState;

void ClearHttpRequestTable();
// 0; closes every open transfer.
int CloseAllHttpHandles();
// 0; nothing when the network was never started.
int ShutdownNetWork();
// 0; nothing when the network was never started or has no window.
int PumpNetWork(int closeFinished);
// 0; one step of every open transfer.
int ProcessAllHttpHandles();
// 0, -1 for an empty slot, or the step's result.
int StepHttpHandle(int slot);
// The window procedure's answer to a socket event; 0 when no connection owns the socket.
LRESULT HandleNetWorkSocketEvent(std::uintptr_t socket, DWORD event);
