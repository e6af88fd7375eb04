// Stream sounds as whole-sound operations hand them over: adding a source
// to a sound, priming, playing, stopping, the playing test and position.
#pragma once

#include "core/file/stream.h"

int AddStreamSoundFile(const char* path, int loopCount, int handle, int dataType, int shareHandle);
int AddStreamSoundMemImage(const void* image, int size, int loopCount, int handle, int dataType, int shareHandle);
int PrimeStreamSound(int handle);
int PlayStreamSound(int handle, int playType, int fromTop);
int StopStreamSound(int handle);
int IsStreamSoundPlaying(int handle);
int GetStreamSoundPositionMs(int handle);
int RefillStreamSound(int handle);
// One refill of every stream sound; the message loop calls it in each pass.
int RefillAllStreamSounds();
