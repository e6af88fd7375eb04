// Owns TEXTINPUTSTATE: the character queue, the text-entry records and their
// editing, and the input method's messages. Calls the allocator, the log,
// the message loop and the IME layer.
#include "core/textinput.h"

#include "core/clock.h"
#include "core/fatalexit.h"
#include "core/file/filefuncs.h"
#include "core/inactivewait.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/sysstate.h"
#include "graphics/drawstate.h"
#include "platform/imm/imm.h"
#include "platform/window/window.h"
#include "platform/winmm/timer.h"

#include <cstring>

TEXTINPUTSTATE TextInput{};

namespace {

constexpr DWORD kOpenStatusWaitMicroseconds = 2000;

int CodePageKind()
{
    return SysState.CodePageFlag == 2 ? 2 : 1;
}

bool OpensDoubleByte(const char* p)
{
    return IsDoubleByteLeadByte(p, CodePageKind()) != 0;
}

int Advance(int index)
{
    return index + 1 == INPUT_QUEUE_SIZE ? 0 : index + 1;
}

int StepBack(int index)
{
    return index == 0 ? INPUT_QUEUE_SIZE - 1 : index - 1;
}

void NoteInput()
{
    TextInput.LastInputTime = timeGetTime();
    TextInput.CursorShown = 1;
}

// Bytes of the character that starts at `at`.
int CharSizeAt(const KEYINPUTREC& e, int at)
{
    return at + 1 < e.Length && OpensDoubleByte(e.Buffer + at) ? 2 : 1;
}

// Start of the character that ends at `end`, found from the text's start so
// a trail byte in the lead range is never taken for a lead.
int PreviousCharStart(const KEYINPUTREC& e, int end)
{
    int at = 0;
    int previous = 0;
    while (at < end) {
        previous = at;
        at += CharSizeAt(e, at);
    }
    return previous;
}

void RemoveBytes(KEYINPUTREC& e, int at, int count)
{
    std::memmove(e.Buffer + at, e.Buffer + at + count, static_cast<std::size_t>(e.Length - at - count));
    e.Length -= count;
    e.Buffer[e.Length] = '\0';
}

void InsertChar(KEYINPUTREC& e, const char* bytes, int size)
{
    const unsigned char first = static_cast<unsigned char>(bytes[0]);
    if (e.DigitsOnly == 1 && !((first >= '0' && first <= '9' && size == 1) || (first == '-' && e.Cursor == 0))) return;
    if (e.SingleByteOnly == 1 && size == 2) return;
    // A character longer than the whole entry can never fit.
    if (size > e.MaxLength) return;
    while (e.Length + size > e.MaxLength) {
        const bool atEnd = e.Cursor == e.Length;
        const int last = PreviousCharStart(e, e.Length);
        e.Length = last;
        e.Buffer[e.Length] = '\0';
        if (atEnd || e.Cursor > e.Length) e.Cursor = e.Length;
    }
    std::memmove(e.Buffer + e.Cursor + size, e.Buffer + e.Cursor, static_cast<std::size_t>(e.Length - e.Cursor));
    std::memcpy(e.Buffer + e.Cursor, bytes, static_cast<std::size_t>(size));
    e.Cursor += size;
    e.Length += size;
    e.Buffer[e.Length] = '\0';
}

void EditEntry(KEYINPUTREC& e, const char* c, int size)
{
    const BYTE code = static_cast<BYTE>(c[0]);
    if (size == 1) {
        switch (code) {
        case CTRL_CODE_BS:
            if (e.Cursor > 0) {
                const int start = PreviousCharStart(e, e.Cursor);
                const int count = e.Cursor - start;
                e.Cursor = start;
                RemoveBytes(e, start, count);
            }
            return;
        case CTRL_CODE_TAB:
        case CTRL_CODE_UP:
        case CTRL_CODE_DOWN:
            return;
        case CTRL_CODE_CR:
            e.Ended = 1;
            return;
        case CTRL_CODE_DEL:
            if (e.Cursor < e.Length) RemoveBytes(e, e.Cursor, CharSizeAt(e, e.Cursor));
            return;
        case CTRL_CODE_ESC:
            if (e.CancelAllowed == 1) {
                e.Ended = 1;
                e.Cancelled = 1;
            }
            return;
        case CTRL_CODE_RIGHT:
            if (e.Cursor < e.Length) e.Cursor += CharSizeAt(e, e.Cursor);
            return;
        case CTRL_CODE_LEFT:
            if (e.Cursor > 0) e.Cursor = PreviousCharStart(e, e.Cursor);
            return;
        default:
            break;
        }
    }
    InsertChar(e, c, size);
}

void ClearComposition()
{
    TextInput.Composition[0] = '\0';
    TextInput.CompositionCursor = 0;
    TextInput.Composing = 0;
}

// Reads one IME string, always terminated within its 1,024 bytes.
void ReadImeString(HIMC context, DWORD index, char* out)
{
    LONG n = ImmGetCompositionStringA(context, index, out, IME_TEXT_SIZE - 1);
    if (n < 0) n = 0;
    if (n > IME_TEXT_SIZE - 1) n = IME_TEXT_SIZE - 1;
    out[n] = '\0';
}

void RunImeRefresh(HWND window)
{
    TEXTINPUTSTATE& t = TextInput;
    if (t.RefreshState < 1 || t.RefreshState > 4) return;
    HIMC context = ImmGetContext(window);
    for (int step = t.RefreshState; step <= 4; ++step) {
        switch (step) {
        case 1:
            std::memcpy(t.SavedComposition, t.Composition, IME_TEXT_SIZE);
            ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
            break;
        case 2: ImmSetOpenStatus(context, FALSE); break;
        case 3: ImmSetOpenStatus(context, TRUE); break;
        default:
            ImmSetOpenStatus(context, TRUE);
            ImmSetCompositionStringA(context, SCS_SETSTR, t.SavedComposition,
                                     static_cast<DWORD>(std::strlen(t.SavedComposition)), nullptr, 0);
            break;
        }
    }
    ImmReleaseContext(window, context);
    t.RefreshState = 0;
}

// Cuts the IME's composition to whole characters within the limits.
void LimitComposition(HWND window, const KEYINPUTREC& e)
{
    TEXTINPUTSTATE& t = TextInput;
    const int length = static_cast<int>(std::strlen(t.Composition));
    int limit = -1;
    if (t.LimitToEntry == 1 && e.Length + length > e.MaxLength) limit = e.MaxLength - e.Length;
    if (t.MaxComposition != 0 && length > t.MaxComposition && (limit == -1 || t.MaxComposition < limit)) {
        limit = t.MaxComposition;
    }
    if (limit < 0 || length <= limit) return;
    int cut = 0;
    while (cut < length) {
        const int size = cut + 1 < length && OpensDoubleByte(t.Composition + cut) ? 2 : 1;
        if (cut + size > limit) break;
        cut += size;
    }
    t.Composition[cut] = '\0';
    HIMC context = ImmGetContext(window);
    ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
    ImmSetCompositionStringA(context, SCS_SETSTR, t.Composition, static_cast<DWORD>(cut), nullptr, 0);
    ImmReleaseContext(window, context);
}

} // namespace

int PushInputChar(int code)
{
    TEXTINPUTSTATE& t = TextInput;
    if (Advance(t.Write) == t.Read) return -1;
    t.Queue[t.Write] = static_cast<BYTE>(code);
    t.Write = Advance(t.Write);
    return 0;
}

int TakeInputChar(char out[2], int remove)
{
    TEXTINPUTSTATE& t = TextInput;
    out[0] = out[1] = 0;
    if (t.Read == t.Write) return 0;
    out[0] = static_cast<char>(t.Queue[t.Read]);
    t.Read = Advance(t.Read);
    int answer = 1;
    if (IsEditControlCode(static_cast<BYTE>(out[0])) == 0 && OpensDoubleByte(out)) {
        if (t.Read == t.Write) {
            t.Read = StepBack(t.Read);
            out[0] = 0;
            return 0;
        }
        out[1] = static_cast<char>(t.Queue[t.Read]);
        if (remove == 1) t.Read = Advance(t.Read);
        answer = 2;
    }
    if (remove == 0) t.Read = StepBack(t.Read);
    return answer;
}

int CountTextCharacters(const char* text, int bytes)
{
    int count = 0;
    for (int i = 0; i < bytes && text[i] != '\0'; ++count) {
        i += i + 1 < bytes && OpensDoubleByte(text + i) && text[i + 1] != '\0' ? 2 : 1;
    }
    return count;
}

int IsEditControlCode(int code)
{
    return code == CTRL_CODE_DEL || code == CTRL_CODE_LEFT || code == CTRL_CODE_RIGHT || code == CTRL_CODE_UP ||
                   code == CTRL_CODE_DOWN
               ? 1
               : 0;
}

int InitTextInput()
{
    WriteLog("文字コードバッファの初期化を行います... ");
    TEXTINPUTSTATE& t = TextInput;
    if (t.CandidateList != nullptr) FreeMemory(t.CandidateList);
    t = TEXTINPUTSTATE{};
    static const int colours[12][3] = {{255, 255, 255}, {255, 255, 255}, {255, 255, 0}, {0, 255, 255},
                                       {255, 255, 255}, {255, 0, 0},     {255, 255, 20}, {0, 0, 0},
                                       {0, 0, 0},       {0, 0, 0},       {255, 255, 0}, {0, 0, 0}};
    for (int i = 0; i < 12; ++i) t.Colors[i] = ConvertRGBToScreenColor(colours[i][0], colours[i][1], colours[i][2]);
    t.ActiveHandle = -1;
    t.BlinkPeriod = 500;
    t.CursorShown = 1;
    WriteLog("完了しました\n");
    return 0;
}

int UpdateTextInput()
{
    TEXTINPUTSTATE& t = TextInput;
    RunImeRefresh(SysState.MainWindow);
    if (t.ActiveHandle == -1) return 0;
    KEYINPUTREC* e = GetKeyInputRecord(t.ActiveHandle);
    if (e == nullptr) return -1;
    if (e->Ended == 1) return 0;
    LimitComposition(SysState.MainWindow, *e);
    char c[2];
    while (e->Ended == 0) {
        const int size = TakeInputChar(c, 1);
        if (size == 0) break;
        NoteInput();
        EditEntry(*e, c, size);
    }
    return 0;
}

LRESULT HandleImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TEXTINPUTSTATE& t = TextInput;
    t.ImeMessageSeen = 1;
    NoteInput();
    switch (message) {
    case WM_IME_STARTCOMPOSITION:
        t.Composing = 1;
        t.CompositionCursor = 0;
        return 0;
    case WM_IME_ENDCOMPOSITION:
        ClearComposition();
        return 0;
    case WM_IME_COMPOSITION: {
        HIMC context = ImmGetContext(window);
        const DWORD flags = static_cast<DWORD>(lParam);
        if (flags & GCS_COMPSTR) ReadImeString(context, GCS_COMPSTR, t.Composition);
        if (flags & GCS_RESULTSTR) {
            char result[IME_TEXT_SIZE];
            ReadImeString(context, GCS_RESULTSTR, result);
            for (const char* p = result; *p != '\0'; ++p) PushInputChar(static_cast<BYTE>(*p));
            ReadImeString(context, GCS_COMPSTR, t.Composition);
        }
        if (flags & GCS_CURSORPOS) {
            const LONG bytes = ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0);
            t.CompositionCursor = CountTextCharacters(t.Composition, bytes < 0 ? 0 : static_cast<int>(bytes));
        }
        if (flags & GCS_COMPCLAUSE) {
            LONG n = ImmGetCompositionStringA(context, GCS_COMPCLAUSE, t.Clauses, IME_TEXT_SIZE);
            if (n < 0) n = 0;
            t.ClauseCount = static_cast<int>(n / 4);
        }
        ImmReleaseContext(window, context);
        return 0;
    }
    case WM_IME_SETCONTEXT:
        return DefWindowProcA(window, message, wParam, 0);
    case WM_IME_NOTIFY:
        break;
    default:
        return 0;
    }
    switch (wParam) {
    case IMN_OPENCANDIDATE:
    case IMN_CHANGECANDIDATE:
    case IMN_SETCANDIDATEPOS: {
        HIMC context = ImmGetContext(window);
        const DWORD size = ImmGetCandidateListA(context, 0, nullptr, 0);
        if (size == 0) {
            WriteLogFormat("漢字変換候補のデータサイズが０でした  DefHWND:%p IMC:%p\n", static_cast<void*>(window),
                           static_cast<void*>(context));
            ImmReleaseContext(window, context);
            return 0;
        }
        if (t.CandidateList != nullptr) FreeMemory(t.CandidateList);
        t.CandidateList = AllocMemory(size, __FILE__, __LINE__);
        if (t.CandidateList == nullptr) {
            ExitWithFatalErrorFormat("漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ %d バイト )",
                                     static_cast<int>(size));
        }
        t.CandidateSize = static_cast<int>(size);
        if (ImmGetCandidateListA(context, 0, t.CandidateList, size) == 0) {
            FreeMemory(t.CandidateList);
            t.CandidateList = nullptr;
            t.CandidateSize = 0;
            WriteLogFormat("漢字変換候補の取得に失敗しました  BufSize:%d\n", static_cast<int>(size));
        }
        ImmReleaseContext(window, context);
        return 0;
    }
    case IMN_CLOSECANDIDATE:
        if (t.CandidateList != nullptr) FreeMemory(t.CandidateList);
        t.CandidateList = nullptr;
        t.CandidateSize = 0;
        return 0;
    case IMN_SETOPENSTATUS:
        if (t.InOpenStatus == 0) {
            t.InOpenStatus = 1;
            DefWindowProcA(window, message, wParam, lParam);
            const ULONGLONG start = GetMicrosecondClock(0);
            while (PumpMessageLoop() == 0 && GetMicrosecondClock(0) - start < kOpenStatusWaitMicroseconds) {
            }
            HIMC context = ImmGetContext(window);
            t.ImeOpen = ImmGetOpenStatus(context) ? 1 : 0;
            ImmReleaseContext(window, context);
            t.InOpenStatus = 0;
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int SetImeEnabled(int flag)
{
    TEXTINPUTSTATE& t = TextInput;
    flag = flag != 0 ? 1 : 0;
    if (flag == t.ImeEnabled) return 0;
    WINNLSEnableIME(SysState.MainWindow, flag);
    t.ImeEnabled = flag;
    if (flag == 0) {
        if (t.CandidateList != nullptr) FreeMemory(t.CandidateList);
        t.CandidateList = nullptr;
        t.CandidateSize = 0;
        ClearComposition();
    }
    return 0;
}

int CreateKeyInputHandle(int maxLength, int cancelAllowed, int singleByteOnly, int digitsOnly)
{
    TEXTINPUTSTATE& t = TextInput;
    if (maxLength <= 0) return -1;
    int slot = -1;
    for (int i = 0; i < KEYINPUT_HANDLE_MAX && slot == -1; ++i)
        if (t.Entries[i].Used == 0) slot = i;
    if (slot == -1) return -1;
    char* buffer = static_cast<char*>(AllocMemoryZeroed(static_cast<std::size_t>(maxLength) + 1, __FILE__, __LINE__));
    if (buffer == nullptr) return -1;
    KEYINPUTREC& e = t.Entries[slot];
    e = KEYINPUTREC{};
    e.Used = 1;
    e.Check = t.CheckCounter;
    t.CheckCounter = (t.CheckCounter + 1) & 0x7FF;
    e.MaxLength = maxLength;
    e.Buffer = buffer;
    e.CancelAllowed = cancelAllowed;
    e.SingleByteOnly = singleByteOnly;
    e.DigitsOnly = digitsOnly;
    const int handle = KEYINPUT_HANDLE_TAG | (e.Check << 16) | slot;
    t.ActiveHandle = handle;
    return handle;
}

KEYINPUTREC* GetKeyInputRecord(int handle)
{
    const int slot = handle & 0xFFFF;
    if (handle < 0 || (handle & 0x78000000) != KEYINPUT_HANDLE_TAG || slot >= KEYINPUT_HANDLE_MAX) return nullptr;
    KEYINPUTREC& e = TextInput.Entries[slot];
    if (e.Used == 0 || e.Check != ((handle >> 16) & 0x7FF)) return nullptr;
    return &e;
}

int DeleteKeyInputHandle(int handle)
{
    TEXTINPUTSTATE& t = TextInput;
    KEYINPUTREC* e = GetKeyInputRecord(handle);
    if (e == nullptr) return -1;
    FreeMemory(e->Buffer);
    *e = KEYINPUTREC{};
    if (t.ActiveHandle == handle) t.ActiveHandle = -1;
    bool any = false;
    for (const KEYINPUTREC& r : t.Entries) any = any || r.Used == 1;
    if (!any) SetImeEnabled(0);
    return 0;
}

int ReleaseTextInputHandles()
{
    TEXTINPUTSTATE& t = TextInput;
    for (int i = 0; i < KEYINPUT_HANDLE_MAX; ++i) {
        if (t.Entries[i].Used == 1) DeleteKeyInputHandle(KEYINPUT_HANDLE_TAG | (t.Entries[i].Check << 16) | i);
    }
    if (t.CandidateList != nullptr) FreeMemory(t.CandidateList);
    t.CandidateList = nullptr;
    t.CandidateSize = 0;
    t.ActiveHandle = -1;
    return 0;
}
