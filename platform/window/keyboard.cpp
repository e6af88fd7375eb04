// GetKeyboardState over the input layer's key source (platform/dinput):
// layout keys through the layout's scan code, the others by position.
#include "platform/window/keyboard.h"

#include "platform/dinput/input_source.h"

#include <SDL2/SDL.h>

#include <cstring>

namespace {

struct VkKey {
    WPARAM vk;
    int keycode;   // SDL key code looked up in the layout, or 0
    int scancode;  // fixed position when keycode is 0
};

constexpr VkKey kKeys[] = {
    {VK_BACK, 0, SDL_SCANCODE_BACKSPACE}, {VK_TAB, 0, SDL_SCANCODE_TAB}, {VK_RETURN, 0, SDL_SCANCODE_RETURN},
    {VK_PAUSE, 0, SDL_SCANCODE_PAUSE}, {VK_CAPITAL, 0, SDL_SCANCODE_CAPSLOCK}, {VK_ESCAPE, 0, SDL_SCANCODE_ESCAPE},
    {VK_SPACE, 0, SDL_SCANCODE_SPACE}, {VK_PRIOR, 0, SDL_SCANCODE_PAGEUP}, {VK_NEXT, 0, SDL_SCANCODE_PAGEDOWN},
    {VK_END, 0, SDL_SCANCODE_END}, {VK_HOME, 0, SDL_SCANCODE_HOME}, {VK_LEFT, 0, SDL_SCANCODE_LEFT},
    {VK_UP, 0, SDL_SCANCODE_UP}, {VK_RIGHT, 0, SDL_SCANCODE_RIGHT}, {VK_DOWN, 0, SDL_SCANCODE_DOWN},
    {VK_INSERT, 0, SDL_SCANCODE_INSERT}, {VK_DELETE, 0, SDL_SCANCODE_DELETE},
    {VK_MULTIPLY, 0, SDL_SCANCODE_KP_MULTIPLY}, {VK_ADD, 0, SDL_SCANCODE_KP_PLUS},
    {VK_SUBTRACT, 0, SDL_SCANCODE_KP_MINUS}, {VK_DECIMAL, 0, SDL_SCANCODE_KP_PERIOD},
    {VK_DIVIDE, 0, SDL_SCANCODE_KP_DIVIDE}, {VK_NUMLOCK, 0, SDL_SCANCODE_NUMLOCKCLEAR},
    {VK_SCROLL, 0, SDL_SCANCODE_SCROLLLOCK}, {VK_LSHIFT, 0, SDL_SCANCODE_LSHIFT}, {VK_RSHIFT, 0, SDL_SCANCODE_RSHIFT},
    {VK_LCONTROL, 0, SDL_SCANCODE_LCTRL}, {VK_RCONTROL, 0, SDL_SCANCODE_RCTRL}, {VK_LMENU, 0, SDL_SCANCODE_LALT},
    {VK_RMENU, 0, SDL_SCANCODE_RALT}, {VK_OEM_1, SDLK_SEMICOLON, 0}, {VK_OEM_PLUS, SDLK_EQUALS, 0},
    {VK_OEM_COMMA, SDLK_COMMA, 0}, {VK_OEM_MINUS, SDLK_MINUS, 0}, {VK_OEM_PERIOD, SDLK_PERIOD, 0},
    {VK_OEM_2, SDLK_SLASH, 0}, {VK_OEM_3, SDLK_BACKQUOTE, 0}, {VK_OEM_4, SDLK_LEFTBRACKET, 0},
    {VK_OEM_5, SDLK_BACKSLASH, 0}, {VK_OEM_6, SDLK_RIGHTBRACKET, 0}, {VK_OEM_7, SDLK_QUOTE, 0},
    {VK_OEM_102, 0, SDL_SCANCODE_NONUSBACKSLASH},
};

constexpr int kNumpadScancodes[10] = {SDL_SCANCODE_KP_0, SDL_SCANCODE_KP_1, SDL_SCANCODE_KP_2, SDL_SCANCODE_KP_3,
                                      SDL_SCANCODE_KP_4, SDL_SCANCODE_KP_5, SDL_SCANCODE_KP_6, SDL_SCANCODE_KP_7,
                                      SDL_SCANCODE_KP_8, SDL_SCANCODE_KP_9};

}  // namespace

BOOL GetKeyboardState(BYTE* state)
{
    if (state == nullptr) return FALSE;
    std::memset(state, 0, 256);
    for (const VkKey& k : kKeys) {
        int scancode = k.keycode != 0 ? LayoutScancodeForKey(k.keycode) : k.scancode;
        state[k.vk] = ScancodeKeyState(scancode);
    }
    for (int c = 0; c < 26; ++c) state['A' + c] = ScancodeKeyState(LayoutScancodeForKey('a' + c));
    for (int d = 0; d < 10; ++d) {
        state['0' + d] = ScancodeKeyState(LayoutScancodeForKey('0' + d));
        state[VK_NUMPAD0 + d] = ScancodeKeyState(kNumpadScancodes[d]);
    }
    for (int f = 0; f < 12; ++f) state[VK_F1 + f] = ScancodeKeyState(SDL_SCANCODE_F1 + f);
    state[VK_SHIFT] = state[VK_LSHIFT] | state[VK_RSHIFT];
    state[VK_CONTROL] = state[VK_LCONTROL] | state[VK_RCONTROL];
    state[VK_MENU] = state[VK_LMENU] | state[VK_RMENU];
    return TRUE;
}

short GetKeyState(int key)
{
    BYTE state[256];
    GetKeyboardState(state);
    return (state[key & 0xFF] & 0x80) != 0 ? static_cast<short>(-128) : 0;
}
