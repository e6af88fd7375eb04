// Owns the message loop, its re-entrance guard and its installed per-pass
// services; reads and writes the window flags of SYSSTATE, calls the window
// layer, the window mode, the menu, text input and pad vibration.
#include "core/msgloop.h"

#include "core/inactivewait.h"
#include "core/input.h"
#include "core/menu.h"
#include "core/sysstate.h"
#include "core/textinput.h"
#include "core/windowmode.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/window/window.h"

namespace {

// 1 only while the text-input step runs, so that step cannot re-enter.
int g_reentranceGuard = 0;

MSGLOOPSERVICES g_services{};

void Run(void (*service)())
{
    if (service != nullptr) service();
}

const HWND kThreadMessages = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));

bool FetchMessage(MSG* message)
{
    return PeekMessageA(message, nullptr, 0, 0, PM_REMOVE) || PeekMessageA(message, kThreadMessages, 0, 0, PM_REMOVE) ||
           PeekMessageA(message, SysState.MainWindow, 0, 0, PM_REMOVE);
}

bool IsInactiveWait()
{
    return SysState.ActiveFlag == 0 && SysState.AlwaysRun == 0;
}

void RunPasses()
{
    SYSSTATE& s = SysState;
    const bool onWindowThread = GetCurrentThreadId() == s.WindowThreadId;
    int nothingDispatched = 0;
    int count = 0;
    for (;;) {
        if ((s.CloseRequestFlag || s.ActiveFlag || s.AlwaysRun) && (nothingDispatched == 1 || s.QuitFlag)) return;
        nothingDispatched = 1;
        if (IsInactiveWait()) Sleep(1);

        MSG m;
        while (FetchMessage(&m)) {
            bool taken = false;
            if (s.DialogHandle != nullptr && IsDialogMessageA(s.DialogHandle, &m)) taken = true;
            if (!taken) {
                if (m.message == WM_ACTIVATEAPP && s.WindowModeFlag == 1) s.ActiveFlag = LoWord(m.wParam) != 0 ? 1 : 0;
                // A message fetched after the quit flag was set is dropped.
                if (s.QuitFlag) return;
                if (m.message == WM_QUIT) s.QuitFlag = 1;
                if (TranslateAcceleratorA(s.MainWindow, s.Accelerator, &m) == 0) {
                    TranslateMessage(&m);
                    DispatchMessageA(&m);
                }
                if (++count == 5) {
                    count = 0;
                    break;
                }
            }
            nothingDispatched = 0;
            if (s.DialogHandle != nullptr) {
                MSG d;
                if (PeekMessageA(&d, s.DialogHandle, 0, 0, PM_REMOVE)) IsDialogMessageA(s.DialogHandle, &d);
            }
            for (int i = 0; i < s.ExtraWindowCount && i < 100; ++i) {
                MSG e;
                if (PeekMessageA(&e, s.ExtraWindows[i], 0, 0, PM_REMOVE)) {
                    TranslateMessage(&e);
                    DispatchMessageA(&e);
                }
            }
        }

        if (IsInactiveWait()) {
            Run(g_services.InactivePass);
            Sleep(1);
        }
        if (s.QuitFlag != 0 || !onWindowThread) return;
    }
}

} // namespace

MSGLOOPSERVICES InstallMessageLoopServices(const MSGLOOPSERVICES& services)
{
    const MSGLOOPSERVICES previous = g_services;
    g_services = services;
    return previous;
}

int ServiceMessageLoop()
{
    if (g_reentranceGuard == 1) return 0;
    SYSSTATE& s = SysState;
    if (s.NoWindow != 1 && s.UserWindowFlag != 1) {
        if (s.MainWindow == nullptr) return s.QuitFlag == 1 ? -1 : 0;
        if (s.ModeChangeRequest && s.ModeChangeAllowed == 1 && GetCurrentThreadId() == s.WindowThreadId) {
            s.ModeChangeRequest = 0;
            ChangeWindowMode(s.WindowModeFlag == 1 ? 0 : 1);
            if (s.ModeChangeCallback != nullptr) s.ModeChangeCallback(s.ModeChangeCallbackData);
        }
        Run(g_services.PollSockets);
        RunPasses();
        if (s.MenuAlwaysShow == 0 && GetCurrentThreadId() == s.WindowThreadId) UpdateMenuAutoShow();
    }

    Run(g_services.SoundPass);
    UpdatePadVibration();
    Run(g_services.NetworkPass);
    g_reentranceGuard = 1;
    UpdateTextInput();
    g_reentranceGuard = 0;

    return s.QuitFlag == 1 ? -1 : 0;
}
