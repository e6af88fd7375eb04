// Input devices: the keyboard and up to eight joypads, read through
// DirectInput (version 7, else 8) or the winmm joystick calls, and handed out
// as one PADBITS mask per read through a per-pad key map.
#pragma once

#include "platform/kernel/types.h"

// PADSELECT: pad number 1-8, plus this to merge the keyboard through the pad's key map.
constexpr int PAD_KEYBOARD_MERGE = 0x1000;

int InitializeInput();
int TerminateInput();
// Terminates input and forgets a fall-back to winmm, so the next start tries
// DirectInput again (a process otherwise keeps the fall-back; tests start over).
void ResetInputState();
int ComposePadInputBits(int select);
int StorePadKeyMap(int select, int mask, int key1, int key2, int key3, int key4);
int EndPadVibration(int select);
int UpdatePadVibration();
int ApplyPadVibration();
int ReacquireInputDevices();
int InitializeJoypads();
struct DIDEVICEINSTANCEA;
// DirectInput's enumeration callback that adds one joypad.
BOOL AddJoypadCallback(const DIDEVICEINSTANCEA* instance, void* context);
int ReleaseJoypads();
int UpdateKeyboardState();
int ReadPadState(int index);

// The window procedure's message flags 0x46F (A) and 0x470 (B); nothing reads them.
int SetPadMessageFlagA();
int ClearPadMessageFlagA();
int SetPadMessageFlagB();
int ClearPadMessageFlagB();

// State views for tests and the start-up report.
int GetJoypadCount();
int IsInputWinmmMode();
int IsInputStarted();
int GetPadMessageFlagA();
int GetPadMessageFlagB();
