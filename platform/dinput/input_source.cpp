// The devices under the input layer: SDL's keyboard state or the injected
// keys, the scan-code to DIK table, the layout lookup, the shared list of raw
// joysticks, and the notification events set when a device changes.
// Neighbours: SDL keyboard and joystick; kernel events; input_hook.cpp.
#include "platform/dinput/input_source.h"

#include "platform/dinput/dinput.h"
#include "platform/dinput/input_hook.h"
#include "platform/kernel/sync.h"

#include <SDL2/SDL.h>

#include <mutex>
#include <vector>

namespace {

struct ScancodeDik {
    SDL_Scancode scancode;
    int dik;
};

// Physical keys by their position on the keyboard: SDL's scan codes are USB
// usages, DIK codes are the keyboard's own set-1 codes.
constexpr ScancodeDik kScancodeToDik[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE}, {SDL_SCANCODE_1, DIK_1}, {SDL_SCANCODE_2, DIK_2}, {SDL_SCANCODE_3, DIK_3},
    {SDL_SCANCODE_4, DIK_4}, {SDL_SCANCODE_5, DIK_5}, {SDL_SCANCODE_6, DIK_6}, {SDL_SCANCODE_7, DIK_7},
    {SDL_SCANCODE_8, DIK_8}, {SDL_SCANCODE_9, DIK_9}, {SDL_SCANCODE_0, DIK_0}, {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS}, {SDL_SCANCODE_BACKSPACE, DIK_BACK}, {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q}, {SDL_SCANCODE_W, DIK_W}, {SDL_SCANCODE_E, DIK_E}, {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T}, {SDL_SCANCODE_Y, DIK_Y}, {SDL_SCANCODE_U, DIK_U}, {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O}, {SDL_SCANCODE_P, DIK_P}, {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET}, {SDL_SCANCODE_RETURN, DIK_RETURN}, {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A}, {SDL_SCANCODE_S, DIK_S}, {SDL_SCANCODE_D, DIK_D}, {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G}, {SDL_SCANCODE_H, DIK_H}, {SDL_SCANCODE_J, DIK_J}, {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L}, {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON}, {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE}, {SDL_SCANCODE_LSHIFT, DIK_LSHIFT}, {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH}, {SDL_SCANCODE_Z, DIK_Z}, {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_C, DIK_C}, {SDL_SCANCODE_V, DIK_V}, {SDL_SCANCODE_B, DIK_B}, {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_M, DIK_M}, {SDL_SCANCODE_COMMA, DIK_COMMA}, {SDL_SCANCODE_PERIOD, DIK_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH}, {SDL_SCANCODE_RSHIFT, DIK_RSHIFT}, {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU}, {SDL_SCANCODE_SPACE, DIK_SPACE}, {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1}, {SDL_SCANCODE_F2, DIK_F2}, {SDL_SCANCODE_F3, DIK_F3}, {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5}, {SDL_SCANCODE_F6, DIK_F6}, {SDL_SCANCODE_F7, DIK_F7}, {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9}, {SDL_SCANCODE_F10, DIK_F10}, {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL}, {SDL_SCANCODE_KP_7, DIK_NUMPAD7}, {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9}, {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT}, {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5}, {SDL_SCANCODE_KP_6, DIK_NUMPAD6}, {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1}, {SDL_SCANCODE_KP_2, DIK_NUMPAD2}, {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0}, {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102}, {SDL_SCANCODE_F11, DIK_F11}, {SDL_SCANCODE_F12, DIK_F12},
    {SDL_SCANCODE_LANG3, DIK_KANA}, {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA},
    {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT}, {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
    {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN}, {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL}, {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE}, {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
    {SDL_SCANCODE_RALT, DIK_RMENU}, {SDL_SCANCODE_PAUSE, DIK_PAUSE}, {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_UP, DIK_UP}, {SDL_SCANCODE_PAGEUP, DIK_PRIOR}, {SDL_SCANCODE_LEFT, DIK_LEFT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT}, {SDL_SCANCODE_END, DIK_END}, {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT}, {SDL_SCANCODE_INSERT, DIK_INSERT}, {SDL_SCANCODE_DELETE, DIK_DELETE},
    {SDL_SCANCODE_LGUI, DIK_LWIN}, {SDL_SCANCODE_RGUI, DIK_RWIN}, {SDL_SCANCODE_APPLICATION, DIK_APPS},
};

// The default layout, where each character key sits at its own position.
int DefaultLayoutScancode(int keycode)
{
    if (keycode >= 'a' && keycode <= 'z') return SDL_SCANCODE_A + (keycode - 'a');
    if (keycode >= '1' && keycode <= '9') return SDL_SCANCODE_1 + (keycode - '1');
    switch (keycode) {
    case '0': return SDL_SCANCODE_0;
    case '-': return SDL_SCANCODE_MINUS;
    case '=': return SDL_SCANCODE_EQUALS;
    case '[': return SDL_SCANCODE_LEFTBRACKET;
    case ']': return SDL_SCANCODE_RIGHTBRACKET;
    case '\\': return SDL_SCANCODE_BACKSLASH;
    case ';': return SDL_SCANCODE_SEMICOLON;
    case '\'': return SDL_SCANCODE_APOSTROPHE;
    case '`': return SDL_SCANCODE_GRAVE;
    case ',': return SDL_SCANCODE_COMMA;
    case '.': return SDL_SCANCODE_PERIOD;
    case '/': return SDL_SCANCODE_SLASH;
    default: return SDL_SCANCODE_UNKNOWN;
    }
}

struct Notification {
    const void* owner;
    int source;
    HANDLE event;
};

struct SourcePad {
    int deviceIndex;
    SDL_JoystickID instanceId;
    SDL_Joystick* joystick;
};

std::mutex NotifyLock;
std::vector<Notification> Notifications;
std::vector<SourcePad> Pads;
bool SdlStarted = false;
long DeviceReads = 0;

int WatchInputEvents(void*, SDL_Event* event)
{
    switch (event->type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (!IsInjectedInput()) NotifySourceChanged(kKeyboardSource);
        break;
    case SDL_JOYAXISMOTION:
        NotifySourceChanged(event->jaxis.which);
        break;
    case SDL_JOYBALLMOTION:
        NotifySourceChanged(event->jball.which);
        break;
    case SDL_JOYHATMOTION:
        NotifySourceChanged(event->jhat.which);
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        NotifySourceChanged(event->jbutton.which);
        break;
    default:
        break;
    }
    return 1;
}

void StartSdlInput()
{
    if (SdlStarted) return;
    // Reads wait while the window is inactive anyway; without this SDL would
    // drop joystick changes whenever the window lacks the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return;
    SDL_AddEventWatch(WatchInputEvents, nullptr);
    SdlStarted = true;
}

}  // namespace

BYTE ScancodeKeyState(int scancode)
{
    if (scancode <= 0 || scancode >= SDL_NUM_SCANCODES) return 0;
    if (IsInjectedInput()) return InjectedScancodeDown(scancode) ? 0x80 : 0;
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    if (state == nullptr || scancode >= count) return 0;
    return state[scancode] ? 0x80 : 0;
}

void ReadDikKeyState(BYTE keys[256])
{
    for (int i = 0; i < 256; ++i) keys[i] = 0;
    for (const ScancodeDik& e : kScancodeToDik) keys[e.dik] |= ScancodeKeyState(e.scancode);
}

int LayoutScancodeForKey(int keycode)
{
    if (IsInjectedInput()) {
        int scancode = InjectedLayoutScancode(keycode);
        return scancode >= 0 ? scancode : DefaultLayoutScancode(keycode);
    }
    // Before SDL's video has started it knows no layout.
    int scancode = static_cast<int>(SDL_GetScancodeFromKey(static_cast<SDL_Keycode>(keycode)));
    return scancode != SDL_SCANCODE_UNKNOWN ? scancode : DefaultLayoutScancode(keycode);
}

void StartJoystickSource()
{
    StartSdlInput();
    if (!SdlStarted) return;
    std::vector<SourcePad> listed;
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        if (IsInjectedInput() && !SDL_JoystickIsVirtual(i)) continue;
        SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
        if (id < 0) continue;
        SDL_Joystick* open = nullptr;
        for (const SourcePad& old : Pads)
            if (old.instanceId == id) open = old.joystick;
        listed.push_back({i, id, open});
    }
    for (const SourcePad& old : Pads) {
        bool kept = false;
        for (const SourcePad& now : listed) kept = kept || now.instanceId == old.instanceId;
        if (!kept && old.joystick != nullptr) SDL_JoystickClose(old.joystick);
    }
    Pads = std::move(listed);
}

int JoystickSourceCount()
{
    return static_cast<int>(Pads.size());
}

SDL_Joystick* OpenSourceJoystick(int index)
{
    if (index < 0 || index >= JoystickSourceCount()) return nullptr;
    SourcePad& pad = Pads[index];
    if (pad.joystick == nullptr) pad.joystick = SDL_JoystickOpen(pad.deviceIndex);
    return pad.joystick;
}

int SourceJoystickInstanceId(int index)
{
    if (index < 0 || index >= JoystickSourceCount()) return -1;
    return Pads[index].instanceId;
}

void UpdateJoystickSource()
{
    if (SdlStarted) SDL_JoystickUpdate();
}

void ResetJoystickSource()
{
    for (const SourcePad& pad : Pads)
        if (pad.joystick != nullptr) SDL_JoystickClose(pad.joystick);
    Pads.clear();
}

void SetSourceNotification(const void* owner, int source, HANDLE event)
{
    std::lock_guard<std::mutex> hold(NotifyLock);
    for (auto it = Notifications.begin(); it != Notifications.end(); ++it) {
        if (it->owner == owner) {
            Notifications.erase(it);
            break;
        }
    }
    if (event != nullptr) Notifications.push_back({owner, source, event});
    if (source == kKeyboardSource) StartSdlInput();
}

void NotifySourceChanged(int source)
{
    std::lock_guard<std::mutex> hold(NotifyLock);
    for (const Notification& n : Notifications)
        if (n.source == source) SetEvent(n.event);
}

void CountDeviceRead()
{
    ++DeviceReads;
}

long DeviceReadCount()
{
    return DeviceReads;
}

DWORD HatToPovHundredths(int sdlHat, DWORD centred)
{
    switch (sdlHat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return centred;
    }
}
