// Owns the public entries; the locked ones call core/startup and
// core/msgloop under core/apilock, the forwarders call their workers.
#include "core/api.h"

#include "core/apilock.h"
#include "core/format.h"
#include "core/imageforwarders.h"
#include "core/input.h"
#include "core/log.h"
#include "core/msgloop.h"
#include "core/random.h"
#include "core/startup.h"
#include "core/sysstate.h"
#include "core/windowmode.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/drawtypes.h"
#include "graphics/font/font.h"
#include "graphics/graph.h"
#include "graphics/image/graphimage.h"
#include "graphics/screen.h"
#include "platform/dinput/dinput.h"
#include "platform/winmm/timer.h"
#include "sound/sound.h"

#include <type_traits>

// The public names are the library's own; the values are the ones its workers use.
static_assert(std::is_same_v<ColorValue, DWORD>);
static_assert(BLEND_NONE == ToInt(BlendMode::Copy) && BLEND_ALPHA == ToInt(BlendMode::Blend) &&
              BLEND_ADD == ToInt(BlendMode::Add) && BLEND_SUBTRACT == ToInt(BlendMode::Subtract) &&
              BLEND_MULTIPLY == ToInt(BlendMode::Multiply) && BLEND_INVERTED_ALPHA == ToInt(BlendMode::InvertedBlend) &&
              BLEND_MULTIPLY_ALPHA == ToInt(BlendMode::ProductBlend));
static_assert(SCREEN_BACK == DRAWTARGET_BACK && SCREEN_FRONT == DRAWTARGET_FRONT);
static_assert(PAD_KEYBOARD == PAD_KEYBOARD_MERGE);

namespace {

constexpr int kKeyCodes[][2] = {
    {KEY_ESCAPE, DIK_ESCAPE}, {KEY_1, DIK_1}, {KEY_2, DIK_2}, {KEY_3, DIK_3}, {KEY_4, DIK_4}, {KEY_5, DIK_5},
    {KEY_6, DIK_6}, {KEY_7, DIK_7}, {KEY_8, DIK_8}, {KEY_9, DIK_9}, {KEY_0, DIK_0}, {KEY_MINUS, DIK_MINUS},
    {KEY_EQUALS, DIK_EQUALS}, {KEY_BACKSPACE, DIK_BACK}, {KEY_TAB, DIK_TAB}, {KEY_Q, DIK_Q}, {KEY_W, DIK_W},
    {KEY_E, DIK_E}, {KEY_R, DIK_R}, {KEY_T, DIK_T}, {KEY_Y, DIK_Y}, {KEY_U, DIK_U}, {KEY_I, DIK_I}, {KEY_O, DIK_O},
    {KEY_P, DIK_P}, {KEY_LEFT_BRACKET, DIK_LBRACKET}, {KEY_RIGHT_BRACKET, DIK_RBRACKET}, {KEY_RETURN, DIK_RETURN},
    {KEY_LEFT_CONTROL, DIK_LCONTROL}, {KEY_A, DIK_A}, {KEY_S, DIK_S}, {KEY_D, DIK_D}, {KEY_F, DIK_F},
    {KEY_G, DIK_G}, {KEY_H, DIK_H}, {KEY_J, DIK_J}, {KEY_K, DIK_K}, {KEY_L, DIK_L}, {KEY_SEMICOLON, DIK_SEMICOLON},
    {KEY_APOSTROPHE, DIK_APOSTROPHE}, {KEY_GRAVE, DIK_GRAVE}, {KEY_LEFT_SHIFT, DIK_LSHIFT},
    {KEY_BACKSLASH, DIK_BACKSLASH}, {KEY_Z, DIK_Z}, {KEY_X, DIK_X}, {KEY_C, DIK_C}, {KEY_V, DIK_V},
    {KEY_B, DIK_B}, {KEY_N, DIK_N}, {KEY_M, DIK_M}, {KEY_COMMA, DIK_COMMA}, {KEY_PERIOD, DIK_PERIOD},
    {KEY_SLASH, DIK_SLASH}, {KEY_RIGHT_SHIFT, DIK_RSHIFT}, {KEY_NUMPAD_MULTIPLY, DIK_MULTIPLY},
    {KEY_LEFT_ALT, DIK_LMENU}, {KEY_SPACE, DIK_SPACE}, {KEY_CAPS_LOCK, DIK_CAPITAL}, {KEY_F1, DIK_F1},
    {KEY_F2, DIK_F2}, {KEY_F3, DIK_F3}, {KEY_F4, DIK_F4}, {KEY_F5, DIK_F5}, {KEY_F6, DIK_F6}, {KEY_F7, DIK_F7},
    {KEY_F8, DIK_F8}, {KEY_F9, DIK_F9}, {KEY_F10, DIK_F10}, {KEY_NUM_LOCK, DIK_NUMLOCK},
    {KEY_SCROLL_LOCK, DIK_SCROLL}, {KEY_NUMPAD_7, DIK_NUMPAD7}, {KEY_NUMPAD_8, DIK_NUMPAD8},
    {KEY_NUMPAD_9, DIK_NUMPAD9}, {KEY_NUMPAD_SUBTRACT, DIK_SUBTRACT}, {KEY_NUMPAD_4, DIK_NUMPAD4},
    {KEY_NUMPAD_5, DIK_NUMPAD5}, {KEY_NUMPAD_6, DIK_NUMPAD6}, {KEY_NUMPAD_ADD, DIK_ADD},
    {KEY_NUMPAD_1, DIK_NUMPAD1}, {KEY_NUMPAD_2, DIK_NUMPAD2}, {KEY_NUMPAD_3, DIK_NUMPAD3},
    {KEY_NUMPAD_0, DIK_NUMPAD0}, {KEY_NUMPAD_DECIMAL, DIK_DECIMAL}, {KEY_OEM_102, DIK_OEM_102},
    {KEY_F11, DIK_F11}, {KEY_F12, DIK_F12}, {KEY_KANA, DIK_KANA}, {KEY_CONVERT, DIK_CONVERT},
    {KEY_NO_CONVERT, DIK_NOCONVERT}, {KEY_YEN, DIK_YEN}, {KEY_CIRCUMFLEX, DIK_CIRCUMFLEX}, {KEY_AT, DIK_AT},
    {KEY_COLON, DIK_COLON}, {KEY_KANJI, DIK_KANJI}, {KEY_NUMPAD_ENTER, DIK_NUMPADENTER},
    {KEY_RIGHT_CONTROL, DIK_RCONTROL}, {KEY_NUMPAD_DIVIDE, DIK_DIVIDE}, {KEY_PRINT_SCREEN, DIK_SYSRQ},
    {KEY_RIGHT_ALT, DIK_RMENU}, {KEY_PAUSE, DIK_PAUSE}, {KEY_HOME, DIK_HOME}, {KEY_UP, DIK_UP},
    {KEY_PAGE_UP, DIK_PRIOR}, {KEY_LEFT, DIK_LEFT}, {KEY_RIGHT, DIK_RIGHT}, {KEY_END, DIK_END},
    {KEY_DOWN, DIK_DOWN}, {KEY_PAGE_DOWN, DIK_NEXT}, {KEY_INSERT, DIK_INSERT}, {KEY_DELETE, DIK_DELETE},
    {KEY_LEFT_WINDOWS, DIK_LWIN}, {KEY_RIGHT_WINDOWS, DIK_RWIN}, {KEY_APPS, DIK_APPS},
};

constexpr bool KeyCodesMatch()
{
    for (const auto& pair : kKeyCodes)
        if (pair[0] != pair[1]) return false;
    return true;
}
static_assert(KeyCodesMatch());

} // namespace

int StartLibrary()
{
    if (SysState.InitializeFlag == 1) return 0;
    EnterApiLock();
    int result = RunStartupSequence();
    LeaveApiLock();
    return result;
}

int EndLibrary()
{
    if (SysState.InitializeFlag == 0) return 0;
    EnterApiLock();
    int result = RunShutdownSequence();
    LeaveApiLock();
    DestroyApiLock();
    return result;
}

int PumpMessages()
{
    EnterApiLock();
    int result = ServiceMessageLoop();
    LeaveApiLock();
    return result;
}

int SelectWindowMode(int windowed)
{
    return ChangeWindowMode(windowed);
}

int SelectDirect3D(int on)
{
    return SetDirect3DWanted(on);
}

std::uint32_t GetMillisecondClock()
{
    return timeGetTime();
}

int WriteLogText(const char* text)
{
    return WriteLog(text);
}

int GetRandomNumber(int max)
{
    return NextRandomInRange(max);
}

int GetPadInputBits(int select)
{
    return ComposePadInputBits(select);
}

int AssignPadKeys(int select, int mask, int key1, int key2, int key3, int key4)
{
    return StorePadKeyMap(select, mask, key1, key2, key3, key4);
}

const DDPIXELFORMAT* QueryScreenPixelFormat()
{
    return GetScreenDDPixelFormat();
}

ColorValue GetColorValue(int red, int green, int blue)
{
    return ConvertRGBToScreenColor(red, green, blue);
}

int PresentScreen()
{
    return FlipScreenBuffers();
}

int SetScreenMode(int width, int height, int bits, int refresh)
{
    return ApplyScreenMode(width, height, bits, refresh);
}

int EraseScreen()
{
    return ClearDrawTarget();
}

int SelectBlendMode(int mode, int param)
{
    return StoreBlendMode(mode, param);
}

int SelectBrightness(int red, int green, int blue)
{
    return StoreBrightness(red, green, blue);
}

int SelectDrawTarget(int target)
{
    return SwitchDrawTarget(target);
}

int LoadGraphFile(const char* name, int not3D)
{
    return LoadGraphByName(name, not3D);
}

int DrawGraphAt(int x, int y, int graph, int trans)
{
    return RenderGraphAt(x, y, graph, trans);
}

int DrawGraphRotated(int x, int y, double rate, double angle, int graph, int trans, int turn)
{
    return RenderGraphRotatedInt(x, y, rate, angle, graph, trans, turn);
}

int DrawGraphRotatedPivot(int x, int y, int pivotX, int pivotY, double rate, double angle, int graph, int trans,
                          int turn)
{
    return RenderGraphRotatedAtPivot(x, y, pivotX, pivotY, rate, angle, graph, trans, turn);
}

int DrawLineSegment(int x1, int y1, int x2, int y2, ColorValue colour, int thickness)
{
    return RenderLineSegment(x1, y1, x2, y2, colour, thickness);
}

int DrawCircleShape(int x, int y, int r, ColorValue colour, int fill)
{
    return RenderCircleShape(x, y, r, colour, fill);
}

int DrawFormattedText(int x, int y, ColorValue colour, const char* format, ...)
{
    // A text longer than the buffer is cut, never written past it.
    char buffer[1024];
    va_list args;
    va_start(args, format);
    FormatToBufferV(buffer, sizeof buffer, format, args);
    va_end(args);
    return DrawTextDefaultFont(x, y, buffer, colour, 0);
}

int QueryGraphSize(int graph, int* width, int* height)
{
    return GetGraphDimensions(graph, width, height);
}

int DropAllGraphImageHandles()
{
    return DropGraphImageHandleTable();
}

int BuildColorFormat(COLORFMT* format, int bitsPerPixel, DWORD redMask, DWORD greenMask, DWORD blueMask,
                     DWORD alphaMask)
{
    return SetColorFormatFromMasks(format, bitsPerPixel, redMask, greenMask, blueMask, alphaMask);
}

int BuildRGBPixelFormat(DDPIXELFORMAT* format, int bitsPerPixel, DWORD redMask, DWORD greenMask, DWORD blueMask,
                        DWORD alphaMask)
{
    return FillRGBPixelFormat(format, bitsPerPixel, redMask, greenMask, blueMask, alphaMask);
}

int MakeXrgbGraphImage(int width, int height, GraphImage* image)
{
    return SetupGraphImageXRGB32(width, height, image);
}

int DiscardGraphImage(GraphImage* image)
{
    return FreeGraphImagePixels(image);
}

int LoadSoundFile(const char* path, int bufferCount, int shareHandle)
{
    return ForwardCreateSoundFromFile(path, bufferCount, shareHandle);
}

int StartSound(int sound, int playType, int fromStart)
{
    // 0 wait for the end, 1 background, 3 loop: any other type is a caller's mistake.
    if (playType != PLAY_WAIT && playType != PLAY_BACKGROUND && playType != PLAY_LOOP)
        return WriteLogFormat("再生タイプ %d はありません（0, 1, 3）", playType);
    return PlaySoundToHandle(sound, playType, fromStart);
}

int HaltSound(int sound)
{
    return StopSoundToHandle(sound);
}

int SetSoundVolume(int volume, int sound)
{
    return SetVolumeToHandle(volume, sound);
}
