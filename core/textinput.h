// Typed text: the character queue that the window procedure fills, the
// text-entry handles that take characters out of it, and the input method's
// composition.
#pragma once

#include "platform/kernel/types.h"

constexpr int INPUT_QUEUE_SIZE = 1025;
constexpr int KEYINPUT_HANDLE_MAX = 256;
constexpr int KEYINPUT_HANDLE_TAG = 0x50000000;
constexpr int IME_TEXT_SIZE = 1024;

// Editing codes in the queue.
constexpr BYTE CTRL_CODE_BS = 0x08;
constexpr BYTE CTRL_CODE_TAB = 0x09;
constexpr BYTE CTRL_CODE_CR = 0x0D;
constexpr BYTE CTRL_CODE_DEL = 0x10;
constexpr BYTE CTRL_CODE_ESC = 0x1B;
constexpr BYTE CTRL_CODE_RIGHT = 0x1C;
constexpr BYTE CTRL_CODE_LEFT = 0x1D;
constexpr BYTE CTRL_CODE_UP = 0x1E;
constexpr BYTE CTRL_CODE_DOWN = 0x1F;

struct KEYINPUTREC {
    int Used;
    int Check;
    int Ended;
    int Cancelled;
    int Length;
    int MaxLength;
    int Cursor;
    char* Buffer;  // MaxLength + 1 bytes from the allocator
    int CancelAllowed;
    int SingleByteOnly;
    int DigitsOnly;
};

struct TEXTINPUTSTATE {
    BYTE Queue[INPUT_QUEUE_SIZE];
    int Read;
    int Write;
    int ActiveHandle;
    KEYINPUTREC Entries[KEYINPUT_HANDLE_MAX];
    int CheckCounter;
    DWORD Colors[12];
    DWORD BlinkPeriod;
    DWORD LastInputTime;
    int CursorShown;
    int ImeMessageSeen;

    int ImeEnabled;
    int ImeOpen;
    int Composing;
    char Composition[IME_TEXT_SIZE];
    int CompositionCursor;  // characters
    char SavedComposition[IME_TEXT_SIZE];
    char Clauses[IME_TEXT_SIZE];
    int ClauseCount;
    void* CandidateList;
    int CandidateSize;
    int RefreshState;  // 0 idle, 1-4 steps to run
    int LimitToEntry;
    int MaxComposition;
    int InOpenStatus;
};
extern TEXTINPUTSTATE TextInput;

int PushInputChar(int code);
// Bytes answered in out (0, 1 or 2); with remove 0 the queue stays as it was.
int TakeInputChar(char out[2], int remove);
int CountTextCharacters(const char* text, int bytes);
int IsEditControlCode(int code);
int InitTextInput();
int UpdateTextInput();
LRESULT HandleImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int SetImeEnabled(int flag);
// A new entry of maxLength bytes, made active: its handle, or -1.
int CreateKeyInputHandle(int maxLength, int cancelAllowed, int singleByteOnly, int digitsOnly);
KEYINPUTREC* GetKeyInputRecord(int handle);
int DeleteKeyInputHandle(int handle);
int ReleaseTextInputHandles();
