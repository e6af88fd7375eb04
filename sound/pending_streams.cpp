// Stream sounds, until their ring buffer is built: no source can be added,
// so no sound ever becomes a stream sound and the other operations are
// never reached with one.
#include "sound/streamsound.h"

#include "sound/soundrec.h"

int AddStreamSoundFile(const char*, int, int, int, int) { return -1; }
int AddStreamSoundMemImage(const void*, int, int, int, int, int) { return -1; }
int PrimeStreamSound(int) { return 0; }
int PlayStreamSound(int, int, int) { return -1; }
int StopStreamSound(int) { return 0; }
int IsStreamSoundPlaying(int) { return 0; }
int GetStreamSoundPositionMs(int) { return -1; }
int RefillStreamSound(int) { return 0; }

int RefillAllStreamSounds()
{
    if (SoundState.DirectSound == nullptr) return -1;
    for (LISTNODE* node = SoundState.StreamListFirst.Next; node != nullptr && node->Next != nullptr; node = node->Next)
        RefillStreamSound(node->Handle);
    return 0;
}
