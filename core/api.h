// The library's public entries: the only surface the game calls. Only
// StartLibrary, EndLibrary and PumpMessages take the API lock; every other
// entry hands its arguments to one worker and answers its result.
#pragma once

#include "platform/kernel/types.h"

// 0 on success or when already started, -1 when the start-up failed.
int StartLibrary();
// 0 when not started, else the shutdown's result; destroys the API lock.
int EndLibrary();
// One service call of the message loop per frame: 0 to go on, -1 to quit.
int PumpMessages();

// Forwarders.
int SelectWindowMode(int windowed);
// 1 (the default) lets the next screen start take the Direct3D device; 0 keeps the software renderer.
int SelectDirect3D(int on);
DWORD GetMillisecondClock();
// Appends the text to the log; -1 always.
int WriteLogText(const char* text);
// 0 ... max.
int GetRandomNumber(int max);
// The pad's bits (pad number 1-8, plus 0x1000 to merge the keyboard).
int GetPadInputBits(int select);
// Sets the key codes of the bits in mask for the pad; 0.
int AssignPadKeys(int select, int mask, int key1, int key2, int key3, int key4);
const struct DDPIXELFORMAT* QueryScreenPixelFormat();
DWORD GetColorValue(int red, int green, int blue);
int PresentScreen();
int SetScreenMode(int width, int height, int bits, int refresh);
int EraseScreen();
// Modes 0-11; another answers -1 and changes nothing.
int SelectBlendMode(int mode, int param);
int SelectBrightness(int red, int green, int blue);
int SelectDrawTarget(int target);
int LoadGraphFile(const char* name, int not3D);
int DrawGraphAt(int x, int y, int graph, int trans);
int DrawGraphRotated(int x, int y, double rate, double angle, int graph, int trans, int turn);
int DrawGraphRotatedPivot(int x, int y, int pivotX, int pivotY, double rate, double angle, int graph, int trans,
                          int turn);
int DrawLineSegment(int x1, int y1, int x2, int y2, DWORD colour, int thickness);
int DrawCircleShape(int x, int y, int r, DWORD colour, int fill);
// Formats into 1,024 bytes and draws the text with the default font, edge colour 0.
int DrawFormattedText(int x, int y, DWORD colour, const char* format, ...) __attribute__((format(printf, 4, 5)));
int QueryGraphSize(int graph, int* width, int* height);
int DropAllGraphImageHandles();
int BuildColorFormat(struct COLORFMT* format, int bitsPerPixel, DWORD redMask, DWORD greenMask, DWORD blueMask,
                     DWORD alphaMask);
int BuildRGBPixelFormat(struct DDPIXELFORMAT* format, int bitsPerPixel, DWORD redMask, DWORD greenMask,
                        DWORD blueMask, DWORD alphaMask);
int MakeXrgbGraphImage(int width, int height, struct GraphImage* image);
int DiscardGraphImage(struct GraphImage* image);
// Sounds: a handle (up to 10 overlapping buffers) or -1; play types 0 wait
// for the end, 1 background, 3 endless loop (another answers -1); volume 0 to 255.
int LoadSoundFile(const char* path, int bufferCount, int shareHandle);
int StartSound(int sound, int playType, int fromStart);
int HaltSound(int sound);
int SetSoundVolume(int volume, int sound);
