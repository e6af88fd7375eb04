// GetKeyboardState: the keyboard by virtual-key code, read from the input
// layer's key source. Letters, digits and punctuation follow the keyboard
// layout (the key that produces the character), the others its position.
#pragma once

#include "platform/kernel/types.h"
#include "platform/window/window.h"

// Virtual key codes beyond the ones the window layer's messages use.
constexpr WPARAM VK_PAUSE = 0x13;
constexpr WPARAM VK_CAPITAL = 0x14;
constexpr WPARAM VK_PRIOR = 0x21;
constexpr WPARAM VK_NEXT = 0x22;
constexpr WPARAM VK_END = 0x23;
constexpr WPARAM VK_HOME = 0x24;
constexpr WPARAM VK_INSERT = 0x2D;
constexpr WPARAM VK_NUMPAD0 = 0x60;
constexpr WPARAM VK_MULTIPLY = 0x6A;
constexpr WPARAM VK_ADD = 0x6B;
constexpr WPARAM VK_SUBTRACT = 0x6D;
constexpr WPARAM VK_DECIMAL = 0x6E;
constexpr WPARAM VK_DIVIDE = 0x6F;
constexpr WPARAM VK_F1 = 0x70;
constexpr WPARAM VK_F12 = 0x7B;
constexpr WPARAM VK_NUMLOCK = 0x90;
constexpr WPARAM VK_SCROLL = 0x91;
constexpr WPARAM VK_LSHIFT = 0xA0;
constexpr WPARAM VK_RSHIFT = 0xA1;
constexpr WPARAM VK_LCONTROL = 0xA2;
constexpr WPARAM VK_RCONTROL = 0xA3;
constexpr WPARAM VK_LMENU = 0xA4;
constexpr WPARAM VK_RMENU = 0xA5;
constexpr WPARAM VK_OEM_1 = 0xBA;
constexpr WPARAM VK_OEM_PLUS = 0xBB;
constexpr WPARAM VK_OEM_COMMA = 0xBC;
constexpr WPARAM VK_OEM_MINUS = 0xBD;
constexpr WPARAM VK_OEM_PERIOD = 0xBE;
constexpr WPARAM VK_OEM_2 = 0xBF;
constexpr WPARAM VK_OEM_3 = 0xC0;
constexpr WPARAM VK_OEM_4 = 0xDB;
constexpr WPARAM VK_OEM_5 = 0xDC;
constexpr WPARAM VK_OEM_6 = 0xDD;
constexpr WPARAM VK_OEM_7 = 0xDE;
constexpr WPARAM VK_OEM_102 = 0xE2;

// 256 bytes by virtual key; bit 7 set while the key is down.
BOOL GetKeyboardState(BYTE* state);
// Negative while the key is down.
short GetKeyState(int key);
