// Stream sounds: their source entries, the ring they play through (their
// own or a shared one), the refill the message loop drives, and the play,
// stop, playing test and position that whole-sound operations hand over.
#pragma once

#include "core/file/stream.h"

#include <cstdint>

struct SOUNDREC;
struct PLAYBUF;
struct LOCKAREA;
struct PCMCONV;

// Data types (the load mode): 0 decode now into a WAV image, 2 hold the
// file image, 3 read the caller's stream while playing (it must stay open).
// sourceCopied := 1 when the entry no longer reads `source`.
int AddSreamSound(const STREAMREF* source, int loopCount, int handle, int dataType, int* sourceCopied,
                  int shareHandle);
int AddStreamSoundFile(const char* path, int loopCount, int handle, int dataType, int shareHandle);
int AddStreamSoundMemImage(const void* image, int size, int loopCount, int handle, int dataType, int shareHandle);
// The ring the sound plays through; -1 when another sound holds it and
// takeOver is 0 (the caller then leaves the sound alone).
int ClaimStreamBuffer(int handle, SOUNDREC* rec, PLAYBUF** out, int takeOver);
// Back to the top of the first entry, unprimed.
void RestartStreamSound(SOUNDREC* rec);

int PrimeStreamSound(int handle);
int PlayStreamSound(int handle, int playType, int fromTop);
int StopStreamSound(int handle);
int IsStreamSoundPlaying(int handle);
int GetStreamSoundPositionMs(int handle);
// 0, or -1 when the play cursor had run past the written data (a stalled
// pump); the data then goes on at the cursor.
int RefillStreamSound(int handle);
// One refill of every stream sound; the message loop calls it in each pass.
int RefillAllStreamSounds();
int UpdateStreamPlayedBytes(int handle, int cursor);
int ReadSourceIntoLockArea(LOCKAREA* area, PCMCONV* decoder, std::uint32_t bytes);
