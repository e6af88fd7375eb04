// The operations on whole sounds, which the public sound entries forward
// to: creation from a file or a file image, play, stop, volume, position,
// length, the load mode and deletion.
#pragma once

// Handles or -1. The share handle only matters to stream sounds.
int CreateSoundFromFile(const char* path, int bufferCount, int shareHandle);
int ForwardCreateSoundFromFile(const char* path, int bufferCount, int shareHandle);
int CreateSoundFromMemory(const void* image, int size, int bufferCount, int shareHandle);
// Play types; any other value plays once in the background.
enum SOUND_PLAYTYPE {
    SOUND_PLAYTYPE_WAIT = 0,   // returns when the sound has ended
    SOUND_PLAYTYPE_BACK = 1,
    SOUND_PLAYTYPE_LOOP = 3,   // endless loop in the background
};
int PlaySoundToHandle(int handle, int playType, int fromStart);
int StopSoundToHandle(int handle);
// Volume 0 to 255 first, then the handle.
int SetVolumeToHandle(int volume, int handle);
// trunc(1000 log10(v / 255)) hundredths of a decibel, -10000 for 0 and below.
int VolumeToHundredthsOfDecibel(int volume);
int GetSoundPlayPositionMs(int handle);
int GetSoundTotalSample(int handle);
int GetSoundTotalTimeMs(int handle);
int SetSoundLoadMode(int mode);
int GetSoundLoadMode();
int DiscardSoundHandle(int handle);
// 1 while any buffer of the sound plays, else 0; -1 for a bad handle.
int CheckSoundPlaying(int handle);
