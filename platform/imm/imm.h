// The input method of the layer, on SDL's text input and editing: the
// window's one input context holds the composition and the last result in
// code page 932. SDL gives no clauses, candidate lists or open status, so
// those calls answer as an input method that has none.
#pragma once

#include "platform/kernel/types.h"

// ImmGetCompositionStringA indexes.
constexpr DWORD GCS_COMPSTR = 0x0008;
constexpr DWORD GCS_COMPCLAUSE = 0x0020;
constexpr DWORD GCS_CURSORPOS = 0x0080;
constexpr DWORD GCS_RESULTSTR = 0x0800;

// ImmNotifyIME and ImmSetCompositionStringA.
constexpr DWORD NI_COMPOSITIONSTR = 0x0015;
constexpr DWORD CPS_CANCEL = 0x0004;
constexpr DWORD SCS_SETSTR = 0x0009;

// WM_IME_NOTIFY codes.
constexpr WPARAM IMN_CHANGECANDIDATE = 3;
constexpr WPARAM IMN_CLOSECANDIDATE = 4;
constexpr WPARAM IMN_OPENCANDIDATE = 5;
constexpr WPARAM IMN_SETOPENSTATUS = 8;
constexpr WPARAM IMN_SETCANDIDATEPOS = 9;

// Off means SDL delivers no text input. Answers the previous state.
BOOL WINNLSEnableIME(HWND window, BOOL enable);
// Null for a window the layer does not know.
HIMC ImmGetContext(HWND window);
BOOL ImmReleaseContext(HWND window, HIMC context);
// Bytes of the string (GCS_COMPSTR, GCS_RESULTSTR) or clause array
// (GCS_COMPCLAUSE, always empty here), copied when a buffer is given; for
// GCS_CURSORPOS the cursor's byte position. Negative for a bad index.
LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD bufferBytes);
// Bytes of the candidate list: none here, 0.
DWORD ImmGetCandidateListA(HIMC context, DWORD index, void* list, DWORD listBytes);
// Cancelling ends SDL's composition by restarting its text input.
BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD value);
BOOL ImmSetOpenStatus(HIMC context, BOOL open);
BOOL ImmGetOpenStatus(HIMC context);
// SCS_SETSTR replaces the stored composition; SDL itself cannot take it.
BOOL ImmSetCompositionStringA(HIMC context, DWORD index, const void* composition, DWORD compositionBytes,
                              const void* reading, DWORD readingBytes);

// For the window layer: SDL's editing text (UTF-8, cursor in characters)
// and result text become the context's strings.
void ImeStoreComposition(const char* utf8, int cursorCharacters);
void ImeStoreResult(const char* utf8);
bool ImeIsComposing();
void ImeSetComposing(bool composing);
bool ImeIsEnabled();
