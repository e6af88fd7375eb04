// Text and sound entries the game calls, until the font and sound
// subsystems publish them in core/api.h.
#pragma once

#include "platform/kernel/types.h"

int DrawFormattedText(int x, int y, DWORD colour, const char* format, ...);
int LoadSoundFile(const char* path, int bufferCount, int shareHandle);
int StartSound(int sound, int playType, int fromStart);
int HaltSound(int sound);
int SetSoundVolume(int volume, int sound);
