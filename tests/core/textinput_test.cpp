#include "core/api.h"
#include "core/sysstate.h"
#include "core/textinput.h"
#include "platform/window/window.h"
#include "support/library_fixture.h"

#include <SDL_keycode.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char* Utf8(const char8_t* text)
{
    return reinterpret_cast<const char*>(text);
}

class TextInputTest : public StartedLibraryTest<320, 240> {
protected:
    static void PushAll(const char* bytes)
    {
        for (const char* p = bytes; *p != '\0'; ++p) PushInputChar(static_cast<unsigned char>(*p));
    }
    // Keys as SDL queues them, through the window's messages into the entry.
    void Type(int key, int mods = 0)
    {
        SimulateSdlKey(window, key, mods, true);
        SimulateSdlKey(window, key, mods, false);
        PumpMessages();
        PumpMessages();
    }
    static std::string Text(int handle) { return GetKeyInputRecord(handle)->Buffer; }
    // Queues the keys of a US keyboard that type `c`, with Shift as it needs
    // and Caps Lock as held; nothing is pumped.
    void QueueTyped(char c, int capsLock = 0)
    {
        static const char shifted[] = "~!@#$%^&*()_+{}|:\"<>?";
        static const char plain[] = "`1234567890-=[]\\;',./";
        int key = static_cast<unsigned char>(c);
        int mods = capsLock;
        if (c >= 'A' && c <= 'Z') {
            key = c - 'A' + 'a';
            mods |= capsLock != 0 ? 0 : KMOD_LSHIFT;
        } else if (c >= 'a' && c <= 'z') {
            mods |= capsLock != 0 ? KMOD_LSHIFT : 0;
        } else if (const char* s = std::strchr(shifted, c); s != nullptr && c != '\0') {
            key = static_cast<unsigned char>(plain[s - shifted]);
            mods |= KMOD_LSHIFT;
        }
        if ((mods & KMOD_LSHIFT) != 0) SimulateSdlKey(window, SDLK_LSHIFT, mods, true);
        SimulateSdlKey(window, key, mods, true);
        SimulateSdlKey(window, key, mods, false);
        if ((mods & KMOD_LSHIFT) != 0) SimulateSdlKey(window, SDLK_LSHIFT, mods & ~KMOD_LSHIFT, false);
    }
};

} // namespace

TEST_F(TextInputTest, QueueHoldsAtMost1024BytesAndKeepsALoneLeadByte)
{
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(PushInputChar('a'), 0) << i;
    EXPECT_EQ(PushInputChar('a'), -1);
    InitTextInput();

    char out[2];
    PushInputChar(0x88);
    EXPECT_EQ(TakeInputChar(out, 1), 0);
    PushInputChar(0x9F);
    EXPECT_EQ(TakeInputChar(out, 0), 2);
    EXPECT_EQ(TakeInputChar(out, 0), 2);
    EXPECT_EQ(TakeInputChar(out, 1), 2);
    EXPECT_EQ(static_cast<unsigned char>(out[0]), 0x88);
    EXPECT_EQ(static_cast<unsigned char>(out[1]), 0x9F);
    EXPECT_EQ(TakeInputChar(out, 1), 0);

    // 0xA5 opens a two-byte character only under code page 949's rule.
    PushInputChar(0xA5);
    PushInputChar('x');
    EXPECT_EQ(TakeInputChar(out, 0), 1);
    SysState.CodePageFlag = 2;
    EXPECT_EQ(TakeInputChar(out, 0), 2);
    SysState.CodePageFlag = 1;
}

TEST_F(TextInputTest, WindowMessagesFillTheQueueByTheirTables)
{
    struct Case {
        UINT message;
        WPARAM wParam;
        int queued;  // -1: nothing
    };
    const Case cases[] = {
        {WM_CHAR, 0x0A, 0x0D}, {WM_CHAR, 0x01, -1},     {WM_CHAR, 0x1B, 0x1B}, {WM_CHAR, 'q', 'q'},
        {WM_KEYDOWN, VK_LEFT, 0x1D}, {WM_KEYDOWN, VK_DELETE, 0x10}, {WM_KEYDOWN, 'A', -1},
    };
    for (const Case& c : cases) {
        InitTextInput();
        SendMessageA(window, c.message, c.wParam, 0);
        char out[2];
        const int n = TakeInputChar(out, 1);
        EXPECT_EQ(n == 0 ? -1 : static_cast<unsigned char>(out[0]), c.queued) << c.message << " " << c.wParam;
    }
    InitTextInput();
    for (int i = 0; i < 1024; ++i) PushInputChar('a');
    SendMessageA(window, WM_KEYDOWN, VK_LEFT, 0);
    char out[2];
    int last = 0;
    while (TakeInputChar(out, 1) != 0) last = out[0];
    EXPECT_EQ(last, 'a');
}

TEST_F(TextInputTest, KeysTypedIntoAnEntryEditAtTheCursorAndEnterEndsIt)
{
    const int h = CreateKeyInputHandle(10, 1, 0, 0);
    ASSERT_NE(h, -1);
    Type(SDLK_a);
    Type(SDLK_b, KMOD_LSHIFT);
    Type(SDLK_LEFT);
    Type(SDLK_c);
    EXPECT_EQ(Text(h), "acB");
    EXPECT_EQ(GetKeyInputRecord(h)->Cursor, 2);
    Type(SDLK_DELETE);
    Type(SDLK_BACKSPACE);
    EXPECT_EQ(Text(h), "a");
    Type(SDLK_RETURN);
    EXPECT_EQ(GetKeyInputRecord(h)->Ended, 1);
    Type(SDLK_z);
    EXPECT_EQ(Text(h), "a");
    EXPECT_EQ(DeleteKeyInputHandle(h), 0);
    EXPECT_EQ(DeleteKeyInputHandle(h), -1);
    EXPECT_EQ(UpdateTextInput(), 0);
}

TEST_F(TextInputTest, TwoByteCharactersAreSteppedOverFromTheTextsStart)
{
    const int h = CreateKeyInputHandle(16, 0, 0, 0);
    // 亜 is 0x88 0x9F: its trail byte lies in the lead range.
    PushAll("亜亜a");
    UpdateTextInput();
    KEYINPUTREC* e = GetKeyInputRecord(h);
    ASSERT_EQ(e->Length, 5);
    PushInputChar(CTRL_CODE_BS);
    UpdateTextInput();
    EXPECT_EQ(Text(h), "亜亜");
    PushInputChar(CTRL_CODE_LEFT);
    UpdateTextInput();
    EXPECT_EQ(e->Cursor, 2);
    PushInputChar(CTRL_CODE_DEL);
    UpdateTextInput();
    EXPECT_EQ(Text(h), "亜");
    PushInputChar(CTRL_CODE_RIGHT);
    PushInputChar(CTRL_CODE_RIGHT);
    PushInputChar(CTRL_CODE_ESC);  // cancelling is not allowed here
    UpdateTextInput();
    EXPECT_EQ(e->Cursor, 2);
    EXPECT_EQ(e->Ended, 0);
}

TEST_F(TextInputTest, LengthDigitAndSingleByteLimits)
{
    const int full = CreateKeyInputHandle(4, 0, 0, 0);
    PushAll("abcd");
    PushInputChar(CTRL_CODE_LEFT);
    PushInputChar(CTRL_CODE_LEFT);
    PushInputChar('e');
    UpdateTextInput();
    EXPECT_EQ(Text(full), "abec");
    EXPECT_EQ(GetKeyInputRecord(full)->Cursor, 3);

    const int one = CreateKeyInputHandle(1, 0, 0, 0);
    PushAll("亜");  // longer than the whole entry: refused, not looped over
    PushInputChar('x');
    UpdateTextInput();
    EXPECT_EQ(Text(one), "x");

    const int digits = CreateKeyInputHandle(8, 0, 0, 1);
    PushAll("-1a-2");
    UpdateTextInput();
    EXPECT_EQ(Text(digits), "-12");

    const int single = CreateKeyInputHandle(8, 1, 1, 0);
    PushAll("b亜c");
    PushInputChar(CTRL_CODE_ESC);
    UpdateTextInput();
    EXPECT_EQ(Text(single), "bc");
    EXPECT_EQ(GetKeyInputRecord(single)->Cancelled, 1);
}

TEST_F(TextInputTest, CompositionAndResultArriveOnlyWhileTheImeIsOn)
{
    const int h = CreateKeyInputHandle(16, 0, 0, 0);
    SimulateSdlTextInput(window, Utf8(u8"亜い"));
    PumpMessages();
    UpdateTextInput();
    EXPECT_EQ(Text(h), "");

    SetImeEnabled(1);
    SimulateSdlTextEditing(window, Utf8(u8"あい"), 1);
    PumpMessages();
    EXPECT_EQ(TextInput.Composing, 1);
    EXPECT_STREQ(TextInput.Composition, "あい");
    EXPECT_EQ(TextInput.CompositionCursor, 1);
    SimulateSdlTextInput(window, Utf8(u8"亜い"));
    PumpMessages();
    EXPECT_EQ(TextInput.Composing, 0);
    EXPECT_STREQ(TextInput.Composition, "");
    UpdateTextInput();
    EXPECT_EQ(Text(h), "亜い");
    EXPECT_EQ(GetKeyInputRecord(h)->Length, 4);
    SetImeEnabled(0);
}

TEST_F(TextInputTest, KeysQueuedBeforeOnePumpTypeExactlyWhatTheyPressed)
{
    // A whole frame of keys arrives in one pump: each key's character comes
    // from the modifiers held with it, not from the keyboard's state after it.
    const int h = CreateKeyInputHandle(400, 0, 0, 0);
    SetImeEnabled(1);
    std::string want;
    for (char c : std::string("Hello World 123")) QueueTyped(c);
    want += "Hello World 123";
    for (int c = 0x20; c < 0x7F; ++c) QueueTyped(static_cast<char>(c));
    for (int c = 0x20; c < 0x7F; ++c) want.push_back(static_cast<char>(c));
    SimulateSdlTextInput(window, Utf8(u8"亜い"));
    want += "亜い";
    SimulateSdlKey(window, SDLK_CAPSLOCK, KMOD_CAPS, true);
    SimulateSdlKey(window, SDLK_CAPSLOCK, KMOD_CAPS, false);
    for (char c : std::string("aB1;")) QueueTyped(c, KMOD_CAPS);
    want += "aB1;";
    SimulateSdlKey(window, SDLK_CAPSLOCK, 0, true);
    SimulateSdlKey(window, SDLK_CAPSLOCK, 0, false);
    QueueTyped('z');
    want += "z";
    PumpMessages();
    UpdateTextInput();
    EXPECT_EQ(Text(h), want);
    SetImeEnabled(0);
}
