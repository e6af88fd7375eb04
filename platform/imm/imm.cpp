// Owns the input context of the layer on SDL's text input; the window layer
// feeds it from SDL's editing and text events. Calls the kernel's code pages.
#include "platform/imm/imm.h"

#include "platform/kernel/codepage.h"

#include <SDL.h>

#include <cstring>
#include <string>

namespace {

struct ImeState {
    bool enabled = true;
    bool open = true;
    bool composing = false;
    std::string composition;  // code page 932
    int cursorBytes = 0;
    std::string result;
};

ImeState g_ime;
int g_contextTag;

HIMC TheContext()
{
    return reinterpret_cast<HIMC>(&g_contextTag);
}

LONG CopyOut(const std::string& text, void* buffer, DWORD bufferBytes)
{
    if (buffer == nullptr || bufferBytes == 0) return static_cast<LONG>(text.size());
    const std::size_t n = text.size() < bufferBytes ? text.size() : bufferBytes;
    std::memcpy(buffer, text.data(), n);
    return static_cast<LONG>(n);
}

} // namespace

BOOL WINNLSEnableIME(HWND, BOOL enable)
{
    const BOOL previous = g_ime.enabled ? TRUE : FALSE;
    g_ime.enabled = enable != FALSE;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        if (enable) {
            SDL_StartTextInput();
        } else {
            SDL_StopTextInput();
        }
    }
    if (!g_ime.enabled) {
        g_ime.composing = false;
        g_ime.composition.clear();
        g_ime.cursorBytes = 0;
    }
    return previous;
}

HIMC ImmGetContext(HWND window)
{
    return window != nullptr ? TheContext() : nullptr;
}

BOOL ImmReleaseContext(HWND, HIMC context)
{
    return context == TheContext() ? TRUE : FALSE;
}

LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD bufferBytes)
{
    if (context != TheContext()) return -1;
    switch (index) {
    case GCS_COMPSTR: return CopyOut(g_ime.composition, buffer, bufferBytes);
    case GCS_RESULTSTR: return CopyOut(g_ime.result, buffer, bufferBytes);
    case GCS_CURSORPOS: return g_ime.cursorBytes;
    case GCS_COMPCLAUSE: return 0;
    default: return -1;
    }
}

DWORD ImmGetCandidateListA(HIMC, DWORD, void*, DWORD)
{
    return 0;
}

BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD value)
{
    if (context != TheContext() || action != NI_COMPOSITIONSTR || value != 0) return FALSE;
    if (index != CPS_CANCEL) return FALSE;
    g_ime.composing = false;
    g_ime.composition.clear();
    g_ime.cursorBytes = 0;
    if (g_ime.enabled && SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        SDL_StopTextInput();
        SDL_StartTextInput();
    }
    return TRUE;
}

BOOL ImmSetOpenStatus(HIMC context, BOOL open)
{
    if (context != TheContext()) return FALSE;
    g_ime.open = open != FALSE;
    return TRUE;
}

BOOL ImmGetOpenStatus(HIMC context)
{
    return context == TheContext() && g_ime.open ? TRUE : FALSE;
}

BOOL ImmSetCompositionStringA(HIMC context, DWORD index, const void* composition, DWORD compositionBytes,
                              const void*, DWORD)
{
    if (context != TheContext() || index != SCS_SETSTR || (composition == nullptr && compositionBytes != 0)) {
        return FALSE;
    }
    g_ime.composition.assign(static_cast<const char*>(composition), compositionBytes);
    g_ime.cursorBytes = static_cast<int>(compositionBytes);
    return TRUE;
}

void ImeStoreComposition(const char* utf8, int cursorCharacters)
{
    const std::size_t length = std::strlen(utf8);
    g_ime.composition = ConvertUtf8ToCp932(utf8, length);
    // The cursor counts characters; its byte place is that of the
    // converted prefix.
    std::size_t prefix = 0;
    for (int c = 0; c < cursorCharacters && prefix < length; ++c) {
        ++prefix;
        while (prefix < length && (static_cast<unsigned char>(utf8[prefix]) & 0xC0) == 0x80) ++prefix;
    }
    g_ime.cursorBytes = static_cast<int>(ConvertUtf8ToCp932(utf8, prefix).size());
}

void ImeStoreResult(const char* utf8)
{
    g_ime.result = ConvertUtf8ToCp932(utf8, std::strlen(utf8));
}

bool ImeIsComposing()
{
    return g_ime.composing;
}

void ImeSetComposing(bool composing)
{
    g_ime.composing = composing;
}

bool ImeIsEnabled()
{
    return g_ime.enabled;
}
