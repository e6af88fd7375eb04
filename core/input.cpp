// Owns INPUTSTATE: the DirectInput object and devices (or the winmm joystick
// mode), the key state, the per-pad key map, the joypads and their vibration.
// Neighbours: platform/dinput, platform/winmm joystick and timer, kernel events,
// GetKeyboardState; the log; the window state and message loop of the core.
#include "core/input.h"

#include "core/log.h"
#include "core/fatalexit.h"
#include "core/inactivewait.h"
#include "core/sysstate.h"
#include "platform/com/com.h"
#include "platform/dinput/dinput.h"
#include "platform/kernel/sync.h"
#include "platform/kernel/system.h"
#include "platform/window/keyboard.h"
#include "platform/winmm/joystick.h"
#include "platform/winmm/timer.h"

#include <cstdint>
#include <cstring>

namespace {

struct PADREC {
    IDirectInputDevice7A* Device;
    IDirectInputEffect* ConstantForceEffect;
    IDirectInputEffect* SineEffect;
    HANDLE Event;
    DIJOYSTATE State;
    int ZAndRAxes;
    DWORD LastRead;
    int VibrationOn;
    int VibrationPower;
    int VibrationLength;
    int Elapsed;
    DWORD LastTick;
    int ConstantForcePlaying;
    int SinePlaying;
    char InstanceName[260];
    char ProductName[260];
};

struct INPUTSTATE {
    int WinmmMode;  // kept across the zeroing at start-up
    int DirectInput8;
    void* DirectInput;  // IDirectInput7A / IDirectInput8A, or kWinmmMarker
    IDirectInputDevice7A* MouseDevice;
    IDirectInputDevice7A* KeyboardDevice;
    HANDLE KeyboardEvent;
    DWORD LastKeyboardRead;
    BYTE Keys[256];
    int OverlayOff;
    int KeyMap[8][32][4];
    int PadCount;
    PADREC Pads[8];
    int KeyboardStateOnly;
};

INPUTSTATE Input;
int PadMessageFlagA = 0;
int PadMessageFlagB = 0;

void* const kWinmmMarker = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));

struct VKTODIK {
    WORD vk;
    WORD dik;
};

// The pairs before the separator are re-read over the DirectInput state,
// because letters, digits and punctuation move with the keyboard layout; the
// pairs after it complete the keyboard in winmm mode.
constexpr VKTODIK kVkToDik[] = {
    {'A', DIK_A}, {'B', DIK_B}, {'C', DIK_C}, {'D', DIK_D}, {'E', DIK_E}, {'F', DIK_F}, {'G', DIK_G},
    {'H', DIK_H}, {'I', DIK_I}, {'J', DIK_J}, {'K', DIK_K}, {'L', DIK_L}, {'M', DIK_M}, {'N', DIK_N},
    {'O', DIK_O}, {'P', DIK_P}, {'Q', DIK_Q}, {'R', DIK_R}, {'S', DIK_S}, {'T', DIK_T}, {'U', DIK_U},
    {'V', DIK_V}, {'W', DIK_W}, {'X', DIK_X}, {'Y', DIK_Y}, {'Z', DIK_Z},
    {'0', DIK_0}, {'1', DIK_1}, {'2', DIK_2}, {'3', DIK_3}, {'4', DIK_4}, {'5', DIK_5}, {'6', DIK_6},
    {'7', DIK_7}, {'8', DIK_8}, {'9', DIK_9},
    {VK_OEM_PLUS, DIK_SEMICOLON}, {VK_OEM_1, DIK_COLON}, {VK_OEM_4, DIK_LBRACKET}, {VK_OEM_6, DIK_RBRACKET},
    {VK_OEM_3, DIK_AT}, {VK_OEM_102, DIK_BACKSLASH}, {VK_OEM_COMMA, DIK_COMMA}, {VK_OEM_MINUS, DIK_MINUS},
    {VK_OEM_5, DIK_YEN}, {VK_OEM_PERIOD, DIK_PERIOD}, {VK_OEM_2, DIK_SLASH}, {VK_DELETE, DIK_DELETE},
    {VK_ESCAPE, DIK_ESCAPE}, {VK_SPACE, DIK_SPACE}, {VK_BACK, DIK_BACK}, {VK_TAB, DIK_TAB},
    {VK_RETURN, DIK_RETURN},
    {0xFFFE, 0},
    {VK_RETURN, DIK_NUMPADENTER}, {VK_LSHIFT, DIK_LSHIFT}, {VK_RSHIFT, DIK_RSHIFT}, {VK_LCONTROL, DIK_LCONTROL},
    {VK_RCONTROL, DIK_RCONTROL}, {VK_PRIOR, DIK_PRIOR}, {VK_NEXT, DIK_NEXT}, {VK_END, DIK_END},
    {VK_HOME, DIK_HOME}, {VK_INSERT, DIK_INSERT}, {VK_LMENU, DIK_LMENU}, {VK_RMENU, DIK_RMENU},
    {VK_SCROLL, DIK_SCROLL}, {VK_CAPITAL, DIK_CAPITAL}, {VK_PAUSE, DIK_PAUSE},
    {VK_F1, DIK_F1}, {VK_F1 + 1, DIK_F2}, {VK_F1 + 2, DIK_F3}, {VK_F1 + 3, DIK_F4}, {VK_F1 + 4, DIK_F5},
    {VK_F1 + 5, DIK_F6}, {VK_F1 + 6, DIK_F7}, {VK_F1 + 7, DIK_F8}, {VK_F1 + 8, DIK_F9}, {VK_F1 + 9, DIK_F10},
    {VK_F1 + 10, DIK_F11}, {VK_F1 + 11, DIK_F12},
    {0xFFFF, 0xFFFF},
};
constexpr WORD kTableSeparator = 0xFFFE;
constexpr WORD kTableEnd = 0xFFFF;

// ---- What input needs of the window and the message loop.

HWND InputWindow()
{
    return GetMainWindowHandle();
}

bool InputWindowActive()
{
    return IsWindowActive() != 0;
}

bool OnWindowThread()
{
    return GetCurrentThreadId() == SysState.WindowThreadId;
}

bool InputCloseRequested()
{
    return IsCloseRequested() != 0;
}

// One pass of the message loop; non-zero once the program must quit.
int RunMessagePass()
{
    return PumpMessageLoop();
}

void WaitUntilActive()
{
    WaitWhileInactive();
}

[[noreturn]] void FatalInputError(const char* message)
{
    ExitWithFatalError(message);
}

// ---- Helpers.

bool EventSignalled(HANDLE event)
{
    return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

template <class T>
void ReleaseInterface(T*& p)
{
    if (p != nullptr) p->Release();
    p = nullptr;
}

IDirectInput7A* DirectInput7()
{
    return static_cast<IDirectInput7A*>(Input.DirectInput);
}

IDirectInput8A* DirectInput8()
{
    return static_cast<IDirectInput8A*>(Input.DirectInput);
}

bool HasDirectInput()
{
    return Input.DirectInput != nullptr && Input.DirectInput != kWinmmMarker;
}

void ReleaseDirectInputObject()
{
    if (!HasDirectInput()) return;
    if (Input.DirectInput8) DirectInput8()->Release();
    else DirectInput7()->Release();
    Input.DirectInput = nullptr;
}

HRESULT CreateInputDevice(const GUID& guid, IDirectInputDevice7A** out)
{
    if (Input.DirectInput8) return DirectInput8()->CreateDevice(guid, out, nullptr);
    return DirectInput7()->CreateDeviceEx(guid, IID_IDirectInputDevice7A, reinterpret_cast<void**>(out), nullptr);
}

bool KeyDown(int code)
{
    // Codes are stored unchecked; one beyond the state is no key.
    return code >= 0 && code <= 255 && (Input.Keys[code] & 0x80) != 0;
}

HRESULT SetAxisRange(IDirectInputDevice7A* device, DWORD offset)
{
    DIPROPRANGE range = {};
    range.diph.dwSize = sizeof(range);
    range.diph.dwHeaderSize = sizeof(range.diph);
    range.diph.dwObj = offset;
    range.diph.dwHow = DIPH_BYOFFSET;
    range.lMin = -1000;
    range.lMax = 1000;
    return device->SetProperty(DIPROP_RANGE, &range.diph);
}

HRESULT SetAxisDeadZone(IDirectInputDevice7A* device, DWORD offset)
{
    DIPROPDWORD zone = {};
    zone.diph.dwSize = sizeof(zone);
    zone.diph.dwHeaderSize = sizeof(zone.diph);
    zone.diph.dwObj = offset;
    zone.diph.dwHow = DIPH_BYOFFSET;
    zone.dwData = 2500;
    return device->SetProperty(DIPROP_DEADZONE, &zone.diph);
}

void CreatePadEffects(PADREC& pad, IDirectInputDevice7A* device)
{
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG direction[2] = {0, 0};

    DIENVELOPE envelope = {};
    envelope.dwSize = sizeof(envelope);
    envelope.dwAttackLevel = 0;
    envelope.dwAttackTime = 500000;
    envelope.dwFadeLevel = 0;
    envelope.dwFadeTime = 1000000;
    DIPERIODIC periodic = {10000, 0, 0, 1500000};

    DIEFFECT effect = {};
    effect.dwSize = sizeof(effect);
    effect.dwFlags = DIEFF_POLAR | DIEFF_OBJECTOFFSETS;
    effect.dwDuration = DI_INFINITE;
    effect.dwGain = 10000;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = direction;
    effect.lpEnvelope = &envelope;
    effect.cbTypeSpecificParams = sizeof(periodic);
    effect.lpvTypeSpecificParams = &periodic;
    if (FAILED(device->CreateEffect(GUID_Sine, &effect, &pad.SineEffect, nullptr))) {
        pad.SineEffect = nullptr;
        WriteLog("周期的エフェクトの作成に失敗しました。\n");
    }

    DICONSTANTFORCE constant = {10000};
    effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof(constant);
    effect.lpvTypeSpecificParams = &constant;
    if (FAILED(device->CreateEffect(GUID_ConstantForce, &effect, &pad.ConstantForceEffect, nullptr))) {
        pad.ConstantForceEffect = nullptr;
        WriteLog("周期的エフェクトの作成に失敗しました。\n");
    }
}

void FillDefaultKeyMap()
{
    for (auto& pad : Input.KeyMap) {
        for (auto& bit : pad) {
            bit[0] = -1;
            bit[1] = -1;
        }
    }
    const int defaults[14][2] = {
        {DIK_NUMPAD2, DIK_DOWN}, {DIK_NUMPAD4, DIK_LEFT}, {DIK_NUMPAD6, DIK_RIGHT}, {DIK_NUMPAD8, DIK_UP},
        {DIK_Z, -1},           {DIK_X, -1},           {DIK_C, -1},           {DIK_A, -1},
        {DIK_S, -1},           {DIK_D, -1},           {DIK_Q, -1},           {DIK_W, -1},
        {DIK_ESCAPE, -1},      {DIK_SPACE, -1},
    };
    for (int b = 0; b < 14; ++b) {
        Input.KeyMap[0][b][0] = defaults[b][0];
        Input.KeyMap[0][b][1] = defaults[b][1];
    }
}

// Runs the device-creation steps of the DirectInput start; false to fall to winmm.
bool CreateDirectInputObject()
{
    WriteLog("DirectInput関係初期化処理\n");
    WriteLog("DirectInput7 の取得中... ");
    void* object = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A, &object);
    if (SUCCEEDED(hr)) {
        WriteLog("成功\n");
        WriteLog("引き続き初期化処理... ");
        IDirectInput7A* di = static_cast<IDirectInput7A*>(object);
        if (SUCCEEDED(di->Initialize(GetModuleHandleA(nullptr), 0x0700))) {
            WriteLog("初期化成功\n");
            Input.DirectInput = di;
            Input.DirectInput8 = 0;
            return true;
        }
        WriteLog("初期化に失敗。");
        di->Release();
    } else {
        WriteLog("取得に失敗。\n");
        WriteLogFormat("エラーコード 0x%x", static_cast<unsigned>(hr));
    }

    WriteLog("DirectInput8 の取得を試みます...");
    object = nullptr;
    hr = CoCreateInstance(CLSID_DirectInput8, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput8A, &object);
    if (SUCCEEDED(hr)) {
        WriteLog("成功\n");
        WriteLog("引き続き初期化処理... ");
        IDirectInput8A* di = static_cast<IDirectInput8A*>(object);
        if (SUCCEEDED(di->Initialize(GetModuleHandleA(nullptr), 0x0800))) {
            WriteLog("初期化成功\n");
            Input.DirectInput = di;
            Input.DirectInput8 = 1;
            return true;
        }
        WriteLog("初期化に失敗。");
        di->Release();
    } else {
        WriteLog("取得に失敗。");
    }
    WriteLog("DirectInput を使用しません。\n");
    Input.DirectInput = nullptr;
    Input.WinmmMode = 1;
    return false;
}

void StartMouse()
{
    WriteLog("マウスデバイスの初期化... ");
    IDirectInputDevice7A* mouse = nullptr;
    if (FAILED(CreateInputDevice(GUID_SysMouse, &mouse))) {
        FatalInputError("マウスデバイスの取得に失敗しました");
    }
    if (FAILED(mouse->SetDataFormat(&c_dfDIMouse))) {
        mouse->Release();
        FatalInputError("マウスデバイスのデータ形式の設定に失敗しました");
    }
    if (FAILED(mouse->SetCooperativeLevel(InputWindow(), DISCL_NONEXCLUSIVE | DISCL_BACKGROUND))) {
        mouse->Release();
        FatalInputError("マウスデバイスの協調レベルの設定に失敗しました");
    }
    Input.MouseDevice = mouse;
    WriteLog("初期化成功\n");
}

void ReleaseAllDevicesAndObject()
{
    ReleaseJoypads();
    if (Input.KeyboardDevice != nullptr) {
        Input.KeyboardDevice->Unacquire();
        Input.KeyboardDevice->SetEventNotification(nullptr);
        ReleaseInterface(Input.KeyboardDevice);
    }
    if (Input.KeyboardEvent != nullptr) CloseHandle(Input.KeyboardEvent);
    Input.KeyboardEvent = nullptr;
    if (Input.MouseDevice != nullptr) {
        Input.MouseDevice->Unacquire();
        ReleaseInterface(Input.MouseDevice);
    }
    ReleaseDirectInputObject();
}

void StartKeyboard()
{
    WriteLog("キーボードデバイスの初期化... ");
    IDirectInputDevice7A* keyboard = nullptr;
    if (FAILED(CreateInputDevice(GUID_SysKeyboard, &keyboard))) {
        FatalInputError("キーボードデバイスの取得に失敗しました");
    }
    if (FAILED(keyboard->SetDataFormat(&c_dfDIKeyboard))) {
        keyboard->Release();
        FatalInputError("キーボードデバイスのデータ形式の設定に失敗しました");
    }
    Input.OverlayOff = 0;
    if (FAILED(keyboard->SetCooperativeLevel(InputWindow(), DISCL_NONEXCLUSIVE | DISCL_BACKGROUND))) {
        keyboard->Release();
        FatalInputError("キーボードデバイスの協調レベルの設定に失敗しました");
    }
    DIPROPDWORD buffer = {};
    buffer.diph.dwSize = sizeof(buffer);
    buffer.diph.dwHeaderSize = sizeof(buffer.diph);
    buffer.diph.dwHow = DIPH_DEVICE;
    buffer.dwData = 100;
    if (FAILED(keyboard->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph))) {
        WriteLog("キーボードのプロパティ設定に失敗しました\n");
    }

    // Without the notification the keyboard still works: reads then rely on
    // the once-per-millisecond refresh alone.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT hr = event != nullptr ? keyboard->SetEventNotification(event) : DIERR_GENERIC;
    if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
        WriteLog("キーボードイベントのセットアップが失敗しました\n");
        if (event != nullptr) CloseHandle(event);
        event = nullptr;
    }
    Input.KeyboardDevice = keyboard;
    Input.KeyboardEvent = event;

    if (FAILED(keyboard->Acquire()) && FAILED(keyboard->Acquire())) {
        ReleaseAllDevicesAndObject();
        FatalInputError("キーボードデバイスの取得に失敗しました");
    }
    WriteLog("初期化成功\n");
    Input.LastKeyboardRead = timeGetTime();
}

void StartWinmmJoypads()
{
    int found = 0;
    for (UINT id = 0; id < 8; ++id) {
        JOYCAPSA caps;
        if (joyGetDevCapsA(id, &caps, sizeof(caps)) != JOYERR_NOERROR) break;
        Input.Pads[id].ZAndRAxes = ((caps.wCaps & JOYCAPS_HASZ) && (caps.wCaps & JOYCAPS_HASR)) ? 1 : 0;
        ++found;
    }
    WriteLogFormat("パッドの数は %d 個です", found);
    Input.DirectInput = kWinmmMarker;
    WriteLog("入力関連の初期化をしました\n");
    // Every id is polled, attached or not.
    Input.PadCount = 8;
}

LONG WinmmAxis(DWORD raw)
{
    LONG v = static_cast<LONG>(raw & 0xFFFF);
    if (v == 0) return -1000;
    if (v == 32767) return 0;
    if (v == 65535) return 1000;
    if (v < 24576) return (v - 24576) * 1000 / 24576;
    if (v > 40960) return (v - 40960) * 1000 / 24576;
    return 0;
}

bool ValidPadIndex(int i)
{
    return i >= 0 && i < Input.PadCount;
}

}  // namespace

BOOL AddJoypadCallback(const DIDEVICEINSTANCEA* instance, void*)
{
    WriteLog("入力装置を見つけました\n");
    if (Input.PadCount >= 8) return DIENUM_STOP;
    PADREC& pad = Input.Pads[Input.PadCount];

    IDirectInputDevice7A* device = nullptr;
    if (FAILED(CreateInputDevice(instance->guidInstance, &device))) {
        WriteLog("入力装置の取得に失敗しました\n");
        return DIENUM_CONTINUE;
    }
    DIDEVICEINSTANCEA info;
    std::memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    device->GetDeviceInfo(&info);
    std::memcpy(pad.InstanceName, info.tszInstanceName, sizeof(pad.InstanceName));
    std::memcpy(pad.ProductName, info.tszProductName, sizeof(pad.ProductName));
    pad.InstanceName[259] = pad.ProductName[259] = 0;
    WriteLogFormat("デバイスの登録名:%s", pad.InstanceName);
    WriteLogFormat("デバイスの製品登録名:%s", pad.ProductName);

    auto skip = [&](const char* message) {
        ReleaseInterface(pad.SineEffect);
        ReleaseInterface(pad.ConstantForceEffect);
        device->Release();
        WriteLog(message);
        return DIENUM_CONTINUE;
    };
    if (FAILED(device->SetDataFormat(&c_dfDIJoystick)))
        return skip("ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n");
    if (FAILED(device->SetCooperativeLevel(InputWindow(), DISCL_EXCLUSIVE | DISCL_FOREGROUND)))
        return skip("ジョイパッドデバイスの協調レベルの設定に失敗しました\n");
    if (FAILED(SetAxisRange(device, DIJOFS_X))) return skip("ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n");
    if (FAILED(SetAxisRange(device, DIJOFS_Y))) return skip("ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
    SetAxisRange(device, DIJOFS_Z);
    SetAxisRange(device, DIJOFS_RZ);
    if (FAILED(SetAxisDeadZone(device, DIJOFS_X)))
        return skip("ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n");
    if (FAILED(SetAxisDeadZone(device, DIJOFS_Y)))
        return skip("ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n");
    SetAxisDeadZone(device, DIJOFS_Z);
    SetAxisDeadZone(device, DIJOFS_RZ);

    CreatePadEffects(pad, device);
    pad.VibrationOn = 0;
    pad.VibrationPower = 10000;
    pad.ConstantForcePlaying = 0;
    pad.SinePlaying = 0;

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT hr = event != nullptr ? device->SetEventNotification(event) : DIERR_GENERIC;
    if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
        if (event != nullptr) CloseHandle(event);
        return skip("ジョイパッドイベントのセットアップが失敗しました\n");
    }

    device->Acquire();
    pad.Device = device;
    pad.Event = event;
    std::memset(&pad.State, 0, sizeof(pad.State));
    ++Input.PadCount;
    WriteLog("ジョイパッドの追加は正常に終了しました\n");
    return Input.PadCount >= 8 ? DIENUM_STOP : DIENUM_CONTINUE;
}

int InitializeInput()
{
    if (Input.DirectInput != nullptr) return 0;

    int winmm = Input.WinmmMode;
    std::memset(&Input, 0, sizeof(Input));
    Input.WinmmMode = winmm;

    if (Input.WinmmMode == 0 && CreateDirectInputObject()) {
        BringWindowToTop(InputWindow());
        RunMessagePass();
        InitializeJoypads();
        StartMouse();
        Input.LastKeyboardRead = timeGetTime();
        if (Input.KeyboardStateOnly != 1) StartKeyboard();
        WriteLog("DirectInput 関連の初期化は正常に終了しました\n");
    } else {
        StartWinmmJoypads();
    }
    FillDefaultKeyMap();
    return 0;
}

int InitializeJoypads()
{
    if (!HasDirectInput()) return -1;
    ReleaseJoypads();
    WriteLog("ジョイパッドの初期化... \n");
    Input.PadCount = 0;
    if (Input.DirectInput8) DirectInput8()->EnumDevices(DIDEVTYPE_JOYSTICK, AddJoypadCallback, nullptr, DIEDFL_ATTACHEDONLY);
    else DirectInput7()->EnumDevices(DIDEVTYPE_JOYSTICK, AddJoypadCallback, nullptr, DIEDFL_ATTACHEDONLY);
    WriteLog("ジョイパッドの初期化は正常に終了しました\n");
    return 0;
}

int ReleaseJoypads()
{
    if (!HasDirectInput()) return -1;
    for (PADREC& pad : Input.Pads) {
        if (pad.Device != nullptr) {
            pad.Device->Unacquire();
            pad.Device->SetEventNotification(nullptr);
        }
        if (pad.SineEffect != nullptr) pad.SineEffect->Stop();
        if (pad.ConstantForceEffect != nullptr) pad.ConstantForceEffect->Stop();
        ReleaseInterface(pad.SineEffect);
        ReleaseInterface(pad.ConstantForceEffect);
        ReleaseInterface(pad.Device);
        if (pad.Event != nullptr) CloseHandle(pad.Event);
        std::memset(&pad, 0, sizeof(pad));
    }
    Input.PadCount = 0;
    return 0;
}

int TerminateInput()
{
    if (Input.DirectInput == nullptr) return 0;
    if (Input.DirectInput == kWinmmMarker) {
        WriteLog("入力関連の終了処理... 完了\n");
        Input.DirectInput = nullptr;
        return 0;
    }
    WriteLog("DirectInput 関連の終了処理... 完了\n");
    ReleaseAllDevicesAndObject();
    return 0;
}

void ResetInputState()
{
    TerminateInput();
    Input.WinmmMode = 0;
}

int ReadPadState(int index)
{
    if (index < 0 || index >= 8) return -1;
    PADREC& pad = Input.Pads[index];
    DWORD now = timeGetTime();

    if (Input.WinmmMode) {
        if (now == pad.LastRead) return 0;
        pad.LastRead = now;
        JOYINFOEX info = {};
        info.dwSize = sizeof(info);
        info.dwFlags = JOY_RETURNALL;
        std::memset(&pad.State, 0, sizeof(pad.State));
        if (joyGetPosEx(static_cast<UINT>(index), &info) != JOYERR_NOERROR) return 0;
        pad.State.lX = WinmmAxis(info.dwXpos);
        pad.State.lY = WinmmAxis(info.dwYpos);
        if (pad.ZAndRAxes) {
            pad.State.lZ = WinmmAxis(info.dwZpos);
            pad.State.lRz = WinmmAxis(info.dwRpos);
        }
        for (int b = 0; b < 24; ++b) pad.State.rgbButtons[b] = (info.dwButtons & (1u << b)) ? 128 : 0;
        return 0;
    }

    if (pad.Device == nullptr) return 0;
    if (now == pad.LastRead && !EventSignalled(pad.Event)) return 0;
    pad.LastRead = now;
    pad.Device->Poll();
    DIJOYSTATE state;
    HRESULT hr = pad.Device->GetDeviceState(sizeof(state), &state);
    if (FAILED(hr)) {
        // A pass may end the devices (a rebuilt full screen does): each one
        // is followed by a look at what is left.
        if (RunMessagePass() != 0) return -1;
        if (!HasDirectInput() || pad.Device == nullptr) return -1;
        if (SUCCEEDED(pad.Device->Acquire())) {
            if (RunMessagePass() != 0 || !HasDirectInput() || pad.Device == nullptr) return -1;
            hr = pad.Device->GetDeviceState(sizeof(state), &state);
        }
    }
    if (SUCCEEDED(hr)) pad.State = state;
    if (EventSignalled(pad.Event)) ResetEvent(pad.Event);
    return 0;
}

int UpdateKeyboardState()
{
    DWORD now = timeGetTime();
    if (!Input.WinmmMode && Input.KeyboardStateOnly != 1 && Input.KeyboardDevice != nullptr) {
        if (now == Input.LastKeyboardRead && !EventSignalled(Input.KeyboardEvent)) return 0;
        if (RunMessagePass() != 0 || !HasDirectInput()) return 0;
        if (FAILED(Input.KeyboardDevice->GetDeviceState(256, Input.Keys))) {
            Input.KeyboardDevice->Acquire();
            if (FAILED(Input.KeyboardDevice->GetDeviceState(256, Input.Keys))) return 0;
        }
        Input.LastKeyboardRead = now;
        if (EventSignalled(Input.KeyboardEvent)) ResetEvent(Input.KeyboardEvent);
        if (Input.OverlayOff == 0 && OnWindowThread()) {
            BYTE vk[256];
            GetKeyboardState(vk);
            for (const VKTODIK* p = kVkToDik; p->vk != kTableSeparator; ++p) Input.Keys[p->dik] = vk[p->vk];
        }
        return 1;
    }

    if (now == Input.LastKeyboardRead) return 0;
    Input.LastKeyboardRead = now;
    if (RunMessagePass() != 0) return 0;
    BYTE vk[256];
    GetKeyboardState(vk);
    std::memset(Input.Keys, 0, sizeof(Input.Keys));
    // Both parts; the separator pair is no key.
    for (const VKTODIK* p = kVkToDik; p->vk != kTableEnd; ++p) {
        if (p->vk == kTableSeparator) continue;
        Input.Keys[p->dik] = vk[p->vk];
    }
    return 1;
}

int ComposePadInputBits(int select)
{
    int index = (select & ~PAD_KEYBOARD_MERGE) - 1;
    bool merge = (select & PAD_KEYBOARD_MERGE) != 0;
    WaitUntilActive();

    if (Input.DirectInput == nullptr && !InputCloseRequested()) return InitializeInput();
    // The key map has eight rows: a pad number beyond them names nothing.
    if (index >= 8) return 0;
    if ((index < -1 || index >= Input.PadCount) && Input.PadCount != 0 && !merge) return 0;

    DWORD bits = 0;
    if (ValidPadIndex(index)) {
        ReadPadState(index);
        const DIJOYSTATE& s = Input.Pads[index].State;
        if (s.lX < 0) bits |= 0x2;
        if (s.lX > 0) bits |= 0x4;
        if (s.lY < 0) bits |= 0x8;
        if (s.lY > 0) bits |= 0x1;
        for (int k = 0; k < 24; ++k)
            if (s.rgbButtons[k] & 0x80) bits |= 1u << (4 + k);
    }

    if (merge) {
        UpdateKeyboardState();
        const int(&map)[32][4] = Input.KeyMap[index < 0 ? 0 : index];
        for (int b = 0; b < 32; ++b) {
            for (int c = 0; c < 4; ++c) {
                if (map[b][c] >= 0 && KeyDown(map[b][c])) {
                    bits |= 1u << b;
                    break;
                }
            }
        }
    }
    return static_cast<int>(bits);
}

int StorePadKeyMap(int select, int mask, int key1, int key2, int key3, int key4)
{
    int pad = select & ~PAD_KEYBOARD_MERGE;
    if (pad < 1 || pad > Input.PadCount || pad > 8) return 0;
    for (int b = 0; b < 32; ++b) {
        if ((static_cast<unsigned>(mask) & (1u << b)) == 0) continue;
        int* codes = Input.KeyMap[pad - 1][b];
        codes[0] = key1;
        codes[1] = key2;
        codes[2] = key3;
        codes[3] = key4;
    }
    return 0;
}

int ApplyPadVibration()
{
    if (!HasDirectInput() || Input.WinmmMode) return 0;
    bool active = InputWindowActive();
    for (PADREC& pad : Input.Pads) {
        if (pad.Device == nullptr) continue;
        int wantConstant = active && pad.VibrationOn == 1 ? 1 : 0;
        int wantSine = active && pad.VibrationOn == 1 && pad.VibrationPower > 5000 ? 1 : 0;
        if (pad.ConstantForceEffect != nullptr && wantConstant != pad.ConstantForcePlaying) {
            if (wantConstant) pad.ConstantForceEffect->Start(1, 0);
            else pad.ConstantForceEffect->Stop();
        }
        if (pad.SineEffect != nullptr && wantSine != pad.SinePlaying) {
            if (wantSine) pad.SineEffect->Start(1, 0);
            else pad.SineEffect->Stop();
        }
        pad.ConstantForcePlaying = wantConstant;
        pad.SinePlaying = wantSine;
    }
    return 0;
}

int UpdatePadVibration()
{
    if (!HasDirectInput() || Input.WinmmMode) return 0;
    DWORD now = timeGetTime();
    for (int i = 0; i < Input.PadCount && i < 8; ++i) {
        PADREC& pad = Input.Pads[i];
        if (pad.Device == nullptr || pad.VibrationOn == 0 || pad.VibrationLength < 0) continue;
        if (now != pad.LastTick) {
            // A clock that went back counts as no time passed.
            if (now > pad.LastTick) pad.Elapsed += static_cast<int>(now - pad.LastTick);
            pad.LastTick = now;
        }
        if (pad.Elapsed >= pad.VibrationLength) EndPadVibration(i + 1);
    }
    return ApplyPadVibration();
}

int EndPadVibration(int select)
{
    WaitUntilActive();
    if (Input.DirectInput == nullptr && !InputCloseRequested()) return InitializeInput();
    int index = (select & ~PAD_KEYBOARD_MERGE) - 1;
    if (!ValidPadIndex(index)) return 0;
    PADREC& pad = Input.Pads[index];
    if (pad.Device == nullptr || pad.ConstantForceEffect == nullptr || pad.VibrationOn == 0) return 0;
    pad.VibrationOn = 0;
    pad.VibrationPower = 10000;
    ApplyPadVibration();
    return 0;
}

int ReacquireInputDevices()
{
    if (!HasDirectInput() || Input.WinmmMode) return 0;
    DWORD level = InputWindowActive() ? (DISCL_EXCLUSIVE | DISCL_FOREGROUND) : (DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    for (PADREC& pad : Input.Pads) {
        if (pad.Device == nullptr) continue;
        pad.Device->Unacquire();
        pad.Device->SetCooperativeLevel(InputWindow(), level);
        pad.Device->Acquire();
    }
    if (Input.KeyboardDevice != nullptr) {
        Input.KeyboardDevice->Unacquire();
        Input.KeyboardDevice->Acquire();
    }
    return 0;
}

int SetPadMessageFlagA()
{
    PadMessageFlagA = 1;
    return 0;
}

int ClearPadMessageFlagA()
{
    PadMessageFlagA = 0;
    return 0;
}

int SetPadMessageFlagB()
{
    PadMessageFlagB = 1;
    return 0;
}

int ClearPadMessageFlagB()
{
    PadMessageFlagB = 0;
    return 0;
}

int GetPadMessageFlagA()
{
    return PadMessageFlagA;
}

int GetPadMessageFlagB()
{
    return PadMessageFlagB;
}

int GetJoypadCount()
{
    return Input.PadCount;
}

int IsInputWinmmMode()
{
    return Input.WinmmMode;
}

int IsInputStarted()
{
    return Input.DirectInput != nullptr ? 1 : 0;
}
