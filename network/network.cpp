// Owns the HTTP transfer table and the network's state block; logs through
// core/log. The started branches come with the network's start-up.
#include "network/network.h"

#include "core/log.h"

#include <cstring>

HTTPSTATE HttpState;
NETWORKSTATE NetWorkState;

void ClearHttpRequestTable()
{
    std::memset(&HttpState, 0, sizeof HttpState);
}

int CloseAllHttpHandles()
{
    // Transfers exist only once the network has started; none is ever open here.
    return 0;
}

int ShutdownNetWork()
{
    if (NetWorkState.Started == 0) return 0;
    return 0;
}

int PumpNetWork(int)
{
    if (NetWorkState.Started == 0 || NetWorkState.MessageWindow == nullptr) return 0;
    return 0;
}

int ProcessAllHttpHandles()
{
    for (int i = 0; i < HTTP_HANDLE_MAX; ++i) {
        if (HttpState.Handles[i] != nullptr) StepHttpHandle(i);
    }
    return 0;
}

int StepHttpHandle(int slot)
{
    if (slot < 0 || slot >= HTTP_HANDLE_MAX || HttpState.Handles[slot] == nullptr) return -1;
    return 0;
}

LRESULT HandleNetWorkSocketEvent(std::uintptr_t, DWORD)
{
    // No connection owns any socket while the network is not started.
    WriteLog("通信エラー No.1\n");
    return 0;
}
