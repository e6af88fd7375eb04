// Test hooks of the input layer: injected keyboard and joypads instead of
// the real devices, a switch that takes DirectInput away so the winmm
// fallback runs, and a counter of device reads.
#pragma once

// Injected input replaces SDL's keyboard state with the injected keys, and
// lists only injected joypads. Select it before the library starts input.
void UseInjectedInput(bool on);
bool IsInjectedInput();

// While off, creating either DirectInput object fails as on a system without it.
void SetDirectInputAvailable(bool available);
// The same for one version (7 or 8) alone.
void SetDirectInputVersionAvailable(int version, bool available);
bool IsDirectInputVersionAvailable(int version);

// Keys by SDL scan code (physical position). A change signals the keyboard's
// notification event as a real key event would.
void InjectKey(int scancode, bool down);
void ReleaseInjectedKeys();
bool InjectedScancodeDown(int scancode);

// Keyboard layout: the key producing SDL key code `keycode` sits at `scancode`
// (as on a layout other than the default). -1 when not overridden.
void SetInjectedLayoutKey(int keycode, int scancode);
int InjectedLayoutScancode(int keycode);

// While on, the keyboard refuses an event notification, or to be acquired.
void SetKeyboardNotificationFailure(bool fail);
bool IsKeyboardNotificationFailing();
void SetKeyboardAcquireFailure(bool fail);
bool IsKeyboardAcquireFailing();

// Joypads: a virtual SDL joystick each, read through the same raw joystick
// calls as a real one; with rumble, its motors record what they were told.
// Answers the pad's number from 0, or -1.
int AttachInjectedPad(const char* name, int axes, int buttons, int hats, bool rumble = false);
// The last rumble strengths the pad was given (0 when stopped).
void InjectedPadRumble(int pad, int* low, int* high);
// Axis values -32768 ... 32767; each change is delivered as a device event.
void SetInjectedPadAxis(int pad, int axis, int value);
void SetInjectedPadButton(int pad, int button, bool down);
void DetachInjectedPads();

// Every device-state read the layer made so far (keyboard and joypads).
long DeviceReadCount();

// Back to the hooks' first state, injected input aside: no key held, no
// layout override, both DirectInput versions available, no failure switched
// on, no injected pad.
void ResetInputHooks();
