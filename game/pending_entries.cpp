// Refusals in place of the text and sound entries until their subsystems
// land; weak, so the library's own entries win wherever they exist.
#include "game/pending_entries.h"

__attribute__((weak)) int DrawFormattedText(int, int, DWORD, const char*, ...) { return -1; }
__attribute__((weak)) int LoadSoundFile(const char*, int, int) { return -1; }
__attribute__((weak)) int StartSound(int, int, int) { return -1; }
__attribute__((weak)) int HaltSound(int) { return -1; }
__attribute__((weak)) int SetSoundVolume(int, int) { return -1; }
