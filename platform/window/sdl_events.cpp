// Owns the translation of SDL's events into messages, the US keyboard's map
// of keys and typed characters, the input-method events waiting in the queue
// and a drop's names. Calls the window table, the queue, imm and dragdrop.
#include "platform/window/window.h"

#include "platform/imm/imm.h"
#include "platform/kernel/codepage.h"
#include "platform/window/dragdrop.h"
#include "platform/window/keyboard.h"
#include "platform/window/window_internal.h"

#include <SDL.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// Names of the drop SDL is delivering.
std::vector<std::string> g_dropNames;

struct ImeEvent {
    HWND Window;
    bool Result;       // a finished text; otherwise the composition so far
    std::string Text;  // UTF-8
    int Cursor;        // characters into the composition
};
std::map<std::uint64_t, ImeEvent> g_imeEvents;
std::uint64_t g_nextImeEvent = 1;

// Marks lPrivate of a key message that carries its key's modifiers.
constexpr DWORD kKeyModifiersCarried = 0x80000000u;

WPARAM VirtualKeyOf(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<WPARAM>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<WPARAM>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<WPARAM>(0x70 + (key - SDLK_F1));
    switch (key) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_SEMICOLON: return VK_OEM_1;
    case SDLK_EQUALS: return VK_OEM_PLUS;
    case SDLK_COMMA: return VK_OEM_COMMA;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_PERIOD: return VK_OEM_PERIOD;
    case SDLK_SLASH: return VK_OEM_2;
    case SDLK_BACKQUOTE: return VK_OEM_3;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_BACKSLASH: return VK_OEM_5;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    case SDLK_QUOTE: return VK_OEM_7;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_PERIOD: return VK_DECIMAL;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    default: break;
    }
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return static_cast<WPARAM>(VK_NUMPAD0 + 1 + (key - SDLK_KP_1));
    if (key == SDLK_KP_0) return VK_NUMPAD0;
    return 0;
}

// The characters of the punctuation keys on a US keyboard, without and with Shift.
struct PunctuationKey {
    WPARAM vk;
    char plain;
    char shifted;
};
constexpr PunctuationKey kPunctuationKeys[] = {
    {VK_OEM_1, ';', ':'}, {VK_OEM_PLUS, '=', '+'}, {VK_OEM_COMMA, ',', '<'}, {VK_OEM_MINUS, '-', '_'},
    {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'}, {VK_OEM_3, '`', '~'}, {VK_OEM_4, '[', '{'},
    {VK_OEM_5, '\\', '|'}, {VK_OEM_6, ']', '}'}, {VK_OEM_7, '\'', '"'},
};

// The character a key makes with these modifiers, as a US keyboard's
// translation gives it; -1 for none.
int CharacterOf(WPARAM vk, unsigned mods)
{
    const bool shift = (mods & KMOD_SHIFT) != 0;
    const bool ctrl = (mods & KMOD_CTRL) != 0;
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return static_cast<int>(vk - 'A' + 1);
        const bool upper = shift != ((mods & KMOD_CAPS) != 0);
        return static_cast<int>(upper ? vk : vk - 'A' + 'a');
    }
    if (ctrl) {
        // Only the bracket keys make control characters besides the letters.
        switch (vk) {
        case VK_OEM_4: return 0x1B;
        case VK_OEM_5: return 0x1C;
        case VK_OEM_6: return 0x1D;
        default: break;
        }
    }
    if (vk >= '0' && vk <= '9') {
        if (ctrl) return -1;
        return shift ? ")!@#$%^&*("[vk - '0'] : static_cast<int>(vk);
    }
    for (const PunctuationKey& k : kPunctuationKeys)
        if (k.vk == vk) return ctrl ? -1 : (shift ? k.shifted : k.plain);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return static_cast<int>('0' + (vk - VK_NUMPAD0));
    switch (vk) {
    case VK_BACK: return 0x08;
    case VK_TAB: return 0x09;
    case VK_RETURN: return 0x0D;
    case VK_ESCAPE: return 0x1B;
    case VK_SPACE: return 0x20;
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    default: return -1;
    }
}

void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr) return;
    PostToThread(rec->ThreadId, MakeMessage(window, message, wParam, lParam));
}

void QueueImeEvent(Uint32 windowId, bool result, const char* text, int cursor)
{
    HWND w = FindWindowBySdlId(windowId);
    if (w == nullptr) w = FirstTopLevelWindow();
    WindowRec* rec = FindWindowRec(w);
    if (rec == nullptr) return;
    const std::uint64_t serial = g_nextImeEvent++;
    g_imeEvents[serial] = ImeEvent{w, result, text, cursor};
    PostToThread(rec->ThreadId, MakeMessage(w, kQueuedImeEvent, static_cast<WPARAM>(serial), 0));
}

void TranslateSdlEvent(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_QUIT: {
        HWND w = FirstTopLevelWindow();
        if (w != nullptr) SendMessageA(w, WM_CLOSE, 0, 0);
        break;
    }
    case SDL_WINDOWEVENT: {
        HWND w = FindWindowBySdlId(e.window.windowID);
        WindowRec* rec = FindWindowRec(w);
        if (rec == nullptr) break;
        switch (e.window.event) {
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
            rec->PaintPending = true;
            break;
        case SDL_WINDOWEVENT_MOVED:
            if (rec->FullScreen) break;
            ReadClientOrigin(rec->Sdl, &rec->ClientX, &rec->ClientY);
            PublishClientRect(w);
            SendMessageA(w, WM_MOVE, 0, MakeLParam(rec->ClientX, rec->ClientY));
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (rec->FullScreen) {
                rec->PaintPending = true;
                break;
            }
            rec->ClientW = e.window.data1;
            rec->ClientH = e.window.data2;
            rec->PaintPending = true;
            PublishClientRect(w);
            SendMessageA(w, WM_SIZE, SIZE_RESTORED, MakeLParam(e.window.data1, e.window.data2));
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            SendMessageA(w, WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            SendMessageA(w, WM_SIZE, SIZE_MAXIMIZED, MakeLParam(rec->ClientW, rec->ClientH));
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            DeliverActivation(w, true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            DeliverActivation(w, false);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            SendMessageA(w, WM_CLOSE, 0, 0);
            break;
        default:
            break;
        }
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        HWND w = FindWindowBySdlId(e.key.windowID);
        if (w == nullptr) w = FirstTopLevelWindow();
        WPARAM vk = VirtualKeyOf(e.key.keysym.sym);
        if (w == nullptr || vk == 0) break;
        const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
        const bool down = e.type == SDL_KEYDOWN;
        UINT message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
        LPARAM lParam = 1 | (static_cast<LPARAM>(e.key.keysym.scancode & 0xFF) << 16);
        if (!down) lParam |= static_cast<LPARAM>(0xC0000000u);
        WindowRec* rec = FindWindowRec(w);
        if (rec == nullptr) break;
        MSG m = MakeMessage(w, message, vk, lParam);
        m.lPrivate = kKeyModifiersCarried | e.key.keysym.mod;
        PostToThread(rec->ThreadId, m);
        break;
    }
    case SDL_TEXTEDITING:
        QueueImeEvent(e.edit.windowID, false, e.edit.text, e.edit.start);
        break;
    case SDL_TEXTINPUT:
        QueueImeEvent(e.text.windowID, true, e.text.text, 0);
        break;
    case SDL_DROPBEGIN:
        g_dropNames.clear();
        break;
    case SDL_DROPFILE:
        if (e.drop.file != nullptr) {
            g_dropNames.push_back(ConvertUtf8ToCp932(e.drop.file, std::strlen(e.drop.file)));
            SDL_free(e.drop.file);
        }
        break;
    case SDL_DROPCOMPLETE: {
        HWND w = FindWindowBySdlId(e.drop.windowID);
        if (w == nullptr) w = FirstTopLevelWindow();
        std::vector<std::string> names;
        names.swap(g_dropNames);
        if (w == nullptr || names.empty() || !IsDropAccepted(w)) break;
        PostInput(w, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDropHandle(std::move(names))), 0);
        break;
    }
    case SDL_MOUSEMOTION: {
        HWND w = FindWindowBySdlId(e.motion.windowID);
        if (w != nullptr) PostInput(w, WM_MOUSEMOVE, 0, MakeLParam(e.motion.x, e.motion.y));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        HWND w = FindWindowBySdlId(e.button.windowID);
        if (w == nullptr) break;
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        UINT message = 0;
        if (e.button.button == SDL_BUTTON_LEFT) message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        if (e.button.button == SDL_BUTTON_RIGHT) message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        if (e.button.button == SDL_BUTTON_MIDDLE) message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        if (message != 0) PostInput(w, message, 0, MakeLParam(e.button.x, e.button.y));
        break;
    }
    case SDL_MOUSEWHEEL: {
        // Only vertical turns are wheel messages: a delta of 0 would count as a turn down.
        HWND w = FindWindowBySdlId(e.wheel.windowID);
        if (w == nullptr || e.wheel.y == 0) break;
        int delta = e.wheel.y * 120;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
        PostInput(w, WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<DWORD>(delta) << 16), 0);
        break;
    }
    default:
        break;
    }
}

} // namespace

int CharacterOfKeyMessage(const MSG& message)
{
    // A message made by hand has no key event: the keyboard's state now stands in.
    const unsigned mods = (message.lPrivate & kKeyModifiersCarried) != 0 ? (message.lPrivate & 0xFFFF)
                                                                         : (IsVideoReady() ? SDL_GetModState() : 0);
    return CharacterOf(message.wParam, mods);
}

void DeliverImeEvent(WPARAM serial)
{
    auto it = g_imeEvents.find(serial);
    if (it == g_imeEvents.end()) return;
    const ImeEvent e = std::move(it->second);
    g_imeEvents.erase(it);
    // The markers of a destroyed window went with it.
    for (auto k = g_imeEvents.begin(); k != g_imeEvents.end();)
        k = FindWindowRec(k->second.Window) == nullptr ? g_imeEvents.erase(k) : std::next(k);
    const HWND w = e.Window;
    if (FindWindowRec(w) == nullptr || !ImeIsEnabled()) return;
    if (!e.Result) {
        if (e.Text.empty()) {
            if (ImeIsComposing()) {
                ImeStoreComposition("", 0);
                ImeSetComposing(false);
                SendMessageA(w, WM_IME_ENDCOMPOSITION, 0, 0);
            }
            return;
        }
        if (!ImeIsComposing()) {
            ImeSetComposing(true);
            SendMessageA(w, WM_IME_STARTCOMPOSITION, 0, 0);
        }
        ImeStoreComposition(e.Text.c_str(), e.Cursor);
        SendMessageA(w, WM_IME_COMPOSITION, 0, static_cast<LPARAM>(GCS_COMPSTR | GCS_CURSORPOS));
        return;
    }
    bool plain = true;
    for (unsigned char c : e.Text)
        if (c >= 0x80) plain = false;
    // Plain characters reach the window as WM_CHAR from their keys; the
    // rest is the input method's result.
    if (plain && !ImeIsComposing()) return;
    if (!ImeIsComposing()) SendMessageA(w, WM_IME_STARTCOMPOSITION, 0, 0);
    ImeSetComposing(false);
    ImeStoreResult(e.Text.c_str());
    ImeStoreComposition("", 0);
    SendMessageA(w, WM_IME_COMPOSITION, 0, static_cast<LPARAM>(GCS_RESULTSTR | GCS_COMPSTR));
    SendMessageA(w, WM_IME_ENDCOMPOSITION, 0, 0);
}

void DeliverActivation(HWND window, bool active)
{
    if (FindWindowRec(window) == nullptr) return;
    if (active) {
        SendMessageA(window, WM_ACTIVATEAPP, 1, 0);
        if (FindWindowRec(window) != nullptr) SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
    } else {
        SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
        if (FindWindowRec(window) != nullptr) SendMessageA(window, WM_ACTIVATEAPP, 0, 0);
    }
}

void PumpSdlEvents()
{
    if (!OnVideoThread()) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) TranslateSdlEvent(e);
}
