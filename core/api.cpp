// Owns the public entries; the locked ones call core/startup and
// core/msgloop under core/apilock, the forwarders call their workers.
#include "core/api.h"

#include "core/apilock.h"
#include "core/format.h"
#include "core/input.h"
#include "core/log.h"
#include "core/msgloop.h"
#include "core/random.h"
#include "core/startup.h"
#include "core/sysstate.h"
#include "core/windowmode.h"
#include "graphics/d3ddevice.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/graph.h"
#include "graphics/image/graphimage.h"
#include "graphics/screen.h"
#include "platform/winmm/timer.h"
#include "sound/sound.h"

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

DWORD GetMillisecondClock()
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

DWORD GetColorValue(int red, int green, int blue)
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

int DrawLineSegment(int x1, int y1, int x2, int y2, DWORD colour, int thickness)
{
    return RenderLineSegment(x1, y1, x2, y2, colour, thickness);
}

int DrawCircleShape(int x, int y, int r, DWORD colour, int fill)
{
    return RenderCircleShape(x, y, r, colour, fill);
}

int DrawFormattedText(int x, int y, DWORD colour, const char* format, ...)
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
    if (playType != 0 && playType != 1 && playType != 3)
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
