// The physical devices under the input layer, shared by DirectInput, the
// winmm joystick calls and GetKeyboardState: SDL's keyboard state and raw
// joysticks, or what a test injected (input_hook.h), and the notification
// events that fire when a device changes.
#pragma once

#include "platform/kernel/types.h"

struct _SDL_Joystick;

// Keyboard. DIK state: 256 bytes, 0x80 for a key that is down.
void ReadDikKeyState(BYTE keys[256]);
// 0x80 when the key at the physical position of this SDL scan code is down.
BYTE ScancodeKeyState(int scancode);
// The scan code that the current layout gives the key producing this SDL
// key code (a character for letters, digits and punctuation); 0 for none.
int LayoutScancodeForKey(int keycode);

// Joysticks, in the order SDL lists them (only injected ones while input is
// injected). Each is opened on first use and stays open until the source is
// reset, so DirectInput and winmm share one handle per device.
void StartJoystickSource();
int JoystickSourceCount();
_SDL_Joystick* OpenSourceJoystick(int index);
int SourceJoystickInstanceId(int index);
void UpdateJoystickSource();
void ResetJoystickSource();

// A hat's direction in hundredths of a degree clockwise from up, or `centred`
// (the two interfaces report the centre differently).
DWORD HatToPovHundredths(int sdlHat, DWORD centred);

// Notification: the event is set whenever the keyboard (source -1) or the
// joystick with this SDL instance id changes. A null event unregisters.
constexpr int kKeyboardSource = -1;
void SetSourceNotification(const void* owner, int source, HANDLE event);
void NotifySourceChanged(int source);

// Counts every device-state read of the layer (keyboard and joysticks), so a
// test can see whether a read reached the device.
void CountDeviceRead();
