// The library's public entries: the only surface the game calls, and the
// header a program of its own includes. Only StartLibrary, EndLibrary and
// PumpMessages take the API lock; every other entry hands its arguments to one
// worker and answers its result. The header declares everything in its own
// names, so a program may define the usual system names itself.
#pragma once

#include <cstdint>

// A colour in the screen's pixel format, as GetColorValue answers it.
using ColorValue = std::uint32_t;

// SelectWindowMode.
enum WindowMode : int {
    WINDOW_MODE_FULL_SCREEN = 0,
    WINDOW_MODE_WINDOWED = 1,
};

// SelectDrawTarget and QueryGraphSize take these two screens, or a graph.
enum DrawTargetScreen : int {
    SCREEN_BACK = -2,  // shown by PresentScreen
    SCREEN_FRONT = -4,
};

// SelectBlendMode; the parameter (0-255) is the strength of the blend. Modes
// 5 to 9 serve the Direct3D back-end alone and draw nothing in software.
enum DrawBlendMode : int {
    BLEND_NONE = 0,            // copy; the parameter is not used
    BLEND_ALPHA = 1,           // towards the source by the parameter
    BLEND_ADD = 2,
    BLEND_SUBTRACT = 3,
    BLEND_MULTIPLY = 4,
    BLEND_INVERTED_ALPHA = 10,   // towards the inverted source
    BLEND_MULTIPLY_ALPHA = 11,   // towards the product of source and destination
};

// The pad selector of GetPadInputBits and AssignPadKeys: a pad number, plus
// PAD_KEYBOARD to merge the keyboard through that pad's key map (alone it
// reads the keyboard through pad 1's map).
enum PadSelect : int {
    PAD_1 = 1, PAD_2, PAD_3, PAD_4, PAD_5, PAD_6, PAD_7, PAD_8,
    PAD_KEYBOARD = 0x1000,
};

// The bits GetPadInputBits answers: four directions and 24 buttons.
enum PadBit : int {
    PAD_DOWN = 0x01,
    PAD_LEFT = 0x02,
    PAD_RIGHT = 0x04,
    PAD_UP = 0x08,
    PAD_BUTTON_0 = 0x10 << 0, PAD_BUTTON_1 = 0x10 << 1, PAD_BUTTON_2 = 0x10 << 2, PAD_BUTTON_3 = 0x10 << 3,
    PAD_BUTTON_4 = 0x10 << 4, PAD_BUTTON_5 = 0x10 << 5, PAD_BUTTON_6 = 0x10 << 6, PAD_BUTTON_7 = 0x10 << 7,
    PAD_BUTTON_8 = 0x10 << 8, PAD_BUTTON_9 = 0x10 << 9, PAD_BUTTON_10 = 0x10 << 10, PAD_BUTTON_11 = 0x10 << 11,
    PAD_BUTTON_12 = 0x10 << 12, PAD_BUTTON_13 = 0x10 << 13, PAD_BUTTON_14 = 0x10 << 14, PAD_BUTTON_15 = 0x10 << 15,
    PAD_BUTTON_16 = 0x10 << 16, PAD_BUTTON_17 = 0x10 << 17, PAD_BUTTON_18 = 0x10 << 18, PAD_BUTTON_19 = 0x10 << 19,
    PAD_BUTTON_20 = 0x10 << 20, PAD_BUTTON_21 = 0x10 << 21, PAD_BUTTON_22 = 0x10 << 22, PAD_BUTTON_23 = 0x10 << 23,
};

// The key codes AssignPadKeys maps onto pad bits (-1 for no key). Pad 1
// starts with the arrows and the number pad on the directions and Z, X, C,
// A, S, D, Q, W, Escape and Space on buttons 0 to 9.
enum KeyCode : int {
    KEY_NONE = -1,
    KEY_ESCAPE = 0x01,
    KEY_1 = 0x02, KEY_2 = 0x03, KEY_3 = 0x04, KEY_4 = 0x05, KEY_5 = 0x06,
    KEY_6 = 0x07, KEY_7 = 0x08, KEY_8 = 0x09, KEY_9 = 0x0A, KEY_0 = 0x0B,
    KEY_MINUS = 0x0C, KEY_EQUALS = 0x0D, KEY_BACKSPACE = 0x0E, KEY_TAB = 0x0F,
    KEY_Q = 0x10, KEY_W = 0x11, KEY_E = 0x12, KEY_R = 0x13, KEY_T = 0x14,
    KEY_Y = 0x15, KEY_U = 0x16, KEY_I = 0x17, KEY_O = 0x18, KEY_P = 0x19,
    KEY_LEFT_BRACKET = 0x1A, KEY_RIGHT_BRACKET = 0x1B, KEY_RETURN = 0x1C, KEY_LEFT_CONTROL = 0x1D,
    KEY_A = 0x1E, KEY_S = 0x1F, KEY_D = 0x20, KEY_F = 0x21, KEY_G = 0x22,
    KEY_H = 0x23, KEY_J = 0x24, KEY_K = 0x25, KEY_L = 0x26,
    KEY_SEMICOLON = 0x27, KEY_APOSTROPHE = 0x28, KEY_GRAVE = 0x29, KEY_LEFT_SHIFT = 0x2A, KEY_BACKSLASH = 0x2B,
    KEY_Z = 0x2C, KEY_X = 0x2D, KEY_C = 0x2E, KEY_V = 0x2F, KEY_B = 0x30, KEY_N = 0x31, KEY_M = 0x32,
    KEY_COMMA = 0x33, KEY_PERIOD = 0x34, KEY_SLASH = 0x35, KEY_RIGHT_SHIFT = 0x36,
    KEY_NUMPAD_MULTIPLY = 0x37, KEY_LEFT_ALT = 0x38, KEY_SPACE = 0x39, KEY_CAPS_LOCK = 0x3A,
    KEY_F1 = 0x3B, KEY_F2 = 0x3C, KEY_F3 = 0x3D, KEY_F4 = 0x3E, KEY_F5 = 0x3F,
    KEY_F6 = 0x40, KEY_F7 = 0x41, KEY_F8 = 0x42, KEY_F9 = 0x43, KEY_F10 = 0x44,
    KEY_NUM_LOCK = 0x45, KEY_SCROLL_LOCK = 0x46,
    KEY_NUMPAD_7 = 0x47, KEY_NUMPAD_8 = 0x48, KEY_NUMPAD_9 = 0x49, KEY_NUMPAD_SUBTRACT = 0x4A,
    KEY_NUMPAD_4 = 0x4B, KEY_NUMPAD_5 = 0x4C, KEY_NUMPAD_6 = 0x4D, KEY_NUMPAD_ADD = 0x4E,
    KEY_NUMPAD_1 = 0x4F, KEY_NUMPAD_2 = 0x50, KEY_NUMPAD_3 = 0x51, KEY_NUMPAD_0 = 0x52, KEY_NUMPAD_DECIMAL = 0x53,
    KEY_OEM_102 = 0x56, KEY_F11 = 0x57, KEY_F12 = 0x58,
    KEY_KANA = 0x70, KEY_CONVERT = 0x79, KEY_NO_CONVERT = 0x7B, KEY_YEN = 0x7D,
    KEY_CIRCUMFLEX = 0x90, KEY_AT = 0x91, KEY_COLON = 0x92, KEY_KANJI = 0x94,
    KEY_NUMPAD_ENTER = 0x9C, KEY_RIGHT_CONTROL = 0x9D, KEY_NUMPAD_DIVIDE = 0xB5, KEY_PRINT_SCREEN = 0xB7,
    KEY_RIGHT_ALT = 0xB8, KEY_PAUSE = 0xC5, KEY_HOME = 0xC7, KEY_UP = 0xC8, KEY_PAGE_UP = 0xC9,
    KEY_LEFT = 0xCB, KEY_RIGHT = 0xCD, KEY_END = 0xCF, KEY_DOWN = 0xD0, KEY_PAGE_DOWN = 0xD1,
    KEY_INSERT = 0xD2, KEY_DELETE = 0xD3, KEY_LEFT_WINDOWS = 0xDB, KEY_RIGHT_WINDOWS = 0xDC, KEY_APPS = 0xDD,
};

// StartSound's play types; another answers -1.
enum SoundPlayType : int {
    PLAY_WAIT = 0,        // returns when the sound has ended
    PLAY_BACKGROUND = 1,  // returns at once
    PLAY_LOOP = 3,        // returns at once and repeats until halted
};

// 0 on success or when already started, -1 when the start-up failed.
int StartLibrary();
// 0 when not started, else the shutdown's result; destroys the API lock.
int EndLibrary();
// One service call of the message loop per frame: 0 to go on, -1 to quit.
int PumpMessages();

// Forwarders.
// A WindowMode; before StartLibrary it only chooses how the window starts.
int SelectWindowMode(int windowed);
// 1 (the default) lets the next screen start take the Direct3D device; 0 keeps the software renderer.
int SelectDirect3D(int on);
std::uint32_t GetMillisecondClock();
// Appends the text to the log; -1 always.
int WriteLogText(const char* text);
// 0 ... max.
int GetRandomNumber(int max);
// The pad's PadBits; select is a PadSelect.
int GetPadInputBits(int select);
// Sets the KeyCodes of the PadBits in mask for the pad; 0.
int AssignPadKeys(int select, int mask, int key1, int key2, int key3, int key4);
ColorValue GetColorValue(int red, int green, int blue);
int PresentScreen();
int SetScreenMode(int width, int height, int bits, int refresh);
int EraseScreen();
// A DrawBlendMode, or 5 to 9; another answers -1 and changes nothing.
int SelectBlendMode(int mode, int param);
int SelectBrightness(int red, int green, int blue);
// A DrawTargetScreen or a graph.
int SelectDrawTarget(int target);
int LoadGraphFile(const char* name, int not3D);
int DrawGraphAt(int x, int y, int graph, int trans);
int DrawGraphRotated(int x, int y, double rate, double angle, int graph, int trans, int turn);
int DrawGraphRotatedPivot(int x, int y, int pivotX, int pivotY, double rate, double angle, int graph, int trans,
                          int turn);
int DrawLineSegment(int x1, int y1, int x2, int y2, ColorValue colour, int thickness);
int DrawCircleShape(int x, int y, int r, ColorValue colour, int fill);
// Formats into 1,024 bytes and draws the text with the default font, edge colour 0.
int DrawFormattedText(int x, int y, ColorValue colour, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
// A graph's size, or a DrawTargetScreen's.
int QueryGraphSize(int graph, int* width, int* height);
int DropAllGraphImageHandles();
// Sounds: a handle (up to 10 overlapping buffers) or -1; a SoundPlayType;
// volume 0 to 255.
int LoadSoundFile(const char* path, int bufferCount, int shareHandle);
int StartSound(int sound, int playType, int fromStart);
int HaltSound(int sound);
int SetSoundVolume(int volume, int sound);
