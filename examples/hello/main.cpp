// A first program on the library: a window with a picture and a line of text,
// a sound at the start, and Escape (or closing the window) to end.
// "hello N" ends by itself after N frames.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core/api.h"

namespace {

void Put(std::FILE* f, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((value >> (8 * i)) & 0xFF), f);
}

// A 64x64 24-bit BMP: red grows to the right, green downwards.
bool WritePicture(const char* name)
{
    std::FILE* f = std::fopen(name, "wb");
    if (f == nullptr) return false;
    const std::uint32_t side = 64, size = side * side * 3;
    std::fputs("BM", f);
    Put(f, 54 + size, 4), Put(f, 0, 4), Put(f, 54, 4);
    Put(f, 40, 4), Put(f, side, 4), Put(f, side, 4), Put(f, 1, 2), Put(f, 24, 2);
    Put(f, 0, 4), Put(f, size, 4), Put(f, 2835, 4), Put(f, 2835, 4), Put(f, 0, 4), Put(f, 0, 4);
    for (std::uint32_t y = 0; y < side; ++y)
        for (std::uint32_t x = 0; x < side; ++x) Put(f, 128, 1), Put(f, 255 - y * 4, 1), Put(f, x * 4, 1);
    return std::fclose(f) == 0;
}

// A fifth of a second of a 440 Hz square wave: 8-bit mono PCM WAV.
bool WriteSound(const char* name)
{
    std::FILE* f = std::fopen(name, "wb");
    if (f == nullptr) return false;
    const std::uint32_t rate = 22050, samples = rate / 5;
    std::fputs("RIFF", f), Put(f, 36 + samples, 4), std::fputs("WAVEfmt ", f);
    Put(f, 16, 4), Put(f, 1, 2), Put(f, 1, 2), Put(f, rate, 4), Put(f, rate, 4), Put(f, 1, 2), Put(f, 8, 2);
    std::fputs("data", f), Put(f, samples, 4);
    for (std::uint32_t i = 0; i < samples; ++i) Put(f, (i * 880 / rate) % 2 != 0 ? 160 : 96, 1);
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : -1;
    if (!WritePicture("hello.bmp") || !WriteSound("hello.wav")) return 1;

    SelectWindowMode(1);
    if (StartLibrary() == -1) return 1;
    SelectDrawTarget(SCREEN_BACK); // shown by PresentScreen
    const int picture = LoadGraphFile("hello.bmp", 0);
    const int sound = LoadSoundFile("hello.wav", 1, -1);
    if (picture == -1 || sound == -1) {
        EndLibrary(); // Log.txt says which file failed and why
        return 1;
    }
    StartSound(sound, PLAY_BACKGROUND, 1);

    for (int frame = 0; frame != frames; ++frame) {
        // Pad 1 merged with the keyboard: button 8 is Escape.
        if (PumpMessages() != 0 || (GetPadInputBits(PAD_1 | PAD_KEYBOARD) & PAD_BUTTON_8) != 0) break;
        DrawGraphAt(288, 208, picture, 0);
        DrawFormattedText(8, 8, GetColorValue(255, 255, 255), "Hello from zarvo, frame %d. Escape ends.", frame);
        PresentScreen();
        EraseScreen();
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    EndLibrary();
    return 0;
}
