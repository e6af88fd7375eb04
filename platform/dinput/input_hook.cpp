// The input layer's test side: the injected keyboard and layout, virtual SDL
// joysticks as injected pads, and the DirectInput availability switch.
// Neighbours: input_source.cpp reads the injected state; SDL's virtual joysticks.
#include "platform/dinput/input_hook.h"

#include "platform/dinput/input_source.h"

#include <SDL2/SDL.h>

#include <map>
#include <vector>

namespace {

bool Injected = false;
bool DirectInput7Available = true;
bool DirectInput8Available = true;
bool KeyboardNotificationFails = false;
bool KeyboardAcquireFails = false;
bool KeysDown[SDL_NUM_SCANCODES] = {};

struct PadRumble {
    int low = 0;
    int high = 0;
};
PadRumble Rumbles[16];

int RecordRumble(void* userdata, Uint16 low, Uint16 high)
{
    PadRumble* r = static_cast<PadRumble*>(userdata);
    r->low = low;
    r->high = high;
    return 0;
}
std::map<int, int> LayoutOverride;
std::vector<SDL_JoystickID> InjectedPads;  // instance ids, by pad number

SDL_Joystick* InjectedPadJoystick(int pad)
{
    if (pad < 0 || pad >= static_cast<int>(InjectedPads.size())) return nullptr;
    return SDL_JoystickFromInstanceID(InjectedPads[pad]);
}

// Delivers a change the way a device does: the next joystick update reports it.
void DeliverPadChange()
{
    UpdateJoystickSource();
}

}  // namespace

void UseInjectedInput(bool on)
{
    Injected = on;
}

bool IsInjectedInput()
{
    return Injected;
}

void SetDirectInputAvailable(bool available)
{
    DirectInput7Available = DirectInput8Available = available;
}

void SetDirectInputVersionAvailable(int version, bool available)
{
    if (version == 7) DirectInput7Available = available;
    if (version == 8) DirectInput8Available = available;
}

bool IsDirectInputVersionAvailable(int version)
{
    return version == 7 ? DirectInput7Available : version == 8 ? DirectInput8Available : false;
}

void InjectKey(int scancode, bool down)
{
    if (scancode <= 0 || scancode >= SDL_NUM_SCANCODES) return;
    if (KeysDown[scancode] == down) return;
    KeysDown[scancode] = down;
    NotifySourceChanged(kKeyboardSource);
}

void ReleaseInjectedKeys()
{
    for (bool& k : KeysDown) k = false;
    NotifySourceChanged(kKeyboardSource);
}

bool InjectedScancodeDown(int scancode)
{
    if (scancode <= 0 || scancode >= SDL_NUM_SCANCODES) return false;
    return KeysDown[scancode];
}

void SetInjectedLayoutKey(int keycode, int scancode)
{
    LayoutOverride[keycode] = scancode;
}

int InjectedLayoutScancode(int keycode)
{
    auto it = LayoutOverride.find(keycode);
    return it == LayoutOverride.end() ? -1 : it->second;
}

void SetKeyboardNotificationFailure(bool fail)
{
    KeyboardNotificationFails = fail;
}

bool IsKeyboardNotificationFailing()
{
    return KeyboardNotificationFails;
}

void SetKeyboardAcquireFailure(bool fail)
{
    KeyboardAcquireFails = fail;
}

bool IsKeyboardAcquireFailing()
{
    return KeyboardAcquireFails;
}

int AttachInjectedPad(const char* name, int axes, int buttons, int hats, bool rumble)
{
    int pad = static_cast<int>(InjectedPads.size());
    if (pad >= 16) return -1;
    StartJoystickSource();
    SDL_VirtualJoystickDesc desc = {};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = static_cast<Uint16>(axes);
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.name = name;
    if (rumble) {
        Rumbles[pad] = PadRumble{};
        desc.userdata = &Rumbles[pad];
        desc.Rumble = RecordRumble;
    }
    int deviceIndex = SDL_JoystickAttachVirtualEx(&desc);
    if (deviceIndex < 0) return -1;
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    // Virtual joysticks take their values only while open; the source shares this handle.
    StartJoystickSource();
    for (int i = 0; i < JoystickSourceCount(); ++i)
        if (SourceJoystickInstanceId(i) == id) OpenSourceJoystick(i);
    InjectedPads.push_back(id);
    return pad;
}

void InjectedPadRumble(int pad, int* low, int* high)
{
    bool known = pad >= 0 && pad < static_cast<int>(InjectedPads.size());
    if (low) *low = known ? Rumbles[pad].low : 0;
    if (high) *high = known ? Rumbles[pad].high : 0;
}

void SetInjectedPadAxis(int pad, int axis, int value)
{
    SDL_Joystick* joystick = InjectedPadJoystick(pad);
    if (joystick == nullptr) return;
    if (value < -32768) value = -32768;
    if (value > 32767) value = 32767;
    SDL_JoystickSetVirtualAxis(joystick, axis, static_cast<Sint16>(value));
    DeliverPadChange();
}

void SetInjectedPadButton(int pad, int button, bool down)
{
    SDL_Joystick* joystick = InjectedPadJoystick(pad);
    if (joystick == nullptr) return;
    SDL_JoystickSetVirtualButton(joystick, button, down ? SDL_PRESSED : SDL_RELEASED);
    DeliverPadChange();
}

void DetachInjectedPads()
{
    ResetJoystickSource();
    for (SDL_JoystickID id : InjectedPads) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
    }
    InjectedPads.clear();
}

void ResetInputHooks()
{
    ReleaseInjectedKeys();
    LayoutOverride.clear();
    DirectInput7Available = true;
    DirectInput8Available = true;
    KeyboardNotificationFails = false;
    KeyboardAcquireFails = false;
    DetachInjectedPads();
}
